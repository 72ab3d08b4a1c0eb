#include "WindowLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "TempTree.h"

namespace tandrel {
namespace {

// Paths with any bytes cross unchanged, whichever way the bytes arrive.
TEST(WindowLink, MessagesCarryAnyBytesAndArriveInPieces) {
    const std::vector<std::string> fields = {"add", std::string("a\n1:x,\0b", 8), "",
                                             "/t\xff/%d -x"};
    const std::string wire = EncodeMessage(fields) + EncodeMessage({"raise"});

    std::string buffer;
    std::vector<std::string> got;
    bool bad = true;
    size_t fed = 0;
    while (!DecodeMessage(&buffer, &got, &bad)) {
        ASSERT_FALSE(bad) << fed;
        ASSERT_LT(fed, wire.size());
        buffer += wire[fed++];
    }
    EXPECT_EQ(got, fields);
    // The next message stays in the buffer once it is all there.
    buffer += wire.substr(fed);
    ASSERT_TRUE(DecodeMessage(&buffer, &got, &bad));
    EXPECT_EQ(got, std::vector<std::string>{"raise"});
    EXPECT_TRUE(buffer.empty());
}

TEST(WindowLink, GarbledMessagesAreRefused) {
    for (const std::string wire : {"x:abc,\n", "3abc,\n", "3:abcd,\n", "999999999:a",
                                   "1:a,1:b,1:c,1:d,1:e,1:f,1:g,1:h,1:i,\n"}) {
        std::string buffer = wire;
        std::vector<std::string> fields;
        bool bad = false;
        EXPECT_FALSE(DecodeMessage(&buffer, &fields, &bad)) << wire;
        EXPECT_TRUE(bad) << wire;
    }
}

// Two settings files never share a window; one file always gives the same names.
TEST(WindowLink, NamesFollowTheSettingsFile) {
    WindowLinkPaths a;
    WindowLinkPaths b;
    WindowLinkPaths again;
    ASSERT_TRUE(WindowLinkPathsFor("/home/u/.config/Halvory/Tandrel/settings.db", &a).ok());
    ASSERT_TRUE(WindowLinkPathsFor("/tmp/x/settings.db", &b).ok());
    ASSERT_TRUE(WindowLinkPathsFor("/home/u/.config/Halvory/Tandrel/settings.db", &again).ok());
    EXPECT_NE(a.lock, b.lock);
    EXPECT_NE(a.socket, b.socket);
    EXPECT_EQ(a.lock, again.lock);
    EXPECT_NE(a.lock, a.socket);
}

// The lock is the window's while it holds it, and free again once it lets go.
TEST(WindowLink, TheLockIsHeldUntilReleased) {
    WindowLinkPaths paths;
    ASSERT_TRUE(WindowLinkPathsFor("/tmp/lock-test/settings.db", &paths).ok());
    UniqueFd first;
    bool taken = false;
    ASSERT_TRUE(TryLockWindow(paths.lock, &first, &taken).ok());
    ASSERT_TRUE(taken);
    UniqueFd second;
    ASSERT_TRUE(TryLockWindow(paths.lock, &second, &taken).ok());
    EXPECT_FALSE(taken);
    EXPECT_FALSE(second.valid());
    first.Reset();
    ASSERT_TRUE(TryLockWindow(paths.lock, &second, &taken).ok());
    EXPECT_TRUE(taken);
}

// A call reaches the listening window and takes its answer however it is cut up on the way;
// a file at the socket's name that is not a socket is never taken for one left behind.
TEST(WindowLink, ACallGetsItsAnswerHoweverItArrives) {
    TempTree tree;
    const std::string socketPath = tree.Path("socket");
    UniqueFd listener;
    ASSERT_TRUE(ListenWindowSocket(socketPath, &listener).ok());
    std::thread window([&] {
        struct pollfd ready = {listener.get(), POLLIN, 0};
        ASSERT_EQ(poll(&ready, 1, 5000), 1);
        const UniqueFd call(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        std::string in;
        std::vector<std::string> request;
        bool bad = false;
        char c = 0;
        while (!DecodeMessage(&in, &request, &bad) && !bad && read(call.get(), &c, 1) == 1) {
            in += c;
        }
        ASSERT_EQ(request.size(), 2u);
        for (const char byte : EncodeMessage({"added", request[1]})) {
            ASSERT_EQ(write(call.get(), &byte, 1), 1);
            usleep(1000);  // one byte at a time reaches the caller
        }
    });
    std::vector<std::string> reply;
    const Status s = SendToWindow(socketPath, {"add", "a\nb c"}, &reply, 5000);
    window.join();
    ASSERT_TRUE(s.ok()) << s.ToString();
    EXPECT_EQ(reply, (std::vector<std::string>{"added", "a\nb c"}));

    // The socket file left behind is replaced; a file that is not a socket stays.
    listener.Reset();
    EXPECT_TRUE(ListenWindowSocket(socketPath, &listener).ok());
    tree.WriteFile("file", "keep");
    UniqueFd other;
    EXPECT_FALSE(ListenWindowSocket(tree.Path("file"), &other).ok());
    EXPECT_EQ(tree.ReadFile("file"), "keep");
}

// A hand-over token passed along with a call is the same token on both sides: whoever takes
// it first has it, in either order, and nobody after; a read never waits, whatever was passed.
TEST(WindowLink, ATokenIsTakenOnceWhoeverAsksFirst) {
    TempTree tree;
    const std::string socketPath = tree.Path("socket");
    for (const bool windowFirst : {true, false}) {
        UniqueFd listener;
        ASSERT_TRUE(ListenWindowSocket(socketPath, &listener).ok());
        UniqueFd token;
        ASSERT_TRUE(MakeHandOverToken(&token).ok());
        UniqueFd passed;
        std::thread window([&] {
            struct pollfd ready = {listener.get(), POLLIN, 0};
            ASSERT_EQ(poll(&ready, 1, 5000), 1);
            const UniqueFd call(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
            std::string in;
            std::vector<std::string> request;
            bool bad = false;
            while (!DecodeMessage(&in, &request, &bad) && !bad) {
                struct pollfd readable = {call.get(), POLLIN, 0};
                ASSERT_EQ(poll(&readable, 1, 5000), 1);
                ASSERT_GT(ReceiveFromPeer(call.get(), &in, &passed), 0);
            }
            const std::string reply = EncodeMessage({"ok"});
            ASSERT_EQ(write(call.get(), reply.data(), reply.size()),
                      static_cast<ssize_t>(reply.size()));
        });
        std::vector<std::string> reply;
        const Status s = SendToWindow(socketPath, {"add", "x"}, &reply, 5000, token.get());
        window.join();
        ASSERT_TRUE(s.ok()) << s.ToString();
        ASSERT_TRUE(passed.valid());
        const int first = windowFirst ? passed.get() : token.get();
        const int second = windowFirst ? token.get() : passed.get();
        bool taken = false;
        EXPECT_TRUE(TakeHandOverToken(first, &taken).ok());
        EXPECT_TRUE(taken);
        for (const int late : {second, first}) {
            EXPECT_TRUE(TakeHandOverToken(late, &taken).ok());
            EXPECT_FALSE(taken);
        }
    }

    // A pipe left blocking, empty and with a writer, is not taken and does not hang the
    // window; what is not a pipe is no token at all.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const UniqueFd readEnd(ends[0]);
    const UniqueFd writeEnd(ends[1]);
    bool taken = true;
    EXPECT_TRUE(TakeHandOverToken(readEnd.get(), &taken).ok());
    EXPECT_FALSE(taken);
    tree.WriteFile("file", "t");
    const UniqueFd file(open(tree.Path("file").c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(TakeHandOverToken(file.get(), &taken).ok());
    EXPECT_FALSE(taken);
}

}  // namespace
}  // namespace tandrel
