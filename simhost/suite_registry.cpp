#include "simhost/suite_registry.h"

#include <algorithm>

namespace simhost {

void SuiteRegistry::add(const std::string& name, int32_t version, const void* suite) {
    std::lock_guard<std::mutex> lock(mutex_);
    suites_[{name, version}] = suite;
}

void SuiteRegistry::refuse(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    refused_.push_back(name);
}

void SuiteRegistry::unrefuse(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    refused_.erase(std::remove(refused_.begin(), refused_.end(), name), refused_.end());
}

void SuiteRegistry::inject_error(const std::string& function, int32_t code, int nth, int times) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int first = calls_[function] + nth;
    faults_[function].push_back({code, first, times < 0 ? -1 : first + times - 1});
}

void SuiteRegistry::clear_faults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

int32_t SuiteRegistry::fault(const char* function) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int n = ++calls_[function];
    const auto it = faults_.find(function);
    if (it == faults_.end()) return 0;
    for (const auto& f : it->second)
        if (n >= f.first && (f.last < 0 || n <= f.last)) return f.code;
    return 0;
}

int SuiteRegistry::calls(const std::string& function) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = calls_.find(function);
    return it == calls_.end() ? 0 : it->second;
}

SPErr SuiteRegistry::acquire(const char* name, int32_t version, const void** suite) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (suite == nullptr || name == nullptr) return kSPSuiteNotFoundError;
    *suite = nullptr;
    if (std::find(refused_.begin(), refused_.end(), name) != refused_.end())
        return kSPSuiteNotFoundError;
    const auto it = suites_.find({name, version});
    if (it == suites_.end()) return kSPSuiteNotFoundError;
    *suite = it->second;
    ++held_[{name, version}];
    ++acquisitions_[name];
    return 0;
}

SPErr SuiteRegistry::release(const char* name, int32_t version) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (name == nullptr) return kSPSuiteNotFoundError;
    auto it = held_.find({name, version});
    if (it == held_.end() || it->second == 0) return kSPSuiteNotFoundError;
    --it->second;
    return 0;
}

std::vector<std::string> SuiteRegistry::unbalanced() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [key, count] : held_)
        if (count != 0)
            out.push_back("suite \"" + key.first + "\" version " + std::to_string(key.second) +
                          " acquired " + std::to_string(count) + " more time(s) than released");
    return out;
}

int SuiteRegistry::acquisitions(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = acquisitions_.find(name);
    return it == acquisitions_.end() ? 0 : it->second;
}

}  // namespace simhost
