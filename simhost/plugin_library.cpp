#include "simhost/plugin_library.h"

#include <dlfcn.h>

#include "resources/pipl.h"
#include "simhost/elf_file.h"
#include "simhost/simhost_error.h"

namespace simhost {

PiplInfo read_pipl_from_file(const std::string& path) {
    const ElfFile elf(path);
    const auto bytes = elf.section(tavrel::kPiplSectionName);
    if (!bytes) throw SimhostError(path + " has no property list");
    try {
        return parse_pipl(*bytes);
    } catch (const SimhostError& e) {
        throw SimhostError(path + ": " + e.what());
    }
}

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
    const ElfFile elf(path);
    const auto bytes = elf.section(tavrel::kPiplSectionName);
    if (!bytes) throw SimhostError(path + " has no property list");
    try {
        pipl_ = parse_pipl(*bytes);
    } catch (const SimhostError& e) {
        throw SimhostError(path + ": " + e.what());
    }
    if (pipl_.kind != "eFKT") throw SimhostError(path + " is not an effect (kind " + pipl_.kind + ")");
    exported_ = elf.defined_dynamic_symbols();

    // A relative path would make dlopen search the library path instead.
    const std::string open_path = path.find('/') == std::string::npos ? "./" + path : path;
    // The library stays mapped after it is closed: the GL driver it brings in
    // may still have worker threads winding down when the effect is gone, and
    // unmapping their code under them crashes the host.
    handle_ = dlopen(open_path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        throw SimhostError("cannot load " + path + ": " + (why ? why : "unknown error"));
    }
    dlerror();
    void* symbol = dlsym(handle_, pipl_.entry_point.c_str());
    if (symbol == nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
        throw SimhostError(path + " does not export " + pipl_.entry_point);
    }
    entry_ = reinterpret_cast<PF_EntryPointFunc>(symbol);
}

PluginLibrary::PluginLibrary(const std::string& path, PF_EntryPointFunc linked_entry)
    : path_(path), pipl_(read_pipl_from_file(path)), entry_(linked_entry) {
    if (entry_ == nullptr) throw SimhostError(path + ": no linked entry point");
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

}  // namespace simhost
