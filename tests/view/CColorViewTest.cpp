#include "CColorView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMenu>
#include <QPalette>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <string>
#include <thread>

#include "GuiWait.h"
#include "InkTones.h"
#include "LineColors.h"

namespace tandrel {
namespace {

class CColorViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        parent.resize(520, 260);
        parent.show();
        view = new CColorView(&parent);
        view->Create(QRect(7, 7, 500, 240), 1000);
        ASSERT_TRUE(WaitFor([this] { return parent.windowHandle()->isExposed(); }));
    }
    // The viewport as it looks once the updates posted so far have been handled.
    QImage Grab() {
        EXPECT_TRUE(WaitForPostedEvents());
        return view->viewport()->grab().toImage();
    }
    int Width(const char* text) {
        return QFontMetrics(view->viewport()->font()).horizontalAdvance(QString::fromUtf8(text));
    }

    QWidget parent;
    CColorView* view = nullptr;
};

// The desktop's font at the user's size, measured again when it changes.
TEST_F(CColorViewTest, UsesTheDesktopsFontAndFollowsItsSize) {
    EXPECT_EQ(view->viewport()->font().pointSize(), QApplication::font().pointSize());
    EXPECT_EQ(view->viewport()->font().family(), QApplication::font().family());
    for (int i = 0; i < 100; ++i) {
        view->AddLine("-" + std::to_string(i));
    }
    for (const int points : {9, 16}) {
        SCOPED_TRACE(points);
        QFont font = view->font();
        font.setPointSize(points);
        view->setFont(font);
        const QFontMetrics fm(font);
        EXPECT_EQ(view->LineHeight(), fm.height() + std::max(0, fm.leading()));
        const LineViewState s = view->Lines().State();
        EXPECT_EQ(s.pageLines, view->viewport()->height() / view->LineHeight());
        EXPECT_EQ(s.horzPage, (view->viewport()->width() * 2 / view->CharWidth()) / 3);
        EXPECT_EQ(view->verticalScrollBar()->maximum(), 100 - s.pageLines);
    }
}

// The palette's base under the lines; on a dark one the marks in their lightened red.
TEST_F(CColorViewTest, PaintsOnThePalettesBaseInColoursThatReadOnIt) {
    view->AddLine("!Copy: /src/a.txt => /dst/a.txt");
    const QImage light = Grab();
    EXPECT_EQ(light.pixel(light.width() - 3, light.height() - 3) & 0xFFFFFF, 0xFFFFFFu);

    QPalette dark = view->palette();
    dark.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    dark.setColor(QPalette::Text, QColor(0xEF, 0xF0, 0xF1));
    view->setPalette(dark);
    EXPECT_EQ(view->Colors().background, 0x232629u);
    const QImage image = Grab();
    EXPECT_EQ(image.pixel(image.width() - 3, image.height() - 3) & 0xFFFFFF, 0x232629u);
    int marks = 0;
    for (int y = 0; y < view->LineHeight(); ++y) {
        for (int x = 0; x < CColorView::kMargin + Width("!"); ++x) {
            marks += (image.pixel(x, y) & 0xFFFFFF) == view->Colors().mark;
        }
    }
    EXPECT_GT(marks, 2);
    EXPECT_GE(ContrastRatio(view->Colors().mark, 0x232629), 4.5);
}

TEST_F(CColorViewTest, BarsHaveTheirRangesAndAPageOfOne) {
    const int rows = view->Lines().State().pageLines;
    for (int i = 0; i < rows + 5; ++i) {
        view->AddLine("-" + std::to_string(i));
    }
    ASSERT_TRUE(WaitForPostedEvents());
    QScrollBar* v = view->verticalScrollBar();
    EXPECT_EQ(v->minimum(), 0);
    EXPECT_EQ(v->maximum(), 5);
    EXPECT_EQ(v->pageStep(), 1);
    // Every line fits: nothing to scroll sideways.
    QScrollBar* h = view->horizontalScrollBar();
    EXPECT_EQ(h->maximum(), 0);
    EXPECT_FALSE(h->isEnabled());
    view->AddLine("-" + std::string(400, 'x'));
    ASSERT_TRUE(WaitForPostedEvents());
    EXPECT_EQ(h->minimum(), 0);
    EXPECT_GT(h->maximum(), 0);
    EXPECT_TRUE(h->isEnabled());
    EXPECT_EQ(h->pageStep(), 1);
    // Paging still moves a screen of rows, or two thirds of a screen of characters.
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_EQ(v->value(), 6);
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(h->value(), view->Lines().State().horzPage);
}

TEST_F(CColorViewTest, TextStartsFourPixelsInAndScrollsByCharacterWidths) {
    // Long enough to scroll sideways.
    view->AddLine("-" + std::string(30, ' ') + "-" + std::string(200, ' '));
    view->AddLine("-");
    const int cy = view->LineHeight();
    const QImage img = Grab();
    const int first = FirstInkInRow(img, 0, cy);
    EXPECT_GE(first, CColorView::kMargin);
    EXPECT_LE(first, CColorView::kMargin + 1);
    // Below the lines and in the margin everything is white.
    for (int y = 0; y < img.height(); ++y) {
        const int ink = FirstInk(img, y);
        if (y >= 2 * cy) {
            EXPECT_EQ(ink, -1) << y;
        } else {
            EXPECT_TRUE(ink == -1 || ink >= CColorView::kMargin) << y;
        }
    }
    const int second = FirstInkInRow(img, 0, cy, first + 10);
    ASSERT_GT(second, 0);
    QTest::keyClick(view, Qt::Key_Right);
    const QImage moved = Grab();
    EXPECT_EQ(FirstInkInRow(moved, 0, cy, second - view->CharWidth() - 5),
              second - view->CharWidth());
}

TEST_F(CColorViewTest, HeaderLineDrawsTimeOrangeAndDashesBlack) {
    view->AddLine("(12:00) ------------");
    const QImage img = Grab();
    const int cy = view->LineHeight();
    const int split = CColorView::kMargin + Width("(12:00)");
    const Tones time = CountTones(img, 0, cy, 0, split);
    const Tones rest = CountTones(img, 0, cy, split, img.width());
    EXPECT_GT(time.orange, 5);
    EXPECT_EQ(time.black, 0);
    EXPECT_GT(rest.black, 5);
    EXPECT_EQ(rest.orange, 0);
}

TEST_F(CColorViewTest, ActionLineDrawsMarkRedVerbGreyPathBlack) {
    view->AddLine("!Delete: /dst/old.txt");
    const QImage img = Grab();
    const int cy = view->LineHeight();
    const int markEnd = CColorView::kMargin + Width("!");
    const int verbEnd = markEnd + Width("Delete: ");
    const Tones mark = CountTones(img, 0, cy, 0, markEnd);
    const Tones verb = CountTones(img, 0, cy, markEnd, verbEnd);
    const Tones path = CountTones(img, 0, cy, verbEnd, img.width());
    EXPECT_GT(mark.red, 2);
    EXPECT_EQ(mark.black, 0);
    // Grey text never gets darker than its own grey; black text does.
    EXPECT_GT(verb.grey, 5);
    EXPECT_GE(verb.darkest, 150);
    EXPECT_EQ(verb.red, 0);
    EXPECT_GT(path.black, 5);
    EXPECT_LT(path.darkest, 80);
    EXPECT_EQ(path.red, 0);
}

TEST_F(CColorViewTest, HorizontalScrollMovesTheTextByCharacterWidths) {
    view->AddLine("!" + std::string(200, 'x'));
    const QImage before = Grab();
    EXPECT_GT(CountTones(before, 0, view->LineHeight(), 0, 12).red, 0);
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(view->horizontalScrollBar()->value(), 2);
    const QImage after = Grab();
    // The red mark has gone off the left edge.
    EXPECT_EQ(CountTones(after, 0, view->LineHeight(), 0, after.width()).red, 0);
}

TEST_F(CColorViewTest, LinesFromAnotherThreadReachTheBarsAndTheScreen) {
    const int rows = view->Lines().State().pageLines;
    ASSERT_GT(rows, 3);
    EXPECT_FALSE(view->verticalScrollBar()->isEnabled());
    std::thread worker([this, rows] {
        for (int i = 0; i < rows + 30; ++i) {
            view->AddLine("-line " + std::to_string(i));
        }
    });
    worker.join();
    ASSERT_TRUE(WaitForPostedEvents());
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), 30);
    EXPECT_EQ(bar->value(), 30);  // followed to the end
    const QImage img = Grab();
    EXPECT_GT(CountTones(img, rows - 1, view->LineHeight(), 0, img.width()).black, 5);
}

TEST_F(CColorViewTest, KeysAndBarAgreeOnTheTopLine) {
    for (int i = 0; i < 100; ++i) {
        view->AddLine(" Copy: " + std::to_string(i));
    }
    ASSERT_TRUE(WaitForPostedEvents());
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view->Lines().State().topLine, 0);
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);
    QTest::keyClick(view, Qt::Key_PageDown);
    const int page = view->Lines().State().pageLines;
    EXPECT_EQ(view->verticalScrollBar()->value(), page);
    // The bar's own arrow goes through the same arithmetic.
    view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(view->Lines().State().topLine, page - 1);
    view->AddLine(std::string(300, 'x'));
    ASSERT_TRUE(WaitForPostedEvents());
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_PageDown);
    view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    view->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(view->Lines().State().horzPos, view->horizontalScrollBar()->maximum());
    // A view scrolled back is not pulled down by new lines.
    view->AddLine(" Copy: new");
    ASSERT_TRUE(WaitForPostedEvents());
    EXPECT_EQ(view->verticalScrollBar()->value(), page - 1);
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->verticalScrollBar()->value(), 102 - page);
}

// The last column with ink in text row `row`, over all its pixel rows; -1 if none.
int LastInkInRow(const QImage& img, int row, int cyLine) {
    int last = -1;
    for (int y = row * cyLine; y < (row + 1) * cyLine && y < img.height(); ++y) {
        for (int x = img.width() - 1; x > last; --x) {
            if (ToneOf(img.pixel(x, y)) != Tone::kWhite) {
                last = x;
                break;
            }
        }
    }
    return last;
}

// The horizontal bar reaches as far as the longest line held: at its end the line's last
// character is in view, with at most the margin and `slack` average characters of blank after
// it (a step rounds up to a whole character; characters beyond ASCII are estimated wide).
TEST_F(CColorViewTest, HorizontalRangeEndsWithTheLongestLine) {
    const struct {
        std::string line;
        int slack;
    } cases[] = {
        {" Copy: " + std::string(150, 'x') + "|", 1},
        {"(12:00) " + std::string(120, 'W') + "|", 1},
        {std::string(300, 'i') + "|", 1},
        {"!Delete: /" + std::string(90, 'm') + "/\xc3\xa9t\xc3\xa9|", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 12));
        CColorView one(&parent);  // this line alone
        one.Create(QRect(7, 7, 500, 240), 1000);
        one.AddLine(c.line);
        ASSERT_TRUE(WaitForPostedEvents());
        QScrollBar* bar = one.horizontalScrollBar();
        ASSERT_GT(bar->maximum(), 0);
        QTest::keyClick(&one, Qt::Key_End);
        EXPECT_EQ(bar->value(), bar->maximum());
        const int width = one.viewport()->width();
        const int atEnd = LastInkInRow(one.viewport()->grab().toImage(), 0, one.LineHeight());
        EXPECT_LT(atEnd, width);
        EXPECT_GE(atEnd, width - CColorView::kMargin - (c.slack + 1) * one.CharWidth());
    }
}

// When the longest line leaves the ring, the range shrinks to the longest one left, and a view
// scrolled beyond it comes back.
TEST_F(CColorViewTest, HorizontalRangeShrinksWhenTheLongestLineIsDropped) {
    view->AddLine(std::string(400, 'x'));
    view->AddLine(std::string(200, 'x'));
    ASSERT_TRUE(WaitForPostedEvents());
    QScrollBar* h = view->horizontalScrollBar();
    const int longest = h->maximum();
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(h->value(), longest);
    view->AddLine("-");
    for (int i = 0; i < LineStore::kSlots - 2; ++i) {
        view->AddLine("-");
    }
    ASSERT_TRUE(WaitForPostedEvents());
    const int second = h->maximum();
    EXPECT_GT(second, 0);
    EXPECT_LT(second, longest);
    EXPECT_EQ(h->value(), second);
    view->AddLine("-");
    ASSERT_TRUE(WaitForPostedEvents());
    EXPECT_EQ(h->maximum(), 0);
    EXPECT_EQ(h->value(), 0);
}

// Lines are picked with a click, Shift+click and a drag, and with Shift+arrows and Ctrl+A;
// Ctrl+C copies them as shown, one line per line.
TEST_F(CColorViewTest, SelectsAndCopiesLinesWithMouseAndKeys) {
    for (int i = 0; i < 3; ++i) {
        view->AddLine("+ line " + std::to_string(i));
    }
    view->AddLine("! caf\xc3\xa9 \"x\"\\012");
    ASSERT_TRUE(WaitForPostedEvents());
    const int row = view->LineHeight();
    QWidget* vp = view->viewport();
    const auto copied = [this] {
        QApplication::clipboard()->clear();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        return QApplication::clipboard()->text();
    };
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(20, row + row / 2));
    EXPECT_EQ(copied(), "+ line 1");
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 3 * row + row / 2));
    EXPECT_EQ(copied(), QString::fromUtf8("+ line 1\n+ line 2\n! caf\xc3\xa9 \"x\"\\012"));
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(20, row / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 2 * row + row / 2),
                     vp->mapToGlobal(QPointF(20, 2 * row + row / 2)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(20, 2 * row + row / 2));
    EXPECT_EQ(copied(), "+ line 0\n+ line 1\n+ line 2");
    QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(copied(), "+ line 0\n+ line 1");
    QTest::keyClick(view, Qt::Key_Escape);
    QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);  // from the last line
    EXPECT_EQ(copied(), QString::fromUtf8("+ line 2\n! caf\xc3\xa9 \"x\"\\012"));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(copied().count(u'\n'), 3);

    // Selected rows take the palette's highlight colour.
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(20, row / 2));
    const QImage image = Grab();
    EXPECT_EQ(image.pixelColor(vp->width() - 3, row / 2),
              view->palette().color(QPalette::Highlight));
    EXPECT_NE(image.pixelColor(vp->width() - 3, row + row / 2),
              view->palette().color(QPalette::Highlight));
}

// A selection keeps its lines while older ones drop out of the ring, and never stops the view
// from following the output.
TEST_F(CColorViewTest, SelectionSurvivesTheRingAndKeepsFollowing) {
    for (int i = 0; i < LineStore::kSlots; ++i) {
        view->AddLine("- " + std::to_string(i));
    }
    ASSERT_TRUE(WaitForPostedEvents());
    const int64_t last = view->Lines().State().firstSeq + LineStore::kSlots - 1;
    view->SelectLines(last - 1, last);
    for (int i = 0; i < 10; ++i) {
        view->AddLine("- more " + std::to_string(i));
    }
    ASSERT_TRUE(WaitForPostedEvents());
    EXPECT_EQ(view->SelectedText(),
              QString("- %1\n- %2").arg(LineStore::kSlots - 2).arg(LineStore::kSlots - 1));
    const LineViewState s = view->Lines().State();
    EXPECT_EQ(s.topLine, s.maxTop);
    // Once they have left the ring, nothing of them is selected.
    for (int i = 0; i < LineStore::kSlots; ++i) {
        view->AddLine("- later");
    }
    EXPECT_EQ(view->SelectedText(), QString());
}

// Assistive technology reads the run lines as text and follows the current line.
TEST_F(CColorViewTest, ExposesItsLinesToAssistiveTechnology) {
    view->setAccessibleName("Status");
    view->AddLine("+ a/b");
    view->AddLine("! a/c: Permission denied");
    ASSERT_TRUE(WaitForPostedEvents());

    QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(acc, nullptr);
    EXPECT_EQ(acc->role(), QAccessible::EditableText);
    EXPECT_EQ(acc->text(QAccessible::Name), "Status");
    EXPECT_TRUE(acc->state().readOnly);
    QAccessibleTextInterface* text = acc->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(0, text->characterCount()), "+ a/b\n! a/c: Permission denied");
    int start = 0;
    int end = 0;
    EXPECT_EQ(text->textAtOffset(text->cursorPosition(), QAccessible::LineBoundary, &start, &end)
                  .trimmed(),
              "! a/c: Permission denied");
    text->setSelection(0, 0, 3);
    EXPECT_EQ(view->SelectedText(), "+ a/b");
}

// The view's menu offers Copy and Select All, then the window's own items; Copy from it puts
// the selection on the clipboard.
TEST_F(CColorViewTest, ContextMenuCopiesAndKeepsTheWindowsItems) {
    view->AddLine("+ one");
    view->AddLine("+ two");
    ASSERT_TRUE(WaitForPostedEvents());
    view->SetMenuFiller([](QMenu* menu) { menu->addAction("&Close"); });
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, view->LineHeight() / 2));
    QApplication::clipboard()->clear();
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions()) {
            shown << (a->isSeparator() ? "-" : a->text());
        }
        menu->actions().front()->trigger();
        menu->close();
    });
    const QPoint at(20, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    EXPECT_EQ(shown, QStringList({"&Copy", "Select &All", "-", "&Close"}));
    EXPECT_EQ(QApplication::clipboard()->text(), "+ one");
}

}  // namespace
}  // namespace tandrel
