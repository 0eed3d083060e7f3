#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun run_simhost(const std::string& args) {
    // ctest runs these cases as separate processes at once: one file each.
    std::string err_file = testing::TempDir() + "simhost_stderr_XXXXXX";
    const int fd = mkstemp(err_file.data());
    if (fd < 0) {
        ADD_FAILURE() << "mkstemp failed";
        return {};
    }
    close(fd);
    const std::string cmd = std::string(TAVREL_BIN_DIR) + "/simhost " + args + " 2>" + err_file;
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

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";

TEST(SimhostCli, InfoPrintsThePropertyList) {
    const CliRun r = run_simhost("info " + kPlugin);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "name:        Tavrel Lattix Pro\n"
              "match name:  Tavrel Lattix Pro\n"
              "category:    Tavrel\n"
              "kind:        eFKT\n"
              "entry point: EntryPointFunc\n"
              "version:     0x00080001\n"
              "out flags:   0x03088003\n"
              "out flags 2: 0x00021406\n");
    EXPECT_EQ(r.err, "");
}

TEST(SimhostCli, AboutPrintsBothLines) {
    const CliRun r = run_simhost("about " + kPlugin);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Lattix Pro Version 1.5 CS6\n", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

TEST(SimhostCli, BadInputGetsAClearErrorAndNonZeroExit) {
    const std::string text_file = testing::TempDir() + "not_a_library_" + std::to_string(getpid()) + ".txt";
    std::ofstream(text_file) << "plain text, not ELF\n";
    const std::string fixtures = TAVREL_FIXTURE_DIR;
    struct Case {
        std::string args;
        std::string error;
    };
    const Case cases[] = {
        {"info /nonexistent/Plugin.so", "simhost: cannot open /nonexistent/Plugin.so: No such file or directory\n"},
        {"info " + text_file, "simhost: " + text_file + " is not a shared library\n"},
        {"about " + fixtures + "/fixture_no_entry.so",
         "simhost: " + fixtures + "/fixture_no_entry.so does not export EntryPointFunc\n"},
        {"info " + fixtures + "/fixture_no_pipl.so",
         "simhost: " + fixtures + "/fixture_no_pipl.so has no property list\n"},
        {"info", "simhost: info takes one plug-in path\n"},
    };
    for (const auto& c : cases) {
        const CliRun r = run_simhost(c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.error) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
    }
}

TEST(SimhostCli, UnknownVerbIsAUsageError) {
    const CliRun r = run_simhost("frobnicate " + kPlugin);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("simhost: unknown verb 'frobnicate'\n", 0), 0u);
}

}  // namespace
