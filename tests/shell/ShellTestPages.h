#pragma once

#include <QApplication>
#include <QProgressBar>
#include <functional>
#include <vector>

#include "CSheetPage.h"
#include "ResourceIds.h"

namespace tandrel {

// A page that records each UpdateRunState call and what the progress bar showed at that
// moment, so a test can tell whether the end of a run arrived after the last progress change.
class RunStatePage : public CSheetPage {
  public:
    explicit RunStatePage(const QProgressBar* bar = nullptr)
        : CSheetPage(IDD_PAGE_STATUS), m_bar(bar) {}
    void UpdateRunState(int running) override {
        states.push_back(running);
        barAtCall.push_back(m_bar != nullptr ? m_bar->value() : -1);
    }
    void SetBar(const QProgressBar* bar) { m_bar = bar; }

    std::vector<int> states;
    std::vector<int> barAtCall;

  private:
    const QProgressBar* m_bar;
};

// Runs the event loop until `done` holds; false if it never did. The bound only keeps a broken
// build from hanging: nothing measures how long it took.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int rounds = 60000) {
    for (int i = 0; i < rounds; ++i) {
        if (done()) {
            return true;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

}  // namespace tandrel
