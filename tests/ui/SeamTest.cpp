#include <gtest/gtest.h>

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "GuiWait.h"

#include "CFileChooser.h"
#include "CMessageBox.h"
#include "ResourceIds.h"

namespace tandrel {
namespace {

TEST(CMessageBox, ATestAnswersTheNextBoxWithoutShowingIt) {
    CMessageBox::Reset();
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kNo);
    EXPECT_EQ(CMessageBox::Show(nullptr, "Replace it?", CMessageBox::Icon::kQuestion,
                                CMessageBox::Buttons::kYesNo),
              CMessageBox::Answer::kNo);
    EXPECT_EQ(CMessageBox::LastText(), "Replace it?");
    EXPECT_EQ(CMessageBox::Count(), 1);

    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    ShowDirectoryError(nullptr, kDirNameEmpty, IDS_FIELD_FROM);
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'From' is empty...");
    EXPECT_EQ(CMessageBox::LastIcon(), CMessageBox::Icon::kWarning);
    EXPECT_EQ(CMessageBox::Count(), 2);
}

TEST(CMessageBox, ARealBoxHasTheCaptionIconAndButtons) {
    CMessageBox::Reset();
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString okText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        icon = box->icon();
        okText = box->button(QMessageBox::Ok) ? "ok" : "";
        box->button(QMessageBox::Ok)->click();
    });
    ShowDirectoryError(nullptr, kDirNotFound, IDS_FIELD_RECYCLE);
    EXPECT_EQ(caption, "Tandrel");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(okText, "ok");
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'Recycle' not found...");
}

// How the user answers a real box: a click on one of its buttons, Return, Escape or the close
// box.
enum class Press { kClickOk, kClickCancel, kClickYes, kClickNo, kReturn, kEscape, kClose };

// Runs `press` on the next message box once it is up, the way a user would; records the buttons
// the box showed. Gives up after kWaitMs, so a box that never comes cannot hang the test.
void PressInNextBox(Press press, QList<QMessageBox::StandardButton>* shown) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=, waited = 0]() mutable {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        waited += 10;
        if ((box == nullptr || !box->isVisible()) && waited < kWaitMs) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (box == nullptr) {
            return;
        }
        for (QAbstractButton* b : box->buttons()) {
            shown->append(box->standardButton(b));
        }
        const auto click = [box](QMessageBox::StandardButton which) {
            if (QAbstractButton* b = box->button(which)) {
                QTest::mouseClick(b, Qt::LeftButton);
            }
        };
        switch (press) {
            case Press::kClickOk:
                return click(QMessageBox::Ok);
            case Press::kClickCancel:
                return click(QMessageBox::Cancel);
            case Press::kClickYes:
                return click(QMessageBox::Yes);
            case Press::kClickNo:
                return click(QMessageBox::No);
            case Press::kReturn:
                return QTest::keyClick(box, Qt::Key_Return);
            case Press::kEscape:
                return QTest::keyClick(box, Qt::Key_Escape);
            case Press::kClose:
                box->close();
                return;
        }
    });
    timer->start();
}

// Every button of every kind of box, pressed on the real box: a click gives that button's
// answer, Return the first button's, Escape and the close box the safe one.
TEST(CMessageBox, EveryButtonOfARealBoxGivesItsAnswer) {
    using B = CMessageBox::Buttons;
    using A = CMessageBox::Answer;
    using S = QMessageBox::StandardButton;
    const QList<S> ok{S::Ok};
    const QList<S> okCancel{S::Ok, S::Cancel};
    const QList<S> yesNo{S::Yes, S::No};
    const struct {
        B buttons;
        Press press;
        A answer;
    } cases[] = {
        {B::kOk, Press::kClickOk, A::kOk},          {B::kOk, Press::kReturn, A::kOk},
        {B::kOk, Press::kEscape, A::kOk},           {B::kOkCancel, Press::kClickOk, A::kOk},
        {B::kOkCancel, Press::kReturn, A::kOk},     {B::kOkCancel, Press::kClickCancel, A::kCancel},
        {B::kOkCancel, Press::kEscape, A::kCancel}, {B::kOkCancel, Press::kClose, A::kCancel},
        {B::kYesNo, Press::kClickYes, A::kYes},     {B::kYesNo, Press::kReturn, A::kYes},
        {B::kYesNo, Press::kClickNo, A::kNo},       {B::kYesNo, Press::kEscape, A::kNo},
        {B::kYesNo, Press::kClose, A::kNo},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "buttons " << static_cast<int>(c.buttons) << ", press "
                                        << static_cast<int>(c.press));
        CMessageBox::Reset();
        QList<S> shown;
        PressInNextBox(c.press, &shown);
        EXPECT_EQ(CMessageBox::Show(nullptr, "Sure?", CMessageBox::Icon::kQuestion, c.buttons),
                  c.answer);
        std::sort(shown.begin(), shown.end());
        QList<S> expected = c.buttons == B::kOk ? ok : c.buttons == B::kOkCancel ? okCancel : yesNo;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(shown, expected);
    }
}

TEST(CFileChooser, ATestAnswersTheNextChooserIncludingCancel) {
    CFileChooser::Reset();
    CFileChooser::SetNextFolder(std::string("/data/\xff odd"));
    EXPECT_EQ(CFileChooser::BrowseForFolder(nullptr, "Select source directory:"),
              std::optional<std::string>("/data/\xff odd"));
    EXPECT_EQ(CFileChooser::LastTitle(), "Select source directory:");
    CFileChooser::SetNextFolder(std::nullopt);
    EXPECT_EQ(CFileChooser::BrowseForFolder(nullptr, "t"), std::nullopt);
    CFileChooser::SetNextFile(std::string("log.txt"));
    EXPECT_EQ(CFileChooser::SaveFileName(nullptr, "Log", "", "*.txt"),
              std::optional<std::string>("log.txt"));
}

}  // namespace
}  // namespace tandrel
