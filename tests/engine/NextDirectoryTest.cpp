// The walk reads the directory it enters next on its side thread while it works through the one
// before. That must change nothing it does, and it must act only through the descriptors that
// were read: a directory swapped for a link meanwhile never leads it out of the tree.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "FailingFileSystem.h"
#include "ReadAhead.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

constexpr int64_t kSec = 1000000000LL;
constexpr int64_t kOld = 1000 * kSec;
constexpr int64_t kNew = 2000 * kSec;

// Directories of every kind the walk meets: matched, missing in the destination, a file where
// the source has a directory, extra ones, small and large (where the side thread is used).
void MakeTrees(TempTree& t) {
    t.MakeDir("s");
    t.MakeDir("d");
    for (const char* d : {"a/", "b/", "c/", "a/x/", "b/y/", "c/z/", "new/", "new/deep/"}) {
        const std::string dir = d;
        t.MakeDir("s/" + dir);
        const bool inDest = dir.rfind("new/", 0) != 0 && dir != "c/z/";
        if (inDest) {
            t.MakeDir("d/" + dir);
        }
        const int files = dir == "b/" ? 40 : 6;
        for (int f = 0; f < files; ++f) {
            const std::string name = dir + "f" + std::to_string(f);
            t.WriteFile("s/" + name, "new " + name, kNew);
            if (inDest && f % 3 != 0) {
                t.WriteFile("d/" + name, "old", f % 3 == 1 ? kOld : kNew);
            }
        }
        if (inDest) {
            t.WriteFile("d/" + dir + "extra", "extra", kOld);
        }
    }
    t.WriteFile("d/c/z", "a file where the source has a directory", kOld);
    t.MakeDir("d/gone/deeper");
    t.WriteFile("d/gone/deeper/e", "e", kOld);
}

std::vector<std::string> Lines(const RunRecorder& recorder, const std::string& root) {
    std::vector<std::string> out;
    for (std::string line : recorder.ActionLines()) {
        for (size_t at; (at = line.find(root)) != std::string::npos;) {
            line.replace(at, root.size(), "/");
        }
        out.push_back(line);
    }
    return out;
}

TEST(NextDirectory, TheWalkDoesTheSameWhetherItReadsOneDirectoryAtATimeOrTwo) {
    for (const ExtraFileAction action : {kActionKeep, kActionDelete}) {
        std::vector<std::string> lines[2];
        for (int parallel = 0; parallel < 2; ++parallel) {
            TempTree t;
            MakeTrees(t);
            FailingFileSystem fs;
            fs.SetReadsInParallel(parallel != 0);
            // Whichever thread reads a directory, it is read once: what was read ahead is used.
            std::mutex mutex;
            std::map<std::string, int> listed;
            fs.SetHook([&](const FailingFileSystem::Call& c) {
                if (c.op == Op::kListDirectory) {
                    const std::lock_guard<std::mutex> lock(mutex);
                    ++listed[c.path];
                }
            });
            EngineRig rig(fs);
            rig.queue.m_pSheet = nullptr;  // no bar, so no count listing the source once more
            // Nor the cold-cache read-ahead, which a slow (sanitized) build may switch on: it
            // only warms the cache, reading what the walk then reads again.
            ReadAhead::Settings noReadAhead;
            noReadAhead.threads = 0;
            rig.backup.SetReadAhead(noReadAhead);
            rig.Run(t.Path("s"), t.Path("d"), action);
            lines[parallel] = Lines(rig.recorder, t.root());
            EXPECT_GT(listed.size(), 10u);
            for (const auto& [path, times] : listed) {
                EXPECT_EQ(times, 1) << path << " with " << (parallel != 0 ? "two threads" : "one");
            }
        }
        EXPECT_GT(lines[0].size(), 20u);
        EXPECT_EQ(lines[0], lines[1]) << "action " << action;
    }
}

TEST(NextDirectory, ADirectorySwappedForALinkAfterItWasReadIsNeverWrittenThrough) {
    TempTree t;
    MakeTrees(t);
    t.MakeDir("outside");
    FailingFileSystem fs;
    fs.SetReadsInParallel(true);
    EngineRig rig(fs);
    std::atomic<bool> swapped{false};  // the hook runs on both threads
    fs.SetHook([&](const FailingFileSystem::Call& c) {
        // While the walk copies into a/, the next directory (b/) has been opened to be read.
        if (c.op == Op::kCopyFile && c.path2.find("/d/a/") != std::string::npos &&
            !swapped.exchange(true)) {
            ASSERT_EQ(0, ::rename(t.Path("d/b").c_str(), t.Path("d/b.was").c_str()));
            t.MakeLink("d/b", t.Path("outside"));
        }
    });
    rig.Run(t.Path("s"), t.Path("d"), kActionDelete);
    EXPECT_TRUE(swapped);
    EXPECT_TRUE(t.List("outside").empty());
    EXPECT_EQ(t.ReadLink("d/b"), t.Path("outside"));
}

}  // namespace
}  // namespace tandrel
