#pragma once

namespace tandrel {

// The image of icon `id` as XPM text (one string per line, the form a pixmap loader takes), or
// nullptr when the program has no icon by that id. Static data, alive for the whole process.
const char* const* IconXpm(int id);

}  // namespace tandrel
