// libsmbclient, loaded when the first share is listed rather than when the
// program starts. Linked in directly, the library brings some ninety Samba
// libraries whose loading and start-up code cost about 40 ms at every start
// of the program, also for the command line, which never lists a share.
//
// The functions below are the libsmbclient entry points the share code
// calls, with the library's own declarations (libsmbclient.h); each forwards
// to the library's function, looked up once. Without the library, a new
// context fails (null, errno ELIBACC) and nothing else is ever reached.
#include <dlfcn.h>
#include <libsmbclient.h>

#include <cerrno>

namespace {

void* Library() {
    static void* const handle = dlopen("libsmbclient.so.0", RTLD_NOW | RTLD_LOCAL);
    return handle;
}

// The library's `name`, as a pointer of type F; null without the library.
template <typename F>
F Entry(const char* name) {
    void* library = Library();
    return library != nullptr ? reinterpret_cast<F>(dlsym(library, name)) : nullptr;
}

}  // namespace

// Each forwarder resolves its entry once (thread-safe static) and calls it.
#define NORVALE_SMBC_FORWARD(result, name, parameters, arguments, fallback) \
    extern "C" result name parameters {                                     \
        static const auto entry = Entry<decltype(&name)>(#name);            \
        if (entry == nullptr) return fallback;                              \
        return entry arguments;                                             \
    }

extern "C" SMBCCTX* smbc_new_context(void) {
    static const auto entry = Entry<decltype(&smbc_new_context)>("smbc_new_context");
    if (entry == nullptr) {
        errno = ELIBACC;
        return nullptr;
    }
    return entry();
}

NORVALE_SMBC_FORWARD(int, smbc_free_context, (SMBCCTX * context, int shutdown), (context, shutdown),
                     1)
NORVALE_SMBC_FORWARD(SMBCCTX*, smbc_init_context, (SMBCCTX * context), (context), nullptr)
NORVALE_SMBC_FORWARD(void*, smbc_getOptionUserData, (SMBCCTX * context), (context), nullptr)
NORVALE_SMBC_FORWARD(void, smbc_setOptionUserData, (SMBCCTX * context, void* data), (context, data),
                     void())
NORVALE_SMBC_FORWARD(void, smbc_setDebug, (SMBCCTX * context, int debug), (context, debug), void())
NORVALE_SMBC_FORWARD(void, smbc_setTimeout, (SMBCCTX * context, int timeout), (context, timeout),
                     void())
NORVALE_SMBC_FORWARD(void, smbc_setFunctionAuthDataWithContext,
                     (SMBCCTX * context, smbc_get_auth_data_with_context_fn function),
                     (context, function), void())
NORVALE_SMBC_FORWARD(void, smbc_setOptionUseKerberos, (SMBCCTX * context, smbc_bool b),
                     (context, b), void())
NORVALE_SMBC_FORWARD(void, smbc_setOptionFallbackAfterKerberos, (SMBCCTX * context, smbc_bool b),
                     (context, b), void())
NORVALE_SMBC_FORWARD(void, smbc_setOptionNoAutoAnonymousLogin, (SMBCCTX * context, smbc_bool b),
                     (context, b), void())
NORVALE_SMBC_FORWARD(smbc_opendir_fn, smbc_getFunctionOpendir, (SMBCCTX * context), (context),
                     nullptr)
NORVALE_SMBC_FORWARD(smbc_readdir_fn, smbc_getFunctionReaddir, (SMBCCTX * context), (context),
                     nullptr)
NORVALE_SMBC_FORWARD(smbc_closedir_fn, smbc_getFunctionClosedir, (SMBCCTX * context), (context),
                     nullptr)
NORVALE_SMBC_FORWARD(smbc_purge_cached_fn, smbc_getFunctionPurgeCachedServers, (SMBCCTX * context),
                     (context), nullptr)
