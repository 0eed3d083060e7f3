// A plug-in loaded the way a host loads one: its property list read from the
// file, then dlopen and the entry point the property list names.
#pragma once

#include <string>
#include <vector>

#include "hostapi/host_effect.h"
#include "simhost/pipl_info.h"

namespace simhost {

class PluginLibrary {
public:
    // Throws SimhostError: a missing file, a file that is not a shared
    // library, no property list, no entry point.
    explicit PluginLibrary(const std::string& path);
    // The effect whose property list is in the file at path, with its entry
    // point linked into this program instead of loaded: for tests that look
    // at the effect's own state while a host drives it.
    PluginLibrary(const std::string& path, PF_EntryPointFunc linked_entry);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& path() const { return path_; }
    const PiplInfo& pipl() const { return pipl_; }
    PF_EntryPointFunc entry() const { return entry_; }
    const std::vector<std::string>& exported_symbols() const { return exported_; }

private:
    std::string path_;
    PiplInfo pipl_;
    std::vector<std::string> exported_;
    void* handle_ = nullptr;
    PF_EntryPointFunc entry_ = nullptr;
};

// The property list embedded in a plug-in file, without loading it.
PiplInfo read_pipl_from_file(const std::string& path);

}  // namespace simhost
