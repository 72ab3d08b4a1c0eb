// The link label on real widgets, offscreen: its place after binding, its colours as painted,
// and what a click does with each result of the opener.
#include "CLinkLabel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QTest>
#include <cstdlib>
#include <utility>
#include <vector>

#include "CMessageBox.h"
#include "CPageAbout.h"
#include "Controls.h"
#include "LinkOpener.h"
#include "ResourceIds.h"

namespace tandrel {
namespace {

constexpr int kControlId = 77;

// A shown window holding one template-like label, and the link bound in its place.
struct Bound {
    explicit Bound(const QString& text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop,
                   QRect place = QRect(10, 20, 200, 30), const QString& target = {}) {
        window.resize(400, 200);
        auto* control = new QLabel(text, &window);
        control->setObjectName("link");
        control->setProperty("controlId", kControlId);
        control->setAlignment(align);
        control->setGeometry(place);
        if (!target.isEmpty()) {
            link.SetTarget(target);
        }
        link.Bind(control);
    }

    QWidget window;
    CLinkLabel link;
};

// Whether any pixel of `widget` as painted has exactly `colour` (the underline is drawn
// solid in the text's colour).
bool Shows(QWidget& widget, QRgb colour) {
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) {
                return true;
            }
        }
    }
    return false;
}

TEST(CLinkLabel, TakesTheControlsPlaceAndShrinksToItsText) {
    const QString text = "Visit Halvory's Homepage";
    struct Case {
        Qt::Alignment align;
        QRect place;
    };
    const Case cases[] = {
        {Qt::AlignLeft | Qt::AlignTop, QRect(10, 20, 200, 30)},
        {Qt::AlignRight | Qt::AlignTop, QRect(10, 20, 200, 30)},
        {Qt::AlignHCenter | Qt::AlignTop, QRect(10, 20, 201, 30)},
        {Qt::AlignHCenter | Qt::AlignTop, QRect(10, 20, 21, 31)},  // narrower than its text
        {Qt::AlignLeft | Qt::AlignVCenter, QRect(10, 20, 200, 31)},
        {Qt::AlignRight | Qt::AlignVCenter, QRect(10, 20, 200, 3)},  // lower than its text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("alignment %1, size %2 x %3")
                         .arg(int(c.align))
                         .arg(c.place.width())
                         .arg(c.place.height())
                         .toStdString());
        Bound b(text, c.align, c.place);
        const QFontMetrics metrics(b.link.font());
        const int tw = metrics.horizontalAdvance(text);
        const int th = metrics.height();
        // Centring shrinks (or grows) evenly; an odd pixel stays on the right or at the bottom.
        const int dx = (c.place.width() - tw) / 2;
        const int dy = (c.place.height() - th) / 2;
        const bool hc = c.align & Qt::AlignHCenter;
        const bool vc = c.align & Qt::AlignVCenter;
        const QRect want(
            hc ? c.place.x() + dx
               : ((c.align & Qt::AlignRight) ? c.place.x() + c.place.width() - tw : c.place.x()),
            vc ? c.place.y() + dy : c.place.y(), hc ? c.place.width() - 2 * dx : tw,
            vc ? c.place.height() - 2 * dy : th);
        EXPECT_EQ(b.link.geometry(), want);
        EXPECT_LE(std::abs(b.link.width() - tw), 1);
    }
}

TEST(CLinkLabel, TargetAndTextFillEachOther) {
    Bound fromText("Visit Halvory's Homepage");
    EXPECT_EQ(fromText.link.Target(), "Visit Halvory's Homepage");
    EXPECT_EQ(fromText.link.toolTip(), "Visit Halvory's Homepage");
    const QRect place = fromText.link.geometry();
    fromText.link.SetTarget("https://www.halvory.example/");
    EXPECT_EQ(fromText.link.toolTip(), "https://www.halvory.example/");
    EXPECT_EQ(fromText.link.text(), "Visit Halvory's Homepage");
    EXPECT_EQ(fromText.link.geometry(), place);
    EXPECT_EQ(fromText.link.objectName(), "link");
    EXPECT_EQ(FindControl(&fromText.window, kControlId), &fromText.link);
    EXPECT_EQ(fromText.window.findChildren<QLabel*>().size(), 1);  // the control is gone
    EXPECT_EQ(fromText.link.cursor().shape(), Qt::PointingHandCursor);

    Bound fromTarget("", Qt::AlignLeft | Qt::AlignTop, QRect(10, 20, 300, 30),
                     "https://www.halvory.example/");
    EXPECT_EQ(fromTarget.link.text(), "https://www.halvory.example/");
    EXPECT_EQ(fromTarget.link.toolTip(), "https://www.halvory.example/");
    EXPECT_EQ(fromTarget.link.width(),
              QFontMetrics(fromTarget.link.font()).horizontalAdvance(fromTarget.link.text()));

    EXPECT_TRUE(fromText.link.font().underline());
    fromText.link.SetUnderlined(false);
    EXPECT_FALSE(fromText.link.font().underline());
    fromText.link.SetUnderlined(true);
    EXPECT_TRUE(fromText.link.font().underline());
}

TEST(CLinkLabel, PaintsTheColourOfItsStateWithHoverOnTop) {
    Bound b("Visit Halvory's Homepage");
    b.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&b.window));
    const QRgb hover = b.link.palette().color(QPalette::Highlight).rgb();
    ASSERT_NE(hover, CLinkLabel::kLinkColour);
    ASSERT_NE(hover, CLinkLabel::kVisitedColour);

    EXPECT_TRUE(Shows(b.link, CLinkLabel::kLinkColour));
    EXPECT_FALSE(Shows(b.link, CLinkLabel::kVisitedColour));

    QTest::mouseMove(&b.link, b.link.rect().center());
    EXPECT_TRUE(b.link.IsHovering());
    EXPECT_TRUE(Shows(b.link, hover));
    EXPECT_FALSE(Shows(b.link, CLinkLabel::kLinkColour));

    QTest::mouseMove(&b.window, QPoint(390, 190));
    EXPECT_FALSE(b.link.IsHovering());
    EXPECT_TRUE(Shows(b.link, CLinkLabel::kLinkColour));

    b.link.SetVisitedState(true);
    EXPECT_TRUE(Shows(b.link, CLinkLabel::kVisitedColour));
    EXPECT_FALSE(Shows(b.link, CLinkLabel::kLinkColour));
    QTest::mouseMove(&b.link, b.link.rect().center());
    EXPECT_EQ(b.link.TextColour().rgb(), hover);
    EXPECT_TRUE(Shows(b.link, hover));
    QTest::mouseMove(&b.window, QPoint(390, 190));
    EXPECT_TRUE(Shows(b.link, CLinkLabel::kVisitedColour));
}

TEST(CLinkLabel, ClickOpensTheTargetAndExplainsEachFailure) {
    Bound b("Visit", Qt::AlignLeft | Qt::AlignTop, QRect(10, 20, 200, 30), "https://h.example/");
    b.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&b.window));
    std::vector<QString> opened;
    int result = LinkOpener::kOpened;
    b.link.SetOpener([&](const QString& target) {
        opened.push_back(target);
        return result;
    });
    CMessageBox::Reset();

    QTest::mouseClick(&b.link, Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<QString>{"https://h.example/"});
    EXPECT_TRUE(b.link.WasVisited());
    EXPECT_EQ(CMessageBox::Count(), 0);
    QTest::mouseMove(&b.window, QPoint(390, 190));
    EXPECT_TRUE(Shows(b.link, CLinkLabel::kVisitedColour));

    const QString head = "Unable to open hyperlink:\n\n";
    const std::pair<int, QString> failures[] = {
        {31, "There is no application associated\nwith the given filename extension."},
        {2, "The specified file was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {26, "A sharing violation occurred. "},
        {4, "Unknown Error (4) occurred."},
    };
    int boxes = 0;
    for (const auto& [code, text] : failures) {
        SCOPED_TRACE(code);
        result = code;
        CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
        QTest::mouseClick(&b.link, Qt::LeftButton);
        EXPECT_EQ(CMessageBox::Count(), ++boxes);
        EXPECT_EQ(CMessageBox::LastText(), head + text);
        EXPECT_EQ(CMessageBox::LastIcon(), CMessageBox::Icon::kWarning);
        EXPECT_FALSE(b.link.WasVisited());
    }
    QTest::mouseMove(&b.window, QPoint(390, 190));
    EXPECT_TRUE(Shows(b.link, CLinkLabel::kLinkColour));

    CMessageBox::Reset();
}

// On a dark palette the link takes the palette's link colours, which read there; on a light one
// it keeps its own. A palette changed while the link is up is followed.
TEST(CLinkLabel, TakesThePalettesLinkColoursOnADarkPalette) {
    Bound b("Visit Halvory's Homepage");
    b.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&b.window));
    EXPECT_EQ(b.link.TextColour(), QColor::fromRgb(CLinkLabel::kLinkColour));

    QPalette dark = b.window.palette();
    dark.setColor(QPalette::Window, QColor(0x31, 0x36, 0x3b));
    dark.setColor(QPalette::WindowText, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    dark.setColor(QPalette::Text, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::Link, QColor(0x29, 0x80, 0xb9));
    dark.setColor(QPalette::LinkVisited, QColor(0x9b, 0x59, 0xb6));
    b.window.setPalette(dark);
    EXPECT_EQ(b.link.TextColour(), QColor(0x29, 0x80, 0xb9));
    EXPECT_TRUE(Shows(b.link, qRgb(0x29, 0x80, 0xb9)));
    b.link.SetVisitedState(true);
    EXPECT_EQ(b.link.TextColour(), QColor(0x9b, 0x59, 0xb6));

    b.window.setPalette(QPalette());
    EXPECT_EQ(b.link.TextColour(), QColor::fromRgb(CLinkLabel::kVisitedColour));
}

TEST(CPageAbout, BindsItsLinkToTheHomePage) {
    CPageAbout page;
    page.resize(page.sizeHint());
    page.show();
    page.Activate();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

    ASSERT_EQ(page.GetDlgItem(IDC_LINK), &page.Link());
    const CLinkLabel& link = page.Link();
    EXPECT_EQ(link.objectName(), "aboutLink");
    EXPECT_EQ(link.text(), "Visit Halvory's Homepage");
    EXPECT_EQ(link.Target(), CPageAbout::kHomePage);
    EXPECT_EQ(link.toolTip(), CPageAbout::kHomePage);
    EXPECT_TRUE(link.font().underline());
    EXPECT_TRUE(link.isVisible());
    // Its text's size, centred at the foot of the page below the credit line; it stays there
    // when the page grows.
    const QFontMetrics metrics(link.font());
    EXPECT_EQ(link.size(), QSize(metrics.horizontalAdvance(link.text()), metrics.height()));
    const QWidget* credit = page.findChild<QWidget*>("aboutCredit");
    ASSERT_NE(credit, nullptr);
    for (const QSize size : {page.sizeHint(), QSize(900, 600)}) {
        page.resize(size);
        page.layout()->activate();
        EXPECT_LE(std::abs(link.geometry().center().x() - page.width() / 2), 1);
        EXPECT_GT(link.y(), credit->geometry().bottom());
        EXPECT_GT(link.y(), page.height() * 3 / 4);
        EXPECT_LT(link.geometry().bottom(), page.height());
    }
    page.resize(page.sizeHint());

    page.UpdateRunState(1);
    for (QWidget* w : page.findChildren<QWidget*>()) {
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }

    // As the user first sees it: the link in its colour, under its template place.
    const QImage image = page.grab().toImage();
    QDir().mkpath(TANDREL_SNAPSHOT_DIR);
    EXPECT_TRUE(image.save(QString(TANDREL_SNAPSHOT_DIR) + "/page-about.png"));
    QWidget& shown = page.Link();
    EXPECT_TRUE(Shows(shown, CLinkLabel::kLinkColour));

    std::vector<QString> opened;
    page.Link().SetOpener([&](const QString& target) {
        opened.push_back(target);
        return 42;
    });
    QTest::mouseClick(&page.Link(), Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<QString>{CPageAbout::kHomePage});
}

}  // namespace
}  // namespace tandrel
