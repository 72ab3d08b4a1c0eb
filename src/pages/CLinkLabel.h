#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <functional>

namespace tandrel {

// A text label that looks and acts like a web link: blue (RGB 0, 0, 238), purple
// (RGB 85, 26, 139) once its target was opened, the palette's highlight colour while the mouse
// is over it (taking precedence over the other two). On a dark palette (base colour darker
// than its text) the palette's link and visited-link colours stand for blue and purple, which
// would hardly show there; underlined; a pointing-hand cursor; a
// tooltip with its target; a transparent background, so the page shows through.
//
// Tab reaches it (a click does not take the focus, so mouse use looks as before); with the
// focus it shows a focus frame, and Enter or Space opens it as a click does. Assistive
// technology hears a link named by its text, described by its target, with a press action.
//
// The label is made with its page and stands in for a label the page built: Bind gives it that
// label's place (parent, its item in the parent's layout or else its geometry, text,
// alignment, font, object name and "controlId") and deletes the page's label. Until then the label
// "has no window": the setters only store their value. On binding, a target still empty is taken
// from the text and an empty text from the target; the label then shrinks to its text (FitToText).
//
// A left click opens the target through the opener. On success the label turns visited; on a
// failure it is not visited any more, the desktop beeps, and a warning box says
// "Unable to open hyperlink:" and why. The label stays usable either way.
//
// Window thread only.
class CLinkLabel : public QLabel {
    Q_OBJECT

  public:
    // Opens a target; the result follows LinkOpener::Open (above 32: opened, else a code).
    using Opener = std::function<int(const QString& target)>;

    static constexpr QRgb kLinkColour = qRgb(0, 0, 238);
    static constexpr QRgb kVisitedColour = qRgb(85, 26, 139);

    explicit CLinkLabel(QWidget* parent = nullptr);
    ~CLinkLabel() override;

    // Takes the place of `control`, which must have a parent; `control` is deleted.
    void Bind(QLabel* control);
    bool IsBound() const { return m_bound; }

    // The target a click opens, also the tooltip's text. When bound, the label is fitted to
    // its text again.
    void SetTarget(const QString& target);
    const QString& Target() const { return m_strTarget; }

    // Whether the label shows as followed; repaints when bound.
    void SetVisitedState(bool visited);
    bool WasVisited() const { return m_bWasVisited; }

    // Whether the label's font is underlined; rebuilds the font when bound.
    void SetUnderlined(bool underlined);
    bool IsUnderlined() const { return m_bUnderlined; }

    bool IsHovering() const { return m_bHovering; }
    // The colour the text is painted in now.
    QColor TextColour() const;

    // Replaces what opens the target (LinkOpener with the desktop's open by default).
    void SetOpener(Opener opener);

    // The text of the box for a failed open with result `code`.
    static QString OpenErrorText(int code);

  protected:
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  public:
    // Opens the target as a click does.
    void Activate() { OnClicked(); }

  private:
    // Moves and sizes the label to its text; see FitToText in the source.
    void FitToText();
    // Builds the label's own font from its current one with the underline flag.
    void BuildFont();
    // Sets the text colour for the current state and repaints now.
    void ShowState();
    void SetHovering(bool hovering);
    void OnClicked();
    void ReportOpenError(int code);

    const QColor m_clrLink;
    const QColor m_clrVisited;
    const QColor m_clrHover;
    bool m_bHovering = false;
    bool m_bWasVisited = false;
    bool m_bUnderlined = true;
    bool m_bPressed = false;
    bool m_bound = false;
    bool m_inLayout = false;
    bool m_bShowingState = false;
    QString m_strTarget;
    QFont m_font;
    Opener m_opener;
};

}  // namespace tandrel
