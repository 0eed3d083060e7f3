#include "engine/glx/process_wide_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tavrel {

namespace {

std::recursive_mutex& local_mutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

thread_local int g_depth = 0;

// One file per user and name in the temporary folder; only its lock matters.
std::string lock_path(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0') dir = "/tmp";
    return std::string(dir) + "/.tavrel-" + name + "-" + std::to_string(static_cast<long>(getuid())) + ".lock";
}

}  // namespace

ProcessWideLock::ProcessWideLock(const char* name) : local_(local_mutex()) {
    // A thread that already holds it (a trap inside a trap) holds the file
    // lock already; a second description would wait for itself.
    if (g_depth++ > 0) return;
    fd_ = ::open(lock_path(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    int rc;
    while ((rc = ::fcntl(fd_, F_OFD_SETLKW, &lock)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

ProcessWideLock::~ProcessWideLock() {
    --g_depth;
    // Closing the last descriptor of the description releases its lock.
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace tavrel
