// Writes the window as it looks into PNG files under the build folder, for review, and checks in
// the grabbed pictures what they must show: the colours of the run lines where the lines are,
// and the progress bar filled to the position of the run.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "AppImages.h"
#include "CAboutDlg.h"
#include "CBatchItemDlg.h"
#include "CBatchListCtrl.h"
#include "CJobQueue.h"
#include "CPageAbout.h"
#include "CPageBatch.h"
#include "CPageLog.h"
#include "CPageOption.h"
#include "CPageQuick.h"
#include "CVelSheet.h"
#include "GuiWait.h"
#include "InkTones.h"
#include "Profile.h"
#include "ResourceIds.h"
#include "SettingsStore.h"
#include "TempTree.h"

namespace tandrel {
namespace {

QString SnapshotPath(const char* name) {
    QDir().mkpath(TANDREL_SNAPSHOT_DIR);
    return QString(TANDREL_SNAPSHOT_DIR) + "/" + name;
}

// The part of `image`, a grab of `top`, that shows `widget`.
QImage PartOf(const QImage& image, const QWidget* top, const QWidget* widget) {
    return image.copy(QRect(widget->mapTo(top, QPoint(0, 0)), widget->size()));
}

// The pixel columns in the middle row of a grabbed progress bar that show a shade of the
// highlight colour: the bar's fill.
struct Fill {
    int first = -1;
    int last = -1;
    int count = 0;
};

Fill HighlightColumns(const QImage& bar, const QColor& highlight) {
    Fill fill;
    const int y = bar.height() / 2;
    for (int x = 0; x < bar.width(); ++x) {
        const QColor c(bar.pixel(x, y));
        const int hueGap = std::abs(c.hsvHue() - highlight.hsvHue());
        if (c.hsvSaturation() > 80 && std::min(hueGap, 360 - hueGap) < 20) {
            fill.first = fill.first < 0 ? x : fill.first;
            fill.last = x;
            ++fill.count;
        }
    }
    return fill;
}

// Reads the text rows of a grabbed Status page: which colours each part of a line shows.
class LogPicture {
  public:
    LogPicture(const QImage& sheetImage, const QWidget* sheet, const CColorView& view)
        : m_image(PartOf(sheetImage, sheet, view.viewport())),
          m_metrics(view.viewport()->font()),
          m_cyLine(view.LineHeight()) {}

    int Width(const std::string& text) const {
        return m_metrics.horizontalAdvance(QString::fromStdString(text));
    }
    Tones Part(int row, int x0, int x1) const { return CountTones(m_image, row, m_cyLine, x0, x1); }
    Tones Row(int row) const { return Part(row, 0, m_image.width()); }
    bool Blank(int row) const { return FirstInkInRow(m_image, row, m_cyLine) < 0; }

    // An action line: its mark red when it is "!" (nothing when it is a blank), the verb up to
    // and including its blank light grey and never black, the path black.
    void ExpectAction(int row, const std::string& line) const {
        SCOPED_TRACE(line);
        const int markEnd = CColorView::kMargin + Width(line.substr(0, 1));
        const size_t blank = line.find(' ', 1);
        const int verbEnd = markEnd + Width(line.substr(1, blank));
        const Tones mark = Part(row, 0, markEnd);
        const Tones verb = Part(row, markEnd, verbEnd);
        const Tones path = Part(row, verbEnd, m_image.width());
        if (line[0] == '!') {
            EXPECT_GT(mark.red, 2);
        } else {
            EXPECT_EQ(Row(row).red, 0);
        }
        EXPECT_EQ(mark.black, 0);
        EXPECT_GT(verb.grey, 5);
        EXPECT_GE(verb.darkest, 150);
        EXPECT_EQ(verb.red + verb.orange, 0);
        EXPECT_GT(path.black, 20);
        EXPECT_LT(path.darkest, 80);
        EXPECT_EQ(path.red + path.orange, 0);
    }

    const QImage& Image() const { return m_image; }

  private:
    QImage m_image;
    QFontMetrics m_metrics;
    int m_cyLine;
};

TEST(Snapshot, StatusPageDuringARun) {
    CJobQueue queue;
    CVelSheet sheet("Tandrel", 0, 30, nullptr, 0, queue);
    CPageLog log;
    sheet.AddPage(&log);
    sheet.Create();
    const std::vector<std::string> lines = {
        "(Mon Dec 07 14:05:09 2026) " + std::string(100, '-'),
        " Copy: /home/ada/photos/2026/beach.jpg => /media/backup/photos/2026/beach.jpg",
        " Copy: /home/ada/photos/2026/notes.txt => /media/backup/photos/2026/notes.txt",
        "!Copy: /home/ada/photos/2026/locked.raw => /media/backup/photos/2026/locked.raw "
        "(Permission denied)",
        " Move: /media/backup/photos/old.jpg => /media/recycle/photos/old.jpg",
        " Delete: /media/backup/photos/tmp.txt",
        "!Delete: /media/backup/photos/readonly/keep.txt (Read-only file system)",
        "!Read: /home/ada/photos/private/ (Permission denied)",
        std::string(127, '-'),
    };
    for (const std::string& line : lines) {
        log.AddLine(line);
    }
    sheet.SetProgressRange(0, 100);
    sheet.SetProgressPos(40);
    ASSERT_TRUE(WaitFor([&] { return sheet.Progress()->value() == 40; }));
    ASSERT_TRUE(WaitForPostedEvents());
    const QImage image = sheet.grab().toImage();
    ASSERT_EQ(image.size(), sheet.size());
    EXPECT_TRUE(image.save(SnapshotPath("sheet-status.png")));

    const LineViewState s = log.View().Lines().State();
    ASSERT_EQ(s.topLine, 0);
    ASSERT_GT(s.pageLines, static_cast<int>(lines.size()));
    const LogPicture picture(image, &sheet, log.View());

    // The header: the time orange, up to and including its ")"; the dashes black.
    const int timeEnd = CColorView::kMargin + picture.Width("(Mon Dec 07 14:05:09 2026)");
    const Tones time = picture.Part(0, 0, timeEnd);
    const Tones dashes = picture.Part(0, timeEnd, picture.Image().width());
    EXPECT_GT(time.orange, 20);
    EXPECT_EQ(time.black + time.red, 0);
    EXPECT_GT(dashes.black, 20);
    EXPECT_EQ(dashes.orange + dashes.red, 0);

    for (int row = 1; row <= 7; ++row) {
        picture.ExpectAction(row, lines[static_cast<size_t>(row)]);
    }

    // The separator is black from end to end, and nothing is drawn below it.
    const Tones separator = picture.Row(8);
    EXPECT_GT(separator.black, 20);
    EXPECT_LT(separator.darkest, 80);
    EXPECT_EQ(separator.red + separator.orange, 0);
    for (int row = 9; row < s.pageLines; ++row) {
        EXPECT_TRUE(picture.Blank(row)) << row;
    }

    // The bar is filled with the highlight colour from its left end to 40 of 100.
    const QProgressBar* bar = sheet.Progress();
    const Fill fill =
        HighlightColumns(PartOf(image, &sheet, bar), bar->palette().color(QPalette::Highlight));
    ASSERT_GT(fill.count, 0);
    EXPECT_EQ(fill.count, fill.last - fill.first + 1);  // one unbroken run
    EXPECT_LE(fill.first, 3);
    EXPECT_NEAR(fill.last + 1, 0.4 * bar->width(), 4);
}

TEST(Snapshot, FullLogFollowingTheEnd) {
    CJobQueue queue;
    CVelSheet sheet("Tandrel", 0, 30, nullptr, 0, queue);
    CPageLog log;
    sheet.AddPage(&log);
    sheet.Create();
    constexpr int kLines = 6000;
    auto lineText = [](int i) {
        return (i % 7 == 3 ? "!Copy: /src/file" : " Copy: /src/file") + std::to_string(i) +
               ".dat => /dst/file" + std::to_string(i) + ".dat";
    };
    for (int i = 0; i < kLines; ++i) {
        log.AddLine(lineText(i));
    }
    ASSERT_EQ(log.View().Lines().Line(LineStore::kSlots - 1), lineText(kLines - 1));
    ASSERT_TRUE(WaitForPostedEvents());
    const QImage image = sheet.grab().toImage();
    ASSERT_EQ(image.size(), sheet.size());
    EXPECT_TRUE(image.save(SnapshotPath("sheet-status-full.png")));

    // The view followed the end: its bottom row shows the last line, and every row shows its
    // line's colours, a red mark exactly where the line failed.
    const LineViewState s = log.View().Lines().State();
    ASSERT_EQ(s.topLine, LineStore::kSlots - s.pageLines);
    const LogPicture picture(image, &sheet, log.View());
    for (int row = 0; row < s.pageLines; ++row) {
        picture.ExpectAction(row, lineText(kLines - s.pageLines + row));
    }

    // No run has set the bar: it shows no fill.
    EXPECT_EQ(HighlightColumns(PartOf(image, &sheet, sheet.Progress()),
                               sheet.Progress()->palette().color(QPalette::Highlight))
                  .count,
              0);
}

// The Batch page with three rows, the middle one unchecked and selected: each row's box is
// drawn pixel for pixel as the check-box bitmap has it, where a click toggles it.
TEST(Snapshot, BatchPage) {
    TempTree home;
    SettingsStore store(home.Path("settings.db"));
    CJobQueue queue;
    CVelSheet sheet("Tandrel", 0, 30, nullptr, 0, queue);
    CPageLog log;
    CPageBatch batch(store, queue);
    sheet.AddPage(&log);
    sheet.AddPage(&batch);
    sheet.Create();
    sheet.SetActivePage(1);
    batch.AddItem("Photos", "/home/ada/photos", "/media/backup/photos", kBatchChecked);
    batch.AddItem("Mail", "/home/ada/mail", "/media/backup/mail", kBatchUnchecked);
    batch.AddItem("Projects", "/home/ada/projects", "/media/backup/projects", kBatchChecked);
    batch.List()->Widget()->setCurrentItem(batch.List()->Widget()->topLevelItem(1));
    ASSERT_TRUE(WaitForPostedEvents());
    const QImage image = sheet.grab().toImage();
    EXPECT_TRUE(image.save(SnapshotPath("sheet-batch.png")));

    const QWidget* viewport = batch.List()->Widget()->viewport();
    const QImage list = PartOf(image, &sheet, viewport);
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        const QImage want = LoadBitmapImage(IDB_CHECKBOXES, row == 1 ? 0 : 1, 16, qRgb(255, 0, 0))
                                .toImage()
                                .convertToFormat(QImage::Format_ARGB32);
        const QRect box = batch.List()->StateImageRect(row);
        ASSERT_EQ(box.size(), QSize(16, 16));
        int opaque = 0;
        int same = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                if (qAlpha(want.pixel(x, y)) == 255) {
                    ++opaque;
                    same += list.pixel(box.topLeft() + QPoint(x, y)) == want.pixel(x, y) ? 1 : 0;
                }
            }
        }
        EXPECT_EQ(opaque, 121);  // the 11 x 11 box
        EXPECT_EQ(same, opaque);
        // The grey frame's corners and, for a checked row, the check mark's ends.
        EXPECT_EQ(QColor(list.pixel(box.topLeft() + QPoint(3, 2))), QColor(128, 128, 128));
        EXPECT_EQ(QColor(list.pixel(box.topLeft() + QPoint(13, 12))), QColor(128, 128, 128));
        const QColor bottom(list.pixel(box.topLeft() + QPoint(7, 10)));
        const QColor top(list.pixel(box.topLeft() + QPoint(11, 4)));
        EXPECT_EQ(bottom, row == 1 ? QColor(Qt::white) : QColor(Qt::black));
        EXPECT_EQ(top, row == 1 ? QColor(Qt::white) : QColor(Qt::black));
    }
}

// How many pixels of `image` have exactly `colour`.
int CountColour(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff) ? 1 : 0;
        }
    }
    return count;
}

// The Quick, Option and About pages in the window as a user first sees them, and the About
// page's link while the mouse is over it.
TEST(Snapshot, QuickOptionAndAboutPages) {
    TempTree home;
    SettingsStore store(home.Path("settings.db"));
    Profile profile(store);
    CJobQueue queue;
    CVelSheet sheet("Tandrel", 0, 30, nullptr, 0, queue);
    CPageLog log;
    CPageBatch batch(store, queue);
    CPageQuick quick(profile, queue);
    CPageOption option(profile, queue);
    CPageAbout about;
    for (CSheetPage* page :
         std::initializer_list<CSheetPage*>{&log, &batch, &quick, &option, &about}) {
        sheet.AddPage(page);
    }
    sheet.Create();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    for (const auto& [index, name] :
         {std::pair{2, "sheet-quick.png"}, std::pair{3, "sheet-option.png"},
          std::pair{4, "sheet-about.png"}}) {
        sheet.SetActivePage(index);
        ASSERT_TRUE(WaitForPostedEvents());
        EXPECT_TRUE(sheet.grab().toImage().save(SnapshotPath(name)));
    }
    // The link in its own colour, then, hovered, in the highlight colour instead.
    CLinkLabel& link = about.Link();
    const QRgb hover = link.palette().color(QPalette::Highlight).rgb();
    const QImage plain =
        PartOf(sheet.grab().toImage().convertToFormat(QImage::Format_RGB32), &sheet, &link);
    EXPECT_GT(CountColour(plain, CLinkLabel::kLinkColour), 20);
    EXPECT_EQ(CountColour(plain, hover), 0);
    QTest::mouseMove(&link, link.rect().center());
    ASSERT_TRUE(WaitForPostedEvents());
    const QImage hovered = sheet.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(hovered.save(SnapshotPath("sheet-about-hover.png")));
    EXPECT_EQ(CountColour(PartOf(hovered, &sheet, &link), CLinkLabel::kLinkColour), 0);
    EXPECT_GT(CountColour(PartOf(hovered, &sheet, &link), hover), 20);
}

TEST(Snapshot, BatchItemDialog) {
    BatchItem item;
    item.strDescription = "Photos";
    item.strFrom = "/home/ada/photos";
    item.strTo = "/media/backup/photos";
    CBatchItemDlg dialog(&item, false);
    dialog.show();
    ASSERT_TRUE(WaitFor([&dialog] { return dialog.windowHandle()->isExposed(); }));
    const QImage image = dialog.grab().toImage();
    EXPECT_TRUE(image.save(SnapshotPath("batch-item-dialog.png")));
    EXPECT_EQ(image.size(), dialog.size());
}

TEST(Snapshot, AboutBox) {
    CAboutDlg about;
    about.show();
    ASSERT_TRUE(WaitFor([&about] { return about.windowHandle()->isExposed(); }));
    const QImage image = about.grab().toImage();
    EXPECT_TRUE(image.save(SnapshotPath("about-box.png")));

    // The icon is drawn where its label is: the icon's opaque pixels show in the picture.
    const auto* icon = about.findChild<QLabel*>("aboutIcon");
    ASSERT_NE(icon, nullptr);
    const QImage drawn = PartOf(image, &about, icon);
    const QImage expected = icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRect placed = QStyle::alignedRect(Qt::LeftToRight, icon->alignment(), expected.size(),
                                             icon->contentsRect());
    int opaque = 0;
    int same = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb want = expected.pixel(x, y);
            if (qAlpha(want) == 255 && drawn.rect().contains(placed.topLeft() + QPoint(x, y))) {
                ++opaque;
                same += drawn.pixel(placed.topLeft() + QPoint(x, y)) == want ? 1 : 0;
            }
        }
    }
    ASSERT_GT(opaque, 100);
    EXPECT_GT(same, opaque * 9 / 10);
}

}  // namespace
}  // namespace tandrel
