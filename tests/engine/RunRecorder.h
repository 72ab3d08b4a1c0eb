#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "CBackup.h"
#include "CJobQueue.h"
#include "RunSinks.h"

namespace tandrel {

// Stands in for the Status page and the sheet: records every run line and every progress
// event in the order they arrive.
class RunRecorder : public ILineSink, public IRunMonitor {
  public:
    struct Event {
        char kind;  // 'r' range, 'p' position, 'd' done
        int value;
    };

    void AddLine(std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex);
        lines.emplace_back(line);
    }
    void SetProgressRange(int, int upper) override { Push({'r', upper}); }
    void SetProgressPos(int pos) override { Push({'p', pos}); }
    void PostJobsDone() override {
        if (onDone) {
            onDone();
        }
        Push({'d', 0});
    }
    void RunEnded(const RunSummary& summary) override {
        std::lock_guard<std::mutex> lock(mutex);
        summaries.push_back(summary);
    }

    // Waits until PostJobsDone has been called `runs` times in all; false when that has not
    // happened after a minute (a hung run: the test then fails instead of hanging).
    bool WaitForDone(int runs) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::minutes(1), [&] {
            int done = 0;
            for (const Event& e : events) {
                done += e.kind == 'd' ? 1 : 0;
            }
            return done >= runs;
        });
    }

    // The lines between the first header and its separator.
    std::vector<std::string> ActionLines() const {
        std::lock_guard<std::mutex> lock(mutex);
        if (lines.size() < 2) {
            return {};
        }
        return std::vector<std::string>(lines.begin() + 1, lines.end() - 1);
    }
    // The range the count set: the last one reported (-1 when none). Where the sources are
    // counted beside the walk, a run first says the total is being counted
    // (IRunMonitor::kCounting) and sets the total when it is in, maybe after some steps.
    int Range() const {
        std::lock_guard<std::mutex> lock(mutex);
        int range = -1;
        for (const Event& e : events) {
            if (e.kind == 'r') {
                range = e.value;
            }
        }
        return range;
    }
    // The highest position reported.
    int MaxPos() const {
        int best = 0;
        for (const Event& e : events) {
            if (e.kind == 'p' && e.value > best) {
                best = e.value;
            }
        }
        return best;
    }

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    std::vector<Event> events;
    std::vector<RunSummary> summaries;  // one per run
    // Runs on the worker thread at the end of each run, before the notice is recorded; set
    // before the run starts.
    std::function<void()> onDone;

  private:
    void Push(Event e) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            events.push_back(e);
        }
        changed.notify_all();
    }
};

// A queue wired to a recorder, and a worker over `fs`, for running jobs on the test's thread.
struct EngineRig {
    explicit EngineRig(FileSystem& fs = DefaultFileSystem()) : backup(queue, fs) {
        queue.m_pPageLog = &recorder;
        queue.m_pSheet = &recorder;
        backup.SetClock([] { return time_t{920297109}; });  // Mon Mar 01 14:05:09 1999 UTC
    }
    // Queues one job and runs it to the end on this thread.
    void Run(const std::string& source, const std::string& dest, ExtraFileAction action,
             const std::string& recycle = std::string()) {
        queue.AddJob(source, dest, 0);
        queue.StartRun(action, recycle);
        backup.OnRunJobs();
    }

    CJobQueue queue;
    RunRecorder recorder;
    CBackup backup;
};

}  // namespace tandrel
