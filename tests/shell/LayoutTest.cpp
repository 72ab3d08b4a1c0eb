// The window's pages and dialogs laid out at the desktop's font sizes: every text whole, each
// label on its field's line, the window's least size, and what takes the room it grows by.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWindow>
#include <functional>
#include <map>
#include <memory>

#include "CAboutDlg.h"
#include "CBatchItemDlg.h"
#include "CDescriptionDlg.h"
#include "CJobQueue.h"
#include "CPageAbout.h"
#include "CPageBatch.h"
#include "CPageLog.h"
#include "CPageOption.h"
#include "CPageQuick.h"
#include "CVelApp.h"
#include "CVelSheet.h"
#include "GuiWait.h"
#include "Profile.h"
#include "SettingsStore.h"
#include "TempTree.h"
#include "WholeWindow.h"

namespace tandrel {
namespace {

// The application font at `points` for one scope, as a desktop set to that size gives it.
class DesktopFont {
  public:
    explicit DesktopFont(int points) : m_old(QApplication::font()) {
        QFont font = m_old;
        font.setPointSize(points);
        QApplication::setFont(font);
    }
    ~DesktopFont() { QApplication::setFont(m_old); }

  private:
    QFont m_old;
};

using Window = WholeWindow;

// What `w` shows as its text, without mnemonic marks, and the room it has for it.
QString ShownText(const QWidget* w) {
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        text = label->text();
        if (label->buddy() == nullptr) {
            return text;
        }
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        text = button->text();
    }
    return text.replace("&&", "\x01").remove('&').replace("\x01", "&");
}

// Every text of `top`'s labels and buttons fits the control; every control lies inside its
// parent; each label beside a field has its text's middle on the field's. Returns the names of
// the labels found beside a field.
QStringList CheckTexts(const QWidget* top) {
    QStringList beside;
    for (const QWidget* w : top->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(top) || w->objectName().isEmpty()) {
            continue;
        }
        const std::string name = w->objectName().toStdString();
        SCOPED_TRACE(name);
        const QRect inParent(QPoint(0, 0), w->parentWidget()->size());
        EXPECT_TRUE(inParent.contains(w->geometry())) << "cut off by its parent";
        const QString text = ShownText(w);
        if (text.isEmpty()) {
            continue;
        }
        const QFontMetrics fm(w->font());
        int room = w->contentsRect().width();
        if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
            // A check box's or radio button's mark stands before its text.
            room = qobject_cast<const QPushButton*>(button) != nullptr
                       ? button->width() - 4
                       : button->width() - button->iconSize().width();
        }
        EXPECT_LE(fm.horizontalAdvance(text), room) << "\"" << text.toStdString() << "\"";
        EXPECT_LE(fm.height(), w->contentsRect().height());
        const auto* label = qobject_cast<const QLabel*>(w);
        if (label == nullptr || label->buddy() == nullptr ||
            qobject_cast<QLineEdit*>(label->buddy()) == nullptr) {
            continue;
        }
        const QRect l = label->geometry();
        const QRect f = label->buddy()->geometry();
        if (f.left() > l.right() && f.top() <= l.bottom() && f.bottom() >= l.top()) {
            beside << label->objectName();
            EXPECT_NEAR(l.center().y(), f.center().y(), 1.0);
            if (label->alignment() & Qt::AlignRight) {
                EXPECT_LE(f.left() - l.right(), 12) << "right-aligned label far from its field";
            }
        }
    }
    beside.sort();
    return beside;
}

TEST(Layout, EveryTextIsWholeAtTheDesktopsFontSizes) {
    QSize smallest;
    for (const int points : {9, 12, 16}) {
        SCOPED_TRACE(points);
        const DesktopFont font(points);
        Window w;
        // Looked at the window's least size, where a cut would show first.
        w.sheet.resize(w.sheet.minimumSize());
        QStringList beside;
        for (int i = 0; i < w.sheet.GetPageCount(); ++i) {
            w.sheet.SetActivePage(i);
            w.Settle();
            EXPECT_EQ(w.sheet.GetPage(i)->font().pointSize(), points);
            beside += CheckTexts(w.sheet.GetPage(i));
        }
        EXPECT_EQ(beside.join(' '), "quickExcludeLabel quickFromLabel quickToLabel");

        BatchItem item;
        CBatchItemDlg itemDialog(&item, true);
        CDescriptionDlg descriptionDialog;
        CAboutDlg aboutBox;
        for (QDialog* dialog :
             std::initializer_list<QDialog*>{&itemDialog, &descriptionDialog, &aboutBox}) {
            dialog->show();
            dialog->layout()->activate();
            SCOPED_TRACE(dialog->windowTitle().toStdString());
            const QStringList labels = CheckTexts(dialog);
            if (dialog == &itemDialog) {
                EXPECT_EQ(labels.join(' '),
                          "itemDescriptionLabel itemExcludeLabel itemFromLabel itemToLabel");
            }
            dialog->hide();
        }

        // The usual size at the usual font, more when the pages need more.
        EXPECT_GE(w.sheet.minimumWidth(), 538);
        EXPECT_GE(w.sheet.minimumHeight(), 346);
        if (points == 9) {
            smallest = w.sheet.minimumSize();
            EXPECT_EQ(smallest, QSize(538, 346));
        } else if (points == 16) {
            EXPECT_GE(w.sheet.minimumWidth(), smallest.width());
            EXPECT_GT(w.sheet.minimumHeight(), smallest.height());
        }
    }
}

// A page finds its controls by their ids: two controls of one page (the bar's row counted with
// every page) never share one, or the page would act on the wrong one.
TEST(Layout, NoTwoControlsOfAPageShareAnId) {
    Window w;
    const QWidget* bar = w.sheet.findChild<QWidget*>("progress");
    ASSERT_NE(bar, nullptr);
    for (int i = 0; i < w.sheet.GetPageCount(); ++i) {
        SCOPED_TRACE(i);
        w.sheet.SetActivePage(i);
        std::map<int, QString> seen;
        QList<QWidget*> controls = w.sheet.GetActivePage()->findChildren<QWidget*>();
        controls += bar->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (const QWidget* control : controls) {
            const QVariant id = control->property("controlId");
            if (!id.isValid() || id.toInt() < 0) {
                continue;  // labels and rules share the id of a static text
            }
            const auto [at, fresh] = seen.emplace(id.toInt(), control->objectName());
            EXPECT_TRUE(fresh) << id.toInt() << ": " << at->second.toStdString() << " and "
                               << control->objectName().toStdString();
        }
    }
}

TEST(Layout, TheListAndTheLogTakeTheRoomTheWindowGrowsBy) {
    Window w;
    w.sheet.resize(200, 100);  // below the least size: held at it
    w.Settle();
    EXPECT_EQ(w.sheet.size(), QSize(538, 346));

    const auto sizes = [&w] {
        std::map<std::string, QSize> out;
        for (const char* name :
             {"colorView", "batchList", "batchAdd", "batchGo", "batchRecycle", "quickFrom",
              "quickGo", "quickFromBrowse", "optionLogFile", "progress"}) {
            const QWidget* control = w.sheet.findChild<QWidget*>(name);
            out[name] = control != nullptr ? control->size() : QSize();
        }
        return out;
    };
    const auto before = sizes();
    w.sheet.resize(1000, 700);
    for (int i = 0; i < w.sheet.GetPageCount(); ++i) {
        w.sheet.SetActivePage(i);
        w.Settle();
    }
    const auto after = sizes();
    const QSize grown(1000 - 538, 700 - 346);
    for (const char* name : {"colorView", "batchList"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(after.at(name), before.at(name) + grown);
    }
    for (const char* name : {"batchRecycle", "quickFrom", "optionLogFile", "progress"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(after.at(name).width(), before.at(name).width() + grown.width());
        EXPECT_EQ(after.at(name).height(), before.at(name).height());
    }
    for (const char* name : {"batchAdd", "batchGo", "quickGo", "quickFromBrowse"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(after.at(name), before.at(name));
    }
}

// The size the window had at its close comes back at the next start.
TEST(Layout, TheWindowsSizeIsStoredAtTheCloseAndRestored) {
    TempTree home;
    {
        CVelApp app(home.Path("settings.db"));
        app.InitInstance([](CVelSheet& sheet) {
            sheet.resize(900, 640);
            sheet.close();
        });
        EXPECT_FALSE(app.GetProfile()
                         .GetProfileString(CVelApp::kPlacementSection, CVelApp::kPlacementEntry, "")
                         .empty());
    }
    QSize restored;
    CVelApp app(home.Path("settings.db"));
    app.InitInstance([&restored](CVelSheet& sheet) {
        restored = sheet.size();
        sheet.close();
    });
    EXPECT_EQ(restored, QSize(900, 640));
}

}  // namespace
}  // namespace tandrel
