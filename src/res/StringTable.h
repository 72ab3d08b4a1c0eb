#pragma once

namespace tandrel {

// The text of string-table entry `id`, or "" for an id the table does not hold. The texts are
// static and live for the whole process; any thread may call this.
const char* LoadString(int id);

}  // namespace tandrel
