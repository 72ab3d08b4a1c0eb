#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <atomic>
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

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Takes the metrics of the current font into the store.
    void MeasureFont();
    // Window thread: takes the store's state into the scroll bars and repaints.
    void OnLinesAdded();
    void SyncScrollBars();
    void OnVerticalAction(int action);
    void OnHorizontalAction(int action);

    LineStore m_lines;
    std::atomic<bool> m_updatePosted{false};
    QFont m_font;
    LogColors m_colors;
    bool m_bCreated = false;
    int m_cxChar = 0;
    int m_cyLine = 0;
    int m_ascent = 0;
    std::vector<std::string> m_rows;  // paint buffer, reused
};

}  // namespace tandrel
