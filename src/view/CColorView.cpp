#include "CColorView.h"

#include <QAbstractSlider>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QtMath>
#include <array>

#include "LineColors.h"

namespace tandrel {

namespace {

QColor ToQColor(uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The scroll code a scroll-bar action stands for; -1 for a thumb drag or wheel step.
int ScrollCodeOf(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return kScrollLineUp;
        case QAbstractSlider::SliderSingleStepAdd:
            return kScrollLineDown;
        case QAbstractSlider::SliderPageStepSub:
            return kScrollPageUp;
        case QAbstractSlider::SliderPageStepAdd:
            return kScrollPageDown;
        case QAbstractSlider::SliderToMinimum:
            return kScrollTop;
        case QAbstractSlider::SliderToMaximum:
            return kScrollBottom;
        case QAbstractSlider::SliderMove:
            return kScrollThumbTrack;
        default:
            return kScrollEnd;
    }
}

// The average character width as Arial states it: the advances of the lowercase letters and
// the blank, each weighted by how often it occurs in English text (per thousand). For Arial
// and its metric twins this is the face's own 904 units of 2048 (5 pixels at 8 points on a
// 96-dpi screen); the average over all glyphs that some twins record instead is a third wider
// and would make every horizontal step and page too wide.
int AverageCharWidth(const QFont& font) {
    static constexpr int kWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6, 35, 20,
                                         56, 56, 17, 4,  49,  56, 71, 31, 10, 18, 3, 18, 2};
    static constexpr int kBlankWeight = 166;
    const QFontMetricsF fm(font);
    qreal sum = kBlankWeight * fm.horizontalAdvance(QChar(u' '));
    for (int i = 0; i < 26; ++i) {
        sum += kWeights[i] * fm.horizontalAdvance(QChar(static_cast<char16_t>(u'a' + i)));
    }
    return std::max(1, qRound(sum / 1000));
}

ViewKey ViewKeyOf(int key) {
    switch (key) {
        case Qt::Key_PageUp:
            return ViewKey::kPageUp;
        case Qt::Key_PageDown:
            return ViewKey::kPageDown;
        case Qt::Key_End:
            return ViewKey::kEnd;
        case Qt::Key_Home:
            return ViewKey::kHome;
        case Qt::Key_Left:
            return ViewKey::kLeft;
        case Qt::Key_Up:
            return ViewKey::kUp;
        case Qt::Key_Right:
            return ViewKey::kRight;
        case Qt::Key_Down:
            return ViewKey::kDown;
        default:
            return ViewKey::kOther;
    }
}

}  // namespace

CColorView::CColorView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName("colorView");
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    // Both bars stay in place and show disabled while there is nothing to scroll.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &CColorView::OnVerticalAction);
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &CColorView::OnHorizontalAction);
    hide();
}

CColorView::~CColorView() = default;

void CColorView::Create(const QRect& rect, int id) {
    setProperty("controlId", id);
    m_bCreated = true;
    MeasureFont();
    setGeometry(rect);
    show();
    m_lines.Resize(viewport()->width(), viewport()->height());
    SyncScrollBars();
}

void CColorView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (!m_bCreated) {
        return;
    }
    if (event->type() == QEvent::FontChange) {
        MeasureFont();
        m_lines.Resize(viewport()->width(), viewport()->height());
        SyncScrollBars();
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange) {
        const QPalette pal = palette();
        m_colors = LogColorsFor(pal.color(QPalette::Base).rgb(), pal.color(QPalette::Text).rgb());
        viewport()->update();
    }
}

void CColorView::MeasureFont() {
    // The font the view inherits: the desktop's, at the user's size.
    m_font = font();
    const QPalette pal = palette();
    m_colors = LogColorsFor(pal.color(QPalette::Base).rgb(), pal.color(QPalette::Text).rgb());
    const QFontMetrics fm(m_font);
    m_cxChar = AverageCharWidth(m_font);
    m_cyLine = fm.height() + std::max(0, fm.leading());
    m_ascent = fm.ascent();
    m_lines.SetMetrics(m_cxChar, m_cyLine);
    // Each ASCII character's advance, and that of a wide letter for everything else, so that
    // the store can tell how far the longest line reaches without measuring text.
    const QFontMetricsF fmf(m_font);
    std::array<int, 128> ascii{};
    for (int c = 0; c < 128; ++c) {
        ascii[static_cast<size_t>(c)] =
            qCeil(fmf.horizontalAdvance(QChar(static_cast<char16_t>(c))) * LineStore::kWidthScale);
    }
    m_lines.SetTextWidths(ascii, qCeil(fmf.horizontalAdvance(QChar(u'W')) * LineStore::kWidthScale),
                          kMargin);
}

void CColorView::AddLine(std::string_view line) {
    m_lines.AddLine(line);
    if (!m_updatePosted.exchange(true)) {
        QMetaObject::invokeMethod(this, &CColorView::OnLinesAdded, Qt::QueuedConnection);
    }
}

void CColorView::OnLinesAdded() {
    // Cleared before the store is read: a line stored after this point posts a new update.
    m_updatePosted.store(false);
    SyncScrollBars();
    viewport()->update();
}

void CColorView::SyncScrollBars() {
    const LineViewState s = m_lines.State();
    QScrollBar* v = verticalScrollBar();
    const QSignalBlocker blockV(v);
    // Both bars have a page of 1: the thumb stands for one position, and paging goes through
    // the store's own arithmetic (a screen of rows, two thirds of a screen of characters).
    v->setRange(0, s.maxTop);
    v->setPageStep(1);
    v->setSingleStep(1);
    v->setValue(s.topLine);
    v->setEnabled(s.lineCount > s.pageLines);

    QScrollBar* h = horizontalScrollBar();
    const QSignalBlocker blockH(h);
    h->setRange(0, s.horzMax);
    h->setPageStep(1);
    h->setSingleStep(1);
    h->setValue(s.horzPos);
    h->setEnabled(s.horzMax > 0);
}

void CColorView::OnVerticalAction(int action) {
    const int code = ScrollCodeOf(action);
    m_lines.VScroll(code, verticalScrollBar()->sliderPosition());
    // The bar has moved by its own arithmetic; put it where the store says.
    verticalScrollBar()->setSliderPosition(m_lines.State().topLine);
    viewport()->update();
}

void CColorView::OnHorizontalAction(int action) {
    const int code = ScrollCodeOf(action);
    m_lines.HScroll(code, horizontalScrollBar()->sliderPosition());
    horizontalScrollBar()->setSliderPosition(m_lines.State().horzPos);
    viewport()->update();
}

void CColorView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    m_lines.Resize(viewport()->width(), viewport()->height());
    SyncScrollBars();
}

void CColorView::keyPressEvent(QKeyEvent* event) {
    const ViewKey key = ViewKeyOf(event->key());
    if (key == ViewKey::kOther) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    // Ctrl is taken from the key event itself rather than tracked over key presses and
    // releases: a Ctrl released while another window had the focus cannot stick.
    m_lines.KeyDown(key, event->modifiers().testFlag(Qt::ControlModifier));
    SyncScrollBars();
    viewport()->update();
    // Not passed on: the scroll area's own handling would scroll a second time by its own steps.
    event->accept();
}

void CColorView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), ToQColor(m_colors.background));
    if (m_cyLine <= 0) {
        return;
    }
    painter.setFont(m_font);
    const LineViewState s = m_lines.Snapshot(&m_rows);
    const QFontMetrics fm(m_font);
    const int x0 = kMargin - m_cxChar * s.horzPos;
    for (size_t j = 0; j < m_rows.size(); ++j) {
        const std::string& text = m_rows[j];
        const int baseline = static_cast<int>(j) * m_cyLine + m_ascent;
        const LineSegments segs = SegmentLine(text);
        int x = x0;
        for (int i = 0; i < segs.count; ++i) {
            const LineSegment& seg = segs.runs[i];
            const QString run = QString::fromUtf8(text.data() + seg.start, seg.length);
            painter.setPen(ToQColor(m_colors.For(seg.color)));
            painter.drawText(QPoint(x, baseline), run);
            x += fm.horizontalAdvance(run);
        }
    }
}

}  // namespace tandrel
