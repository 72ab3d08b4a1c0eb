#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

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
