// The batch item and description dialogs, driven as a user would: fields typed, buttons
// pressed, folder browsers and message boxes answered through their seams.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CBatchItemDlg.h"
#include "CDescriptionDlg.h"
#include "CFileChooser.h"
#include "CMessageBox.h"
#include "DialogDriver.h"
#include "FieldText.h"
#include "ResourceIds.h"
#include "TempTree.h"

namespace tandrel {
namespace {

std::string Dir(TempTree& tree, const std::string& rel) {
    tree.MakeDir(rel);
    return tree.Path(rel);
}

class BatchItemDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        CMessageBox::Reset();
        CFileChooser::Reset();
        src_ = Dir(tree_, "src");
        dst_ = Dir(tree_, "dst");
    }

    // Types the three fields.
    static void Fill(CBatchItemDlg& dlg, const QString& desc, const QString& from,
                     const QString& to) {
        EditOf(&dlg, IDC_ITEM_DESCRIPTION)->setText(desc);
        EditOf(&dlg, IDC_FROM)->setText(from);
        EditOf(&dlg, IDC_TO)->setText(to);
    }

    TempTree tree_;
    std::string src_;
    std::string dst_;
};

TEST_F(BatchItemDialog, LayoutHeadingAndDefaultButton) {
    BatchItem item;
    CBatchItemDlg dlg(&item, true);
    EXPECT_EQ(dlg.windowTitle(), "Tandrel");
    auto* heading = dlg.findChild<QLabel*>("itemHeading");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->text(), "Please enter the batch job");
    auto* ok = qobject_cast<QPushButton*>(FindControl(&dlg, IDC_ITEM_OK));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(FindControl(&dlg, IDOK), nullptr);
}

TEST_F(BatchItemDialog, MissingDestinationReportsTo) {
    BatchItem item;
    CBatchItemDlg dlg(&item, true);
    Fill(dlg, "d", QString::fromStdString(src_), QString::fromStdString(tree_.Path("gone")));
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    Press(&dlg, IDC_ITEM_OK);
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'To' not found...");
    EXPECT_TRUE(item.strFrom.empty());
    EXPECT_EQ(dlg.result(), 0);
}

// Blanks around a directory are dropped from what is kept but stay in the field; a description
// of blanks is kept as typed.
TEST_F(BatchItemDialog, BlanksAroundDirectoriesAreTrimmedDescriptionIsNot) {
    BatchItem item;
    item.nCheck = kBatchUnchecked;
    CBatchItemDlg dlg(&item, true);
    const QString from = "  " + QString::fromStdString(src_) + "\t ";
    Fill(dlg, "   ", from, QString::fromStdString(dst_) + " ");
    Press(&dlg, IDC_ITEM_OK);
    EXPECT_EQ(CMessageBox::Count(), 0);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(item.strDescription, "   ");
    EXPECT_EQ(item.strFrom, src_);
    EXPECT_EQ(item.strTo, dst_);
    EXPECT_EQ(item.nCheck, kBatchUnchecked);
    EXPECT_EQ(EditOf(&dlg, IDC_FROM)->text(), from);
}

TEST_F(BatchItemDialog, RelativeDirectoryIsKeptAsTheDirectoryItNamesNow) {
    const std::string here = QDir::currentPath().toStdString();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(tree_.root())));
    BatchItem item;
    CBatchItemDlg dlg(&item, true);
    Fill(dlg, "rel", "src", " ./dst ");
    Press(&dlg, IDC_ITEM_OK);
    QDir::setCurrent(QString::fromStdString(here));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(item.strFrom,
              QDir(QString::fromStdString(tree_.root())).canonicalPath().toStdString() + "/src");
    EXPECT_EQ(item.strTo,
              QDir(QString::fromStdString(tree_.root())).canonicalPath().toStdString() + "/./dst");
}

// A relative name is taken from the current directory however long its path is (longer than a
// page here, where the first buffer is too small).
TEST(FieldText, RelativeNamesAreTakenFromACurrentDirectoryOfAnyLength) {
    TempTree tree;
    const int back = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(back, 0);
    ASSERT_EQ(chdir(tree.root().c_str()), 0);
    std::string deep = QDir::currentPath().toStdString();
    const std::string level(200, 'n');
    while (deep.size() <= 6000) {
        ASSERT_EQ(mkdir(level.c_str(), 0755), 0);
        ASSERT_EQ(chdir(level.c_str()), 0);
        deep += "/" + level;
    }
    const std::string got = AbsoluteFromHere("-x y");
    const std::string same = AbsoluteFromHere("/abs");
    const std::string empty = AbsoluteFromHere("");
    ASSERT_EQ(fchdir(back), 0);
    close(back);
    EXPECT_EQ(got, deep + "/-x y");
    EXPECT_EQ(same, "/abs");
    EXPECT_EQ(empty, "");
}

// Edit shows the entry's texts; browsing fills only the field it belongs to, starting at the
// directory that field names, and Cancel afterwards leaves the entry as it was.
TEST_F(BatchItemDialog, BrowseThenCancelLeavesTheItem) {
    BatchItem item;
    item.strDescription = "photos";
    item.strFrom = src_;
    item.strTo = dst_;
    const BatchItem before = item;
    CBatchItemDlg dlg(&item, false);
    EXPECT_EQ(EditOf(&dlg, IDC_ITEM_DESCRIPTION)->text(), "photos");
    EXPECT_EQ(EditOf(&dlg, IDC_FROM)->text().toStdString(), src_);
    EXPECT_EQ(EditOf(&dlg, IDC_TO)->text().toStdString(), dst_);

    const std::string other = Dir(tree_, "other");
    CFileChooser::SetNextFolder(other);
    Press(&dlg, IDC_TO_BROWSE);
    EXPECT_EQ(CFileChooser::LastTitle(), "Select destination directory:");
    EXPECT_EQ(CFileChooser::LastStart(), dst_);
    EXPECT_EQ(EditOf(&dlg, IDC_TO)->text().toStdString(), other);
    EXPECT_EQ(EditOf(&dlg, IDC_FROM)->text().toStdString(), src_);

    CFileChooser::SetNextFolder(std::nullopt);  // the browser cancelled: nothing changes
    Press(&dlg, IDC_FROM_BROWSE);
    EXPECT_EQ(CFileChooser::LastTitle(), "Select source directory:");
    EXPECT_EQ(EditOf(&dlg, IDC_FROM)->text().toStdString(), src_);

    Press(&dlg, IDCANCEL);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(item.strDescription, before.strDescription);
    EXPECT_EQ(item.strFrom, before.strFrom);
    EXPECT_EQ(item.strTo, before.strTo);
}

// A directory whose name is not valid UTF-8, chosen in the browser, is kept byte for byte.
TEST_F(BatchItemDialog, ChosenNameWithRawBytesSurvives) {
    const std::string odd = Dir(tree_, "caf\xe9 -x %s");
    BatchItem item;
    CBatchItemDlg dlg(&item, true);
    CFileChooser::SetNextFolder(odd);
    Press(&dlg, IDC_FROM_BROWSE);
    EditOf(&dlg, IDC_TO)->setText(QString::fromStdString(dst_));
    Press(&dlg, IDC_ITEM_OK);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(item.strFrom, odd);
}

TEST(DescriptionDialog, OkWithEmptyTextAndEscape) {
    {
        CDescriptionDlg dlg;
        EXPECT_EQ(dlg.windowTitle(), "Please enter a description");
        EXPECT_EQ(FindControl(&dlg, IDCANCEL), nullptr);
        OnNextDialog([](QDialog* d) { Press(d, IDOK); });
        EXPECT_EQ(dlg.DoModal(), QDialog::Accepted);
        EXPECT_EQ(dlg.m_strDescription, "");
    }
    {
        CDescriptionDlg dlg;
        OnNextDialog([](QDialog* d) {
            EditOf(d, IDC_DESCRIPTION_TEXT)->setText("nightly");
            QTest::keyClick(d, Qt::Key_Escape);
        });
        EXPECT_EQ(dlg.DoModal(), QDialog::Rejected);
    }
    {
        CDescriptionDlg dlg;
        OnNextDialog([](QDialog* d) {
            QLineEdit* edit = EditOf(d, IDC_DESCRIPTION_TEXT);
            edit->setText("nightly");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        EXPECT_EQ(dlg.DoModal(), QDialog::Accepted);
        EXPECT_EQ(dlg.m_strDescription, "nightly");
    }
}

}  // namespace
}  // namespace tandrel
