#include "simhost/host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

// Runs `write` on `f` and closes it; the reason the file is not whole, or
// an empty string. Every write, the flush and the close are checked: on a
// device or a full disk the error may surface only at the last of them.
std::string fill_and_close(std::FILE* f, const std::function<void(std::FILE*)>& write) {
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

}  // namespace

void write_whole_file(const std::string& path, const std::function<void(std::FILE*)>& write) {
    check_path(path, "the output");
    const auto failed = [&](const std::string& why) {
        return SimhostError(echo(path) + ": cannot be written (" + why + ")");
    };
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) throw SimhostError(echo(path) + ": is a directory, not a file");
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a pipe is written into, as any tool writes there: a
        // rename would put a regular file in its place.
        std::FILE* f = open_fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (f == nullptr) throw failed(reason(errno));
        const std::string problem = fill_and_close(f, write);
        if (!problem.empty()) throw failed(problem);
        return;
    }
    // Beside the target, so that the rename stays on one file system.
    const std::string temp = path + ".partial-" + std::to_string(::getpid());
    std::FILE* f = open_fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (f == nullptr) throw failed(reason(errno));
    std::string problem = fill_and_close(f, write);
    if (problem.empty() && std::rename(temp.c_str(), path.c_str()) != 0) problem = reason(errno);
    if (!problem.empty()) {
        std::remove(temp.c_str());
        throw failed(problem);
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
