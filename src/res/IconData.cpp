#include "IconData.h"

#include "ResourceIds.h"

namespace tandrel {

namespace {

// Icon 128, 32 x 32: two sheets, the second a copy of the first, and an arrow towards it.
// XPM text, so that the image is plain data here and the window code turns it into a pixmap.
const char* const kIconTandrel[] = {"32 32 7 1",
                                    ". c None",
                                    "B c #3A7BD5",
                                    "b c #16355E",
                                    "d c #16355E",
                                    "g c #8A97A8",
                                    "o c #FF6400",
                                    "w c #FFFFFF",
                                    "................................",
                                    "...bbbbbbbbbbbbbbbbbbbbbbbbbb...",
                                    "..bBBBBBBBBBBBBBBBBBBBBBBBBBBb..",
                                    ".bBBBBBBBBBBBBBBBBBBBBBBBBBBBBb.",
                                    ".bBBddddddddddBBBBBBBBBBBBBBBBb.",
                                    ".bBBdwwwwwwwwwdBBBBBBBBBBBBBBBb.",
                                    ".bBBdwwwwwwwwwwdBBBBBBBBBBBBBBb.",
                                    ".bBBdwwwwwwwwwwwdBBBBBBBBBBBBBb.",
                                    ".bBBdwggggggggwwdBBBBBBBBBBBBBb.",
                                    ".bBBdwwwwwwwwwwwdBBBBBBBBBBBBBb.",
                                    ".bBBdwggggggggwwdBBBBBBBBBBBBBb.",
                                    ".bBBdwwwwwwwwwwddddddddddBBBBBb.",
                                    ".bBBdwggggggggwdwwwwwwwwwdBBBBb.",
                                    ".bBBdwwwwwwwwwwdwwwwwwwwwwdBBBb.",
                                    ".bBBdwggggggggwdwwwwwwwwwwwdBBb.",
                                    ".bBBdwwwwwwwwwwdwggggggggwwdBBb.",
                                    ".bBBdwggggggggwdwwwwwwwwwwwdBBb.",
                                    ".bBBdwwwwwwwwwwdwggggggggwwdBBb.",
                                    ".bBBdwwwwwwwwwwdwwwwwwwwwwwdBBb.",
                                    ".bBBddddddddddddwggggggggwwdBBb.",
                                    ".bBBBBBBBBBBBBBdwwwwwwwwwwwdBBb.",
                                    ".bBBBBBBBBBBBBBdwggggggggwwdBBb.",
                                    ".bBBBBBBBBBoBBBdwwwwwwwwwwwdBBb.",
                                    ".bBBBBBBBBBooBBdwggggggggwwdBBb.",
                                    ".bBBBoooooooooBdwwwwwwwwwwwdBBb.",
                                    ".bBBBoooooooooBdwwwwwwwwwwwdBBb.",
                                    ".bBBBBBBBBBooBBdwwwwwwwwwwwdBBb.",
                                    ".bBBBBBBBBBoBBBdddddddddddddBBb.",
                                    ".bBBBBBBBBBBBBBBBBBBBBBBBBBBBBb.",
                                    "..bBBBBBBBBBBBBBBBBBBBBBBBBBBb..",
                                    "...bbbbbbbbbbbbbbbbbbbbbbbbbb...",
                                    "................................"};

// Bitmap 147, 32 x 16: the two 16 x 16 check-box images of the batch list, the empty box and the
// checked one. Pure red is the transparent colour. An 11 x 11 box with a grey frame at columns
// 3 to 13 and rows 2 to 12; the check mark's short stroke runs down to its lowest point at
// (7, 10), its long stroke up to (11, 4).
const char* const kCheckBoxes[] = {"32 16 4 1",
                                   "r c #FF0000",
                                   "g c #808080",
                                   "w c #FFFFFF",
                                   "b c #000000",
                                   "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
                                   "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
                                   "rrrgggggggggggrrrrrgggggggggggrr",
                                   "rrrgwwwwwwwwwgrrrrrgwwwwwwwwwgrr",
                                   "rrrgwwwwwwwwwgrrrrrgwwwwwwwbwgrr",
                                   "rrrgwwwwwwwwwgrrrrrgwwwwwwbbwgrr",
                                   "rrrgwwwwwwwwwgrrrrrgwbwwwbbbwgrr",
                                   "rrrgwwwwwwwwwgrrrrrgwbbwbbbwwgrr",
                                   "rrrgwwwwwwwwwgrrrrrgwbbbbbwwwgrr",
                                   "rrrgwwwwwwwwwgrrrrrgwwbbbwwwwgrr",
                                   "rrrgwwwwwwwwwgrrrrrgwwwbwwwwwgrr",
                                   "rrrgwwwwwwwwwgrrrrrgwwwwwwwwwgrr",
                                   "rrrgggggggggggrrrrrgggggggggggrr",
                                   "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
                                   "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
                                   "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr"};

}  // namespace

const char* const* IconXpm(int id) {
    return id == IDI_TANDREL ? kIconTandrel : nullptr;
}

const char* const* BitmapXpm(int id) {
    return id == IDB_CHECKBOXES ? kCheckBoxes : nullptr;
}

}  // namespace tandrel
