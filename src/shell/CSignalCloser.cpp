#include "CSignalCloser.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>

namespace tandrel {

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGHUP, SIGINT};

// The pipe's two ends; -1 while no closer is installed. Plain ints: the handler may only touch
// what is async-signal-safe.
volatile sig_atomic_t g_writeFd = -1;
int g_readFd = -1;

extern "C" void OnCloseSignal(int signo) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    if (g_writeFd >= 0) {
        // A full pipe already holds a request; losing this one changes nothing.
        [[maybe_unused]] const ssize_t n = write(g_writeFd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

CSignalCloser::CSignalCloser(QWidget* window) : m_window(window) {
    int fds[2];
    if (g_readFd >= 0 || pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    g_readFd = fds[0];
    g_writeFd = fds[1];
    m_notifier = new QSocketNotifier(g_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CSignalCloser::OnSignal);
    struct sigaction action = {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &action, &m_old[i]);
    }
}

CSignalCloser::~CSignalCloser() {
    if (m_notifier == nullptr) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &m_old[i], nullptr);
    }
    const int writeFd = g_writeFd;
    g_writeFd = -1;
    close(writeFd);
    close(g_readFd);
    g_readFd = -1;
}

void CSignalCloser::OnSignal() {
    unsigned char byte = 0;
    while (read(g_readFd, &byte, 1) == 1) {
        m_caught = byte;
    }
    // Boxes and dialogs run loops of their own above the window's; each is cancelled as its
    // close box would, innermost first, before the window itself closes.
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == m_window) {
            break;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }
    m_window->close();
}

}  // namespace tandrel
