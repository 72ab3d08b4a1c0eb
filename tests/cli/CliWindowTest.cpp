// tandrel-cli add while a window runs over the same settings file.
#include <poll.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CliRunner.h"
#include "TempTree.h"
#include "WindowLink.h"

namespace tandrel {
namespace {

class CliWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        config_.MakeDir("Halvory/Tandrel");
        env_ = {"XDG_CONFIG_HOME=" + config_.root(), "XDG_RUNTIME_DIR=" + runtime_.root()};
        // The names are those tandrel-cli works out from the same environment.
        setenv("XDG_RUNTIME_DIR", runtime_.root().c_str(), 1);
        ASSERT_TRUE(
            WindowLinkPathsFor(config_.root() + "Halvory/Tandrel/settings.db", &paths_).ok());
        bool taken = false;
        ASSERT_TRUE(TryLockWindow(paths_.lock, &lock_, &taken).ok());
        ASSERT_TRUE(taken);
        src_.WriteFile("f", "x");
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

    TempTree config_;
    TempTree runtime_;
    TempTree src_;
    TempTree dst_;
    std::vector<std::string> env_;
    WindowLinkPaths paths_;
    UniqueFd lock_;  // the stand-in window's
};

// The entry goes to the window, which keeps it in its list; the store is not written behind
// the window's back.
TEST_F(CliWindowTest, AddHandsTheEntryToTheRunningWindow) {
    UniqueFd listener;
    ASSERT_TRUE(ListenWindowSocket(paths_.socket, &listener).ok());
    std::vector<std::string> request;
    std::thread window([&] {
        // This stand-in window waits a while for its one caller (a socket that does not block).
        struct pollfd pfd = {listener.get(), POLLIN, 0};
        if (poll(&pfd, 1, 10000) != 1) {
            return;
        }
        const int peer = accept4(listener.get(), nullptr, nullptr, 0);
        std::string in;
        bool bad = false;
        char chunk[256];
        ssize_t n = 0;
        while (!DecodeMessage(&in, &request, &bad) && !bad &&
               (n = recv(peer, chunk, sizeof chunk, 0)) > 0) {
            in.append(chunk, static_cast<size_t>(n));
        }
        const std::string reply = EncodeMessage({"ok"});
        send(peer, reply.data(), reply.size(), MSG_NOSIGNAL);
        close(peer);
    });
    const CliResult r = RunCli({"add", "night\nrun", src_.root(), dst_.root()}, env_);
    window.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(request, (std::vector<std::string>{"add", "night\nrun", src_.root(), dst_.root()}));
    EXPECT_FALSE(config_.Exists("Halvory/Tandrel/settings.db"));
}

// A window that holds the lock but cannot be reached: nothing is written, and the user is told.
TEST_F(CliWindowTest, AddRefusesWhenTheWindowDoesNotAnswer) {
    const CliResult r = RunCli({"add", "job", src_.root(), dst_.root()}, env_);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("nothing was added"), std::string::npos) << r.err;
    EXPECT_FALSE(config_.Exists("Halvory/Tandrel/settings.db"));

    // Once the window is gone the entry goes into the store as usual.
    lock_.Reset();
    const CliResult added = RunCli({"add", "job", src_.root(), dst_.root()}, env_);
    EXPECT_EQ(added.status, 0) << added.err;
    EXPECT_NE(RunCli({"list"}, env_).out.find("job"), std::string::npos);
}

}  // namespace
}  // namespace tandrel
