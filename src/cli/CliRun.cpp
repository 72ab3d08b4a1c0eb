#include "CliRun.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>

#include "CBackup.h"
#include "NameText.h"
#include "ResourceIds.h"

namespace tandrel {

namespace {

// The worker of the run in progress, for the Ctrl-C handler. CancelRun only stores to an
// atomic, which is safe in a signal handler.
std::atomic<CBackup*> g_activeBackup{nullptr};
volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
    if (CBackup* backup = g_activeBackup.load()) {
        backup->CancelRun();
    }
}

// Standard output and the terminal stand in for the Status page and the progress bar.
class CliOutput : public ILineSink, public IRunMonitor {
  public:
    CliOutput() : m_showProgress(isatty(STDERR_FILENO) != 0) {}

    void AddLine(std::string_view line) override {
        if (!line.empty() && line.front() == '!') {
            m_failed = true;
        }
        ClearProgress();
        fwrite(line.data(), 1, line.size(), stdout);
        fputc('\n', stdout);
    }

    void SetProgressRange(int, int upper) override {
        m_upper = upper;
        // A total counted beside the run comes in after some files were done: shown at once.
        if (upper != kCounting && m_pos > 0) {
            Show();
        }
    }
    bool ShowsProgress() const override { return m_showProgress; }

    void SetProgressPos(int pos) override {
        m_pos = pos;
        if (!m_showProgress || pos == 0) {
            return;
        }
        // A terminal line per step would cost more than the copy of a small file.
        const time_t now = time(nullptr);
        if (now == m_lastShown && pos != m_upper) {
            return;
        }
        m_lastShown = now;
        Show();
    }

    void JobRefused(JobRefusal why, std::string_view line) override {
        ClearProgress();
        // The run line without its mark, and what would let the job run.
        std::string text(line.substr(line.empty() ? 0 : 1));
        if (why == JobRefusal::kEmptySource) {
            text += "; --allow-empty-source runs it";
        } else if (why == JobRefusal::kTooManyDeletes) {
            text += "; --max-delete sets the limit";
        } else if (why == JobRefusal::kBusy) {
            m_busy = true;
        }
        PrintError(text);
    }

    void JobWaits(std::string_view line) override {
        ClearProgress();
        PrintError(std::string(line.substr(line.empty() ? 0 : 1)));
    }

    void RunEnded(const RunSummary& summary) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_summary = summary;
    }

    void PostJobsDone() override {
        ClearProgress();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
        m_cv.notify_all();
    }

    // Waits for the end of the run; how it went.
    RunSummary WaitForDone() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_done; });
        return m_summary;
    }

    bool failed() const { return m_failed; }
    bool busy() const { return m_busy; }

  private:
    void Show() {
        if (!m_showProgress) {
            return;
        }
        fflush(stdout);
        // While the files are still being counted, the total is not shown.
        if (m_upper == kCounting) {
            fprintf(stderr, "\r%d of ? files", m_pos);
        } else {
            fprintf(stderr, "\r%d of %d files", m_pos, m_upper);
        }
        m_progressShown = true;
    }

    void ClearProgress() {
        if (m_progressShown) {
            fflush(stdout);
            fputs("\r\033[K", stderr);
            m_progressShown = false;
        }
    }

    const bool m_showProgress;
    bool m_progressShown = false;
    bool m_failed = false;
    bool m_busy = false;
    int m_upper = 0;
    int m_pos = 0;
    time_t m_lastShown = 0;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    RunSummary m_summary;
};

// A count of 0 or more in decimal digits only.
bool ParseCount(const std::string& text, int64_t* count) {
    if (text.empty() || text.size() > 18 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *count = std::stoll(text);
    return true;
}

// Adds the patterns of `path`, one a line; blank lines and lines beginning with '#' are
// skipped. False with a message when the file cannot be read.
bool ReadPatternFile(const std::string& path, std::vector<std::string>* patterns,
                     std::string* error) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot read the exclude file '" + ShownName(path) + "': " + strerror(errno);
        return false;
    }
    // A list of patterns is small; a larger file (or a device that never ends) is not one, and
    // is refused rather than read into memory without end.
    constexpr size_t kMaxBytes = size_t{1} << 20;
    std::string text;
    char buffer[4096];
    size_t got = 0;
    while (text.size() <= kMaxBytes && (got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = ferror(file) != 0;
    const int err = errno;
    fclose(file);
    if (failed) {
        *error = "cannot read the exclude file '" + ShownName(path) + "': " + strerror(err);
        return false;
    }
    if (text.size() > kMaxBytes) {
        *error = "the exclude file '" + ShownName(path) + "' is larger than 1 MiB";
        return false;
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        if (!line.empty() && line.front() != '#') {
            patterns->push_back(line);
        }
        start = end + 1;
    }
    return true;
}

}  // namespace

int TakeFilterOption(const std::vector<std::string>& args, size_t* i, FilterOptions* filter,
                     std::string* error) {
    const std::string& a = args[*i];
    if (a == "--include-hidden") {
        filter->includeHidden = true;
        return 1;
    }
    if (a != "--exclude" && a != "--exclude-from") {
        return 0;
    }
    if (*i + 1 >= args.size()) {
        *error = a + (a == "--exclude" ? " needs a PATTERN" : " needs a FILE");
        return -1;
    }
    const std::string& value = args[++*i];
    std::vector<std::string> patterns;
    if (a == "--exclude") {
        patterns.push_back(value);
    } else if (!ReadPatternFile(value, &patterns, error)) {
        return -1;
    }
    for (const std::string& p : patterns) {
        const std::string why = PathFilter::PatternError(p);
        if (!why.empty()) {
            *error = why + (a == "--exclude-from" ? " (in '" + ShownName(value) + "')" : "");
            return -1;
        }
        filter->exclude.push_back(p);
    }
    return 1;
}

void PrintError(const std::string& message) {
    fflush(stdout);
    fprintf(stderr, "tandrel-cli: %s\n", message.c_str());
}

bool CheckDirectoryArg(const std::string& path, int fieldId) {
    FileSystem& fs = theJobQueue.GetFileSystem();
    if (CJobQueue::CheckDirectory(path, fs) == kDirExists) {
        return true;
    }
    const char* field = fieldId == IDS_FIELD_FROM ? "source directory"
                        : fieldId == IDS_FIELD_TO ? "destination directory"
                                                  : "recycle directory";
    if (path.empty()) {
        PrintError(std::string(field) + " name is empty");
        return false;
    }
    // Why, as the check met it: the name resolved as a root is, then listed.
    std::string dir;
    Status why = fs.CanonicalPath(path, &dir);
    if (why.ok()) {
        std::vector<DirEntry> entries;
        why = fs.ListDirectory(dir, &entries);
    }
    std::string text = std::string(field) + " '" + ShownName(path) + "' ";
    switch (why.code()) {
        case Status::Code::kNotFound:
        case Status::Code::kOk:  // gone between the two looks
            text += "not found";
            break;
        case Status::Code::kNotDirectory:
            text += "is not a directory";
            break;
        default:
            text += "cannot be read: " + ShownName(why.reason());
            break;
    }
    PrintError(text);
    return false;
}

bool ParseRunOptions(const std::vector<std::string>& args, RunOptions* options,
                     std::vector<std::string>* positional, std::string* error) {
    bool actionGiven = false;
    auto setAction = [&](ExtraFileAction action, const std::string& name) {
        if (actionGiven) {
            *error = "only one of --keep, --delete and --move may be given (" + name + ")";
            return false;
        }
        actionGiven = true;
        options->action = action;
        return true;
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.empty() || a.front() != '-' || a == "-") {
            positional->push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--keep") {
            if (!setAction(kActionKeep, a)) {
                return false;
            }
        } else if (a == "--delete") {
            if (!setAction(kActionDelete, a)) {
                return false;
            }
        } else if (const int taken = TakeFilterOption(args, &i, &options->filter, error)) {
            if (taken < 0) {
                return false;
            }
        } else if (a == "--dry-run") {
            options->dryRun = true;
        } else if (a == "--no-wait") {
            options->noWait = true;
        } else if (a == "--allow-empty-source") {
            options->allowEmptySource = true;
        } else if (a == "--max-delete") {
            if (i + 1 >= args.size() || !ParseCount(args[i + 1], &options->maxDelete)) {
                *error = "--max-delete needs a number of entries (0 or more)";
                return false;
            }
            ++i;
        } else if (a == "--move" || a == "--log") {
            if (i + 1 >= args.size()) {
                *error = a + " needs a " + (a == "--move" ? "RECYCLE directory" : "FILE");
                return false;
            }
            if (a == "--move") {
                if (!setAction(kActionMove, a)) {
                    return false;
                }
                options->recycle = args[++i];
            } else {
                options->logFile = args[++i];
            }
        } else {
            *error = "unknown option '" + a + "' (use -- before a path that begins with '-')";
            return false;
        }
    }
    return true;
}

int RunQueuedJobs(CJobQueue& queue, const RunOptions& options) {
    CliOutput output;
    CBackup backup(queue, queue.GetFileSystem());

    queue.m_pThread = &backup;
    queue.m_pPageLog = &output;
    queue.m_pSheet = &output;
    queue.m_strLogFileName = options.logFile;
    queue.m_bLogEnabled = !options.logFile.empty() && !options.dryRun;
    if (options.dryRun && !options.logFile.empty()) {
        PrintError("--dry-run writes no log file");
    }
    queue.m_bAllowEmptySource = options.allowEmptySource;
    queue.m_nMaxDelete = options.maxDelete;
    queue.m_bWaitForOtherRuns = !options.noWait;

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
    g_interrupted = 0;
    g_activeBackup = &backup;
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
    signal(SIGPIPE, SIG_IGN);
    // One line at a time, so that a script reading the output sees each file as it is done.
    setvbuf(stdout, nullptr, _IOLBF, 1 << 16);

    backup.Start();
    int status = kExitOk;
    // A run of no jobs (a batch list with nothing checked) prints nothing at all.
    const bool anyJob = queue.GetJobCount() > 0;
    std::optional<RunSummary> summary;
    // A preview walks the same trees through a file system that only reads.
    if (queue.StartRun(options.action, options.recycle,
                       options.dryRun ? RunKind::kPreview : RunKind::kRun)) {
        // Posting a run forgets the stops before it: a Ctrl-C that came before is passed on.
        if (g_interrupted) {
            backup.CancelRun();
        }
        const RunSummary done = output.WaitForDone();
        if (anyJob) {
            summary = done;
        }
    } else {
        PrintError("the worker could not be started");
        status = kExitFailures;
    }
    queue.m_bRunning = false;
    backup.Stop();

    g_activeBackup = nullptr;
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);

    const bool logLost = !options.logFile.empty() && !options.dryRun && !queue.m_bLogEnabled;
    queue.FlushLog();
    queue.m_pThread = nullptr;
    queue.m_pPageLog = nullptr;
    queue.m_pSheet = nullptr;

    if (fflush(stdout) != 0 || ferror(stdout)) {
        PrintError("could not write the run lines to standard output");
        status = kExitFailures;
    }
    if (logLost) {
        PrintError("could not write the log file '" + ShownName(options.logFile) + "'");
        status = kExitFailures;
    }
    if (output.failed() && status == kExitOk) {
        status = kExitFailures;
    }
    if (output.busy()) {
        status = kExitUsage;
    }
    if (g_interrupted) {
        status = kExitInterrupted;
    }
    if (summary) {
        // The last word on stderr; standard output keeps only run lines.
        std::string prefix;
        if (options.dryRun) {
            prefix = summary->stopped ? "dry run, stopped: " : "dry run: ";
        } else if (summary->stopped) {
            prefix = "stopped: ";
        }
        PrintError(prefix + SummaryText(*summary));
    }
    return status;
}

}  // namespace tandrel
