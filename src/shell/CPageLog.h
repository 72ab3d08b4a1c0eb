#pragma once

#include <string_view>

#include "CColorView.h"
#include "CSheetPage.h"
#include "RunSinks.h"

namespace tandrel {

// The Status page: nothing but the colour log view, 7 pixels in from the page's edges. It is
// where the run lines arrive (the job queue's line sink); the view keeps the last 5000 of them
// for the rest of the program. No settings, nothing to lock during a run.
//
// Threads: AddLine is called on the worker thread for every run line and passes the line to
// the view's guarded store without waiting; everything else runs on the window thread. The
// owner stops the worker (or unhooks the page from the job queue) before destroying the page.
class CPageLog : public CSheetPage, public ILineSink {
    Q_OBJECT

  public:
    explicit CPageLog(QWidget* parent = nullptr);
    ~CPageLog() override;

    // ILineSink: any thread.
    void AddLine(std::string_view line) override;
    void UpdateRunState(int running) override;

    CColorView& View() { return m_view; }

  protected:
    void BuildControls() override;
    bool OnInitDialog() override;

  private:
    CColorView m_view;
};

}  // namespace tandrel
