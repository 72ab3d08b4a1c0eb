// Writes the window as it looks into PNG files under the build folder, for review.
#include <gtest/gtest.h>

#include <QDir>
#include <QTabWidget>

#include "CAboutDlg.h"
#include "CJobQueue.h"
#include "CPageLog.h"
#include "CVelSheet.h"
#include "ShellTestPages.h"

namespace tandrel {
namespace {

QString SnapshotPath(const char* name) {
    QDir().mkpath(TANDREL_SNAPSHOT_DIR);
    return QString(TANDREL_SNAPSHOT_DIR) + "/" + name;
}

TEST(Snapshot, StatusPageDuringARun) {
    CJobQueue queue;
    CVelSheet sheet("Tandrel", 0, 30, nullptr, 0, queue);
    CPageLog log;
    sheet.AddPage(&log);
    sheet.Create();
    const std::string header = "(Mon Dec 07 14:05:09 2026) " + std::string(100, '-');
    log.AddLine(header);
    log.AddLine(" Copy: /home/ada/photos/2026/beach.jpg => /media/backup/photos/2026/beach.jpg");
    log.AddLine(" Copy: /home/ada/photos/2026/notes.txt => /media/backup/photos/2026/notes.txt");
    log.AddLine("!Copy: /home/ada/photos/2026/locked.raw => /media/backup/photos/2026/locked.raw");
    log.AddLine(" Move: /media/backup/photos/old.jpg => /media/recycle/photos/old.jpg");
    log.AddLine(" Delete: /media/backup/photos/tmp.txt");
    log.AddLine("!Delete: /media/backup/photos/readonly/keep.txt");
    log.AddLine("!Read: /home/ada/photos/private/");
    log.AddLine(std::string(127, '-'));
    sheet.SetProgressRange(0, 100);
    sheet.SetProgressPos(40);
    ASSERT_TRUE(ProcessEventsUntil([&] { return sheet.Progress()->value() == 40; }));
    const QImage image = sheet.grab().toImage();
    EXPECT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(SnapshotPath("sheet-status.png")));
}

TEST(Snapshot, FullLogFollowingTheEnd) {
    CJobQueue queue;
    CVelSheet sheet("Tandrel", 0, 30, nullptr, 0, queue);
    CPageLog log;
    sheet.AddPage(&log);
    sheet.Create();
    for (int i = 0; i < 6000; ++i) {
        log.AddLine((i % 7 == 3 ? "!Copy: /src/file" : " Copy: /src/file") + std::to_string(i) +
                    ".dat => /dst/file" + std::to_string(i) + ".dat");
    }
    ASSERT_TRUE(ProcessEventsUntil([&] {
        return log.View().Lines().Line(LineStore::kSlots - 1).find("file5999.") !=
               std::string::npos;
    }));
    QApplication::processEvents();
    EXPECT_TRUE(sheet.grab().toImage().save(SnapshotPath("sheet-status-full.png")));
}

TEST(Snapshot, AboutBox) {
    CAboutDlg about;
    about.show();
    QApplication::processEvents();
    EXPECT_TRUE(about.grab().toImage().save(SnapshotPath("about-box.png")));
}

}  // namespace
}  // namespace tandrel
