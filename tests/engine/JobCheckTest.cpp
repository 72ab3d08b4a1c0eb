// The checks made before a job goes through the file system like everything else, and what they
// cannot tell refuses the job rather than letting it run blind.

#include <gtest/gtest.h>

#include "CJobQueue.h"
#include "FailingFileSystem.h"
#include "JobCheck.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

TEST(JobChecks, ADirectoryCheckThatCannotLookIsNotFound) {
    TempTree t;
    t.MakeDir("src1");
    t.MakeLink("alias1", "src1");
    FailingFileSystem fs;
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("alias1"), fs), kDirExists);
    EXPECT_EQ(fs.CallCount(Op::kCanonicalPath), 1);

    fs.FailOn(Op::kListDirectory, "src1", Status::Code::kPermission, "Permission denied", 1);
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("src1"), fs), kDirNotFound);
    fs.FailOn(Op::kCanonicalPath, "alias1", Status::Code::kIoError, "Input/output error", 1);
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("alias1"), fs), kDirNotFound);
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("alias1"), fs), kDirExists);
}

TEST(JobChecks, ARootWhosePlaceCannotBeToldIsSkipped) {
    TempTree t;
    t.MakeDir("src1");
    t.MakeDir("dst1/bin");
    t.WriteFile("src1/f", "f");
    t.WriteFile("dst1/extra", "x");
    const std::string src = t.Path("src1/"), dst = t.Path("dst1/");
    const std::string skipped = "!Skip: " + src + " => " + dst + " (";

    FailingFileSystem fs;
    fs.FailOn(Op::kLocateDirectory, "dst1", Status::Code::kIoError, "Input/output error");
    const std::string unchecked =
        "Directory 'To' cannot be checked (" + dst + ": Input/output error)";
    EXPECT_EQ(CheckJobPaths(src, dst, kActionKeep, "", fs).reason(), unchecked);
    EngineRig rig(fs);
    rig.Run(src, dst, kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(), std::vector<std::string>{skipped + unchecked + ")"});

    // The walk must know the recycle directory inside the destination, or it would take it
    // for an extra directory and move it into itself.
    FailingFileSystem lost;
    lost.FailOn(Op::kPathBelow, "dst1/bin", Status::Code::kPermission, "Permission denied");
    EngineRig move(lost);
    move.Run(src, dst, kActionMove, t.Path("dst1/bin"));
    EXPECT_EQ(
        move.recorder.ActionLines(),
        std::vector<std::string>{skipped + "Directory 'Recycle' cannot be placed inside 'To' (" +
                                 t.Path("dst1/bin/") + ": Permission denied))"});
    EXPECT_EQ(t.List("dst1"), (std::set<std::string>{"bin/", "extra"}));

    EngineRig fine(lost);
    fine.Run(src, dst, kActionMove, t.Path("elsewhere"));  // not inside: no place needed
    EXPECT_EQ(lost.CallCount(Op::kPathBelow), 2);
    EXPECT_EQ(fine.recorder.ActionLines().size(), 2u);  // copy f, and the move that fails
}

TEST(JobChecks, ARootLinkThatCannotBeResolvedIsNeitherCountedNorRead) {
    TempTree t;
    t.MakeDir("real1");
    t.WriteFile("real1/f", "f");
    t.MakeDir("dst1");
    t.MakeLink("link1", "real1");
    FailingFileSystem fs;
    EngineRig resolved(fs);
    resolved.Run(t.Path("link1"), t.Path("dst1"), kActionKeep);
    ASSERT_FALSE(resolved.recorder.events.empty());
    EXPECT_EQ(resolved.recorder.Range(), 1);  // one file to copy
    EXPECT_EQ(resolved.recorder.ActionLines().size(), 1u);

    // Without its resolution the root is the link itself, which is never listed.
    fs.FailOn(Op::kCanonicalPath, "link1", Status::Code::kIoError, "Input/output error");
    t.WriteFile("real1/g", "g");
    EngineRig rig(fs);
    rig.Run(t.Path("link1"), t.Path("dst1"), kActionDelete);
    ASSERT_FALSE(rig.recorder.events.empty());
    EXPECT_EQ(rig.recorder.Range(), 1);  // only dst1/f is counted
    EXPECT_EQ(rig.recorder.ActionLines(),
              std::vector<std::string>{"!Read: " + t.Path("link1/") + " (Input/output error)"});
    EXPECT_EQ(t.List("dst1"), std::set<std::string>{"f"});
}

}  // namespace
}  // namespace tandrel
