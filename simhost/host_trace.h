// The host-call log a person asks for when a frame goes wrong: one line per
// command sent, parameter checkout and check-in, expression written and undo
// group, in the order they happened; a command's own line comes when it
// returns, after the lines of what the effect did inside it. Off unless
// switched on, so that a normal run pays nothing for it.
//
// Line forms (TEXT is quoted with \n, \r, \" and \\ escaped):
//   command NAME -> CODE
//   command NAME -> CODE "MESSAGE"
// (NAME of an arbitrary-data callback is followed by its selector: COPY.)
//   checkout INDEX at TIME/SCALE
//   checkout INDEX failed CODE
//   checkin INDEX
//   expression on|off STREAM
//   expression STREAM "TEXT"
//   undo group "NAME"
//   undo group end
// STREAM is "parameter INDEX" for the effect's own parameters and
// "LAYER stream NUMBER" for a layer's property.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace simhost {

class HostTrace {
public:
    void set_on(bool on) { on_ = on; }
    bool on() const { return on_; }
    // Each line is also handed to `sink` as it is recorded.
    void set_sink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

    void add(const std::string& line);
    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

    // "TEXT" with its quotes and escapes.
    static std::string quoted(const std::string& text);

private:
    bool on_ = false;
    std::function<void(const std::string&)> sink_;
    std::vector<std::string> lines_;
};

}  // namespace simhost
