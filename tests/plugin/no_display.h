// Points the engine's hidden window at a display that does not exist, for
// one scope.
#pragma once

#include <cstdlib>
#include <string>

class NoDisplay {
public:
    NoDisplay() {
        const char* d = std::getenv("DISPLAY");
        if (d != nullptr) saved_ = d;
        setenv("DISPLAY", ":7391", 1);
    }
    ~NoDisplay() {
        if (saved_.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", saved_.c_str(), 1);
    }
    NoDisplay(const NoDisplay&) = delete;
    NoDisplay& operator=(const NoDisplay&) = delete;

private:
    std::string saved_;
};
