#pragma once

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "Controls.h"
#include "GuiWait.h"

namespace tandrel {

// Answers the next modal dialog as a user would: once it is up, `act` runs on it (fill fields,
// press buttons). Gives up after kWaitMs, so a dialog that never comes cannot hang a test; the
// test then sees what it expected did not happen.
inline void OnNextDialog(const std::function<void(QDialog*)>& act) {
    // Owned by the application, so that one still waiting when the program ends goes with it.
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, waited = 0]() mutable {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        waited += 10;
        if (dialog == nullptr && waited < kWaitMs) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (dialog != nullptr) {
            act(dialog);
        }
    });
    timer->start();
}

inline QLineEdit* EditOf(const QWidget* dialog, int id) {
    return qobject_cast<QLineEdit*>(FindControl(dialog, id));
}

inline void Press(const QWidget* dialog, int id) {
    if (auto* button = qobject_cast<QPushButton*>(FindControl(dialog, id))) {
        button->click();
    }
}

}  // namespace tandrel
