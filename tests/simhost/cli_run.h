// Runs the built simhost program and keeps what it wrote and its exit status.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace tavrel_test {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// `environment` is put before the command as the shell takes it
// ("NAME=VALUE NAME=VALUE"); empty, the test's own environment.
inline CliRun run_simhost(const std::string& args, const std::string& environment = "") {
    // ctest runs these cases as separate processes at once: one file each.
    std::string err_file = testing::TempDir() + "simhost_stderr_XXXXXX";
    const int fd = mkstemp(err_file.data());
    if (fd < 0) {
        ADD_FAILURE() << "mkstemp failed";
        return {};
    }
    close(fd);
    const std::string cmd = (environment.empty() ? std::string() : "env " + environment + " ") +
                            std::string(TAVREL_BIN_DIR) + "/simhost " + args + " 2>" + err_file;
    CliRun r{};
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) {
        ADD_FAILURE() << "popen failed";
        return r;
    }
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream e(err_file);
    r.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
    std::remove(err_file.c_str());
    return r;
}

}  // namespace tavrel_test
