// Starts the whole window program (offscreen unless QT_QPA_PLATFORM is set) on a settings file
// of its own, types SOURCE and DESTINATION into the Quick page, picks the extra-file action,
// presses "&GO" and reports the elapsed and CPU time (all threads, user + system) from the
// press to the run's end (the sheet's end-of-run notice, when the window takes the run back),
// then closes the window. Everything a run started from the window does is in the figure: the
// settings written at the press, the count for the progress bar, the run lines and the bar.
//
//     bench_ui_run SETTINGS_FILE SOURCE DESTINATION [--delete]
//
// With BENCH_UI_RUN_STATUS set in the environment, the Status page is shown from GO on, so that
// the run's lines are painted as they come.
//
// Prints "elapsed=SECONDS cpu=SECONDS"; exits 1 when the run did not start or end.
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "CJobQueue.h"
#include "CSheetPage.h"
#include "CVelApp.h"
#include "CVelSheet.h"
#include "ResourceIds.h"

namespace {

// Calls its handler whenever a watched widget is enabled or disabled.
class EnabledWatch : public QObject {
  public:
    void SetHandler(std::function<void()> handler) { handler_ = std::move(handler); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && handler_) {
            handler_();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> handler_;
};

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tandrel;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication qapp(argc, argv);
    if (argc < 4 || (argc == 5 && std::strcmp(argv[4], "--delete") != 0) || argc > 5) {
        std::fprintf(stderr, "usage: bench_ui_run SETTINGS_FILE SOURCE DESTINATION [--delete]\n");
        return 2;
    }
    const bool remove = argc == 5;
    constexpr int kQuickPage = 2;

    bool started = false;
    bool ended = false;
    double elapsed = 0;
    double cpu = 0;
    QElapsedTimer clock;
    double cpuAtGo = 0;
    EnabledWatch watch;
    CVelApp app(argv[1]);
    app.InitInstance([&](CVelSheet& sheet) {
        sheet.SetActivePage(kQuickPage);
        CSheetPage* quick = sheet.GetPage(kQuickPage);
        auto* from = qobject_cast<QLineEdit*>(quick->GetDlgItem(IDC_FROM));
        auto* to = qobject_cast<QLineEdit*>(quick->GetDlgItem(IDC_TO));
        auto* action =
            qobject_cast<QAbstractButton*>(quick->GetDlgItem(remove ? IDC_DELETE : IDC_KEEP));
        auto* go = qobject_cast<QAbstractButton*>(quick->GetDlgItem(IDC_GO));
        if (from == nullptr || to == nullptr || action == nullptr || go == nullptr) {
            std::fprintf(stderr, "bench_ui_run: the Quick page has no From, To, action or GO\n");
            sheet.close();
            return;
        }
        from->setText(QString::fromLocal8Bit(argv[2]));
        to->setText(QString::fromLocal8Bit(argv[3]));
        action->click();
        QApplication::processEvents();
        // The question before a large delete waits for a person; the benchmark times the run.
        theJobQueue.m_nAskAbove = 0;
        cpuAtGo = CpuSeconds();
        clock.start();
        go->click();
        started = theJobQueue.m_bRunning;
        if (!started) {
            sheet.close();
            return;
        }
        // The sheet handles the end-of-run notice on the window thread: it clears m_bRunning
        // and disables "Stop". That change is seen as it happens, whichever page is shown,
        // without a timer waking the window meanwhile (a timer's ticks would be counted in the
        // window's CPU time).
        QPushButton* stop = sheet.StopButton();
        watch.SetHandler([&, stop] {
            if (!ended && !theJobQueue.m_bRunning) {
                elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
                cpu = CpuSeconds() - cpuAtGo;
                ended = true;
                stop->removeEventFilter(&watch);
                QTimer::singleShot(0, &sheet, [&sheet] { sheet.close(); });
            }
        });
        stop->installEventFilter(&watch);
        if (qEnvironmentVariableIsSet("BENCH_UI_RUN_STATUS")) {
            sheet.SetActivePage(0);  // the Status page shows the lines as they come
        }
    });
    if (!started || !ended) {
        std::fprintf(stderr, "bench_ui_run: the run %s\n",
                     started ? "did not end" : "did not start");
        return 1;
    }
    std::printf("elapsed=%.6f cpu=%.6f\n", elapsed, cpu);
    return 0;
}
