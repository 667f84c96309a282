// GIO headers use "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <cerrno>
#include <cstring>

#include "drives/GvfsMounter.h"
#include "drives/ShareNames.h"
#include "drives/ShareTypes.h"
#include "drives/SmbShareLister.h"

namespace drives {

namespace {

// More credential requests than this for one mount end it.
constexpr int kMaxAsks = 16;

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const {
        if (object) g_object_unref(object);
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

// A private main context made the thread's default for the lifetime of this
// object, with a deadline that cancels the running operation.
class PrivateLoop {
  public:
    explicit PrivateLoop(int timeoutMs)
        : context_(g_main_context_new()), cancellable_(g_cancellable_new()), timeoutMs_(timeoutMs) {
        g_main_context_push_thread_default(context_);
        StartDeadline();
    }
    ~PrivateLoop() {
        StopDeadline();
        // Let cancelled operations deliver their callbacks before the
        // context goes away.
        while (g_main_context_pending(context_)) g_main_context_iteration(context_, FALSE);
        g_main_context_pop_thread_default(context_);
        g_object_unref(cancellable_);
        g_main_context_unref(context_);
    }
    PrivateLoop(const PrivateLoop&) = delete;
    PrivateLoop& operator=(const PrivateLoop&) = delete;

    GCancellable* Cancellable() const { return cancellable_; }
    bool TimedOut() const { return timedOut_; }

    void RunUntil(const bool& done) {
        while (!done) g_main_context_iteration(context_, TRUE);
    }
    void StartDeadline() {
        StopDeadline();
        deadline_ = g_timeout_source_new(timeoutMs_);
        g_source_set_callback(deadline_, &PrivateLoop::OnDeadline, this, nullptr);
        g_source_attach(deadline_, context_);
    }
    void StopDeadline() {
        if (!deadline_) return;
        g_source_destroy(deadline_);
        g_source_unref(deadline_);
        deadline_ = nullptr;
    }

  private:
    static gboolean OnDeadline(gpointer data) {
        auto* self = static_cast<PrivateLoop*>(data);
        self->timedOut_ = true;
        g_cancellable_cancel(self->cancellable_);
        return G_SOURCE_CONTINUE;
    }

    GMainContext* context_;
    GCancellable* cancellable_;
    GSource* deadline_ = nullptr;
    int timeoutMs_;
    bool timedOut_ = false;
};

void ReplyWith(GMountOperation* op, const Credentials& c, const char* defaultDomain) {
    if (c.user.isEmpty()) {
        g_mount_operation_set_anonymous(op, TRUE);
    } else {
        g_mount_operation_set_anonymous(op, FALSE);
        g_mount_operation_set_username(op, c.user.toUtf8().constData());
        const QByteArray domain =
            c.domain.isEmpty() ? QByteArray(defaultDomain ? defaultDomain : "") : c.domain.toUtf8();
        g_mount_operation_set_domain(op, domain.constData());
        g_mount_operation_set_password(op, c.password.toUtf8().constData());
        g_mount_operation_set_password_save(
            op, c.remember ? G_PASSWORD_SAVE_PERMANENTLY : G_PASSWORD_SAVE_NEVER);
    }
    g_mount_operation_reply(op, G_MOUNT_OPERATION_HANDLED);
}

// A trailing strerror text in a GVfs message ("Failed to mount Windows
// share: No such file or directory") gives the failure its code.
int CodeForMessageErrno(const QString& message) {
    static const int kErrors[] = {ENOENT,       EINVAL,    EACCES,      EPERM,     ECONNREFUSED,
                                  EHOSTUNREACH, ETIMEDOUT, ENETUNREACH, EHOSTDOWN, ECONNRESET};
    for (int error : kErrors) {
        if (!message.endsWith(QString::fromLocal8Bit(g_strerror(error)))) continue;
        // A missing share; a server name that cannot be resolved comes back
        // as an invalid argument.
        if (error == ENOENT) return kErrorBadNetName;
        if (error == EINVAL) return kErrorBadNetPath;
        return SmbShareLister::CodeForErrno(error);
    }
    return kErrorUnexpectedNetwork;
}

}  // namespace

// The state of one mount while its operation runs.
struct MountRun {
    GvfsMounter* self = nullptr;
    PrivateLoop* loop = nullptr;
    QString server;
    QString share;
    bool interactive = false;
    QWidget* owner = nullptr;
    int asks = 0;
    bool prompted = false;
    bool cancelledByUser = false;
    Credentials answer;
    bool done = false;
    GError* error = nullptr;

    static void OnAskPassword(GMountOperation* op, const char*, const char* defaultUser,
                              const char* defaultDomain, GAskPasswordFlags flags, gpointer data) {
        static_cast<MountRun*>(data)->Ask(op, defaultUser, defaultDomain, flags);
    }
    static void OnAskQuestion(GMountOperation* op, const char*, GStrv, gpointer) {
        g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
    }
    static void OnMounted(GObject* source, GAsyncResult* result, gpointer data) {
        auto* run = static_cast<MountRun*>(data);
        g_file_mount_enclosing_volume_finish(G_FILE(source), result, &run->error);
        run->done = true;
    }

    void Ask(GMountOperation* op, const char* defaultUser, const char* defaultDomain,
             GAskPasswordFlags flags) {
        if (++asks > kMaxAsks) return g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        if (asks == 1) {
            if (const Credentials* cached = self->cache_.Find(server)) {
                answer = *cached;
                return ReplyWith(op, answer, defaultDomain);
            }
            if (flags & G_ASK_PASSWORD_ANONYMOUS_SUPPORTED) {
                return ReplyWith(op, Credentials{}, defaultDomain);
            }
        }
        if (!interactive || !self->prompt_) {
            return g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        }
        if (answer.user.isEmpty() && defaultUser && qstrcmp(defaultUser, "guest") != 0) {
            answer.user = QString::fromUtf8(defaultUser);
        }
        loop->StopDeadline();
        const bool ok = self->prompt_->Ask(owner, server, share, prompted, &answer);
        loop->StartDeadline();
        prompted = true;
        if (!ok) {
            cancelledByUser = true;
            return g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        }
        ReplyWith(op, answer, defaultDomain);
    }
};

GvfsMounter::GvfsMounter(CredentialCache& cache, CredentialPrompt* prompt, int timeoutMs)
    : cache_(cache), prompt_(prompt), timeoutMs_(timeoutMs) {}

int GvfsMounter::CodeForGioError(unsigned int domain, int code, const QString& message) {
    if (domain != G_IO_ERROR) return kErrorUnexpectedNetwork;
    switch (code) {
        case G_IO_ERROR_ALREADY_MOUNTED:
            return kNoError;
        case G_IO_ERROR_PERMISSION_DENIED:
        case G_IO_ERROR_FAILED_HANDLED:
            return kErrorAccessDenied;
        case G_IO_ERROR_NOT_FOUND:
            return kErrorBadNetName;
        case G_IO_ERROR_HOST_NOT_FOUND:
        case G_IO_ERROR_HOST_UNREACHABLE:
        case G_IO_ERROR_NETWORK_UNREACHABLE:
        case G_IO_ERROR_CONNECTION_REFUSED:
        case G_IO_ERROR_TIMED_OUT:
        case G_IO_ERROR_CANCELLED:
            return kErrorBadNetPath;
        case G_IO_ERROR_NOT_SUPPORTED:
            return kErrorNotSupported;
        case G_IO_ERROR_FAILED:
            return CodeForMessageErrno(message);
        default:
            return kErrorUnexpectedNetwork;
    }
}

int GvfsMounter::Mount(const QString& server, const QString& share, bool interactive,
                       QWidget* owner, QString* fusePath, QString* message) {
    fusePath->clear();
    PrivateLoop loop(timeoutMs_);
    GObjectPtr<GFile> file(g_file_new_for_uri(SmbUri(server, share).constData()));
    GObjectPtr<GMountOperation> op(g_mount_operation_new());
    MountRun run;
    run.self = this;
    run.loop = &loop;
    run.server = server;
    run.share = share;
    run.interactive = interactive;
    run.owner = owner;
    g_signal_connect(op.get(), "ask-password", G_CALLBACK(&MountRun::OnAskPassword), &run);
    g_signal_connect(op.get(), "ask-question", G_CALLBACK(&MountRun::OnAskQuestion), &run);
    g_file_mount_enclosing_volume(file.get(), G_MOUNT_MOUNT_NONE, op.get(), loop.Cancellable(),
                                  &MountRun::OnMounted, &run);
    loop.RunUntil(run.done);
    g_signal_handlers_disconnect_by_data(op.get(), &run);

    int code = kNoError;
    if (run.error) {
        *message = QString::fromUtf8(run.error->message);
        code = CodeForGioError(run.error->domain, run.error->code, *message);
        if (run.cancelledByUser) code = kErrorCancelled;
        if (code == kErrorAccessDenied && run.error->code == G_IO_ERROR_FAILED_HANDLED) {
            *message = QString::fromLocal8Bit(g_strerror(EACCES));
        }
        if (loop.TimedOut()) *message = QString::fromLocal8Bit(g_strerror(ETIMEDOUT));
        g_error_free(run.error);
    }
    if (code != kNoError) return code;
    if (!run.answer.user.isEmpty()) cache_.Store(server, run.answer);
    if (char* path = g_file_get_path(file.get())) {
        *fusePath = QString::fromLocal8Bit(path);
        g_free(path);
    }
    return kNoError;
}

int GvfsMounter::Unmount(const QString& server, const QString& share, QString* message) {
    PrivateLoop loop(timeoutMs_);
    GObjectPtr<GFile> file(g_file_new_for_uri(SmbUri(server, share).constData()));
    GObjectPtr<GMount> mount(g_file_find_enclosing_mount(file.get(), loop.Cancellable(), nullptr));
    if (!mount) return kNoError;
    struct Unmounting {
        bool done = false;
        GError* error = nullptr;
        static void OnDone(GObject* source, GAsyncResult* result, gpointer data) {
            auto* state = static_cast<Unmounting*>(data);
            g_mount_unmount_with_operation_finish(G_MOUNT(source), result, &state->error);
            state->done = true;
        }
    } state;
    g_mount_unmount_with_operation(mount.get(), G_MOUNT_UNMOUNT_FORCE, nullptr, loop.Cancellable(),
                                   &Unmounting::OnDone, &state);
    loop.RunUntil(state.done);
    if (!state.error) return kNoError;
    *message = QString::fromUtf8(state.error->message);
    const int code = CodeForGioError(state.error->domain, state.error->code, *message);
    g_error_free(state.error);
    return code;
}

}  // namespace drives
