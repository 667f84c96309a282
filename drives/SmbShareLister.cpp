#include "drives/SmbShareLister.h"

#include <libsmbclient.h>

#include <QByteArray>
#include <cerrno>
#include <cstring>

#include "drives/ShareNames.h"

namespace drives {

namespace {

// What the authentication callback hands to the library; empty fields mean
// anonymous.
struct AuthData {
    QByteArray user;
    QByteArray domain;
    QByteArray password;
};

void CopyField(char* out, int size, const QByteArray& value) {
    if (size <= 0) return;
    const int n = std::min<int>(size - 1, value.size());
    std::memcpy(out, value.constData(), n);
    out[n] = '\0';
}

void Authenticate(SMBCCTX* context, const char*, const char*, char* workgroup, int workgroupSize,
                  char* user, int userSize, char* password, int passwordSize) {
    const auto* data = static_cast<const AuthData*>(smbc_getOptionUserData(context));
    if (!data) return;
    if (!data->domain.isEmpty()) CopyField(workgroup, workgroupSize, data->domain);
    CopyField(user, userSize, data->user);
    CopyField(password, passwordSize, data->password);
}

// A client context of one thread with the credentials of that thread's
// current listing. libsmbclient contexts are not thread-safe and lose a
// little memory when freed, so each thread that lists keeps one for good;
// credentials live in it, never on a caller's stack, and each listing drops
// its connections afterwards, so nothing (neither a connection nor a login)
// carries over to the next listing.
struct ThreadClient {
    SMBCCTX* context = nullptr;
    AuthData auth;
};

ThreadClient* ClientOfThisThread(int* error) {
    thread_local ThreadClient* client = nullptr;  // lives until the process ends
    if (client) return client;
    SMBCCTX* context = smbc_new_context();
    if (!context) {
        *error = ENOMEM;
        return nullptr;
    }
    smbc_setDebug(context, 0);
    smbc_setFunctionAuthDataWithContext(context, Authenticate);
    smbc_setOptionUseKerberos(context, 0);
    smbc_setOptionFallbackAfterKerberos(context, 1);
    if (!smbc_init_context(context)) {
        *error = errno;
        smbc_free_context(context, 0);
        return nullptr;
    }
    client = new ThreadClient;
    client->context = context;
    smbc_setOptionUserData(context, &client->auth);
    return client;
}

int ShareTypeOf(unsigned int smbcType) {
    switch (smbcType) {
        case SMBC_FILE_SHARE:
            return kShareDisk;
        case SMBC_PRINTER_SHARE:
            return kSharePrintQueue;
        case SMBC_COMMS_SHARE:
            return kShareDevice;
        case SMBC_IPC_SHARE:
            return kShareIpc;
        default:
            return -1;  // workgroups, servers, files: no shares
    }
}

int ReadShares(SMBCCTX* context, const QString& server, std::vector<ShareEntry>* shares,
               QString* message) {
    const QByteArray uri = SmbUrl(server).toLatin1();
    errno = 0;
    SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, uri.constData());
    if (!dir) {
        const int error = errno;
        *message = QString::fromLocal8Bit(strerror(error));
        return SmbShareLister::CodeForErrno(error);
    }
    while (const smbc_dirent* entry = smbc_getFunctionReaddir(context)(context, dir)) {
        const int type = ShareTypeOf(entry->smbc_type);
        const QString name = QString::fromUtf8(entry->name, qstrnlen(entry->name, entry->namelen));
        if (type < 0 || !IsValidShareName(name)) continue;
        shares->push_back({name, type});
        if (shares->size() >= static_cast<size_t>(SmbShareLister::kMaxShares)) break;
    }
    smbc_getFunctionClosedir(context)(context, dir);
    return kNoError;
}

}  // namespace

int SmbShareLister::CodeForErrno(int error) {
    switch (error) {
        case 0:
            return kErrorUnexpectedNetwork;
        case EACCES:
        case EPERM:
            return kErrorAccessDenied;
        case ENOENT:
        case ECONNREFUSED:
        case ECONNRESET:
        case EHOSTUNREACH:
        case EHOSTDOWN:
        case ENETUNREACH:
        case ENETDOWN:
        case ETIMEDOUT:
        case ENODEV:
        case ENXIO:
            return kErrorBadNetPath;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EINVAL:
            return kErrorInvalidParameter;
        default:
            return kErrorUnexpectedNetwork;
    }
}

int SmbShareLister::List(const QString& server, const Credentials* credentials,
                         std::vector<ShareEntry>* shares, QString* message) const {
    shares->clear();
    int error = 0;
    ThreadClient* client = ClientOfThisThread(&error);
    if (!client) {
        *message = QString::fromLocal8Bit(strerror(error));
        return CodeForErrno(error);
    }
    client->auth = AuthData{};
    if (credentials && !credentials->user.isEmpty()) {
        client->auth = {credentials->user.toUtf8(), credentials->domain.toUtf8(),
                        credentials->password.toUtf8()};
    }
    SMBCCTX* context = client->context;
    smbc_setTimeout(context, timeoutMs_);
    smbc_setOptionNoAutoAnonymousLogin(context, client->auth.user.isEmpty() ? 0 : 1);
    const int code = ReadShares(context, server, shares, message);
    smbc_getFunctionPurgeCachedServers(context)(context);
    client->auth = AuthData{};
    return code;
}

}  // namespace drives
