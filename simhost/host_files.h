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

// Writes through `write` into a temporary file beside `path` and renames it
// to `path` once `write` returned; when `write` throws or the file cannot be
// completed, the temporary file is removed and nothing is left at `path`.
void write_whole_file(const std::string& path, const std::function<void(const std::string& temp)>& write);

// Text echoed back to a user: control characters (NUL among them) as \xHH
// and at most `limit` bytes, the rest counted.
std::string echo(const std::string& text, size_t limit = 200);

}  // namespace simhost
