// The window through a screen reader's and a keyboard user's eyes: every control named, each
// page's Tab order in its visual order, the link opened from the keyboard.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QRadioButton>
#include <QTest>
#include <QWindow>
#include <string>
#include <vector>

#include "CJobQueue.h"
#include "CLinkLabel.h"
#include "CPageAbout.h"
#include "CPageBatch.h"
#include "CPageLog.h"
#include "CPageOption.h"
#include "CPageQuick.h"
#include "CVelSheet.h"
#include "GuiWait.h"
#include "Profile.h"
#include "SettingsStore.h"
#include "TempTree.h"
#include "WholeWindow.h"

namespace tandrel {
namespace {

// The whole window, shown, with the focus in it.
struct Window : WholeWindow {
    Window() {
        sheet.activateWindow();
        WaitFor([this] { return sheet.windowHandle()->isExposed(); });
        WaitForPostedEvents();
    }
};

// Each page's controls are chained for Tab in the order they are seen, and Tab from the first
// visits them so: past disabled controls, and a radio group once, at its checked button.
TEST(Accessibility, TabFollowsEachPagesVisualOrder) {
    Window w;
    struct Case {
        int page;
        std::vector<const char*> order;
    };
    const Case cases[] = {
        {0, {"colorView"}},
        {1,
         {"batchList", "batchAdd", "batchEdit", "batchRemove", "batchGo", "batchPreview",
          "batchKeep", "batchDelete", "batchMove", "batchRecycle", "batchRecycleBrowse"}},
        {2,
         {"quickFrom", "quickFromBrowse", "quickTo", "quickToBrowse", "quickAddToBatch",
          "quickKeep", "quickDelete", "quickMove", "quickExclude", "quickIncludeHidden",
          "quickRecycle", "quickRecycleBrowse", "quickGo", "quickPreview"}},
        {3,
         {"optionLogEnable", "optionLogFile", "optionLogBrowse", "optionRecycle",
          "optionRecycleBrowse", "optionAskEnable", "optionAskLimit"}},
        {4, {"aboutLink"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        w.sheet.SetActivePage(c.page);
        WaitForPostedEvents();
        QWidget* first = w.Find(c.order.front());
        ASSERT_NE(first, nullptr);
        const QWidget* page = w.sheet.GetActivePage();
        std::vector<std::string> chained;
        std::vector<std::string> stops;
        for (QWidget* next = first; chained.size() < c.order.size() + 1;
             next = next->nextInFocusChain()) {
            if (page->isAncestorOf(next) && next->focusPolicy() != Qt::NoFocus &&
                !next->objectName().startsWith("qt_")) {
                chained.push_back(next->objectName().toStdString());
                const auto* radio = qobject_cast<QRadioButton*>(next);
                if (next->isEnabled() && (radio == nullptr || radio->isChecked())) {
                    stops.push_back(chained.back());
                }
            }
            if (next->nextInFocusChain() == first) {
                break;
            }
        }
        EXPECT_EQ(chained, std::vector<std::string>(c.order.begin(), c.order.end()));

        first->setFocus(Qt::TabFocusReason);
        std::vector<std::string> visited;
        for (size_t i = 0; i < stops.size(); ++i) {
            QWidget* focus = QApplication::focusWidget();
            visited.push_back(focus ? focus->objectName().toStdString() : "(none)");
            QTest::keyClick(focus ? focus : first, Qt::Key_Tab);
        }
        EXPECT_EQ(visited, stops);
    }
}

// Each control a keyboard reaches has a name, and the ones a label cannot name carry theirs.
TEST(Accessibility, EveryControlHasANameAndItsRole) {
    Window w;
    for (QWidget* control : w.sheet.findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) || control->objectName().isEmpty() ||
            control->objectName().startsWith("qt_") || control->objectName() == "tabs") {
            continue;
        }
        QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(acc, nullptr);
        EXPECT_FALSE(acc->text(QAccessible::Name).isEmpty()) << control->objectName().toStdString();
    }
    struct Case {
        const char* name;
        QString expected;
        QAccessible::Role role;
    };
    const Case cases[] = {
        {"pageQuick", "Quick", QAccessible::Client},
        {"colorView", "Status", QAccessible::EditableText},
        {"progress", "Run progress", QAccessible::ProgressBar},
        {"batchList", "Batch list", QAccessible::Tree},
        {"batchRecycleBrowse", "Browse for the recycle directory", QAccessible::Button},
        {"quickFrom", "From", QAccessible::EditableText},
        {"quickFromBrowse", "Browse for the source directory", QAccessible::Button},
        {"quickTo", "To", QAccessible::EditableText},
        {"quickToBrowse", "Browse for the destination directory", QAccessible::Button},
        {"quickRecycleBrowse", "Browse for the recycle directory", QAccessible::Button},
        {"quickMove", "Move not existent files to...", QAccessible::RadioButton},
        {"optionRecycle", "Default Directory of Recycle bin", QAccessible::EditableText},
        {"optionLogBrowse", "Browse for the log file", QAccessible::Button},
        {"aboutLink", "Visit Halvory's Homepage", QAccessible::Link},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* control = w.Find(c.name);
        ASSERT_NE(control, nullptr);
        QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(control);
        EXPECT_EQ(acc->text(QAccessible::Name), c.expected);
        EXPECT_EQ(acc->role(), c.role);
    }
    auto* link = w.Find<CLinkLabel>("aboutLink");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(link)->text(QAccessible::Description),
              link->Target());
}

// Tab reaches the link; Enter and Space open it as a click does.
TEST(Accessibility, TheLinkOpensFromTheKeyboard) {
    Window w;
    w.sheet.SetActivePage(4);
    auto* link = w.Find<CLinkLabel>("aboutLink");
    ASSERT_NE(link, nullptr);
    std::vector<QString> opened;
    link->SetOpener([&](const QString& target) {
        opened.push_back(target);
        return 42;
    });
    EXPECT_TRUE((link->focusPolicy() & Qt::TabFocus) != 0);
    link->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(link->hasFocus());
    QTest::keyClick(link, Qt::Key_Return);
    QTest::keyClick(link, Qt::Key_Space);
    EXPECT_EQ(opened, std::vector<QString>(2, link->Target()));
    EXPECT_TRUE(link->WasVisited());
}

}  // namespace
}  // namespace tandrel
