// GIO headers use "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

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

    template <typename Done>
    void RunUntil(const Done& done) {
        while (!done()) g_main_context_iteration(context_, TRUE);
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
    MountTask* task = nullptr;
    bool interactive = false;
    QWidget* owner = nullptr;
    int asks = 0;
    bool prompted = false;
    bool cancelledByUser = false;
    Credentials answer;
    bool done = false;
    GError* error = nullptr;
    GObjectPtr<GFile> file;
    GObjectPtr<GMountOperation> op;

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

    void Start() {
        file.reset(g_file_new_for_uri(SmbUrl(task->server, task->share).toLatin1().constData()));
        op.reset(g_mount_operation_new());
        g_signal_connect(op.get(), "ask-password", G_CALLBACK(&MountRun::OnAskPassword), this);
        g_signal_connect(op.get(), "ask-question", G_CALLBACK(&MountRun::OnAskQuestion), this);
        g_file_mount_enclosing_volume(file.get(), G_MOUNT_MOUNT_NONE, op.get(), loop->Cancellable(),
                                      &MountRun::OnMounted, this);
    }

    void Ask(GMountOperation* op, const char* defaultUser, const char* defaultDomain,
             GAskPasswordFlags flags) {
        if (++asks > kMaxAsks) return g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        if (asks == 1) {
            if (const Credentials* cached = self->cache_.Find(task->server)) {
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
        const bool ok = self->prompt_->Ask(owner, task->server, task->share, prompted, &answer);
        loop->StartDeadline();
        prompted = true;
        if (!ok) {
            cancelledByUser = true;
            return g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        }
        ReplyWith(op, answer, defaultDomain);
    }

    // Fills the task from the outcome.
    void Finish(bool timedOut) {
        if (op) g_signal_handlers_disconnect_by_data(op.get(), this);
        if (error) {
            task->message = QString::fromUtf8(error->message);
            task->code = GvfsMounter::CodeForGioError(error->domain, error->code, task->message);
            task->existed = error->code == G_IO_ERROR_ALREADY_MOUNTED;
            if (cancelledByUser) task->code = kErrorCancelled;
            if (task->code == kErrorAccessDenied && error->code == G_IO_ERROR_FAILED_HANDLED) {
                task->message = QString::fromLocal8Bit(g_strerror(EACCES));
            }
            if (timedOut) task->message = QString::fromLocal8Bit(g_strerror(ETIMEDOUT));
            g_error_free(error);
            error = nullptr;
        }
        if (task->code != kNoError) return;
        if (!answer.user.isEmpty()) self->cache_.Store(task->server, answer);
        if (char* path = g_file_get_path(file.get())) {
            task->fusePath = QString::fromLocal8Bit(path);
            g_free(path);
        }
    }
};

GvfsMounter::GvfsMounter(CredentialCache& cache, CredentialPrompt* prompt, int timeoutMs)
    : cache_(cache), prompt_(prompt), timeoutMs_(timeoutMs) {}

bool GvfsMounter::CanMountSmb() {
    const gchar* const* schemes = g_vfs_get_supported_uri_schemes(g_vfs_get_default());
    for (; schemes && *schemes; ++schemes) {
        if (qstrcmp(*schemes, "smb") == 0) return true;
    }
    return false;
}

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
        case G_IO_ERROR_BUSY:
            return kErrorDeviceInUse;
        case G_IO_ERROR_FAILED:
            return CodeForMessageErrno(message);
        default:
            return kErrorUnexpectedNetwork;
    }
}

void GvfsMounter::Run(std::vector<MountTask>* tasks, bool interactive, QWidget* owner,
                      int timeoutMs) {
    PrivateLoop loop(std::max(1, timeoutMs));
    std::vector<std::unique_ptr<MountRun>> runs;
    for (MountTask& task : *tasks) {
        task.code = kNoError;
        task.fusePath.clear();
        task.message.clear();
        task.existed = false;
        auto run = std::make_unique<MountRun>();
        run->self = this;
        run->loop = &loop;
        run->task = &task;
        run->interactive = interactive;
        run->owner = owner;
        run->Start();
        runs.push_back(std::move(run));
    }
    loop.RunUntil([&runs] {
        return std::all_of(runs.begin(), runs.end(), [](const auto& run) { return run->done; });
    });
    for (auto& run : runs) run->Finish(loop.TimedOut());
}

int GvfsMounter::Mount(const QString& server, const QString& share, bool interactive,
                       QWidget* owner, QString* fusePath, QString* message, bool* existed) {
    std::vector<MountTask> tasks(1);
    tasks[0].server = server;
    tasks[0].share = share;
    Run(&tasks, interactive, owner, timeoutMs_);
    *fusePath = tasks[0].fusePath;
    if (tasks[0].code != kNoError) *message = tasks[0].message;
    if (existed) *existed = tasks[0].existed;
    return tasks[0].code;
}

void GvfsMounter::MountAll(std::vector<MountTask>* tasks, int timeoutMs) {
    Run(tasks, false, nullptr, std::min(timeoutMs, timeoutMs_));
}

namespace {

// GIO keeps the mounts it has seen in a cache of its own: a share unmounted
// and mounted again elsewhere may still show its old mount there, whose
// unmount fails. Any request on the location lets GIO notice and refresh it.
void RefreshMountCache(GFile* file, PrivateLoop& loop) {
    bool done = false;
    g_file_query_info_async(
        file, G_FILE_ATTRIBUTE_STANDARD_NAME, G_FILE_QUERY_INFO_NONE, G_PRIORITY_DEFAULT,
        loop.Cancellable(),
        [](GObject* source, GAsyncResult* result, gpointer data) {
            GFileInfo* info = g_file_query_info_finish(G_FILE(source), result, nullptr);
            if (info) g_object_unref(info);
            *static_cast<bool*>(data) = true;
        },
        &done);
    loop.RunUntil([&done] { return done; });
}

struct Unmounting {
    bool done = false;
    GError* error = nullptr;
    static void OnDone(GObject* source, GAsyncResult* result, gpointer data) {
        auto* state = static_cast<Unmounting*>(data);
        g_mount_unmount_with_operation_finish(G_MOUNT(source), result, &state->error);
        state->done = true;
    }
};

}  // namespace

int GvfsMounter::Unmount(const QString& server, const QString& share, QString* message) {
    PrivateLoop loop(timeoutMs_);
    GObjectPtr<GFile> file(g_file_new_for_uri(SmbUrl(server, share).toLatin1().constData()));
    for (int attempt = 0;; ++attempt) {
        GObjectPtr<GMount> mount(
            g_file_find_enclosing_mount(file.get(), loop.Cancellable(), nullptr));
        if (!mount) return kNoError;
        Unmounting state;
        // Never forced: with files open there the mount stays and says so.
        g_mount_unmount_with_operation(mount.get(), G_MOUNT_UNMOUNT_NONE, nullptr,
                                       loop.Cancellable(), &Unmounting::OnDone, &state);
        loop.RunUntil([&state] { return state.done; });
        if (!state.error) return kNoError;
        *message = QString::fromUtf8(state.error->message);
        const int code = CodeForGioError(state.error->domain, state.error->code, *message);
        const bool stale = state.error->domain != G_IO_ERROR && !loop.TimedOut();
        g_error_free(state.error);
        if (!stale || attempt > 0) return code;
        RefreshMountCache(file.get(), loop);
    }
}

}  // namespace drives
