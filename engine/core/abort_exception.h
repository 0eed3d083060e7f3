// Abort codes travel from the rendering thread to the host as these, and the
// entry point turns them into the command's result. Not a std::exception on
// purpose: the catch clauses for standard exceptions must not swallow them.
#pragma once

#include <cstdint>

namespace tavrel {

class IAbortException {
public:
    virtual ~IAbortException() = default;
    virtual uint32_t code() const = 0;
};

class SimpleAbortException : public IAbortException {
public:
    explicit SimpleAbortException(uint32_t code) : code_(code) {}
    uint32_t code() const override { return code_; }

private:
    uint32_t code_;
};

}  // namespace tavrel
