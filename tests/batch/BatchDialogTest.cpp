// The batch item and description dialogs, driven as a user would: fields typed, buttons
// pressed, folder browsers and message boxes answered through their seams.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <set>
#include <string>
#include <vector>

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

// The "Exclude" field's text and the list of patterns it stands for: what a user types is split
// at ";" and line breaks with the blanks around each pattern dropped, and a list written into
// the field reads back as the same list, whatever ";", blanks and backslashes it holds.
TEST(FieldText, ExcludeFieldSplitsAndRoundTripsPatterns) {
    using List = std::vector<std::string>;
    const struct {
        const char* typed;
        List patterns;
    } typed[] = {
        {"", {}},
        {" ;; \n", {}},
        {"*.tmp; build/ ;node_modules\n/cache\r\n.git/",
         {"*.tmp", "build/", "node_modules", "/cache", ".git/"}},
        {"a\\;b; c", {"a;b", "c"}},
        {"x\\\\; y\\*", {"x\\\\", "y\\*"}},
        {"\\  lead ;trail\\ ", {"  lead", "trail "}},
    };
    for (const auto& c : typed) {
        EXPECT_EQ(FieldPatterns(c.typed), c.patterns) << c.typed;
    }
    const List lists[] = {
        {"*.tmp", "build/"}, {"a;b", ";"},   {" lead", "trail ", " "},
        {"a\\*b", "x\\\\"},  {"d\xff\xfe*"}, {"[;]x", "**/a b/"},
    };
    for (const List& list : lists) {
        const std::string text = PatternFieldText(list);
        EXPECT_EQ(FieldPatterns(text), list) << text;
    }
    EXPECT_EQ(PatternFieldText({"*.tmp", "a;b"}), "*.tmp; a\\;b");
}

// The mnemonic letters of the labels, buttons and check boxes under `parent` ("&&" is a plain
// "&"), in lower case; a letter twice means two controls fight over one key.
std::vector<char> Mnemonics(const QWidget* parent) {
    std::vector<char> letters;
    const auto add = [&](const QString& text) {
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == '&') {
                if (text[i + 1] != '&') {
                    letters.push_back(static_cast<char>(text[i + 1].toLower().toLatin1()));
                }
                ++i;
            }
        }
    };
    for (const QLabel* label : parent->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            add(label->text());
        }
    }
    for (const QAbstractButton* button : parent->findChildren<QAbstractButton*>()) {
        add(button->text());
    }
    return letters;
}

// Edit shows an entry's filters; OK gives them back unchanged, or as changed in the fields.
// The field is reached by its own mnemonic, which no other control of the dialog uses.
TEST_F(BatchItemDialog, FiltersRoundTripThroughTheFields) {
    BatchItem item;
    item.strDescription = "home";
    item.strFrom = src_;
    item.strTo = dst_;
    item.listExclude = {"*.tmp", "a;b", "cache/"};
    item.bIncludeHidden = true;
    {
        CBatchItemDlg dlg(&item, false);
        EXPECT_EQ(EditOf(&dlg, IDC_EXCLUDE)->text(), "*.tmp; a\\;b; cache/");
        auto* hidden = qobject_cast<QCheckBox*>(FindControl(&dlg, IDC_INCLUDE_HIDDEN));
        ASSERT_NE(hidden, nullptr);
        EXPECT_TRUE(hidden->isChecked());
        EXPECT_EQ(hidden->text(), "&Include names beginning with '.'");
        auto* label = dlg.findChild<QLabel*>("itemExcludeLabel");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->buddy(), FindControl(&dlg, IDC_EXCLUDE));
        const std::vector<char> letters = Mnemonics(&dlg);
        EXPECT_EQ(std::set<char>(letters.begin(), letters.end()).size(), letters.size());
        Press(&dlg, IDC_ITEM_OK);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(item.listExclude, (std::vector<std::string>{"*.tmp", "a;b", "cache/"}));
        EXPECT_TRUE(item.bIncludeHidden);
    }
    CBatchItemDlg dlg(&item, false);
    EditOf(&dlg, IDC_EXCLUDE)->setText(" *.o ;\\;x; ");
    qobject_cast<QCheckBox*>(FindControl(&dlg, IDC_INCLUDE_HIDDEN))->setChecked(false);
    Press(&dlg, IDC_ITEM_OK);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(item.listExclude, (std::vector<std::string>{"*.o", ";x"}));
    EXPECT_FALSE(item.bIncludeHidden);
    EXPECT_EQ(item.strFrom, src_);
}

// A pattern that cannot be used is named in a real box, pressed as a user does; the dialog
// stays open and the entry keeps all it had.
TEST_F(BatchItemDialog, BadPatternIsRefusedInABoxAndNothingChanges) {
    BatchItem item;
    item.strDescription = "home";
    item.strFrom = src_;
    item.strTo = dst_;
    item.listExclude = {"*.tmp"};
    const BatchItem before = item;
    CBatchItemDlg dlg(&item, false);
    EditOf(&dlg, IDC_ITEM_DESCRIPTION)->setText("changed");
    EditOf(&dlg, IDC_EXCLUDE)->setText("*.o; [ab");
    qobject_cast<QCheckBox*>(FindControl(&dlg, IDC_INCLUDE_HIDDEN))->setChecked(true);
    QString boxText;
    OnNextDialog([&](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        ASSERT_NE(box, nullptr);
        boxText = box->text();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    Press(&dlg, IDC_ITEM_OK);
    EXPECT_EQ(boxText, "Pattern '[ab' cannot be used: '[' is not closed.");
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_EQ(item.strDescription, before.strDescription);
    EXPECT_EQ(item.listExclude, before.listExclude);
    EXPECT_FALSE(item.bIncludeHidden);
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
