#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct ProbeResult {
    int exit_status = -1;
    std::string out, err;
};

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the probe in a child process whose environment lacks DISPLAY.
ProbeResult run_probe_without_display(const std::string& mode) {
    std::vector<std::string> kept;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) kept.emplace_back(*e);
    }
    std::vector<char*> env;
    for (std::string& e : kept) env.push_back(&e[0]);
    env.push_back(nullptr);

    const std::string base = testing::TempDir() + "no_display_probe_" + mode + "_" + std::to_string(getpid());
    const std::string out_path = base + ".out", err_path = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::string program = std::string(TAVREL_BIN_DIR) + "/no_display_probe";
    std::vector<char*> argv = {&program[0], const_cast<char*>(mode.c_str()), nullptr};
    pid_t pid = 0;
    ProbeResult result;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0) << std::strerror(spawned);
    if (spawned != 0) return result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    std::remove(out_path.c_str());
    std::remove(err_path.c_str());
    return result;
}

TEST(NoDisplay, StartFailsWithTheEnginesTextOnStandardError) {
    struct Case {
        std::string mode, out, err;
    };
    const std::vector<Case> cases = {
        {"engine", "GlEngineError: OS specific calls failed!", ""},
        {"render-thread", "runtime_error: Tavrel OpenGL Engine Initialization Failed.",
         "OS specific calls failed!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const ProbeResult r = run_probe_without_display(c.mode);
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

}  // namespace
