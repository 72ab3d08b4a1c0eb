#pragma once

#include <array>
#include <cstdint>
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
    int topLine = 0;       // logical index of the line on the top row
    int pageLines = 0;     // whole rows that fit
    int maxTop = 0;        // greatest top line: max(0, lineCount - pageLines)
    int horzPos = 0;       // horizontal position in average character widths
    int horzPage = 0;      // horizontal page step in characters
    int horzMax = 0;       // greatest horizontal position: the end of the longest line in view
    int64_t firstSeq = 0;  // number of logical line 0 among all lines ever added
};

// The colour log view's memory: the most recent 5000 lines in a ring of fixed slots, and the
// scroll arithmetic over them (top line, rows per page, horizontal position). No windowing.
//
// Logical line 0 is the oldest line still held. The view follows the output while its bottom
// row shows the last line; a view scrolled back stays on the lines it shows, also while the
// ring overwrites its oldest lines.
//
// The horizontal range reaches just far enough to bring the end of the longest line held into
// view. Each line's drawn width is estimated once, when it is stored, from a table of character
// widths the window gives (SetTextWidths); the longest width among the lines held is kept up to
// date as lines come and go (a queue of the lines that can still become the longest, in a
// fixed ring), so no line is measured twice and nothing is re-measured when drawing.
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
    // Character widths are given in this fraction of a pixel.
    static constexpr int kWidthScale = 64;

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
    // How wide lines are drawn, in 1/kWidthScale pixels: `ascii` for each ASCII byte and
    // `other` for any other character (a UTF-8 sequence, or a byte that is not UTF-8); `margin`
    // is the blank space in pixels left of the text, kept right of the longest line too. The
    // lines already held are measured again. Until this is called every line counts as empty.
    void SetTextWidths(const std::array<int, 128>& ascii, int other, int margin);

    // Scrolls vertically or horizontally; `thumb` is used by the thumb codes only. Returns
    // false for a code that does nothing (kScrollEnd and above).
    // Every horizontal position stays between 0 and State().horzMax.
    bool VScroll(int code, int thumb = 0);
    bool HScroll(int code, int thumb = 0);
    // Scrolls for a key. With Ctrl, End and Home go to the last and first lines and Left and
    // Right move a horizontal page; without, End and Home go to the far right (the end of the
    // longest line) and left. Returns
    // whether the key is one the view acts on.
    bool KeyDown(ViewKey key, bool ctrl);

    LineViewState State() const;
    // The state and the texts of the rows on screen (at most pageLines, fewer at the end of the
    // output). `rows` keeps its capacity from call to call.
    LineViewState Snapshot(std::vector<std::string>* rows) const;
    // The text of logical line `index`, "" when there is none.
    std::string Line(int index) const;
    // The texts of the lines numbered `first` to `last` (counted over all lines ever added, as
    // LineViewState::firstSeq) that are still held, oldest first, taken in one piece. Returns
    // the number of the first line given.
    int64_t LinesBySeq(int64_t first, int64_t last, std::vector<std::string>* out) const;

  private:
    int LineCountLocked() const { return m_bWrapped ? kSlots : m_nNextLine; }
    int MaxTopLocked() const;
    LineViewState StateLocked() const;
    const char* SlotOfLocked(int logical) const;
    bool VScrollLocked(int code, int thumb);
    bool HScrollLocked(int code, int thumb);
    int WidthOf(const char* text) const;
    int HorzMaxLocked() const;
    // Brings line number `seq` (counted over all lines ever added) of `width` into the queue of
    // the longest, and drops line `seq - kSlots` from it once the ring has overwritten it.
    void PushWidthLocked(int64_t seq, int width);

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

    // Widths (1/kWidthScale pixels): the character table, and each held line's in its slot.
    std::array<int, 128> m_asciiWidth{};
    int m_otherWidth = 0;
    int m_nTextMargin = 0;
    std::unique_ptr<int[]> m_widths;
    int64_t m_nAdded = 0;  // lines ever added; line n is in slot n % kSlots
    // The lines that are wider than every line added after them, oldest first: the first is
    // the longest held. A ring of kSlots entries starting at m_nMaxHead.
    struct Widest {
        int64_t seq;
        int width;
    };
    std::unique_ptr<Widest[]> m_widest;
    int m_nMaxHead = 0;
    int m_nMaxCount = 0;
};

}  // namespace tandrel
