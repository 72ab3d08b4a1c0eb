#include "LineStore.h"

#include <algorithm>
#include <cstring>

namespace tandrel {

namespace {

// The longest prefix of `line` of at most `limit` bytes that does not end inside a UTF-8
// sequence. Bytes that are not UTF-8 at all are kept as they are.
size_t CutLength(std::string_view line, size_t limit) {
    if (line.size() <= limit) {
        return line.size();
    }
    size_t n = limit;
    // Step back over continuation bytes to the lead byte of the sequence the cut falls in.
    size_t lead = n;
    while (lead > 0 && lead > n - 4 && (static_cast<unsigned char>(line[lead]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead < n && (static_cast<unsigned char>(line[lead]) & 0xC0) == 0xC0) {
        return lead;  // the character starting at `lead` does not fit whole
    }
    return n;
}

}  // namespace

LineStore::LineStore()
    : m_buffer(new char[static_cast<size_t>(kSlots) * kSlotBytes]),
      m_widths(new int[kSlots]()),
      m_widest(new Widest[kSlots]()) {
    for (int i = 0; i < kSlots; ++i) {
        m_buffer[static_cast<size_t>(i) * kSlotBytes] = '\0';
    }
}

int LineStore::WidthOf(const char* text) const {
    int width = 0;
    int following = 0;  // continuation bytes still expected in the current sequence
    for (const char* p = text; *p != '\0'; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        if (b < 0x80) {
            width += m_asciiWidth[b];
            following = 0;
        } else if (b < 0xC0 && following > 0) {
            --following;
        } else {
            // A sequence's first byte, or a byte that belongs to none (shown on its own).
            width += m_otherWidth;
            following = b >= 0xF0 ? (b < 0xF8 ? 3 : 0) : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        }
    }
    return width;
}

void LineStore::PushWidthLocked(int64_t seq, int width) {
    // The oldest entry goes when its line has left the ring.
    if (m_nMaxCount > 0 && m_widest[m_nMaxHead].seq <= seq - kSlots) {
        m_nMaxHead = (m_nMaxHead + 1) % kSlots;
        --m_nMaxCount;
    }
    // Lines no wider than the new one can never be the longest again while it is held.
    while (m_nMaxCount > 0 && m_widest[(m_nMaxHead + m_nMaxCount - 1) % kSlots].width <= width) {
        --m_nMaxCount;
    }
    m_widest[(m_nMaxHead + m_nMaxCount) % kSlots] = Widest{seq, width};
    ++m_nMaxCount;
}

int LineStore::HorzMaxLocked() const {
    if (m_cxChar <= 0 || m_nMaxCount == 0) {
        return 0;
    }
    // The position at which the longest line ends a margin short of the right edge, in whole
    // characters, rounded up so that its end is in view.
    const int64_t over = static_cast<int64_t>(m_widest[m_nMaxHead].width) +
                         static_cast<int64_t>(kWidthScale) * (2 * m_nTextMargin - m_cxClient);
    if (over <= 0) {
        return 0;
    }
    const int64_t step = static_cast<int64_t>(kWidthScale) * m_cxChar;
    return static_cast<int>((over + step - 1) / step);
}

void LineStore::SetTextWidths(const std::array<int, 128>& ascii, int other, int margin) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_asciiWidth = ascii;
    m_otherWidth = other;
    m_nTextMargin = margin;
    m_nMaxHead = 0;
    m_nMaxCount = 0;
    const int count = LineCountLocked();
    for (int i = 0; i < count; ++i) {
        const int64_t seq = m_nAdded - count + i;
        const int slot = static_cast<int>(seq % kSlots);
        m_widths[slot] = WidthOf(&m_buffer[static_cast<size_t>(slot) * kSlotBytes]);
        PushWidthLocked(seq, m_widths[slot]);
    }
    m_nHorzPos = std::min(m_nHorzPos, HorzMaxLocked());
}

void LineStore::AddLine(std::string_view line) {
    const size_t n = CutLength(line, kMaxLineBytes);
    std::lock_guard<std::mutex> lock(m_mutex);
    char* slot = &m_buffer[static_cast<size_t>(m_nNextLine) * kSlotBytes];
    std::memcpy(slot, line.data(), n);
    slot[n] = '\0';
    m_widths[m_nNextLine] = WidthOf(slot);
    PushWidthLocked(m_nAdded, m_widths[m_nNextLine]);
    ++m_nAdded;
    // The longest line may have left the ring.
    m_nHorzPos = std::min(m_nHorzPos, HorzMaxLocked());

    // The row the new line takes: just below the bottom row means the view shows the end of
    // the output and follows it.
    const int rel = LineCountLocked() - m_nTopLine;
    const bool follow = rel == m_nPageLines;
    if (m_bWrapped) {
        // The oldest line is gone: every logical index moves down by one, and so does the top
        // line, so the rows keep showing the same lines.
        m_nTopLine = std::max(0, m_nTopLine - 1);
    }
    m_nNextLine = (m_nNextLine + 1) % kSlots;
    if (m_nNextLine == 0) {
        m_bWrapped = true;
    }
    if (follow) {
        VScrollLocked(kScrollLineDown, 0);
    }
}

void LineStore::SetMetrics(int cxChar, int cyLine) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cxChar = cxChar;
    m_cyLine = cyLine;
    if (m_cxChar > 0 && m_cyLine > 0) {
        m_nPageLines = m_cyClient / m_cyLine;
        m_nHorzPage = (m_cxClient * 2 / m_cxChar) / 3;
    }
    m_nHorzPos = std::min(m_nHorzPos, HorzMaxLocked());
}

void LineStore::Resize(int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cxClient = width;
    m_cyClient = height;
    if (m_cxChar <= 0 || m_cyLine <= 0) {
        return;
    }
    m_nPageLines = std::max(0, height / m_cyLine);
    m_nHorzPage = std::max(0, (width * 2 / m_cxChar) / 3);
    const int count = LineCountLocked();
    if (count < m_nTopLine + m_nPageLines) {
        m_nTopLine = std::max(0, count - m_nPageLines);
    }
    m_nHorzPos = std::min(m_nHorzPos, HorzMaxLocked());
}

int LineStore::MaxTopLocked() const {
    return std::max(0, LineCountLocked() - m_nPageLines);
}

bool LineStore::VScroll(int code, int thumb) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return VScrollLocked(code, thumb);
}

bool LineStore::VScrollLocked(int code, int thumb) {
    const int maxTop = MaxTopLocked();
    int top = m_nTopLine;
    switch (code) {
        case kScrollLineUp:
            top = std::max(0, top - 1);
            break;
        case kScrollLineDown:
            top = std::min(maxTop, top + 1);
            break;
        case kScrollPageUp:
            top = std::max(0, top - m_nPageLines);
            break;
        case kScrollPageDown:
            top = std::min(maxTop, top + m_nPageLines);
            break;
        case kScrollThumbPosition:
        case kScrollThumbTrack:
            top = std::clamp(thumb, 0, maxTop);
            break;
        case kScrollTop:
            top = 0;
            break;
        case kScrollBottom:
            top = maxTop;
            break;
        default:
            return false;
    }
    m_nTopLine = top;
    return true;
}

bool LineStore::HScroll(int code, int thumb) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return HScrollLocked(code, thumb);
}

bool LineStore::HScrollLocked(int code, int thumb) {
    const int maxPos = HorzMaxLocked();
    int pos = m_nHorzPos;
    switch (code) {
        case kScrollLineUp:
            pos = std::max(0, pos - 1);
            break;
        case kScrollLineDown:
            pos = std::min(maxPos, pos + 1);
            break;
        case kScrollPageUp:
            pos = std::max(0, pos - m_nHorzPage);
            break;
        case kScrollPageDown:
            pos = std::min(maxPos, pos + m_nHorzPage);
            break;
        case kScrollThumbPosition:
        case kScrollThumbTrack:
            pos = std::clamp(thumb, 0, maxPos);
            break;
        case kScrollTop:
            pos = 0;
            break;
        case kScrollBottom:
            pos = maxPos;
            break;
        default:
            return false;
    }
    m_nHorzPos = pos;
    return true;
}

bool LineStore::KeyDown(ViewKey key, bool ctrl) {
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (key) {
        case ViewKey::kPageUp:
            return VScrollLocked(kScrollPageUp, 0);
        case ViewKey::kPageDown:
            return VScrollLocked(kScrollPageDown, 0);
        case ViewKey::kEnd:
            return ctrl ? VScrollLocked(kScrollBottom, 0) : HScrollLocked(kScrollBottom, 0);
        case ViewKey::kHome:
            return ctrl ? VScrollLocked(kScrollTop, 0) : HScrollLocked(kScrollTop, 0);
        case ViewKey::kLeft:
            return HScrollLocked(ctrl ? kScrollPageUp : kScrollLineUp, 0);
        case ViewKey::kUp:
            return VScrollLocked(kScrollLineUp, 0);
        case ViewKey::kRight:
            return HScrollLocked(ctrl ? kScrollPageDown : kScrollLineDown, 0);
        case ViewKey::kDown:
            return VScrollLocked(kScrollLineDown, 0);
        case ViewKey::kOther:
            break;
    }
    return false;
}

LineViewState LineStore::StateLocked() const {
    LineViewState s;
    s.lineCount = LineCountLocked();
    s.firstSeq = m_nAdded - s.lineCount;
    s.topLine = m_nTopLine;
    s.pageLines = m_nPageLines;
    s.maxTop = MaxTopLocked();
    s.horzPos = m_nHorzPos;
    s.horzPage = m_nHorzPage;
    s.horzMax = HorzMaxLocked();
    return s;
}

LineViewState LineStore::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return StateLocked();
}

const char* LineStore::SlotOfLocked(int logical) const {
    const int slot = m_bWrapped ? (m_nNextLine + logical) % kSlots : logical;
    return &m_buffer[static_cast<size_t>(slot) * kSlotBytes];
}

LineViewState LineStore::Snapshot(std::vector<std::string>* rows) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const LineViewState s = StateLocked();
    const int shown = std::clamp(s.lineCount - s.topLine, 0, s.pageLines);
    rows->resize(static_cast<size_t>(shown));
    for (int j = 0; j < shown; ++j) {
        (*rows)[static_cast<size_t>(j)].assign(SlotOfLocked(s.topLine + j));
    }
    return s;
}

std::string LineStore::Line(int index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || index >= LineCountLocked()) {
        return {};
    }
    return SlotOfLocked(index);
}

int64_t LineStore::LinesBySeq(int64_t first, int64_t last, std::vector<std::string>* out) const {
    out->clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    const int count = LineCountLocked();
    const int64_t firstHeld = m_nAdded - count;
    first = std::max(first, firstHeld);
    last = std::min(last, m_nAdded - 1);
    for (int64_t seq = first; seq <= last; ++seq) {
        out->emplace_back(SlotOfLocked(static_cast<int>(seq - firstHeld)));
    }
    return first;
}

}  // namespace tandrel
