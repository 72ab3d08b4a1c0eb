#pragma once

#include <QProgressBar>
#include <vector>

#include "CSheetPage.h"
#include "ResourceIds.h"

namespace tandrel {

// A page that records each UpdateRunState call and what the progress bar showed at that
// moment, so a test can tell whether the end of a run arrived after the last progress change.
class RunStatePage : public CSheetPage {
  public:
    explicit RunStatePage(const QProgressBar* bar = nullptr)
        : CSheetPage(IDD_PAGE_STATUS, "Status"), m_bar(bar) {}
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

}  // namespace tandrel
