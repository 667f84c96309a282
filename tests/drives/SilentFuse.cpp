// silent-fuse MOUNTPOINT: mounts a FUSE file system that never answers a
// request (after the kernel's handshake), prints "ready" and runs until it
// is killed. Whoever touches anything below MOUNTPOINT meanwhile blocks, as
// on a share whose server or FUSE daemon hangs; when the process dies, the
// kernel fails every waiting request and the caller unmounts MOUNTPOINT.
#define FUSE_USE_VERSION 35
#include <fuse_lowlevel.h>

#include <cstdio>

namespace {

// Requests are kept unanswered for good (the process is killed, not ended).
void NoAnswer(fuse_req_t) {}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: silent-fuse MOUNTPOINT\n", stderr);
        return 2;
    }
    fuse_lowlevel_ops ops{};
    ops.lookup = [](fuse_req_t req, fuse_ino_t, const char*) { NoAnswer(req); };
    ops.getattr = [](fuse_req_t req, fuse_ino_t, fuse_file_info*) { NoAnswer(req); };
    ops.readlink = [](fuse_req_t req, fuse_ino_t) { NoAnswer(req); };
    ops.open = [](fuse_req_t req, fuse_ino_t, fuse_file_info*) { NoAnswer(req); };
    ops.opendir = [](fuse_req_t req, fuse_ino_t, fuse_file_info*) { NoAnswer(req); };
    ops.statfs = [](fuse_req_t req, fuse_ino_t) { NoAnswer(req); };
    ops.access = [](fuse_req_t req, fuse_ino_t, int) { NoAnswer(req); };
    char* const program = argv[0];
    fuse_args args = FUSE_ARGS_INIT(1, &argv[0]);
    args.argv[0] = program;
    fuse_session* session = fuse_session_new(&args, &ops, sizeof ops, nullptr);
    if (!session || fuse_session_mount(session, argv[1]) != 0) {
        std::fprintf(stderr, "silent-fuse: cannot mount %s\n", argv[1]);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return fuse_session_loop(session) == 0 ? 0 : 1;
}
