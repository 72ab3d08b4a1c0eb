#include "GuiWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>
#include <memory>

namespace tandrel {

bool WaitFor(const std::function<bool()>& condition, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!condition()) {
            // Nothing to do yet: leave the processors to the threads being waited for.
            QThread::msleep(1);
        }
    }
    return true;
}

bool WaitForPostedEvents(int ms) {
    // Shared with the queued call, which may still be pending after a wait that gave up.
    const auto arrived = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [arrived] { *arrived = true; }, Qt::QueuedConnection);
    return WaitFor([arrived] { return *arrived; }, ms);
}

}  // namespace tandrel
