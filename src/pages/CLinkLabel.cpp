#include "CLinkLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPalette>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QVariant>

#include "CMessageBox.h"
#include "LinkOpener.h"

namespace tandrel {

namespace {

// The label as assistive technology sees it: a link named by its text, with a press action.
class CLinkAccessible : public QAccessibleWidget {
  public:
    explicit CLinkAccessible(CLinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return static_cast<CLinkLabel*>(widget())->text();
        }
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            static_cast<CLinkLabel*>(widget())->Activate();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* LinkAccessibleFactory(const QString& /*key*/, QObject* object) {
    if (auto* label = qobject_cast<CLinkLabel*>(object)) {
        return new CLinkAccessible(label);
    }
    return nullptr;
}

}  // namespace

CLinkLabel::CLinkLabel(QWidget* parent)
    : QLabel(parent),
      m_clrLink(QColor::fromRgb(kLinkColour)),
      m_clrVisited(QColor::fromRgb(kVisitedColour)),
      m_clrHover(palette().color(QPalette::Highlight)),
      m_opener([](const QString& target) { return LinkOpener().Open(target); }) {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(&LinkAccessibleFactory);
        return true;
    }();
    Q_UNUSED(accessibleInstalled);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(false);
}

CLinkLabel::~CLinkLabel() = default;

void CLinkLabel::Bind(QLabel* control) {
    if (m_bound || control == nullptr || control->parentWidget() == nullptr) {
        return;
    }
    QWidget* parent = control->parentWidget();
    const bool visible = control->isVisibleTo(parent);
    setParent(parent);
    // In a layout the link takes the control's item (its alignment with it); otherwise its
    // rectangle.
    if (parent->layout() != nullptr) {
        if (QLayoutItem* old = parent->layout()->replaceWidget(control, this)) {
            m_inLayout = true;
            delete old;
        }
    }
    setObjectName(control->objectName());
    setProperty("controlId", control->property("controlId"));
    setGeometry(control->geometry());
    setAlignment(control->alignment());
    setFont(control->font());
    setText(control->text());
    setEnabled(control->isEnabled());
    stackUnder(control);
    delete control;
    m_bound = true;

    if (m_strTarget.isEmpty()) {
        m_strTarget = text();
    }
    if (text().isEmpty()) {
        setText(m_strTarget);
    }
    BuildFont();
    FitToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(m_strTarget);
    setAccessibleDescription(m_strTarget);
    setFocusPolicy(Qt::TabFocus);
    // Moves without a button pressed must reach the label, so that hovering starts at once.
    setMouseTracking(true);
    ShowState();
    setVisible(visible);
}

void CLinkLabel::SetTarget(const QString& target) {
    m_strTarget = target;
    if (m_bound) {
        FitToText();
        setToolTip(m_strTarget);
        setAccessibleDescription(m_strTarget);
    }
}

void CLinkLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        OnClicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CLinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QStylePainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Window);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
}

void CLinkLabel::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();
}

void CLinkLabel::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}

void CLinkLabel::SetVisitedState(bool visited) {
    m_bWasVisited = visited;
    if (m_bound) {
        ShowState();
    }
}

void CLinkLabel::SetUnderlined(bool underlined) {
    m_bUnderlined = underlined;
    if (m_bound) {
        BuildFont();
        update();
    }
}

QColor CLinkLabel::TextColour() const {
    if (m_bHovering) {
        return m_clrHover;
    }
    const QPalette& pal = palette();
    if (pal.color(QPalette::Base).lightness() < pal.color(QPalette::Text).lightness()) {
        return pal.color(m_bWasVisited ? QPalette::LinkVisited : QPalette::Link);
    }
    return m_bWasVisited ? m_clrVisited : m_clrLink;
}

void CLinkLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // A new palette (a dark theme switched on) may change the link's colour; the change
    // ShowState itself makes is not one.
    if (event->type() == QEvent::PaletteChange && m_bound && !m_bShowingState) {
        ShowState();
    }
}

void CLinkLabel::SetOpener(Opener opener) {
    m_opener = std::move(opener);
}

QString CLinkLabel::OpenErrorText(int code) {
    switch (code) {
        case 0:
            return tr("The operating system is out\nof memory or resources.");
        case 2:
            return tr("The specified file was not found.");
        case 3:
            return tr("The specified path was not found.");
        case 5:
            return tr("The operating system denied\naccess to the specified file.");
        case 8:
            return tr("There was not enough memory to complete the operation.");
        case 11:
            return tr("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        case 26:
            return tr("A sharing violation occurred. ");
        case 27:
            return tr("The filename association is\nincomplete or invalid.");
        case 28:
            return tr("The DDE transaction could not\nbe completed because the request timed out.");
        case 29:
            return tr("The DDE transaction failed.");
        case 30:
            return tr(
                "The DDE transaction could not\nbe completed because other DDE "
                "transactions\nwere being processed.");
        case 31:
            return tr("There is no application associated\nwith the given filename extension.");
        case 32:
            return tr("The specified dynamic-link library was not found.");
        default:
            return tr("Unknown Error (%1) occurred.").arg(code);
    }
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
    const bool inside = rect().contains(event->position().toPoint());
    // While hovering, a move outside (seen while a button holds the mouse on the label) ends
    // it; any move over the label starts it.
    if (m_bHovering != inside) {
        SetHovering(inside);
    }
}

void CLinkLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    if (m_bHovering) {
        SetHovering(false);
    }
}

void CLinkLabel::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_bPressed = true;
    }
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !m_bPressed) {
        return;
    }
    m_bPressed = false;
    if (rect().contains(event->position().toPoint())) {
        OnClicked();
    }
}

// Sizes the label to its text in its own font. In a layout the size is fixed there and the
// layout's alignment places it; otherwise the label keeps the part of its place its alignment
// anchors: centred text shrinks about the centre, right-aligned text keeps the right edge,
// other text the left edge; vertically centred text keeps the vertical centre, other text the
// top. The halved differences truncate toward zero, so an odd pixel stays on the far side.
void CLinkLabel::FitToText() {
    if (!m_bound) {
        return;
    }
    const QFontMetrics metrics(m_font);
    const int textWidth = metrics.horizontalAdvance(text());
    const int textHeight = metrics.height();
    if (m_inLayout) {
        setFixedSize(textWidth, textHeight);
        return;
    }
    const QRect place = geometry();
    int left = place.left();
    int top = place.top();
    int width = place.width();
    int height = place.height();

    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        const int shrink = (height - textHeight) / 2;
        top += shrink;
        height -= 2 * shrink;
    } else {
        height = textHeight;
    }
    if (align & Qt::AlignHCenter) {
        const int shrink = (width - textWidth) / 2;
        left += shrink;
        width -= 2 * shrink;
    } else if (align & Qt::AlignRight) {
        left = left + width - textWidth;
        width = textWidth;
    } else {
        width = textWidth;
    }
    setGeometry(left, top, width, height);
}

void CLinkLabel::BuildFont() {
    QFont f = font();
    f.setUnderline(m_bUnderlined);
    m_font = f;
    setFont(m_font);
}

void CLinkLabel::ShowState() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, TextColour());
    m_bShowingState = true;
    setPalette(pal);
    m_bShowingState = false;
    if (isVisible()) {
        repaint();
    }
}

void CLinkLabel::SetHovering(bool hovering) {
    m_bHovering = hovering;
    ShowState();
}

void CLinkLabel::OnClicked() {
    const int result = m_opener(m_strTarget);
    m_bWasVisited = result > 32;
    if (m_bWasVisited) {
        SetVisitedState(true);
        return;
    }
    ShowState();
    QApplication::beep();
    ReportOpenError(result);
}

void CLinkLabel::ReportOpenError(int code) {
    CMessageBox::Show(this, tr("Unable to open hyperlink:\n\n") + OpenErrorText(code),
                      CMessageBox::Icon::kWarning, CMessageBox::Buttons::kOk);
}

}  // namespace tandrel
