#include "TemplateBuilder.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "CTemplateDialog.h"
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
