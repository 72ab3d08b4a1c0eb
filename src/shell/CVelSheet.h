#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "CJobQueue.h"
#include "RunSinks.h"

class QHBoxLayout;
class QLabel;
class QMenu;
class QPushButton;
class QProgressBar;
class QTabWidget;
class QTimer;

namespace tandrel {

class CSheetPage;

// The program's one window: a tabbed sheet of pages with a progress bar along its bottom edge,
// no OK, Cancel, Apply or Help buttons, and a window menu (the context menu of the sheet) that
// ends with "&About Tandrel...". The user leaves the program by closing it.
//
// Closing it cancels a run that is going and saves every page while the window is still on
// screen; writes that failed are told in one box over the window before it goes.
//
// It is also the run's monitor: the worker sets the bar's range and position and announces the
// end of a run through IRunMonitor. Those calls only store values; the first of a run posts
// one event, after which a timer on the window thread shows the latest values every
// kProgressIntervalMs until the run ends, so that the worker wakes the window once a run, not
// once a file. The bar is busy while the files are still being counted
// (IRunMonitor::kCounting), never goes back during a run, and is full at the end of a run
// that was not stopped (empty after a stop). The end of the run is handled after the last
// progress change: the sheet clears the queue's running flag and tells the active page
// (UpdateRunState(0)).
//
// Threads: the IRunMonitor operations may be called on any thread and never wait; everything
// else runs on the window thread. Pages are added, not owned: their owner destroys them before
// the sheet (any page still a child of the sheet goes with it).
class CVelSheet : public QDialog, public IRunMonitor {
    Q_OBJECT

  public:
    // `extraWidth` and `extraHeight` are added to the window's size around the pages; the bar
    // sits in the added strip. `queue` is the job queue whose running flag the sheet clears.
    CVelSheet(const QString& caption, int extraWidth, int extraHeight, QWidget* parent = nullptr,
              int firstPage = 0, CJobQueue& queue = theJobQueue);
    ~CVelSheet() override;

    void AddPage(CSheetPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CSheetPage* GetPage(int index) const;
    CSheetPage* GetActivePage() const;
    void SetActivePage(int index);

    // Lays the window out (once) and shows it without entering a loop of its own.
    void Create();
    // Lays the window out (once), shows it and runs it until the user closes it. The window
    // and the pages' controls still exist afterwards.
    int DoModal();

    // Writes what every page keeps in the store. Returns, in one text, the failures the user
    // has not been told about yet (empty when there are none) and counts them as told.
    QString SavePages();

    // Closing: see the class comment. A close asked for while the box is open is taken by
    // the close under way.
    void done(int result) override;

    // The window-menu commands; IDM_ABOUTBOX opens the About box modally.
    void OnSysCommand(int command);
    // Fills `menu` with the window menu: Minimize, Close, a separator and the About entry.
    void FillWindowMenu(QMenu* menu);

    QProgressBar* Progress() const { return m_progress; }
    // "&Stop" beside the bar, enabled only during a run or preview; and the summary of the
    // last run beside it.
    QPushButton* StopButton() const { return m_stop; }
    QLabel* Outcome() const { return m_outcome; }
    // Stops the run or preview going, as closing does, and keeps the window open.
    void OnStop();
    // Whether the Status tab is marked for a run with a failure or a refusal not yet seen.
    bool StatusMarked() const { return m_bStatusMarked; }

    // A run that took longer than kNotifyAfterMs and ends while the window is not active is
    // announced on the desktop. Tests replace how it is announced and the clock (milliseconds
    // from any fixed point) the run's length is measured with.
    static constexpr qint64 kNotifyAfterMs = 10000;
    using Notifier = std::function<void(const QString& title, const QString& text)>;
    void SetNotifier(Notifier notifier) { m_notify = std::move(notifier); }
    void SetClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // The row along the foot that holds the bar, for controls that go beside it.
    QHBoxLayout* BarRow() const { return m_bar; }

    // The window's usual size, which is also the least it takes: 538 x 346 with the extra
    // size of start-up. It grows when the pages need more at the desktop's font.
    static constexpr int kDefaultWidth = 538;
    static constexpr int kDefaultHeight = 346;
    QSize DefaultSize() const;

    // The window's place and size as saveGeometry gives them: Placement reads them (also
    // after the loop ended), SetPlacement hands in those of the last close before the window
    // is laid out. A placement that cannot be used, or one smaller than the pages need now,
    // gives way to the usual size.
    void SetPlacement(const QByteArray& placement);
    QByteArray Placement() const;

    // How often the bar shows the run's progress while it goes.
    static constexpr int kProgressIntervalMs = 40;

    // IRunMonitor: any thread, never waits.
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int pos) override;
    void PostJobsDone() override;
    void RunEnded(const RunSummary& summary) override;
    // Asks on the window thread (a queued call) and answers through the queue.
    bool AskBeforeDeleting(const DeleteQuestion& question) override;

  protected:
    bool OnInitDialog();
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void UpdateMinimumSize();
    void PostProgress();
    // The first progress change of a run: shows it and starts the timer.
    void OnProgressStarted();
    void ShowProgress();
    // Shows the bar with `lower` .. `upper` (lower == upper: busy) at `value`.
    void SetBar(int lower, int upper, int value);
    void OnJobsDone();
    void OnRunStarted(int kind);
    void OnAskBeforeDeleting(const DeleteQuestion& question);
    void ShowOutcome();
    void MarkStatusTab(bool mark);
    int StatusPageIndex() const;
    void OnCurrentChanged(int index);
    void OnPageDestroyed(CSheetPage* page);

    int m_nExtraWidth;
    int m_nExtraHeight;
    int m_nFirstPage;
    CJobQueue& m_queue;
    QTabWidget* m_tabs;
    QProgressBar* m_progress;
    QHBoxLayout* m_bar = nullptr;
    QByteArray m_placement;
    bool m_bUpdatingMinimum = false;
    std::vector<CSheetPage*> m_pages;
    int m_nActive = -1;
    bool m_bCreated = false;
    bool m_bTearingDown = false;
    bool m_bClosing = false;
    QString m_strCaption;
    QPushButton* m_stop = nullptr;
    QLabel* m_outcome = nullptr;
    bool m_bStatusMarked = false;
    // Set when the run is stopped or the window closes: an open question is then not answered
    // (the stop ended it). Cleared when a run starts.
    bool m_bStopAsked = false;
    bool m_bHaveSummary = false;
    RunSummary m_summary;
    qint64 m_nStartedAt = 0;
    Notifier m_notify;
    std::function<qint64()> m_clock;

    // The latest range (lower in the high half, upper in the low half) and position, and
    // whether the window shows them already (an event posted or the timer going); cleared when
    // the run's end has been handled.
    std::atomic<uint64_t> m_range{0};
    std::atomic<int> m_pos{0};
    std::atomic<bool> m_progressWatched{false};
    QTimer* m_progressTimer = nullptr;
};

}  // namespace tandrel
