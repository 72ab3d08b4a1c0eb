#pragma once

#include <functional>
#include <string>
#include <vector>

#include "BatchItem.h"

namespace tandrel {

// How a change to the batch list is spoken of in messages: "the entry" / "nothing was added" /
// "Add it".
struct ChangeWords {
    const char* what;
    const char* nothingDone;
    const char* doItYourself;
};

// Makes a change to the batch list without racing the window. The window keeps the list in
// memory while it runs and writes it back whole after each change, so a change written into the
// store behind its back would be lost. So: when no window runs over `settingsPath`, the window lock
// is held while `writeStore` makes the change (a window starting meanwhile waits, then reads
// it); when one runs, `request` (see WindowLink.h) is handed to it with a hand-over token and
// the window makes the change in its list at once. When neither works within a few seconds,
// the token is taken back and the user is told that nothing was done, which is then true: a
// window that gets to the request later finds the token gone and drops it. A window that took
// the token has made the change, even if its answer never arrived.
//
// Returns an exit status: what `writeStore` returned, kExitOk when the window made the change,
// kExitUsage when it could not be reached or refused (the message is printed).
int ChangeThroughWindowOrStore(const std::string& settingsPath,
                               const std::vector<std::string>& request, const ChangeWords& words,
                               const std::function<int()>& writeStore);

// The same for a new entry ("add").
int AddThroughWindowOrStore(const std::string& settingsPath, const BatchItem& item,
                            const std::function<int()>& writeStore);

}  // namespace tandrel
