#pragma once

#include "CLinkLabel.h"
#include "CSheetPage.h"

namespace tandrel {

// The About page, the last tab: the program's name and version, the rights notice, the credit
// line and, at its foot, a link that opens the maker's home page in the browser. Nothing on it
// takes part in a run, so the run state changes nothing.
//
// Window thread only.
class CPageAbout : public CSheetPage {
    Q_OBJECT

  public:
    // The address the link opens.
    static constexpr const char* kHomePage = "https://www.halvory.example/tandrel/";

    explicit CPageAbout(QWidget* parent = nullptr);
    ~CPageAbout() override;

    void UpdateRunState(int running) override;

    // The link; bound to the page's link control once the page has its window.
    CLinkLabel& Link() { return m_link; }

  protected:
    void BuildControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;

  private:
    CLinkLabel m_link;
};

}  // namespace tandrel
