// The files the host reads and writes for a user: paths checked before use,
// reads bounded by what the file's format can need, and writes that leave
// either the whole file or none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace simhost {

// SimhostError for an empty path or one with a NUL character, naming
// `what` (such as "--scene").
void check_path(const std::string& path, const std::string& what);

// The file opened for reading; SimhostError "PATH: cannot be read (REASON)"
// for a path that cannot be opened and "PATH: is a directory".
std::FILE* open_for_reading(const std::string& path);

// The whole file when it holds at most `max_bytes`; otherwise SimhostError
// "PATH: larger than MAX bytes, more than FORMAT can need" without reading
// the rest. A device without an end is refused the same way.
std::vector<uint8_t> read_capped(const std::string& path, size_t max_bytes, const std::string& format);

// Writes `path` through `write`, which fills the stream it is given and
// throws an exception whose text is the reason when it cannot. A missing
// target or a regular file is written under a temporary name beside it and
// renamed once whole: on any failure, or a signal that ends the process
// (hang-up, interrupt, quit, terminate), the temporary file is removed and
// the target is left as it was. A replaced file keeps its owner and group
// where the process may give them, and its mode; a new one takes the umask.
// A symbolic link is written through: the file it leads to is replaced (or
// made, for a link to nothing), beside itself. Any other target (a device, a
// pipe) is written into where it is. Every write, the flush and the close
// are checked, and a pipe whose reader has gone fails with EPIPE instead of
// ending the process by the signal. SimhostError "PATH: cannot be written
// (REASON)", REASON the system's (a file the user may not write, a link
// loop among them), and "PATH: is a directory, not a file".
void write_whole_file(const std::string& path, const std::function<void(std::FILE*)>& write);

// What write_whole_file refuses before it writes, refused now: so that no
// frame is rendered for an output that cannot take it.
void check_writable(const std::string& path);

// `size` bytes to `f`; SimhostError holding the system's reason otherwise.
void write_all(std::FILE* f, const void* data, size_t size);

// Text echoed back to a user: control characters (NUL among them) as \xHH
// and at most `limit` bytes, the rest counted.
std::string echo(const std::string& text, size_t limit = 200);

}  // namespace simhost
