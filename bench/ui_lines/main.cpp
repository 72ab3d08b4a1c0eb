// Feeds run lines through theJobQueue.WriteLine on a worker thread into the Status page of a
// shown main window, with progress updates as a run makes them, and reports how long the
// worker took to hand the lines over, when the last line was on screen, and the longest time
// the window's event loop was kept from running.
//
//     bench_ui_lines [LINES]        (default 100000; offscreen unless QT_QPA_PLATFORM is set)
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "CJobQueue.h"
#include "CPageLog.h"
#include "CVelSheet.h"

namespace {

// Counts the log view's repaints.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

std::string LineFor(int i) {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "%cCopy: /home/ada/projects/dir%03d/file%06d.dat => "
                  "/media/backup/projects/dir%03d/file%06d.dat",
                  i % 97 == 0 ? '!' : ' ', i / 1000, i, i / 1000, i);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tandrel;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (lines <= 0) {
        std::fprintf(stderr, "usage: bench_ui_lines [LINES]\n");
        return 2;
    }

    CVelSheet sheet(QStringLiteral("Tandrel"), 0, 30);
    CPageLog log;
    sheet.AddPage(&log);
    sheet.Create();
    PaintCounter counter;
    log.View().viewport()->installEventFilter(&counter);
    app.processEvents();
    theJobQueue.m_pPageLog = &log;
    theJobQueue.m_pSheet = &sheet;
    theJobQueue.m_bRunning = true;

    // The event loop's heartbeat: the longest gap between two ticks is the longest stall.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    lastTick = clock.nsecsElapsed();
    heartbeat.start(1);

    const std::string lastLine = LineFor(lines - 1);
    std::atomic<qint64> handedOver{0};
    const qint64 start = clock.nsecsElapsed();
    std::thread worker([&] {
        theJobQueue.m_pSheet->SetProgressRange(0, lines);
        for (int i = 0; i < lines; ++i) {
            theJobQueue.WriteLine(LineFor(i));
            theJobQueue.m_pSheet->SetProgressPos(i + 1);
        }
        theJobQueue.m_pSheet->SetProgressPos(0);
        handedOver = clock.nsecsElapsed() - start;
        theJobQueue.m_pSheet->PostJobsDone();
    });

    // Done when the run's end has been handled and the last line has been painted.
    qint64 shown = 0;
    int paintsAtEnd = -1;
    while (shown == 0) {
        app.processEvents(QEventLoop::AllEvents, 10);
        const LineViewState s = log.View().Lines().State();
        const bool last = s.lineCount > 0 && log.View().Lines().Line(s.lineCount - 1) == lastLine;
        if (!theJobQueue.m_bRunning && last) {
            if (paintsAtEnd < 0) {
                paintsAtEnd = counter.paints;
                log.View().viewport()->update();
            } else if (counter.paints > paintsAtEnd) {
                shown = clock.nsecsElapsed() - start;
            }
        }
    }
    worker.join();
    heartbeat.stop();
    theJobQueue.m_pPageLog = nullptr;
    theJobQueue.m_pSheet = nullptr;

    std::printf("lines:                        %d\n", lines);
    std::printf("worker hand-over:             %.1f ms (%.0f ns a line, progress included)\n",
                static_cast<double>(handedOver.load()) / 1e6,
                static_cast<double>(handedOver.load()) / lines);
    std::printf("last line on screen after:    %.1f ms\n", static_cast<double>(shown) / 1e6);
    std::printf("longest event-loop stall:     %.1f ms\n", static_cast<double>(longestGap) / 1e6);
    std::printf("log view repaints:            %d\n", counter.paints);
    return 0;
}
