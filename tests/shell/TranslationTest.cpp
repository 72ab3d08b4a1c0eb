// The window under the German locale: its pages, message boxes and Qt's own dialogs speak
// German, while the run lines stay English (scripts read them).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <string>

#include "CJobQueue.h"
#include "CMessageBox.h"
#include "CPageLog.h"
#include "CSheetPage.h"
#include "CVelApp.h"
#include "CVelSheet.h"
#include "GuiWait.h"
#include "ResourceIds.h"
#include "TempTree.h"
#include "Translations.h"

namespace tandrel {
namespace {

// German for the length of a test; English again afterwards, whatever the test did.
class GermanWindow : public ::testing::Test {
  protected:
    void SetUp() override { LoadTranslations(QLocale(QLocale::German, QLocale::Germany)); }
    void TearDown() override { UnloadTranslations(); }
};

// Once a modal `T` is up, hands it to `act` (which must close it). Gives up after kWaitMs.
template <typename T>
void ActOnNextModal(std::function<void(T*)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=, waited = 0]() mutable {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        waited += 10;
        if ((modal == nullptr || !modal->isVisible()) && waited < kWaitMs) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (modal != nullptr) {
            act(modal);
        }
    });
    timer->start();
}

QString TextOf(CSheetPage* page, int id) {
    auto* button = qobject_cast<QAbstractButton*>(page->GetDlgItem(id));
    return button != nullptr ? button->text() : QString();
}

TEST_F(GermanWindow, PagesBoxesAndChoosersSpeakGermanRunLinesStayEnglish) {
    TempTree home;
    TempTree src;
    TempTree dst;
    src.WriteFile("a.txt", "alpha");
    CMessageBox::Reset();

    QStringList captions;
    QString go;
    QString fromLabel;
    QString boxText;
    QString boxButton;
    QStringList chooserButtons;
    QString outcome;
    std::string firstCopyLine;
    CVelApp app(home.Path("settings.db"));
    app.InitInstance([&](CVelSheet& sheet) {
        for (int i = 0; i < sheet.GetPageCount(); ++i) {
            captions << sheet.GetPage(i)->Caption();
        }
        sheet.SetActivePage(2);
        CSheetPage* quick = sheet.GetPage(2);
        go = TextOf(quick, IDC_GO);
        for (QLabel* label : quick->findChildren<QLabel*>()) {
            if (label->buddy() == quick->GetDlgItem(IDC_FROM)) {
                fromLabel = label->text();
            }
        }

        // GO with no source: the real box, answered by a click on its button.
        qobject_cast<QLineEdit*>(quick->GetDlgItem(IDC_FROM))->clear();
        ActOnNextModal<QMessageBox>([&](QMessageBox* box) {
            boxText = box->text();
            boxButton = box->button(QMessageBox::Ok)->text();
            box->button(QMessageBox::Ok)->click();
        });
        qobject_cast<QAbstractButton*>(quick->GetDlgItem(IDC_GO))->click();

        // The "..." beside From opens Qt's own directory chooser; its buttons are Qt's texts.
        ActOnNextModal<QFileDialog>([&](QFileDialog* chooser) {
            for (auto* box : chooser->findChildren<QDialogButtonBox*>()) {
                for (QAbstractButton* b : box->buttons()) {
                    chooserButtons << b->text();
                }
            }
            chooser->reject();
        });
        qobject_cast<QAbstractButton*>(quick->GetDlgItem(IDC_FROM_BROWSE))->click();

        // A real run from the Quick page: the outcome is German, the run line is not.
        qobject_cast<QLineEdit*>(quick->GetDlgItem(IDC_FROM))
            ->setText(QString::fromStdString(src.root()));
        qobject_cast<QLineEdit*>(quick->GetDlgItem(IDC_TO))
            ->setText(QString::fromStdString(dst.root()));
        qobject_cast<QAbstractButton*>(quick->GetDlgItem(IDC_GO))->click();
        ASSERT_TRUE(WaitFor([] { return !theJobQueue.m_bRunning; }));
        ASSERT_TRUE(WaitForPostedEvents());
        outcome = sheet.Outcome()->text();
        const LineStore& lines = static_cast<CPageLog*>(sheet.GetPage(0))->View().Lines();
        for (int64_t i = 0; i < lines.State().lineCount; ++i) {
            if (lines.Line(i).find(src.Path("a.txt")) != std::string::npos) {
                firstCopyLine = lines.Line(i);
                break;
            }
        }
        sheet.close();
    });

    EXPECT_EQ(captions, QStringList({"Status", "Stapel", "Schnell", "Optionen", "Info"}));
    EXPECT_EQ(go.toStdString(), "&LOS");
    EXPECT_EQ(fromLabel.toStdString(), "Quelle");
    EXPECT_EQ(boxText.toStdString(), "Fehler: Der Verzeichnisname von 'Quelle' ist leer...");
    EXPECT_EQ(boxButton.toStdString(), "OK");
    // Qt's German for its Choose and Cancel.
    EXPECT_EQ(chooserButtons.join('|').toStdString(), "&Auswählen|Abbrechen");
    EXPECT_TRUE(outcome.startsWith("1 kopiert, 0 gelöscht")) << outcome.toStdString();
    EXPECT_EQ(firstCopyLine, " Copy: " + src.Path("a.txt") + " => " + dst.Path("a.txt"));
    EXPECT_EQ(dst.ReadFile("a.txt"), "alpha");
}

// Without the translations (the tests' and any English user's case) the same texts are the
// English ones, byte for byte.
TEST(EnglishWindow, TranslationsTakenOutAgainLeaveTheEnglishTexts) {
    LoadTranslations(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(WindowString(IDS_FIELD_FROM).toStdString(), "Quelle");
    UnloadTranslations();
    EXPECT_EQ(WindowString(IDS_FIELD_FROM).toStdString(), "From");
    EXPECT_EQ(WindowString(IDS_ABOUTBOX).toStdString(), "&About Tandrel...");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Cancel");
}

}  // namespace
}  // namespace tandrel
