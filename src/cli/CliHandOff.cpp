#include "CliHandOff.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "CliRun.h"
#include "WindowLink.h"

namespace tandrel {

int AddThroughWindowOrStore(const std::string& settingsPath, const BatchItem& item,
                            const std::function<int()>& writeStore) {
    WindowLinkPaths link;
    if (Status s = WindowLinkPathsFor(settingsPath, &link); !s.ok()) {
        PrintError("cannot tell whether the Tandrel window is open (" + s.ToString() +
                   "); nothing was added");
        return kExitUsage;
    }
    std::string lastError = "it did not answer";
    // A window that is starting or closing holds the lock for a moment before it answers or
    // after it stopped answering; a few seconds cover both.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        UniqueFd lock;
        bool taken = false;
        if (Status s = TryLockWindow(link.lock, &lock, &taken); !s.ok()) {
            PrintError("cannot tell whether the Tandrel window is open (" + s.ToString() +
                       "); nothing was added");
            return kExitUsage;
        }
        if (taken) {
            return writeStore();
        }
        std::vector<std::string> reply;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        const Status sent =
            SendToWindow(link.socket, {"add", item.strDescription, item.strFrom, item.strTo},
                         &reply, static_cast<int>(std::max<long long>(left.count(), 1)));
        if (sent.ok() && !reply.empty() && reply[0] == "ok") {
            return kExitOk;
        }
        lastError = !sent.ok() ? sent.ToString() : reply.size() > 1 ? reply[1] : "refused";
        usleep(100 * 1000);
    }
    PrintError("the Tandrel window is open but did not take the entry (" + lastError +
               "); nothing was added. Add it in the window, or close the window and try again");
    return kExitUsage;
}

}  // namespace tandrel
