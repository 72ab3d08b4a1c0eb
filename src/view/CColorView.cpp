#include "CColorView.h"

#include <QAbstractSlider>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
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

// The view as assistive technology sees it: read-only multi-line text of the lines held.
class CColorViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit CColorViewAccessible(CColorView* view)
        : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override {
        QAccessible::State st = QAccessibleWidget::state();
        st.readOnly = true;
        st.multiLine = true;
        st.selectableText = true;
        return st;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return View()->Held().text;
        }
        return QAccessibleWidget::text(t);
    }

    // Text interface.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        int64_t first = 0;
        int64_t last = 0;
        if (selectionIndex != 0 || !View()->SelectedRange(&first, &last)) {
            return;
        }
        const CColorView::HeldText& held = View()->Held();
        *startOffset = StartOf(held, first);
        *endOffset = EndOf(held, last);
    }
    int selectionCount() const override {
        int64_t first = 0;
        int64_t last = 0;
        return View()->SelectedRange(&first, &last) ? 1 : 0;
    }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override {
        if (selectionIndex == 0) {
            View()->ClearSelection();
        }
    }
    void setSelection(int /*selectionIndex*/, int startOffset, int endOffset) override {
        const CColorView::HeldText& held = View()->Held();
        View()->SelectLines(LineOf(held, startOffset),
                            LineOf(held, std::max(startOffset, endOffset - 1)));
    }
    int cursorPosition() const override {
        const CColorView::HeldText& held = View()->Held();
        const int64_t current = View()->CurrentLine();
        return current < 0 ? 0 : StartOf(held, current);
    }
    void setCursorPosition(int position) override {
        const CColorView::HeldText& held = View()->Held();
        if (held.starts.empty()) {
            return;
        }
        const int64_t seq = LineOf(held, position);
        View()->SelectLines(seq, seq);
        View()->ShowLine(static_cast<int>(seq - held.firstSeq));
    }
    QString text(int startOffset, int endOffset) const override {
        const QString& text = View()->Held().text;
        startOffset = std::clamp(startOffset, 0, static_cast<int>(text.size()));
        endOffset = std::clamp(endOffset, startOffset, static_cast<int>(text.size()));
        return text.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(View()->Held().text.size()); }
    QRect characterRect(int offset) const override {
        const CColorView::HeldText& held = View()->Held();
        if (held.starts.empty()) {
            return QRect();
        }
        const int64_t seq = LineOf(held, offset);
        const int logical = static_cast<int>(seq - held.firstSeq);
        const int column = offset - held.starts[static_cast<size_t>(logical)];
        const QString line = held.text.mid(held.starts[static_cast<size_t>(logical)], column + 1);
        const LineViewState s = View()->Lines().State();
        const QFontMetrics fm(View()->font());
        const int x = CColorView::kMargin - View()->CharWidth() * s.horzPos +
                      fm.horizontalAdvance(line.left(column));
        const int y = (logical - s.topLine) * View()->LineHeight();
        const int w = column < line.size() ? fm.horizontalAdvance(line.mid(column, 1)) : 1;
        const QPoint origin = View()->viewport()->mapToGlobal(QPoint(x, y));
        return QRect(origin, QSize(w, View()->LineHeight()));
    }
    int offsetAtPoint(const QPoint& point) const override {
        const CColorView::HeldText& held = View()->Held();
        const QPoint local = View()->viewport()->mapFromGlobal(point);
        if (held.starts.empty() || !View()->viewport()->rect().contains(local)) {
            return -1;
        }
        const LineViewState s = View()->Lines().State();
        const int logical = s.topLine + local.y() / std::max(1, View()->LineHeight());
        if (logical >= static_cast<int>(held.starts.size())) {
            return -1;
        }
        const int start = held.starts[static_cast<size_t>(logical)];
        const int end = EndOf(held, held.firstSeq + logical);
        const QFontMetrics fm(View()->font());
        int x = CColorView::kMargin - View()->CharWidth() * s.horzPos;
        for (int i = start; i < end; ++i) {
            x += fm.horizontalAdvance(held.text.at(i));
            if (x > local.x()) {
                return i;
            }
        }
        return end;
    }
    void scrollToSubstring(int startIndex, int /*endIndex*/) override {
        const CColorView::HeldText& held = View()->Held();
        if (!held.starts.empty()) {
            View()->ShowLine(static_cast<int>(LineOf(held, startIndex) - held.firstSeq));
        }
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        Q_UNUSED(offset);
        return QString();
    }

  private:
    CColorView* View() const { return static_cast<CColorView*>(widget()); }
    static int StartOf(const CColorView::HeldText& held, int64_t seq) {
        const auto i = static_cast<size_t>(std::clamp<int64_t>(
            seq - held.firstSeq, 0, static_cast<int64_t>(held.starts.size()) - 1));
        return held.starts.empty() ? 0 : held.starts[i];
    }
    // Where line `seq` ends (before its line break).
    static int EndOf(const CColorView::HeldText& held, int64_t seq) {
        const int64_t next = seq - held.firstSeq + 1;
        if (next >= static_cast<int64_t>(held.starts.size())) {
            return static_cast<int>(held.text.size());
        }
        return held.starts[static_cast<size_t>(std::max<int64_t>(next, 1))] - 1;
    }
    // The number of the line that holds character `offset`.
    static int64_t LineOf(const CColorView::HeldText& held, int offset) {
        const auto it = std::upper_bound(held.starts.begin(), held.starts.end(), offset);
        const int64_t index = std::max<int64_t>(0, (it - held.starts.begin()) - 1);
        return held.firstSeq + index;
    }
};

QAccessibleInterface* ViewAccessibleFactory(const QString& /*key*/, QObject* object) {
    if (auto* view = qobject_cast<CColorView*>(object)) {
        return new CColorViewAccessible(view);
    }
    return nullptr;
}

}  // namespace

CColorView::CColorView(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(&ViewAccessibleFactory);
        return true;
    }();
    Q_UNUSED(accessibleInstalled);
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
    AnnounceFailures();
}

void CColorView::AnnounceFailures() {
    const LineViewState s = m_lines.State();
    const int64_t added = s.firstSeq + s.lineCount;
    const int64_t since = std::max(m_announced, s.firstSeq);
    m_announced = added;
    if (!QAccessible::isActive() || since >= added) {
        return;
    }
    // Only the failures need a voice; the rest is there to be read at will.
    std::vector<std::string> lines;
    const int64_t first = m_lines.LinesBySeq(since, added - 1, &lines);
    const HeldText* held = nullptr;  // built only when there is a failure to tell
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty() || lines[i][0] != '!') {
            continue;
        }
        if (held == nullptr) {
            held = &Held();
        }
        const int64_t logical = first + static_cast<int64_t>(i) - held->firstSeq;
        if (logical < 0 || logical >= static_cast<int64_t>(held->starts.size())) {
            continue;
        }
        QAccessibleTextInsertEvent event(this, held->starts[static_cast<size_t>(logical)],
                                         QString::fromUtf8(lines[i]));
        QAccessible::updateAccessibility(&event);
    }
}

const CColorView::HeldText& CColorView::Held() const {
    const LineViewState s = m_lines.State();
    if (s.firstSeq == m_held.firstSeq && s.lineCount == m_held.lineCount) {
        return m_held;
    }
    std::vector<std::string> lines;
    m_held.firstSeq = m_lines.LinesBySeq(s.firstSeq, s.firstSeq + s.lineCount - 1, &lines);
    m_held.lineCount = static_cast<int>(lines.size());
    m_held.text.clear();
    m_held.starts.clear();
    m_held.starts.reserve(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            m_held.text += QChar(u'\n');
        }
        m_held.starts.push_back(static_cast<int>(m_held.text.size()));
        m_held.text += QString::fromUtf8(lines[i]);
    }
    return m_held;
}

bool CColorView::SelectedRange(int64_t* first, int64_t* last) const {
    if (m_anchor < 0 || m_active < 0) {
        return false;
    }
    const LineViewState s = m_lines.State();
    *first = std::max(std::min(m_anchor, m_active), s.firstSeq);
    *last = std::min(std::max(m_anchor, m_active), s.firstSeq + s.lineCount - 1);
    return *first <= *last;
}

void CColorView::SelectLines(int64_t anchor, int64_t active) {
    m_anchor = anchor;
    m_active = active;
    viewport()->update();
}

void CColorView::SelectAll() {
    const LineViewState s = m_lines.State();
    if (s.lineCount > 0) {
        SelectLines(s.firstSeq, s.firstSeq + s.lineCount - 1);
    }
}

void CColorView::ClearSelection() {
    SelectLines(-1, -1);
}

QString CColorView::SelectedText() const {
    int64_t first = 0;
    int64_t last = 0;
    if (!SelectedRange(&first, &last)) {
        return QString();
    }
    std::vector<std::string> lines;
    m_lines.LinesBySeq(first, last, &lines);
    QString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            text += QChar(u'\n');
        }
        text += QString::fromUtf8(lines[i]);
    }
    return text;
}

void CColorView::Copy() {
    const QString text = SelectedText();
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

int64_t CColorView::CurrentLine() const {
    const LineViewState s = m_lines.State();
    if (s.lineCount == 0) {
        return -1;
    }
    if (m_active >= s.firstSeq && m_active < s.firstSeq + s.lineCount) {
        return m_active;
    }
    return s.firstSeq + s.lineCount - 1;
}

void CColorView::ShowLine(int index) {
    const LineViewState s = m_lines.State();
    if (index < s.topLine) {
        m_lines.VScroll(kScrollThumbPosition, index);
    } else if (index >= s.topLine + std::max(1, s.pageLines)) {
        m_lines.VScroll(kScrollThumbPosition, index - std::max(1, s.pageLines) + 1);
    }
    SyncScrollBars();
    viewport()->update();
}

void CColorView::ExtendTo(int64_t seq) {
    const LineViewState s = m_lines.State();
    if (s.lineCount == 0) {
        return;
    }
    seq = std::clamp(seq, s.firstSeq, s.firstSeq + s.lineCount - 1);
    int64_t first = 0;
    int64_t last = 0;
    if (!SelectedRange(&first, &last)) {
        m_anchor = CurrentLine();
    }
    SelectLines(m_anchor, seq);
    ShowLine(static_cast<int>(seq - s.firstSeq));
    if (QAccessible::isActive()) {
        const HeldText& held = Held();
        const int64_t logical = seq - held.firstSeq;
        if (logical >= 0 && logical < static_cast<int64_t>(held.starts.size())) {
            QAccessibleTextCursorEvent event(this, held.starts[static_cast<size_t>(logical)]);
            QAccessible::updateAccessibility(&event);
        }
    }
}

int64_t CColorView::LineAt(int y) const {
    const LineViewState s = m_lines.State();
    const int rows = std::min(s.pageLines, s.lineCount - s.topLine);
    if (rows <= 0 || m_cyLine <= 0) {
        return -1;
    }
    const int row = std::clamp(y / m_cyLine, 0, rows - 1);
    return s.firstSeq + s.topLine + row;
}

void CColorView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const int y = event->position().toPoint().y();
    const LineViewState s = m_lines.State();
    if (m_cyLine <= 0 || y / m_cyLine >= s.lineCount - s.topLine) {
        // Below the last line: nothing to pick.
        ClearSelection();
        return;
    }
    const int64_t seq = LineAt(y);
    if (event->modifiers().testFlag(Qt::ShiftModifier) && m_anchor >= 0) {
        SelectLines(m_anchor, seq);
    } else {
        SelectLines(seq, seq);
    }
    m_bDragging = true;
    event->accept();
}

void CColorView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bDragging || !event->buttons().testFlag(Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const int y = event->position().toPoint().y();
    // Past an edge the view scrolls a line at a time, so a drag can reach further.
    if (y < 0) {
        m_lines.VScroll(kScrollLineUp);
        SyncScrollBars();
    } else if (y >= viewport()->height()) {
        m_lines.VScroll(kScrollLineDown);
        SyncScrollBars();
    }
    const int64_t seq = LineAt(y);
    if (seq >= 0) {
        SelectLines(m_anchor, seq);
    }
    event->accept();
}

void CColorView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_bDragging = false;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CColorView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, &CColorView::Copy);
    copy->setObjectName("viewCopy");
    copy->setShortcut(QKeySequence::Copy);
    int64_t first = 0;
    int64_t last = 0;
    copy->setEnabled(SelectedRange(&first, &last));
    QAction* all = menu.addAction(tr("Select &All"), this, &CColorView::SelectAll);
    all->setObjectName("viewSelectAll");
    all->setShortcut(QKeySequence::SelectAll);
    if (m_menuFiller) {
        menu.addSeparator();
        m_menuFiller(&menu);
    }
    menu.exec(event->globalPos());
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
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        event->accept();
        return;
    }
    int64_t first = 0;
    int64_t last = 0;
    if (event->key() == Qt::Key_Escape && SelectedRange(&first, &last)) {
        ClearSelection();
        event->accept();
        return;
    }
    if (event->modifiers().testFlag(Qt::ShiftModifier)) {
        const LineViewState s = m_lines.State();
        const int64_t current = CurrentLine();
        const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
        const int page = std::max(1, s.pageLines);
        int64_t to = -1;
        switch (event->key()) {
            case Qt::Key_Up:
                to = current - 1;
                break;
            case Qt::Key_Down:
                to = current + 1;
                break;
            case Qt::Key_PageUp:
                to = current - page;
                break;
            case Qt::Key_PageDown:
                to = current + page;
                break;
            case Qt::Key_Home:
                to = ctrl ? s.firstSeq : -1;
                break;
            case Qt::Key_End:
                to = ctrl ? s.firstSeq + s.lineCount - 1 : -1;
                break;
            default:
                break;
        }
        if (to >= 0 && current >= 0) {
            // The first Shift+arrow starts at the current line, selecting it too.
            if (!SelectedRange(&first, &last)) {
                SelectLines(current, current);
            }
            ExtendTo(to);
            event->accept();
            return;
        }
    }
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
    int64_t selFirst = 0;
    int64_t selLast = -1;
    if (!SelectedRange(&selFirst, &selLast)) {
        selLast = -1;
    }
    const QPalette pal = palette();
    for (size_t j = 0; j < m_rows.size(); ++j) {
        const std::string& text = m_rows[j];
        const int baseline = static_cast<int>(j) * m_cyLine + m_ascent;
        const int64_t seq = s.firstSeq + s.topLine + static_cast<int64_t>(j);
        const bool selected = seq >= selFirst && seq <= selLast;
        if (selected) {
            painter.fillRect(
                QRect(0, static_cast<int>(j) * m_cyLine, viewport()->width(), m_cyLine),
                pal.brush(QPalette::Highlight));
        }
        const LineSegments segs = SegmentLine(text);
        int x = x0;
        for (int i = 0; i < segs.count; ++i) {
            const LineSegment& seg = segs.runs[i];
            const QString run = QString::fromUtf8(text.data() + seg.start, seg.length);
            painter.setPen(selected ? pal.color(QPalette::HighlightedText)
                                    : ToQColor(m_colors.For(seg.color)));
            painter.drawText(QPoint(x, baseline), run);
            x += fm.horizontalAdvance(run);
        }
    }
}

}  // namespace tandrel
