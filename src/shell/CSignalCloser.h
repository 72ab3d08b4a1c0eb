#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;
class QWidget;

namespace tandrel {

// Turns SIGTERM, SIGHUP and SIGINT into what a click on the close box does: any modal box or
// dialog open above `window` is cancelled, then `window` is closed. So a desktop logout or a
// kill from a script stops the run and lets the pages save, as closing the window would, and the
// program exits normally.
//
// The handler only writes a byte into a pipe (async-signal-safe); the window thread reads it
// through a socket notifier and closes. One instance at a time; the previous handlers come back
// when it is destroyed. Window thread only.
class CSignalCloser : public QObject {
    Q_OBJECT

  public:
    explicit CSignalCloser(QWidget* window);
    ~CSignalCloser() override;
    CSignalCloser(const CSignalCloser&) = delete;
    CSignalCloser& operator=(const CSignalCloser&) = delete;

    // Whether the handlers are in place (a pipe could be made).
    bool IsActive() const { return m_notifier != nullptr; }
    // The signal that closed the window, or 0.
    int CaughtSignal() const { return m_caught; }

  private:
    void OnSignal();

    QWidget* m_window;
    QSocketNotifier* m_notifier = nullptr;
    int m_caught = 0;
    struct sigaction m_old[3] = {};
};

}  // namespace tandrel
