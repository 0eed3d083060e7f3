#include "simhost/elf_file.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "simhost/simhost_error.h"

namespace simhost {
namespace {

template <class T>
T value_at(const std::vector<uint8_t>& bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

std::string string_at(const std::vector<uint8_t>& table, uint32_t offset) {
    if (offset >= table.size()) return {};
    const auto begin = table.begin() + offset;
    return std::string(begin, std::find(begin, table.end(), uint8_t(0)));
}

}  // namespace

ElfFile::ElfFile(const std::string& path) : path_(path) {
    // Looked at before it is opened: opening a pipe waits for its writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw SimhostError("cannot open " + path + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw SimhostError(path + " is a directory, not a shared library");
    if (!S_ISREG(st.st_mode)) throw SimhostError(path + " is not a regular file, so not a shared library");
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw SimhostError("cannot open " + path + ": " + std::strerror(errno));
    try {
        if (::fstat(fd_, &st) != 0) throw SimhostError("cannot open " + path + ": " + std::strerror(errno));
        if (!S_ISREG(st.st_mode)) throw SimhostError(path + " is not a regular file, so not a shared library");
        file_size_ = uint64_t(st.st_size);

        if (file_size_ < sizeof(Elf64_Ehdr)) throw SimhostError(path + " is not a shared library");
        const auto eh = value_at<Elf64_Ehdr>(read(0, sizeof(Elf64_Ehdr)), 0);
        if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0) throw SimhostError(path + " is not a shared library");
        if (eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB)
            throw SimhostError(path + " is not a 64-bit little-endian library");
        if (eh.e_type != ET_DYN) throw SimhostError(path + " is not a shared library");
        if (eh.e_shentsize != sizeof(Elf64_Shdr)) throw SimhostError(path + ": unexpected section header size");

        // At most 65535 headers of 64 bytes: 4 MB, read at once.
        const std::vector<uint8_t> table = read(eh.e_shoff, uint64_t(eh.e_shnum) * sizeof(Elf64_Shdr));
        std::vector<Elf64_Shdr> headers;
        for (uint16_t i = 0; i < eh.e_shnum; ++i)
            headers.push_back(value_at<Elf64_Shdr>(table, size_t(i) * sizeof(Elf64_Shdr)));
        if (eh.e_shstrndx >= headers.size()) throw SimhostError(path + ": no section name table");
        const Elf64_Shdr& names = headers[eh.e_shstrndx];
        if (names.sh_size > kMaxSectionBytes)
            throw SimhostError(path + ": a section name table of " + std::to_string(names.sh_size) +
                               " bytes, more than a library's can need");
        const std::vector<uint8_t> name_table = read(names.sh_offset, names.sh_size);
        for (const auto& h : headers)
            sections_.push_back({string_at(name_table, h.sh_name), h.sh_type, h.sh_offset, h.sh_size,
                                 h.sh_link, h.sh_entsize});
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

ElfFile::~ElfFile() { ::close(fd_); }

std::vector<uint8_t> ElfFile::read(uint64_t offset, uint64_t size) const {
    if (offset > file_size_ || file_size_ - offset < size) throw SimhostError(path_ + ": truncated ELF file");
    std::vector<uint8_t> bytes(size);
    for (uint64_t done = 0; done < size;) {
        const ssize_t n = ::pread(fd_, bytes.data() + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw SimhostError("cannot read " + path_ + ": " + std::strerror(errno));
        if (n == 0) throw SimhostError(path_ + ": truncated ELF file");
        done += uint64_t(n);
    }
    return bytes;
}

const ElfFile::Section* ElfFile::find(const std::string& name) const {
    for (const auto& s : sections_)
        if (s.name == name) return &s;
    return nullptr;
}

std::vector<uint8_t> ElfFile::bytes_of(const Section& s) const {
    if (s.size > kMaxSectionBytes)
        throw SimhostError(path_ + ": section " + s.name + " of " + std::to_string(s.size) +
                           " bytes, more than a library's can need");
    if (s.type == SHT_NOBITS) return std::vector<uint8_t>(s.size, 0);
    if (s.offset > file_size_ || file_size_ - s.offset < s.size)
        throw SimhostError(path_ + ": section " + s.name + " lies outside the file");
    return read(s.offset, s.size);
}

std::optional<std::vector<uint8_t>> ElfFile::section(const std::string& name) const {
    const Section* s = find(name);
    if (s == nullptr) return std::nullopt;
    return bytes_of(*s);
}

std::vector<std::string> ElfFile::defined_dynamic_symbols() const {
    std::vector<std::string> out;
    const Section* dynsym = nullptr;
    for (const auto& s : sections_)
        if (s.type == SHT_DYNSYM) dynsym = &s;
    if (dynsym == nullptr) return out;
    if (dynsym->link >= sections_.size()) throw SimhostError(path_ + ": bad dynamic string table");
    const auto strings = bytes_of(sections_[dynsym->link]);
    const auto symbols = bytes_of(*dynsym);
    for (size_t off = 0; off + sizeof(Elf64_Sym) <= symbols.size(); off += sizeof(Elf64_Sym)) {
        Elf64_Sym sym;
        std::memcpy(&sym, symbols.data() + off, sizeof(sym));
        const unsigned bind = ELF64_ST_BIND(sym.st_info);
        if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
        out.push_back(string_at(strings, sym.st_name));
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace simhost
