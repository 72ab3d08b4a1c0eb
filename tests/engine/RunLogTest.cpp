// The run log through the file system: a log that cannot be opened or written switches logging
// off and never stops a line from reaching the Status page, and a log name that is not a
// regular file is never waited on.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "FailingFileSystem.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

class LogFaults : public ::testing::Test {
  protected:
    LogFaults() {
        t.MakeDir("s");
        t.MakeDir("d");
        t.WriteFile("s/a", "a");
        t.WriteFile("s/b", "b");
    }
    // Runs the job s => d with the log file `name` through `fs`.
    void RunWithLog(EngineRig* rig, FileSystem& fs, const std::string& name) {
        rig->queue.SetFileSystem(fs);
        rig->queue.m_strLogFileName = name;
        rig->queue.m_bLogEnabled = true;
        rig->Run(t.Path("s"), t.Path("d"), kActionKeep);
        rig->queue.FlushLog();
    }

    TempTree t;
};

TEST_F(LogFaults, AFailedOpenOrWriteSwitchesLoggingOffAndEveryLineStillArrives) {
    FailingFileSystem refusing;
    refusing.FailOn(Op::kOpenLogFile, "log.txt", Status::Code::kPermission, "Permission denied");
    EngineRig notOpened;
    RunWithLog(&notOpened, refusing, t.Path("log.txt"));
    EXPECT_FALSE(notOpened.queue.m_bLogEnabled);
    EXPECT_EQ(notOpened.recorder.lines.size(), 4u);  // header, two copies, separator
    EXPECT_EQ(refusing.CallCount(Op::kOpenLogFile), 1);
    EXPECT_FALSE(t.Exists("log.txt"));

    t.WriteFile("full.txt", "from an earlier start\n");
    FailingFileSystem full;
    full.FailOn(Op::kLogWrite, "full.txt", Status::Code::kIoError, "No space left on device", 1);
    EngineRig notWritten;
    RunWithLog(&notWritten, full, t.Path("full.txt"));
    EXPECT_FALSE(notWritten.queue.m_bLogEnabled);
    EXPECT_EQ(notWritten.recorder.lines.size(), 2u);  // header and separator: d is up to date
    // Only the first write failed: had later lines been tried, they would be in the file.
    EXPECT_EQ(t.ReadFile("full.txt"), "");
}

// Switching logging on again after a failure tries the name set then: a file that failed is
// not written to again, a name that could not be opened is tried afresh, and a file this
// process already wrote is continued, not emptied.
TEST_F(LogFaults, LoggingOnAgainAfterAFailureRetriesWithTheNameThenSet) {
    FailingFileSystem fs;
    fs.FailOn(Op::kLogWrite, "first.txt", Status::Code::kIoError, "No space left on device", 1);
    EngineRig rig;
    RunWithLog(&rig, fs, t.Path("first.txt"));
    ASSERT_FALSE(rig.queue.m_bLogEnabled);
    t.WriteFile("s/c", "c");
    RunWithLog(&rig, fs, t.Path("second.txt"));
    EXPECT_TRUE(rig.queue.m_bLogEnabled);
    EXPECT_EQ(fs.CallCount(Op::kOpenLogFile), 2);
    const std::vector<std::string>& lines = rig.recorder.lines;
    ASSERT_EQ(lines.size(), 4u + 3u);
    EXPECT_EQ(t.ReadFile("second.txt"), lines[4] + "\n" + lines[5] + "\n" + lines[6] + "\n");
    EXPECT_EQ(t.ReadFile("first.txt"), "");

    // The file written above fails once; on again with the same name, it goes on after what
    // it holds.
    fs.FailOn(Op::kLogWrite, "second.txt", Status::Code::kIoError, "No space left on device", 1);
    t.WriteFile("s/d", "d");
    RunWithLog(&rig, fs, t.Path("second.txt"));
    ASSERT_FALSE(rig.queue.m_bLogEnabled);
    t.WriteFile("s/e", "e");
    RunWithLog(&rig, fs, t.Path("second.txt"));
    EXPECT_TRUE(rig.queue.m_bLogEnabled);
    ASSERT_EQ(lines.size(), 7u + 3u + 3u);
    EXPECT_EQ(t.ReadFile("second.txt"), lines[4] + "\n" + lines[5] + "\n" + lines[6] + "\n" +
                                            lines[10] + "\n" + lines[11] + "\n" + lines[12] + "\n");

    // A name that could not be opened is tried again, with the name set by then.
    EngineRig other;
    fs.FailOn(Op::kOpenLogFile, "third.txt", Status::Code::kPermission, "Permission denied", 1);
    RunWithLog(&other, fs, t.Path("third.txt"));
    ASSERT_FALSE(other.queue.m_bLogEnabled);
    RunWithLog(&other, fs, t.Path("third.txt"));
    EXPECT_TRUE(other.queue.m_bLogEnabled);
    EXPECT_EQ(t.ReadFile("third.txt"),
              other.recorder.lines[2] + "\n" + other.recorder.lines[3] + "\n");
}

TEST_F(LogFaults, ALogNameThatIsNotARegularFileIsRefusedWithoutWaiting) {
    t.MakeFifo("fifo");
    t.MakeDir("dir");
    t.MakeLink("fifolink", "fifo");
    for (const std::string& name :
         {t.Path("fifo"), t.Path("fifolink"), t.Path("dir"), std::string("/dev/null")}) {
        EngineRig rig;
        // On a thread of its own, so that a run stuck opening the pipe can be freed (by opening
        // its reading end) and reported instead of hanging the test.
        std::promise<void> done;
        std::future<void> finished = done.get_future();
        std::thread run([&] {
            RunWithLog(&rig, DefaultFileSystem(), name);
            done.set_value();
        });
        const bool inTime =
            finished.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        const int reader = inTime ? -1 : open(t.Path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
        run.join();
        if (reader >= 0) {
            close(reader);
        }
        ASSERT_TRUE(inTime) << name << ": the run waited for a reader";
        EXPECT_FALSE(rig.queue.m_bLogEnabled) << name;
        EXPECT_EQ(rig.recorder.lines.size(), 2u + (name == t.Path("fifo") ? 2u : 0u)) << name;
    }
    EXPECT_EQ(t.List("dir"), std::set<std::string>{});

    // A link to a regular file is the user's choice and is followed.
    t.WriteFile("real.txt", "old");
    t.MakeLink("log.txt", "real.txt");
    EngineRig rig;
    RunWithLog(&rig, DefaultFileSystem(), t.Path("log.txt"));
    EXPECT_TRUE(rig.queue.m_bLogEnabled);
    EXPECT_EQ(t.ReadFile("real.txt"), rig.recorder.lines[0] + "\n" + rig.recorder.lines[1] + "\n");
}

}  // namespace
}  // namespace tandrel
