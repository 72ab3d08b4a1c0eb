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

}  // namespace

const char* const* IconXpm(int id) {
    return id == IDI_TANDREL ? kIconTandrel : nullptr;
}

}  // namespace tandrel
