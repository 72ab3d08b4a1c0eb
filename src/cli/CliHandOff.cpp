#include "CliHandOff.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "BatchListStore.h"
#include "CliRun.h"
#include "WindowLink.h"

namespace tandrel {

int ChangeThroughWindowOrStore(const std::string& settingsPath,
                               const std::vector<std::string>& request, const ChangeWords& words,
                               const std::function<int()>& writeStore) {
    const std::string nothingDone = words.nothingDone;
    WindowLinkPaths link;
    if (Status s = WindowLinkPathsFor(settingsPath, &link); !s.ok()) {
        PrintError("cannot tell whether the Tandrel window is open (" + s.ToString() + "); " +
                   nothingDone);
        return kExitUsage;
    }
    // One token for every attempt: however many of them reach the window, one change at most.
    UniqueFd token;
    bool sent = false;
    // Takes the token back before anything else happens to the change. Returns an exit status
    // when that settles the matter: kExitOk when the window had taken it (and so made the
    // change), kExitFailures when that cannot be told; -1 when the token is ours again.
    const auto takeBack = [&]() -> int {
        if (!sent) {
            return -1;
        }
        bool mine = false;
        if (Status s = TakeHandOverToken(token.get(), &mine); !s.ok()) {
            PrintError("cannot tell whether the Tandrel window took " + std::string(words.what) +
                       " (" + s.ToString() + "); see its Batch page");
            return kExitFailures;
        }
        return mine ? -1 : kExitOk;
    };
    std::string lastError = "it did not answer";
    // A window that is starting or closing holds the lock for a moment before it answers or
    // after it stopped answering; a few seconds cover both.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        UniqueFd lock;
        bool taken = false;
        if (Status s = TryLockWindow(link.lock, &lock, &taken); !s.ok()) {
            if (const int settled = takeBack(); settled != -1) {
                return settled;
            }
            PrintError("cannot tell whether the Tandrel window is open (" + s.ToString() + "); " +
                       nothingDone);
            return kExitUsage;
        }
        if (taken) {
            // A window that took the token before it closed saved the change with its list.
            if (const int settled = takeBack(); settled != -1) {
                return settled;
            }
            return writeStore();
        }
        if (!token.valid()) {
            if (Status s = MakeHandOverToken(&token); !s.ok()) {
                PrintError("cannot hand " + std::string(words.what) + " to the Tandrel window (" +
                           s.ToString() + "); " + nothingDone);
                return kExitUsage;
            }
        }
        std::vector<std::string> reply;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        sent = true;
        const Status status =
            SendToWindow(link.socket, request, &reply,
                         static_cast<int>(std::max<long long>(left.count(), 1)), token.get());
        if (status.ok() && !reply.empty() && reply[0] == "ok") {
            return kExitOk;
        }
        if (status.ok() && reply.size() > 1 && reply[0] == "refused") {
            // The window refuses before it takes the token, so it is ours.
            if (const int settled = takeBack(); settled != -1) {
                return settled;
            }
            PrintError("the Tandrel window did not take " + std::string(words.what) + ": " +
                       reply[1] + "; " + nothingDone);
            return kExitUsage;
        }
        lastError = !status.ok() ? status.ToString() : reply.size() > 1 ? reply[1] : "refused";
        usleep(100 * 1000);
    }
    if (const int settled = takeBack(); settled != -1) {
        return settled;
    }
    PrintError("the Tandrel window is open but did not take " + std::string(words.what) + " (" +
               lastError + "); " + nothingDone + ". " + words.doItYourself +
               " in the window, or close the window and try again");
    return kExitUsage;
}

int AddThroughWindowOrStore(const std::string& settingsPath, const BatchItem& item,
                            const std::function<int()>& writeStore) {
    std::vector<std::string> request = {"add", item.strDescription, item.strFrom, item.strTo};
    if (item.HasFilters()) {
        request.push_back(BatchListStore::JoinPatterns(item.listExclude));
        request.push_back(item.bIncludeHidden ? "1" : "0");
    }
    return ChangeThroughWindowOrStore(settingsPath, request,
                                      {"the entry", "nothing was added", "Add it"}, writeStore);
}

}  // namespace tandrel
