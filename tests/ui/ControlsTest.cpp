#include "Controls.h"

#include <gtest/gtest.h>

#include <QGridLayout>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include "CModalDialog.h"
#include "GuiWait.h"
#include "ResourceIds.h"

namespace tandrel {
namespace {

TEST(Controls, MadeControlsCarryTheirIdAndNameAndAreFoundById) {
    QWidget dialog;
    QPushButton* ok = MakeButton(&dialog, IDOK, "OK", "ok", true);
    QLineEdit* edit = MakeEdit(&dialog, 1001, "field");
    QLabel* label = MakeLabel(&dialog, "Tom && Jerry", "literal");
    EXPECT_EQ(FindControl(&dialog, IDOK), ok);
    EXPECT_EQ(FindControl(&dialog, 1001), edit);
    EXPECT_EQ(FindControl(&dialog, 12345), nullptr);
    EXPECT_EQ(ok->objectName(), "ok");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(ok->autoDefault());
    EXPECT_EQ(label->property("controlId").toInt(), IDC_STATIC);
    EXPECT_EQ(label->text(), "Tom && Jerry");  // no buddy: shown as it is
    // Fields take the width they are given; buttons keep theirs.
    EXPECT_EQ(edit->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(ok->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

// A label's mnemonic moves the focus to the field it names.
TEST(Controls, LabelMnemonicsLeadToTheirBuddy) {
    QWidget dialog;
    QLabel* from = MakeLabel(&dialog, "&From", "fromLabel");
    QLineEdit* fromEdit = MakeEdit(&dialog, 1001, "fromEdit");
    QLineEdit* otherEdit = MakeEdit(&dialog, 1002, "otherEdit");
    SetBuddy(from, fromEdit);
    auto* grid = new QGridLayout(&dialog);
    grid->addWidget(from, 0, 0);
    grid->addWidget(fromEdit, 0, 1);
    grid->addWidget(otherEdit, 1, 1);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(WaitFor([&dialog] { return dialog.isActiveWindow(); }));
    otherEdit->setFocus();
    QTest::keyClick(&dialog, Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(fromEdit->hasFocus());
}

// The "..." beside a field is as high as the field and about square.
TEST(Controls, BrowseButtonMatchesItsField) {
    for (const int points : {9, 16}) {
        SCOPED_TRACE(points);
        QWidget dialog;
        QFont font = dialog.font();
        font.setPointSize(points);
        dialog.setFont(font);
        QLineEdit* edit = MakeEdit(&dialog, 1001, "field");
        QPushButton* browse = MakeBrowseButton(&dialog, 1002, "browse");
        auto* row = FieldRow(edit, browse);
        dialog.setLayout(row);
        dialog.resize(400, 10);
        dialog.show();
        row->activate();
        EXPECT_EQ(browse->height(), edit->height());
        EXPECT_LE(std::abs(browse->width() - browse->height()), 2);
        EXPECT_GT(edit->width(), 300);
    }
}

class OkDialog : public CModalDialog {
  public:
    OkDialog() : CModalDialog("About Tandrel") {
        auto* row = new QHBoxLayout(this);
        row->addWidget(MakeButton(this, IDOK, "OK", "ok", true));
        FinishLayout();
    }
};

TEST(CModalDialog, OkAcceptsAndEscapeRejects) {
    OkDialog accepted;
    EXPECT_EQ(accepted.windowTitle(), "About Tandrel");
    QTimer::singleShot(0, &accepted, [&accepted] {
        QTest::mouseClick(qobject_cast<QPushButton*>(FindControl(&accepted, IDOK)), Qt::LeftButton);
    });
    EXPECT_EQ(accepted.DoModal(), QDialog::Accepted);

    OkDialog rejected;
    QTimer::singleShot(0, &rejected, [&rejected] { QTest::keyClick(&rejected, Qt::Key_Escape); });
    EXPECT_EQ(rejected.DoModal(), QDialog::Rejected);
}

}  // namespace
}  // namespace tandrel
