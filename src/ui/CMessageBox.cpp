#include "CMessageBox.h"

#include <QMessageBox>

#include "CJobQueue.h"

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
    switch (buttons) {
        case Buttons::kOk:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::kOkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::kYesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return Answer::kCancel;
        case QMessageBox::Yes:
            return Answer::kYes;
        case QMessageBox::No:
            return Answer::kNo;
        default:
            break;
    }
    // Closing the box with its close button counts as its safe answer.
    return buttons == Buttons::kYesNo
               ? Answer::kNo
               : (buttons == Buttons::kOkCancel ? Answer::kCancel : Answer::kOk);
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
    CMessageBox::Show(parent,
                      QString::fromUtf8(CJobQueue::DirectoryErrorText(result, fieldId).c_str()),
                      CMessageBox::Icon::kWarning, CMessageBox::Buttons::kOk);
}

}  // namespace tandrel
