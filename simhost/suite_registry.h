// The host's suites by name and version, with the faults a test can inject:
// a refused suite, or the Nth call of a function returning a code.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/host_types.h"

namespace simhost {

// ours: the basic suite's answer for a suite it does not have or refuses
inline constexpr SPErr kSPSuiteNotFoundError = 0x53214664;

class SuiteRegistry {
public:
    void add(const std::string& name, int32_t version, const void* suite);

    // Every version of the named suite is refused from now on.
    void refuse(const std::string& name);
    void unrefuse(const std::string& name);

    // Calls of `function` number `nth` (1-based) to nth + times - 1 return
    // `code`; times < 0 means every call from nth on.
    void inject_error(const std::string& function, int32_t code, int nth = 1, int times = 1);
    void clear_faults();

    // Called first by every suite function: the injected code or 0.
    int32_t fault(const char* function);
    int calls(const std::string& function) const;

    SPErr acquire(const char* name, int32_t version, const void** suite);
    SPErr release(const char* name, int32_t version);

    // "name version N: acquired A, released R" for every suite not balanced.
    std::vector<std::string> unbalanced() const;
    int acquisitions(const std::string& name) const;

private:
    struct Fault {
        int32_t code;
        int first;
        int last;  // inclusive; -1 for no end
    };
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, int32_t>, const void*> suites_;
    std::vector<std::string> refused_;
    std::map<std::string, std::vector<Fault>> faults_;
    std::map<std::string, int> calls_;
    std::map<std::pair<std::string, int32_t>, int> held_;
    std::map<std::string, int> acquisitions_;
};

}  // namespace simhost
