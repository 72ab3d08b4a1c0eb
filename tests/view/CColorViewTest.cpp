#include "CColorView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <string>
#include <thread>

#include "LineColors.h"

namespace tandrel {
namespace {

// What a pixel of anti-aliased text on white looks like: the hue survives the blending.
enum class Tone { kWhite, kBlack, kGrey, kRed, kOrange, kOther };

Tone ToneOf(QRgb p) {
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    if (r > 245 && g > 245 && b > 245) {
        return Tone::kWhite;
    }
    if (std::abs(r - g) < 10 && std::abs(g - b) < 10) {
        return r < 110 ? Tone::kBlack : (r > 150 ? Tone::kGrey : Tone::kOther);
    }
    if (r > 200 && g - b > 25) {
        return Tone::kOrange;
    }
    if (r > 200 && std::abs(g - b) < 12 && r - g > 60) {
        return Tone::kRed;
    }
    return Tone::kOther;
}

// Counts of each tone in the pixel columns [x0, x1) of text row `row`.
struct Tones {
    int black = 0, grey = 0, red = 0, orange = 0;
    int darkest = 255;  // the darkest neutral pixel: text drawn black reaches near 0
};

Tones CountTones(const QImage& img, int row, int cyLine, int x0, int x1) {
    Tones t;
    for (int y = row * cyLine; y < (row + 1) * cyLine && y < img.height(); ++y) {
        for (int x = std::max(0, x0); x < x1 && x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - qGreen(p)) < 10 && std::abs(qGreen(p) - qBlue(p)) < 10) {
                t.darkest = std::min(t.darkest, qRed(p));
            }
            switch (ToneOf(p)) {
                case Tone::kBlack:
                    ++t.black;
                    break;
                case Tone::kGrey:
                    ++t.grey;
                    break;
                case Tone::kRed:
                    ++t.red;
                    break;
                case Tone::kOrange:
                    ++t.orange;
                    break;
                default:
                    break;
            }
        }
    }
    return t;
}

// The first column at or right of `from` in pixel row `y` that is not white; -1 if none.
int FirstInk(const QImage& img, int y, int from = 0) {
    for (int x = from; x < img.width(); ++x) {
        if (ToneOf(img.pixel(x, y)) != Tone::kWhite) {
            return x;
        }
    }
    return -1;
}

// The first column with ink in text row `row`, over all its pixel rows; -1 if none.
int FirstInkInRow(const QImage& img, int row, int cyLine, int from = 0) {
    int first = -1;
    for (int y = row * cyLine; y < (row + 1) * cyLine && y < img.height(); ++y) {
        const int x = FirstInk(img, y, from);
        if (x >= 0 && (first < 0 || x < first)) {
            first = x;
        }
    }
    return first;
}

class CColorViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        parent.resize(520, 260);
        parent.show();
        view = new CColorView(&parent);
        view->Create(QRect(7, 7, 500, 240), 1000);
        QApplication::processEvents();
    }
    QImage Grab() {
        QApplication::processEvents();
        return view->viewport()->grab().toImage();
    }
    int Width(const char* text) {
        return QFontMetrics(view->viewport()->font()).horizontalAdvance(QString::fromUtf8(text));
    }

    QWidget parent;
    CColorView* view = nullptr;
};

TEST_F(CColorViewTest, UsesEightPointArialWithItsOwnAverageWidth) {
    const QFont font = view->viewport()->font();
    EXPECT_EQ(font.pointSize(), 8);
    const QFontInfo info(font);
    EXPECT_TRUE(info.family().contains("Liberation Sans") || info.family().contains("Arial"))
        << info.family().toStdString();
    // Arial's average character width is 904 units of its 2048-unit em: 5 pixels for the
    // 11-pixel em of 8 points at 96 dpi.
    EXPECT_EQ(view->CharWidth(), qRound(904.0 * info.pixelSize() / 2048));
    const LineViewState s = view->Lines().State();
    EXPECT_EQ(s.pageLines, view->viewport()->height() / view->LineHeight());
    EXPECT_EQ(s.horzPage, (view->viewport()->width() * 2 / view->CharWidth()) / 3);
}

TEST_F(CColorViewTest, BarsHaveTheirRangesAndAPageOfOne) {
    const int rows = view->Lines().State().pageLines;
    for (int i = 0; i < rows + 5; ++i) {
        view->AddLine("-" + std::to_string(i));
    }
    QApplication::processEvents();
    QScrollBar* v = view->verticalScrollBar();
    EXPECT_EQ(v->minimum(), 0);
    EXPECT_EQ(v->maximum(), 5);
    EXPECT_EQ(v->pageStep(), 1);
    QScrollBar* h = view->horizontalScrollBar();
    EXPECT_EQ(h->minimum(), 0);
    EXPECT_EQ(h->maximum(), 1024);
    EXPECT_EQ(h->pageStep(), 1);
    // Paging still moves a screen of rows, or two thirds of a screen of characters.
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_EQ(v->value(), 5);
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(h->value(), view->Lines().State().horzPage);
}

TEST_F(CColorViewTest, TextStartsFourPixelsInAndScrollsByCharacterWidths) {
    view->AddLine("-" + std::string(30, ' ') + "-");
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
    QApplication::processEvents();
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
    QApplication::processEvents();
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view->Lines().State().topLine, 0);
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);
    QTest::keyClick(view, Qt::Key_PageDown);
    const int page = view->Lines().State().pageLines;
    EXPECT_EQ(view->verticalScrollBar()->value(), page);
    // The bar's own arrow goes through the same arithmetic.
    view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(view->Lines().State().topLine, page - 1);
    view->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(view->Lines().State().horzPos, 1023);
    // A view scrolled back is not pulled down by new lines.
    view->AddLine(" Copy: new");
    QApplication::processEvents();
    EXPECT_EQ(view->verticalScrollBar()->value(), page - 1);
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->verticalScrollBar()->value(), 101 - page);
}

}  // namespace
}  // namespace tandrel
