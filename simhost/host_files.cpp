#include "simhost/host_files.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

#include "simhost/simhost_error.h"

namespace simhost {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool is_directory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void check_path(const std::string& path, const std::string& what) {
    if (path.empty()) throw SimhostError(what + " needs a file path, not an empty one");
    if (path.find('\0') != std::string::npos)
        throw SimhostError(what + ": a path cannot hold a NUL character: \"" + echo(path) + "\"");
}

std::FILE* open_for_reading(const std::string& path) {
    check_path(path, "a file to read");
    if (is_directory(path)) throw SimhostError(echo(path) + ": is a directory, not a file");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) throw SimhostError(echo(path) + ": cannot be read (" + std::strerror(errno) + ")");
    return f;
}

std::vector<uint8_t> read_capped(const std::string& path, size_t max_bytes, const std::string& format) {
    std::unique_ptr<std::FILE, FileCloser> f(open_for_reading(path));
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        if (bytes.size() + n > max_bytes)
            throw SimhostError(echo(path) + ": larger than " + std::to_string(max_bytes) + " bytes, more than " +
                               format + " can need");
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(f.get())) throw SimhostError(echo(path) + ": cannot be read (" + std::strerror(errno) + ")");
    return bytes;
}

namespace {

std::string reason(int e) { return std::strerror(e != 0 ? e : EIO); }

// A reader that has gone makes a write fail with EPIPE, and the signal the
// kernel sends with it would end the process without a word. The signal is
// held in this thread while the file is written, and one the write raised
// is taken back, so that the failure is the write's to report.
class PipeSignalHeld {
public:
    PipeSignalHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        was_pending_ = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
    }
    ~PipeSignalHeld() {
        sigset_t pending;
        if (!was_pending_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
            const struct timespec now {0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

private:
    sigset_t pipe_{}, before_{};
    bool was_pending_ = false;
};

// The temporary file of the write under way, removed by a signal that ends
// the process before it is renamed. A handler may only make calls that are
// async-signal-safe: the path is copied here before the file is made, and
// the handler only unlinks it and raises the signal again.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
char g_partial_path[PATH_MAX];
volatile sig_atomic_t g_partial_live = 0;
struct sigaction g_before[NSIG];

extern "C" void remove_partial_and_raise(int signal) {
    if (g_partial_live) ::unlink(g_partial_path);
    // What the process did with the signal before, done now.
    ::sigaction(signal, &g_before[signal], nullptr);
    ::raise(signal);
}

class PartialFile {
public:
    // A path too long for the buffer is too long to be made as well.
    explicit PartialFile(const std::string& path) {
        if (path.size() >= sizeof g_partial_path) return;
        std::memcpy(g_partial_path, path.c_str(), path.size() + 1);
        struct sigaction on {};
        on.sa_handler = remove_partial_and_raise;
        sigfillset(&on.sa_mask);
        for (int s : kEndingSignals) {
            struct sigaction before {};
            // A signal the process ignores (a run under nohup) stays ignored.
            if (::sigaction(s, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
            g_before[s] = before;
            ::sigaction(s, &on, nullptr);
            installed_[s] = true;
        }
        g_partial_live = 1;
    }
    ~PartialFile() {
        g_partial_live = 0;
        for (int s : kEndingSignals)
            if (installed_[s]) ::sigaction(s, &g_before[s], nullptr);
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

private:
    bool installed_[NSIG] = {};
};

// Runs `write` on `f` and closes it; the reason the file is not whole, or
// an empty string. Every write, the flush and the close are checked: on a
// device or a full disk the error may surface only at the last of them.
std::string fill_and_close(std::FILE* f, const std::function<void(std::FILE*)>& write) {
    const PipeSignalHeld held;
    std::string problem;
    try {
        errno = 0;
        write(f);
        if (std::fflush(f) != 0 || std::ferror(f)) problem = reason(errno);
    } catch (const std::exception& e) {
        problem = e.what();
    }
    errno = 0;
    if (std::fclose(f) != 0 && problem.empty()) problem = reason(errno);
    return problem;
}

std::FILE* open_fd(int fd) {
    std::FILE* f = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (f == nullptr && fd >= 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
    }
    return f;
}

// The path of the file `path` leads to once the links at its end are
// followed, as open() follows them: a link's relative target is read from
// the link's own folder, and a link to nothing gives the path it points to,
// where the file is then made. 0, or the reason it cannot be followed.
int follow_links(const std::string& path, std::string* target) {
    std::string p = path;
    // The kernel's own bound on the links it follows in one path.
    constexpr int kMaxLinks = 40;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) {
            if (errno != ENOENT) return errno;
            break;
        }
        if (!S_ISLNK(st.st_mode)) break;
        if (links == kMaxLinks) return ELOOP;
        std::string to(PATH_MAX, '\0');
        const ssize_t n = ::readlink(p.c_str(), to.data(), to.size());
        if (n < 0) return errno;
        if (n == 0) return ENOENT;
        if (size_t(n) >= to.size()) return ENAMETOOLONG;
        to.resize(size_t(n));
        const size_t slash = p.rfind('/');
        p = to[0] == '/' || slash == std::string::npos ? to : p.substr(0, slash + 1) + to;
    }
    *target = p;
    return 0;
}

// The replacement is the file the user had: its owner and group where this
// process may give them (root may; another user only a group of its own),
// and its permissions, the set-user and set-group bits only with both the
// owner and the group kept, as a copy keeps them.
int keep_owner_and_mode(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, uid_t(-1), old.st_gid);
    struct stat now {};
    if (::fstat(fd, &now) != 0) return errno;
    mode_t mode = old.st_mode & 07777;
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) mode &= ~mode_t(S_ISUID | S_ISGID);
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

SimhostError not_written(const std::string& path, const std::string& why) {
    return SimhostError(echo(path) + ": cannot be written (" + why + ")");
}

// Where a write to a path goes.
struct Destination {
    bool in_place = false;  // a device or a pipe, written into where it is
    std::string target;     // else the file replaced or made, links followed
    bool exists = false;    // a regular file is there now
    struct stat old {};     // its status then
};

// The destination of `path`, or SimhostError for one that cannot be
// written: a folder, a link that cannot be followed, a file the user may not
// write.
Destination destination_of(const std::string& path) {
    Destination d;
    // What the path leads to, links followed by the kernel (which alone
    // knows the links of /proc, such as /dev/stdout's).
    d.exists = ::stat(path.c_str(), &d.old) == 0;
    if (!d.exists && errno != ENOENT) throw not_written(path, reason(errno));
    if (d.exists && S_ISDIR(d.old.st_mode)) throw SimhostError(echo(path) + ": is a directory, not a file");
    if (d.exists && !S_ISREG(d.old.st_mode)) {
        // A device or a pipe is written into, as any tool writes there: a
        // rename would put a regular file in its place.
        d.in_place = true;
        d.exists = false;
        return d;
    }
    // A link is written through: the file it leads to is replaced, beside
    // itself, and the link stays.
    if (const int e = follow_links(path, &d.target); e != 0) throw not_written(path, reason(e));
    if (d.exists) {
        struct stat at {};
        if (::stat(d.target.c_str(), &at) != 0 || at.st_dev != d.old.st_dev || at.st_ino != d.old.st_ino)
            throw not_written(path, "the file its links lead to has no path that names it");
        // A file the user may not write is refused, as a shell's redirection
        // refuses it; root may write it.
        if (::faccessat(AT_FDCWD, d.target.c_str(), W_OK, AT_EACCESS) != 0) throw not_written(path, reason(errno));
    }
    return d;
}

}  // namespace

void check_writable(const std::string& path) {
    check_path(path, "the output");
    destination_of(path);
}

void write_whole_file(const std::string& path, const std::function<void(std::FILE*)>& write) {
    check_path(path, "the output");
    const Destination d = destination_of(path);
    if (d.in_place) {
        std::FILE* f = open_fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (f == nullptr) throw not_written(path, reason(errno));
        const std::string problem = fill_and_close(f, write);
        if (!problem.empty()) throw not_written(path, problem);
        return;
    }
    // Beside the target, so that the rename stays on one file system.
    const std::string temp = d.target + ".partial-" + std::to_string(::getpid());
    const PartialFile partial(temp);
    // Made private and given the old file's mode before a byte is written; a
    // new file takes the process's umask.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, d.exists ? 0600 : 0666);
    if (fd < 0) throw not_written(path, reason(errno));
    if (d.exists) {
        if (const int e = keep_owner_and_mode(fd, d.old); e != 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            throw not_written(path, reason(e));
        }
    }
    std::FILE* f = open_fd(fd);
    if (f == nullptr) {
        const int e = errno;
        ::unlink(temp.c_str());
        throw not_written(path, reason(e));
    }
    std::string problem = fill_and_close(f, write);
    if (problem.empty() && std::rename(temp.c_str(), d.target.c_str()) != 0) problem = reason(errno);
    if (!problem.empty()) {
        std::remove(temp.c_str());
        throw not_written(path, problem);
    }
}

void write_all(std::FILE* f, const void* data, size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, f) != size) throw SimhostError(reason(errno));
}

std::string echo(const std::string& text, size_t limit) {
    std::string out;
    size_t shown = 0;
    for (; shown < text.size() && out.size() < limit; ++shown) {
        const unsigned char c = static_cast<unsigned char>(text[shown]);
        if (c < 0x20 || c == 0x7f) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    if (shown < text.size()) out += "... (" + std::to_string(text.size() - shown) + " more bytes)";
    return out;
}

}  // namespace simhost
