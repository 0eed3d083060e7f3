// A lock that every copy of the engine in the process shares. Each effect
// library links its own engine with local symbols, so a static mutex is one
// per library; Xlib's error handler and freeglut's initialisation are one per
// process. The lock joins a mutex of this library (threads of one library)
// with an open-file-description lock on a file that every library opens by
// the same name (libraries among themselves: two descriptions of one file
// exclude each other even inside one process).
#pragma once

#include <mutex>

namespace tavrel {

class ProcessWideLock {
public:
    // Blocks until no other holder of the same name, in this library or any
    // other, holds it. Without a usable lock file it falls back to this
    // library's mutex alone.
    explicit ProcessWideLock(const char* name);
    ~ProcessWideLock();

    ProcessWideLock(const ProcessWideLock&) = delete;
    ProcessWideLock& operator=(const ProcessWideLock&) = delete;

    // Whether the other libraries are excluded too.
    bool across_libraries() const { return fd_ >= 0; }

private:
    std::unique_lock<std::recursive_mutex> local_;
    int fd_ = -1;
};

}  // namespace tavrel
