#include "CMessageBox.h"

#include <QMessageBox>
#include <QPushButton>

#include "CJobQueue.h"
#include "ResourceIds.h"
#include "Translations.h"

namespace tandrel {

namespace {

struct Record {
    std::optional<CMessageBox::Answer> next;
    QString lastText;
    CMessageBox::Icon lastIcon = CMessageBox::Icon::kWarning;
    int count = 0;
};

Record& State() {
    static Record record;
    return record;
}

QMessageBox::Icon ToQt(CMessageBox::Icon icon) {
    switch (icon) {
        case CMessageBox::Icon::kInformation:
            return QMessageBox::Information;
        case CMessageBox::Icon::kQuestion:
            return QMessageBox::Question;
        case CMessageBox::Icon::kError:
            return QMessageBox::Critical;
        case CMessageBox::Icon::kWarning:
            break;
    }
    return QMessageBox::Warning;
}

}  // namespace

CMessageBox::Answer CMessageBox::Show(QWidget* parent, const QString& text, Icon icon,
                                      Buttons buttons) {
    return ShowNamed(parent, text, icon, buttons, QString(), QString());
}

CMessageBox::Answer CMessageBox::Ask(QWidget* parent, const QString& text, const QString& yes,
                                     const QString& no) {
    return ShowNamed(parent, text, Icon::kQuestion, Buttons::kYesNo, yes, no);
}

CMessageBox::Answer CMessageBox::ShowNamed(QWidget* parent, const QString& text, Icon icon,
                                           Buttons buttons, const QString& firstText,
                                           const QString& lastText) {
    Record& r = State();
    r.lastText = text;
    r.lastIcon = icon;
    ++r.count;
    if (r.next) {
        const Answer answer = *r.next;
        r.next.reset();
        return answer;
    }
    QMessageBox box(ToQt(icon), QStringLiteral("Tandrel"), text, QMessageBox::NoButton, parent);
    // The first button is the one Return presses; Escape and the close box give the last
    // (Cancel, No), or OK where OK is all there is.
    QMessageBox::StandardButton first = QMessageBox::Ok;
    QMessageBox::StandardButton last = QMessageBox::Ok;
    switch (buttons) {
        case Buttons::kOk:
            break;
        case Buttons::kOkCancel:
            last = QMessageBox::Cancel;
            break;
        case Buttons::kYesNo:
            first = QMessageBox::Yes;
            last = QMessageBox::No;
            break;
    }
    box.setStandardButtons(first | last);
    if (!firstText.isEmpty()) {
        box.button(first)->setText(firstText);
    }
    if (!lastText.isEmpty() && last != first) {
        box.button(last)->setText(lastText);
    }
    box.setDefaultButton(first);
    box.setEscapeButton(last);
    box.exec();
    // The answer is the button that closed the box; a box closed some other way (its window
    // closed from outside) gives the safe answer.
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok:
            return Answer::kOk;
        case QMessageBox::Cancel:
            return Answer::kCancel;
        case QMessageBox::Yes:
            return Answer::kYes;
        case QMessageBox::No:
            return Answer::kNo;
        default:
            break;
    }
    return last == QMessageBox::Ok ? Answer::kOk
                                   : (last == QMessageBox::No ? Answer::kNo : Answer::kCancel);
}

void CMessageBox::SetNextAnswer(Answer answer) {
    State().next = answer;
}
QString CMessageBox::LastText() {
    return State().lastText;
}
CMessageBox::Icon CMessageBox::LastIcon() {
    return State().lastIcon;
}
int CMessageBox::Count() {
    return State().count;
}
void CMessageBox::Reset() {
    State() = Record{};
}

void ShowDirectoryError(QWidget* parent, DirCheckResult result, int fieldId) {
    // As CJobQueue::DirectoryErrorText words it, from the translated entries.
    QString text = WindowString(result == kDirNameEmpty ? IDS_ERR_DIR_EMPTY : IDS_ERR_DIR_NOT_FOUND)
                       .arg(WindowString(fieldId));
    if (text.startsWith(u'!')) {
        text.remove(0, 1);
    }
    CMessageBox::Show(parent, text, CMessageBox::Icon::kWarning, CMessageBox::Buttons::kOk);
}

}  // namespace tandrel
