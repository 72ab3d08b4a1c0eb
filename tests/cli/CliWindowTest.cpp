// tandrel-cli add, remove, check and uncheck while a window runs over the same settings file.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
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

// A stand-in window that takes one call: it reads the message and the token passed with it,
// and answers what `act` gives for them.
void TakeOneCall(
    int listener,
    const std::function<std::vector<std::string>(const std::vector<std::string>&, int)>& act) {
    struct pollfd pfd = {listener, POLLIN, 0};
    if (poll(&pfd, 1, 10000) != 1) {
        return;
    }
    const UniqueFd peer(accept4(listener, nullptr, nullptr, 0));
    std::string in;
    std::vector<std::string> request;
    UniqueFd token;
    bool bad = false;
    while (!DecodeMessage(&in, &request, &bad) && !bad) {
        struct pollfd ready = {peer.get(), POLLIN, 0};
        if (poll(&ready, 1, 10000) != 1 || ReceiveFromPeer(peer.get(), &in, &token) <= 0) {
            return;
        }
    }
    const std::string reply = EncodeMessage(act(request, token.get()));
    send(peer.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
}

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
    // The names as the store would keep them: absolute, without the trailing '/'.
    const std::string src = src_.root().substr(0, src_.root().size() - 1);
    const std::string dst = dst_.root().substr(0, dst_.root().size() - 1);
    EXPECT_EQ(request, (std::vector<std::string>{"add", "night\nrun", src, dst}));
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

// A window that answers only after the caller gave up: whether the entry was added is decided
// by who took the token first, and the caller says so truthfully. A window that took it made
// the change, so the caller may not say "nothing was added"; one that comes later finds the
// token gone and must drop the entry, as the caller said nothing was added.
TEST_F(CliWindowTest, ALateAnswerLeavesTheCallersWordTrue) {
    for (const bool windowFirst : {true, false}) {
        UniqueFd listener;
        ASSERT_TRUE(ListenWindowSocket(paths_.socket, &listener).ok());
        std::atomic<bool> callerDone{false};
        bool gotToken = false;
        bool windowTook = false;
        std::thread window([&] {
            TakeOneCall(listener.get(), [&](const std::vector<std::string>&, int token) {
                gotToken = token >= 0;
                if (!windowFirst) {
                    while (!callerDone) {
                        usleep(10 * 1000);
                    }
                }
                TakeHandOverToken(token, &windowTook);
                while (!callerDone) {  // the answer comes too late either way
                    usleep(10 * 1000);
                }
                return std::vector<std::string>{"ok"};
            });
        });
        const CliResult r = RunCli({"add", "job", src_.root(), dst_.root()}, env_);
        callerDone = true;
        window.join();
        ASSERT_TRUE(gotToken) << windowFirst;
        EXPECT_EQ(windowTook, windowFirst);
        EXPECT_EQ(r.status, windowFirst ? 0 : 2) << r.err;
        EXPECT_EQ(r.err.find("nothing was added") != std::string::npos, !windowFirst) << r.err;
        EXPECT_FALSE(config_.Exists("Halvory/Tandrel/settings.db"));
    }
}

// remove, check and uncheck go to the window with the entry as the caller listed it; what the
// window refuses is reported at once, with nothing changed.
TEST_F(CliWindowTest, EntryChangesGoToTheRunningWindow) {
    lock_.Reset();
    ASSERT_EQ(RunCli({"add", "job", src_.root(), dst_.root()}, env_).status, 0);
    bool taken = false;
    ASSERT_TRUE(TryLockWindow(paths_.lock, &lock_, &taken).ok() && taken);
    const std::string src = src_.root().substr(0, src_.root().size() - 1);
    const std::string dst = dst_.root().substr(0, dst_.root().size() - 1);
    const std::string listed = RunCli({"list"}, env_).out;
    for (const char* command : {"remove", "check", "uncheck"}) {
        for (const bool refuse : {false, true}) {
            UniqueFd listener;
            ASSERT_TRUE(ListenWindowSocket(paths_.socket, &listener).ok());
            std::vector<std::string> request;
            bool took = false;
            std::thread window([&] {
                TakeOneCall(listener.get(), [&](const std::vector<std::string>& got, int token) {
                    request = got;
                    if (refuse) {
                        return std::vector<std::string>{"refused",
                                                        "entry 1 in the window is another one"};
                    }
                    TakeHandOverToken(token, &took);
                    return std::vector<std::string>{"ok"};
                });
            });
            const CliResult r = RunCli({command, "1"}, env_);
            window.join();
            EXPECT_EQ(request, (std::vector<std::string>{command, "1", "job", src, dst}));
            EXPECT_EQ(r.status, refuse ? 2 : 0) << command << r.err;
            EXPECT_EQ(took, !refuse);
            EXPECT_EQ(r.err.find("entry 1 in the window is another one") != std::string::npos,
                      refuse)
                << r.err;
            EXPECT_EQ(RunCli({"list"}, env_).out, listed);  // the store is the window's
        }
    }
}

}  // namespace
}  // namespace tandrel
