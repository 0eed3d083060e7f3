// An X server that goes away under a running engine: Xlib's handlers would
// end the host; instead the next frame fails with the engine's own text, the
// effect sets down, and the process goes on rendering on another server.
#include <gtest/gtest.h>

#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "simhost/render_driver.h"

extern char** environ;

namespace {

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_Varnmoor.so";

simhost::RenderSetup small_setup() {
    simhost::RenderSetup s;
    s.plugin = kPlugin;
    s.width = 48;
    s.height = 32;
    return s;
}

// A server of the test's own, on a display number it picks itself.
class PrivateXServer {
public:
    PrivateXServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-screen", "0", "64x64x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            pid_ = -1;
            close(fds[0]);
            return;
        }
        // The server writes its display number once it accepts connections.
        std::string number;
        pollfd in = {fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&in, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~PrivateXServer() { kill(); }

    const std::string& name() const { return name_; }

    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// DISPLAY for the engines started in its scope.
class DisplayOverride {
public:
    explicit DisplayOverride(const std::string& name) {
        if (const char* old = std::getenv("DISPLAY")) old_ = old;
        setenv("DISPLAY", name.c_str(), 1);
    }
    ~DisplayOverride() { setenv("DISPLAY", old_.c_str(), 1); }

private:
    std::string old_;
};

int keep_io_handler(Display*) { return 0; }

TEST(LostXServer, TheNextFrameFailsInWordsAndTheHostLivesOn) {
    // freeglut is one per process and keeps the display it was initialised
    // on: the session's, not the one that goes away.
    if (glutGet(GLUT_INIT_STATE) == 0) {
        int argc = 1;
        char name[] = "lost_x_server_gl_test";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
    }
    const XIOErrorHandler before = XSetIOErrorHandler(keep_io_handler);
    XSetIOErrorHandler(before);

    PrivateXServer server;
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
    {
        const DisplayOverride display(server.name());
        simhost::RenderDriver d(small_setup());
        ASSERT_EQ(d.setup_message(), "");
        const simhost::RenderedFrame first = d.render(8);
        ASSERT_EQ(first.result.err, 0);
        ASSERT_EQ(first.result.message, "");

        server.kill();
        const std::string expected = "The connection to the X server " + server.name() + " was lost.";
        for (int frame = 0; frame < 2; ++frame) {
            SCOPED_TRACE(frame);
            const simhost::RenderedFrame lost = d.render(8);
            EXPECT_EQ(lost.command, PF_Cmd_SMART_RENDER);
            EXPECT_EQ(lost.result.message, expected);
        }
        // The engine stops on a connection that is gone.
        for (const auto& v : d.finish()) ADD_FAILURE() << v;
    }
    // Still here, with the process's I/O error handler as it was.
    const XIOErrorHandler after = XSetIOErrorHandler(keep_io_handler);
    XSetIOErrorHandler(after);
    EXPECT_EQ(after, before);

    simhost::RenderDriver again(small_setup());
    const simhost::RenderedFrame f = again.render(8);
    EXPECT_EQ(f.result.err, 0);
    EXPECT_EQ(f.result.message, "");
    EXPECT_NE(f.output, nullptr);
    for (const auto& v : again.finish()) ADD_FAILURE() << v;
}

}  // namespace
