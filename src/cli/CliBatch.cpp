#include "CliBatch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "BatchItem.h"
#include "BatchItemRows.h"
#include "BatchListStore.h"
#include "CJobQueue.h"
#include "CliHandOff.h"
#include "CliRun.h"
#include "NameText.h"
#include "ResourceIds.h"
#include "SettingsStore.h"

namespace tandrel {
namespace {

// Opens the user's settings store and passes on, once, what the user must know about it.
bool OpenStore(SettingsStore* store) {
    const Status opened = store->Open();
    const std::string notice = store->TakeNotice();
    if (!notice.empty()) {
        PrintError(notice);
    }
    if (!opened.ok()) {
        PrintError(opened.ToString());
        return false;
    }
    return true;
}

bool LoadList(std::deque<BatchItem>* items) {
    SettingsStore store;
    if (!OpenStore(&store)) {
        return false;
    }
    const Status loaded = BatchListStore(store).Load(items);
    if (!loaded.ok()) {
        PrintError("cannot read the batch list: " + loaded.ToString());
        return false;
    }
    return true;
}

// Leading and trailing white space off, as the dialogs trim what was typed.
std::string Trim(const std::string& text) {
    const char* const kSpace = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// Splits plain arguments from options; "--" ends the options. Commands without options of
// their own refuse anything that looks like one.
bool PositionalOnly(const std::vector<std::string>& args, std::vector<std::string>* positional,
                    std::string* error) {
    bool optionsEnded = false;
    for (const std::string& a : args) {
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a.size() > 1 && a.front() == '-') {
            *error = "unknown option '" + a + "' (use -- before an argument that begins with '-')";
            return false;
        } else {
            positional->push_back(a);
        }
    }
    return true;
}

// The current directory as the user reached it: the shell's $PWD when that names this very
// directory (so links the user went through stay), else the one the system gives. Empty when
// neither can be told.
std::string CurrentDirectory() {
    struct stat here {};
    struct stat shell {};
    const char* pwd = std::getenv("PWD");
    if (pwd != nullptr && pwd[0] == '/' && stat(".", &here) == 0 && stat(pwd, &shell) == 0 &&
        here.st_dev == shell.st_dev && here.st_ino == shell.st_ino) {
        return pwd;
    }
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// The absolute name of `path` as written: a relative one is taken from the current directory.
// Links in it stay as they are, and so do ".." levels (one after a link leads elsewhere than
// one removed by hand would); "." levels and doubled slashes go, which never changes where a
// name leads. False when the current directory cannot be told.
bool AbsoluteName(const std::string& path, std::string* absolute) {
    std::string joined;
    if (!path.empty() && path.front() == '/') {
        joined = path;
    } else {
        joined = CurrentDirectory();
        if (joined.empty()) {
            return false;
        }
        joined += "/" + path;
    }
    absolute->clear();
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos) {
            end = joined.size();
        }
        const std::string part = joined.substr(start, end - start);
        if (!part.empty() && part != ".") {
            *absolute += "/" + part;
        }
        start = end + 1;
    }
    if (absolute->empty()) {
        *absolute = "/";
    }
    return true;
}

// `text` in single quotes, a quote inside written as '\''.
std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted.push_back(c);
        }
    }
    return quoted + "'";
}

}  // namespace

int CmdList(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::string error;
    if (!PositionalOnly(args, &positional, &error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (!positional.empty()) {
        PrintError("list takes no arguments (see --help)");
        return kExitUsage;
    }
    std::deque<BatchItem> items;
    if (!LoadList(&items)) {
        return kExitFailures;
    }
    int number = 0;
    for (const BatchItem& item : items) {
        std::string line = std::to_string(++number) + (item.IsChecked() ? " [x] " : " [ ] ");
        // Shown escaped, like the run lines, so that every entry stays on one line.
        line += ShownName(item.strDescription) + ": " + ShownName(item.strFrom) + " => " +
                ShownName(item.strTo);
        // The filters as the options that give them, each pattern quoted as a shell would
        // need it.
        for (const std::string& p : item.listExclude) {
            line += " --exclude " + ShellQuoted(ShownName(p));
        }
        if (item.bIncludeHidden) {
            line += " --include-hidden";
        }
        line += "\n";
        fwrite(line.data(), 1, line.size(), stdout);
    }
    if (fflush(stdout) != 0 || ferror(stdout)) {
        PrintError("could not write the list to standard output");
        return kExitFailures;
    }
    return kExitOk;
}

int CmdAdd(const std::vector<std::string>& args) {
    // The filter options are taken out first; anything else that looks like an option is
    // refused.
    std::vector<std::string> positional;
    std::vector<std::string> rest;
    FilterOptions filter;
    std::string error;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        const int taken = TakeFilterOption(args, &i, &filter, &error);
        if (taken < 0) {
            PrintError(error);
            return kExitUsage;
        }
        if (taken == 0) {
            rest.push_back(args[i]);
        }
    }
    if (!PositionalOnly(rest, &positional, &error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (positional.size() != 3) {
        PrintError("add needs DESCRIPTION, SOURCE and DEST (see --help)");
        return kExitUsage;
    }
    BatchItem item;
    item.nCheck = kBatchChecked;
    item.strDescription = positional[0];  // kept as typed, blanks and all
    item.strFrom = Trim(positional[1]);
    item.strTo = Trim(positional[2]);
    item.listExclude = filter.exclude;
    item.bIncludeHidden = filter.includeHidden;
    for (const auto& [path, field] :
         {std::pair{&item.strFrom, IDS_FIELD_FROM}, std::pair{&item.strTo, IDS_FIELD_TO}}) {
        if (!CheckDirectoryArg(*path, field)) {
            return kExitUsage;
        }
        // A batch runs from wherever it is started: a relative name is kept as the directory it
        // names now, as the window's item dialog keeps it.
        if (!AbsoluteName(*path, path)) {
            PrintError("the current directory cannot be told, so '" + ShownName(*path) +
                       "' cannot be kept as a full name");
            return kExitUsage;
        }
    }
    SettingsStore store;
    return AddThroughWindowOrStore(store.path(), item, [&store, &item] {
        if (!OpenStore(&store)) {
            return kExitFailures;
        }
        const Status added = BatchListStore(store).Append(item);
        if (!added.ok()) {
            PrintError("cannot add to the batch list: " + added.ToString());
            return kExitFailures;
        }
        return kExitOk;
    });
}

namespace {

bool SameEntry(const BatchItem& a, const BatchItem& b) {
    return a.strDescription == b.strDescription && a.strFrom == b.strFrom && a.strTo == b.strTo;
}

// remove N, check N, uncheck N: entry N as list numbers them.
int ChangeEntry(const std::vector<std::string>& args, const std::string& command) {
    std::vector<std::string> positional;
    std::string error;
    if (!PositionalOnly(args, &positional, &error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (positional.size() != 1) {
        PrintError(command + " needs the number of one entry, as list shows it (see --help)");
        return kExitUsage;
    }
    int number = 0;
    if (!BatchListStore::ParseEntryNumber(positional[0], &number)) {
        PrintError("'" + ShownName(positional[0]) +
                   "' is not an entry number: list numbers the entries 1, 2, 3, ...");
        return kExitUsage;
    }
    std::deque<BatchItem> items;
    if (!LoadList(&items)) {
        return kExitFailures;
    }
    const auto noEntry = [&](size_t count) {
        PrintError("there is no entry " + std::to_string(number) + ": the batch list has " +
                   std::to_string(count) + (count == 1 ? " entry" : " entries"));
        return kExitUsage;
    };
    if (static_cast<size_t>(number) > items.size()) {
        return noEntry(items.size());
    }
    const BatchItem listed = items[static_cast<size_t>(number) - 1];
    const ChangeWords words = command == "remove"
                                  ? ChangeWords{"the removal", "nothing was removed", "Remove it"}
                                  : ChangeWords{"the change", "nothing was changed", "Change it"};
    SettingsStore store;
    return ChangeThroughWindowOrStore(
        store.path(),
        {command, std::to_string(number), listed.strDescription, listed.strFrom, listed.strTo},
        words, [&] {
            // The window lock is held now: the list is read again, since a window may have
            // saved another one since it was first read, and entry N must still be the same.
            std::deque<BatchItem> current;
            if (!LoadList(&current)) {
                return kExitFailures;
            }
            if (static_cast<size_t>(number) > current.size()) {
                return noEntry(current.size());
            }
            if (!SameEntry(current[static_cast<size_t>(number) - 1], listed)) {
                PrintError("entry " + std::to_string(number) +
                           " changed while this ran (the list was saved again); " +
                           words.nothingDone);
                return kExitUsage;
            }
            const auto at = current.begin() + (number - 1);
            if (command == "remove") {
                current.erase(at);
            } else {
                at->nCheck = command == "check" ? kBatchChecked : kBatchUnchecked;
            }
            if (!OpenStore(&store)) {
                return kExitFailures;
            }
            const Status saved = BatchListStore(store).Replace(
                BatchItemRows(std::vector<BatchItem>(current.begin(), current.end())));
            if (!saved.ok()) {
                PrintError("cannot change the batch list: " + saved.ToString() + "; " +
                           words.nothingDone);
                return kExitFailures;
            }
            return kExitOk;
        });
}

}  // namespace

int CmdRemove(const std::vector<std::string>& args) {
    return ChangeEntry(args, "remove");
}

int CmdCheck(const std::vector<std::string>& args, bool check) {
    return ChangeEntry(args, check ? "check" : "uncheck");
}

int CmdBatch(const std::vector<std::string>& args) {
    RunOptions options;
    std::vector<std::string> positional;
    std::string error;
    if (!ParseRunOptions(args, &options, &positional, &error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (!positional.empty()) {
        PrintError("batch takes only run options (see --help)");
        return kExitUsage;
    }
    // The recycle directory is typed for this run, so it is checked like any typed directory;
    // the entries' own directories are queued unchanged and the run reports on them.
    if (options.action == kActionMove && !CheckDirectoryArg(options.recycle, IDS_FIELD_RECYCLE)) {
        return kExitUsage;
    }
    std::deque<BatchItem> items;
    if (!LoadList(&items)) {
        return kExitFailures;
    }
    // From the last row up: the lowest checked entry runs first, each with its own filters
    // and those of the command line. A stored pattern that cannot be used (one written by
    // hand) stops the run before anything is queued.
    std::vector<std::pair<const BatchItem*, PathFilter>> jobs;
    int number = static_cast<int>(items.size());
    for (auto it = items.rbegin(); it != items.rend(); ++it, --number) {
        if (!it->IsChecked()) {
            continue;
        }
        std::vector<std::string> patterns = it->listExclude;
        patterns.insert(patterns.end(), options.filter.exclude.begin(),
                        options.filter.exclude.end());
        PathFilter filter;
        const Status compiled = PathFilter::Compile(
            patterns, it->bIncludeHidden || options.filter.includeHidden, &filter);
        if (!compiled.ok()) {
            PrintError("entry " + std::to_string(number) + " (" + ShownName(it->strDescription) +
                       "): " + compiled.reason() + "; nothing was run");
            return kExitUsage;
        }
        jobs.emplace_back(&*it, std::move(filter));
    }
    for (auto& [item, filter] : jobs) {
        theJobQueue.AddJob(item->strFrom, item->strTo, 0, std::move(filter));
    }
    return RunQueuedJobs(theJobQueue, options);
}

}  // namespace tandrel
