#include "CSheetPage.h"

#include <gtest/gtest.h>

#include <vector>

#include "Controls.h"
#include "ResourceIds.h"

namespace tandrel {
namespace {

// A page that records what the base asks of it.
class RecordingPage : public CSheetPage {
  public:
    explicit RecordingPage(bool withButton = false)
        : CSheetPage(IDD_PAGE_STATUS, "Status"), m_bWithButton(withButton) {}
    void UpdateRunState(int running) override { runStates.push_back(running); }

    std::vector<std::string> calls;
    std::vector<int> runStates;

  protected:
    void BuildControls() override {
        if (m_bWithButton) {
            MakeButton(this, IDOK, "OK", "ok");
        }
    }
    bool OnInitDialog() override {
        calls.push_back(HasWindow() ? "init" : "init-without-window");
        return CSheetPage::OnInitDialog();
    }
    void DoDataExchange(bool save) override { calls.push_back(save ? "save" : "load"); }

  private:
    bool m_bWithButton;
};

TEST(CSheetPage, BuildsOnFirstActivationThenLoadsAndSaves) {
    RecordingPage page;
    EXPECT_FALSE(page.HasWindow());
    EXPECT_EQ(page.Caption(), "Status");
    page.Deactivate();  // no controls yet: nothing to save
    EXPECT_TRUE(page.calls.empty());

    page.Activate();
    EXPECT_TRUE(page.HasWindow());
    page.Deactivate();
    page.Activate();
    EXPECT_EQ(page.calls, (std::vector<std::string>{"init", "load", "save", "load"}));
    EXPECT_TRUE(page.runStates.empty());
}

TEST(CSheetPage, UpdateDataAndGetDlgItemNeedTheWindow) {
    RecordingPage page(true);  // a page with a control
    EXPECT_FALSE(page.UpdateData(true));
    EXPECT_EQ(page.GetDlgItem(IDOK), nullptr);
    EXPECT_TRUE(page.calls.empty());

    page.Activate();
    EXPECT_TRUE(page.UpdateData(true));
    EXPECT_TRUE(page.UpdateData(false));
    EXPECT_EQ(page.calls, (std::vector<std::string>{"init", "load", "save", "load"}));
    QWidget* ok = page.GetDlgItem(IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->property("controlId").toInt(), IDOK);
    EXPECT_EQ(page.GetDlgItem(4242), nullptr);
}

}  // namespace
}  // namespace tandrel
