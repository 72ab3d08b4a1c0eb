#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QMenu>
#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "LineColors.h"
#include "LineStore.h"

namespace tandrel {

// The Status page's log: the last 5000 run lines, each coloured by its first character (see
// SegmentLine), in the desktop's font at the user's size on the palette's base colour (the
// described colours on a light palette, lightened ones on a dark one: LogColorsFor), scrolled
// by whole lines vertically and by
// average character widths horizontally (as far as the end of the longest line held), with the
// scroll bars and the keys Page Up, Page Down, Home, End and the arrows (with Ctrl, Home and End
// go to the first and last lines and Left and Right move a horizontal page). Each bar shows
// disabled while there is nothing to scroll.
//
// The line store exists from construction on, so lines may arrive before the view is placed.
// The view follows the end of the output while its bottom row shows the last line.
//
// Threads: AddLine may be called on any thread, typically the worker; it copies the line into
// the store and, when no update is already on its way, posts one to the window thread. Many
// lines thus cost one repaint. Everything else runs on the window thread. The owner must make
// sure no thread calls AddLine once destruction has begun.
//
// Selection: whole lines, picked with the mouse (click, Shift+click, drag) or the keyboard
// (Shift with the arrows, Page Up and Page Down, Ctrl+Shift+Home/End; Ctrl+A selects all,
// Escape clears), shown in the palette's highlight colours and copied (Ctrl+C, or Copy in the
// view's menu) as the text shown, one line per line. The selection is held as the numbers of
// its first and last lines counted over all lines ever added, so lines dropping out of the
// ring need no bookkeeping: whatever of it is still held stays selected. Selecting does not
// scroll, so a view at the end of the output keeps following it.
//
// Assistive technology reads the view as read-only multi-line text (its lines joined by line
// breaks; the cursor at the current line: the moving end of the selection, else the last
// line), and hears each new failure line ("!") as inserted text.
class CColorView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit CColorView(QWidget* parent = nullptr);
    ~CColorView() override;

    // Places and shows the view: geometry in the parent's coordinates (a layout may take it
    // over), control id, and the font measured (rows per page and horizontal page follow from
    // it). A later change of font or palette is followed.
    void Create(const QRect& rect, int id);

    // Stores one line and has it shown. Any thread; never waits for the window thread.
    void AddLine(std::string_view line);

    const LineStore& Lines() const { return m_lines; }
    int CharWidth() const { return m_cxChar; }
    int LineHeight() const { return m_cyLine; }
    // Left edge of the text at horizontal position 0.
    static constexpr int kMargin = 4;
    // The colours painted with now.
    const LogColors& Colors() const { return m_colors; }

    // The selected lines, first and last, as numbers counted over all lines ever added
    // (LineViewState::firstSeq); false when nothing held is selected.
    bool SelectedRange(int64_t* first, int64_t* last) const;
    // Selects from line `anchor` to line `active` (numbers as above); the view stays where it is.
    void SelectLines(int64_t anchor, int64_t active);
    void SelectAll();
    void ClearSelection();
    // The selected lines as shown, each ended by a line break but the last; "" for none.
    QString SelectedText() const;
    // Puts SelectedText on the clipboard, when something is selected.
    void Copy();
    // The number of the current line: the moving end of the selection, else the last line
    // (-1 while there are no lines).
    int64_t CurrentLine() const;
    // Adds the window's own items to the view's menu, after Copy and Select All.
    void SetMenuFiller(std::function<void(QMenu*)> filler) { m_menuFiller = std::move(filler); }

    // The lines held as one text, for assistive technology: the lines joined by line breaks,
    // the offset where each starts, and the number of the first. Built again only when lines
    // came or went.
    struct HeldText {
        int64_t firstSeq = 0;
        int lineCount = -1;
        QString text;
        std::vector<int> starts;
    };
    const HeldText& Held() const;
    // Scrolls just far enough to show logical line `index`.
    void ShowLine(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Takes the metrics of the current font into the store.
    void MeasureFont();
    // Window thread: takes the store's state into the scroll bars and repaints.
    void OnLinesAdded();
    void SyncScrollBars();
    void OnVerticalAction(int action);
    void OnHorizontalAction(int action);
    // The number of the line on viewport row `y`, clamped to the rows showing lines; -1 when
    // there are none.
    int64_t LineAt(int y) const;
    // Moves the moving end of the selection to line `seq` and shows it.
    void ExtendTo(int64_t seq);
    // Tells assistive technology about the failure lines added since the last call.
    void AnnounceFailures();

    LineStore m_lines;
    std::atomic<bool> m_updatePosted{false};
    QFont m_font;
    LogColors m_colors;
    bool m_bCreated = false;
    int m_cxChar = 0;
    int m_cyLine = 0;
    int m_ascent = 0;
    std::vector<std::string> m_rows;  // paint buffer, reused
    int64_t m_anchor = -1;            // the fixed end of the selection, -1 for none
    int64_t m_active = -1;            // the moving end
    bool m_bDragging = false;
    int64_t m_announced = 0;  // lines ever added when failures were last announced
    std::function<void(QMenu*)> m_menuFiller;
    mutable HeldText m_held;
};

}  // namespace tandrel
