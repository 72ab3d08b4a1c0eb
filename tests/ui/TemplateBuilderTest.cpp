#include "TemplateBuilder.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "CTemplateDialog.h"
#include "GuiWait.h"
#include "ResourceIds.h"

namespace tandrel {
namespace {

TEST(TemplateBuilder, BuildsTheAboutBoxControlsWithIdsNamesAndPixelRects) {
    const DialogTemplate* tmpl = FindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(tmpl, nullptr);
    const TemplateBuilder builder(*tmpl);
    const QSize base = builder.BaseUnits();
    // An 8-point face at screen resolution: a few pixels per character, a line of 10 to 20.
    EXPECT_GE(base.width(), 4);
    EXPECT_LE(base.width(), 10);
    EXPECT_GE(base.height(), 9);
    EXPECT_LE(base.height(), 20);

    QWidget dialog;
    builder.Build(&dialog);
    auto* ok = qobject_cast<QPushButton*>(FindControl(&dialog, IDOK));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->objectName(), "ok");
    // 178 horizontal units are 178 quarters of a character width; 14 vertical units are 14
    // eighths of a line.
    EXPECT_NEAR(ok->geometry().x(), 178 * base.width() / 4.0, 1.0);
    EXPECT_NEAR(ok->geometry().height(), 14 * base.height() / 8.0, 1.0);
    EXPECT_LT(ok->geometry().right(), builder.DialogSize().width());

    auto* version = dialog.findChild<QLabel*>("aboutVersion");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Tandrel Version 1.02");
    auto* icon = dialog.findChild<QLabel*>("aboutIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(FindControl(&dialog, 12345), nullptr);
}

// Labels as the window system shows them: "&" marks the mnemonic that moves the focus to the
// next control that takes it, unless the label asks for no prefix processing.
TEST(TemplateBuilder, LabelMnemonicsLeadToTheNextControl) {
    static constexpr ControlTemplate kControls[] = {
        {IDC_STATIC, ControlKind::kStatic, "&From", 7, 9, 20, 8, kStyleRight, "fromLabel", 0},
        {IDC_STATIC, ControlKind::kLine, "", 7, 20, 20, 1, kStyleNone, "rule", 0},
        {1001, ControlKind::kEdit, "", 30, 7, 100, 12, kStyleNone, "fromEdit", 0},
        {IDC_STATIC, ControlKind::kStatic, "Tom && &Jerry", 7, 27, 60, 8, kStyleNoPrefix, "literal",
         0},
        {1002, ControlKind::kEdit, "", 70, 25, 60, 12, kStyleNone, "otherEdit", 0},
        {IDC_STATIC, ControlKind::kStatic, "A && &B", 7, 45, 60, 8, kStyleNone, "last", 0},
    };
    const DialogTemplate tmpl = {9999, "Test", 140, 60, "Arial", 9, kControls, 6};
    QWidget dialog;
    TemplateBuilder(tmpl).Build(&dialog);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(WaitFor([&dialog] { return dialog.isActiveWindow(); }));

    auto* from = dialog.findChild<QLabel*>("fromLabel");
    auto* fromEdit = qobject_cast<QLineEdit*>(FindControl(&dialog, 1001));
    auto* otherEdit = qobject_cast<QLineEdit*>(FindControl(&dialog, 1002));
    ASSERT_NE(from, nullptr);
    ASSERT_NE(fromEdit, nullptr);
    ASSERT_NE(otherEdit, nullptr);
    EXPECT_EQ(from->buddy(), fromEdit);  // the rule between them takes no focus
    otherEdit->setFocus();
    QTest::keyClick(&dialog, Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(fromEdit->hasFocus());

    auto* literal = dialog.findChild<QLabel*>("literal");
    ASSERT_NE(literal, nullptr);
    EXPECT_EQ(literal->buddy(), nullptr);
    EXPECT_EQ(literal->text(), "Tom && &Jerry");
    QTest::keyClick(&dialog, Qt::Key_J, Qt::AltModifier);
    EXPECT_TRUE(fromEdit->hasFocus());

    // Nothing after it takes the focus: the text shows without its marks.
    auto* last = dialog.findChild<QLabel*>("last");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->buddy(), nullptr);
    EXPECT_EQ(last->text(), "A & B");
}

// Every label of every template, built at the default font: its text fits its rectangle, and
// a label that stands beside a field (to the field's left, overlapping it vertically) ends
// before the field and has its text's vertical centre within a pixel of the field's.
TEST(TemplateBuilder, EveryLabelIsWholeAndCentredOnItsField) {
    const int templates[] = {IDD_ABOUTBOX,    IDD_PAGE_STATUS, IDD_PAGE_BATCH,  IDD_PAGE_QUICK,
                             IDD_PAGE_OPTION, IDD_PAGE_ABOUT,  IDD_DESCRIPTION, IDD_BATCH_ITEM};
    QStringList beside;
    for (const int id : templates) {
        const DialogTemplate* tmpl = FindDialogTemplate(id);
        ASSERT_NE(tmpl, nullptr) << id;
        QWidget dialog;
        TemplateBuilder(*tmpl).Build(&dialog);
        const QList<QLineEdit*> fields = dialog.findChildren<QLineEdit*>();
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->text().isEmpty()) {
                continue;  // an image
            }
            const QString name = label->objectName();
            SCOPED_TRACE(name.toStdString());
            QString shown = label->text();
            if (label->buddy() != nullptr) {
                shown.replace("&&", "\x01").remove('&').replace("\x01", "&");
            }
            const QFontMetrics fm(label->font());
            const QRect box = label->contentsRect();
            EXPECT_LE(fm.horizontalAdvance(shown), box.width());
            EXPECT_LE(fm.height(), box.height());

            // Where the text's line is drawn, from the label's alignment.
            const Qt::Alignment align = label->alignment();
            const QRect g = label->geometry();
            const double top = align & Qt::AlignVCenter ? g.y() + (box.height() - fm.height()) / 2.0
                               : align & Qt::AlignBottom ? g.y() + box.height() - fm.height()
                                                         : g.y();
            const double textCentre = top + fm.height() / 2.0;
            for (const QLineEdit* field : fields) {
                const QRect f = field->geometry();
                if (f.left() < g.left() || f.bottom() < g.top() || f.top() > g.bottom()) {
                    continue;
                }
                beside << name;
                EXPECT_LT(g.right(), f.left()) << "overlaps " << field->objectName().toStdString();
                EXPECT_NEAR(textCentre, f.y() + f.height() / 2.0, 1.0)
                    << "beside " << field->objectName().toStdString();
            }
        }
    }
    // The labels the rule above applies to; a label that finds no field is not checked there.
    beside.sort();
    EXPECT_EQ(beside.join(' '),
              "itemDescriptionLabel itemFromLabel itemToLabel quickFromLabel quickToLabel");
}

TEST(TemplateBuilder, ArialTemplatesGetASansFaceAtTheirSize) {
    const DialogTemplate* tmpl = FindDialogTemplate(IDD_PAGE_STATUS);
    ASSERT_NE(tmpl, nullptr);
    const QFont font = TemplateBuilder::TemplateFont(*tmpl);
    EXPECT_EQ(font.pointSize(), 9);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family.contains("Liberation Sans") || family.contains("Arial"))
        << family.toStdString();
}

TEST(CTemplateDialog, OkAcceptsAndEscapeRejects) {
    CTemplateDialog accepted(IDD_ABOUTBOX);
    EXPECT_EQ(accepted.windowTitle(), "About Tandrel");
    QTimer::singleShot(0, &accepted, [&accepted] {
        QTest::mouseClick(qobject_cast<QPushButton*>(FindControl(&accepted, IDOK)), Qt::LeftButton);
    });
    EXPECT_EQ(accepted.DoModal(), QDialog::Accepted);

    CTemplateDialog rejected(IDD_ABOUTBOX);
    QTimer::singleShot(0, &rejected, [&rejected] { QTest::keyClick(&rejected, Qt::Key_Escape); });
    EXPECT_EQ(rejected.DoModal(), QDialog::Rejected);
}

}  // namespace
}  // namespace tandrel
