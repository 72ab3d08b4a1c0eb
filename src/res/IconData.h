#pragma once

namespace tandrel {

// The image of icon `id` as XPM text (one string per line, the form a pixmap loader takes), or
// nullptr when the program has no icon by that id. Static data, alive for the whole process.
const char* const* IconXpm(int id);

// The image of bitmap `id` as XPM text, or nullptr. A bitmap may hold several images side by
// side and name a colour that stands for transparency (its user knows which).
const char* const* BitmapXpm(int id);

}  // namespace tandrel
