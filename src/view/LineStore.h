#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tandrel {

// Scroll requests, numbered as the scroll-bar notifications they stand for. The horizontal
// ones share the numbers (line left = line up, right = bottom, ...).
enum ScrollCode : int {
    kScrollLineUp = 0,
    kScrollLineDown = 1,
    kScrollPageUp = 2,
    kScrollPageDown = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollTop = 6,
    kScrollBottom = 7,
    kScrollEnd = 8,  // the end of a drag: nothing to do
};

// The keys the log view acts on.
enum class ViewKey { kPageUp, kPageDown, kEnd, kHome, kLeft, kUp, kRight, kDown, kOther };

// What the window needs to draw and to set up its scroll bars, taken in one piece.
struct LineViewState {
    int lineCount = 0;
    int topLine = 0;    // logical index of the line on the top row
    int pageLines = 0;  // whole rows that fit
    int maxTop = 0;     // greatest top line: max(0, lineCount - pageLines)
    int horzPos = 0;    // horizontal position in average character widths
    int horzPage = 0;   // horizontal page step in characters
};

// The colour log view's memory: the most recent 5000 lines in a ring of fixed slots, and the
// scroll arithmetic over them (top line, rows per page, horizontal position). No windowing.
//
// Logical line 0 is the oldest line still held. The view follows the output while its bottom
// row shows the last line; a view scrolled back stays on the lines it shows, also while the
// ring overwrites its oldest lines.
//
// Threads: AddLine may be called on any thread (the worker calls it for every run line) at the
// same time as the window thread scrolls, resizes and takes snapshots. One mutex guards all of
// it and is held only for a copy of at most one line (AddLine) or one page of lines (Snapshot):
// no caller ever waits for another thread's drawing. AddLine never allocates.
class LineStore {
  public:
    static constexpr int kSlots = 5000;
    static constexpr int kSlotBytes = 1024;
    static constexpr int kMaxLineBytes = kSlotBytes - 1;
    // The horizontal range: the thumb can reach kHorzRange, arrows, pages and End stop at
    // kHorzLast.
    static constexpr int kHorzRange = 1024;
    static constexpr int kHorzLast = 1023;

    LineStore();  // allocates every slot, all empty
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

    // Stores a copy of `line`, cut to at most kMaxLineBytes bytes (never inside a UTF-8
    // sequence), overwriting the oldest line once the ring is full. Follows the output when the
    // bottom row showed the previous last line. Any thread.
    void AddLine(std::string_view line);

    // The font's average character width and row height; rows per page and the horizontal
    // page follow from them and the last recorded size once both are non-zero.
    void SetMetrics(int cxChar, int cyLine);
    // Records a new client size. With metrics known, recomputes rows and horizontal page and,
    // when the end of the output would leave rows empty, moves the top line up so that the last
    // line stays on the bottom row.
    void Resize(int width, int height);

    // Scrolls vertically or horizontally; `thumb` is used by the thumb codes only. Returns
    // false for a code that does nothing (kScrollEnd and above).
    bool VScroll(int code, int thumb = 0);
    bool HScroll(int code, int thumb = 0);
    // Scrolls for a key. With Ctrl, End and Home go to the last and first lines and Left and
    // Right move a horizontal page; without, End and Home go to the far right and left. Returns
    // whether the key is one the view acts on.
    bool KeyDown(ViewKey key, bool ctrl);

    LineViewState State() const;
    // The state and the texts of the rows on screen (at most pageLines, fewer at the end of the
    // output). `rows` keeps its capacity from call to call.
    LineViewState Snapshot(std::vector<std::string>* rows) const;
    // The text of logical line `index`, "" when there is none.
    std::string Line(int index) const;

  private:
    int LineCountLocked() const { return m_bWrapped ? kSlots : m_nNextLine; }
    int MaxTopLocked() const;
    LineViewState StateLocked() const;
    const char* SlotOfLocked(int logical) const;
    bool VScrollLocked(int code, int thumb);
    bool HScrollLocked(int code, int thumb);

    mutable std::mutex m_mutex;
    std::unique_ptr<char[]> m_buffer;  // kSlots * kSlotBytes, each slot zero-terminated
    int m_nNextLine = 0;
    bool m_bWrapped = false;
    int m_nTopLine = 0;
    int m_nPageLines = 0;
    int m_cxClient = 0;
    int m_cyClient = 0;
    int m_nHorzPos = 0;
    int m_nHorzPage = 0;
    int m_cxChar = 0;
    int m_cyLine = 0;
};

}  // namespace tandrel
