#include "CBatchItemDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "CFileChooser.h"
#include "CJobQueue.h"
#include "CMessageBox.h"
#include "FieldText.h"
#include "ResourceIds.h"
#include "StringTable.h"
#include "TemplateBuilder.h"

namespace tandrel {

namespace {

QLineEdit* Edit(const QWidget* dialog, int id) {
    return qobject_cast<QLineEdit*>(FindControl(dialog, id));
}

void OnClick(QWidget* dialog, int id, const std::function<void()>& handler) {
    if (auto* button = qobject_cast<QPushButton*>(FindControl(dialog, id))) {
        QObject::connect(button, &QPushButton::clicked, dialog, handler);
    }
}

void Exchange(QLineEdit* edit, std::string* member, bool save) {
    if (edit == nullptr) {
        return;
    }
    if (save) {
        *member = FieldBytes(edit->text(), *member);
    } else {
        edit->setText(ShownText(*member));
    }
}

}  // namespace

CBatchItemDlg::CBatchItemDlg(BatchItem* item, bool newEntry, QWidget* parent)
    : CTemplateDialog(IDD_BATCH_ITEM, parent), m_pItem(item) {
    if (!newEntry) {
        m_strDescription = item->strDescription;
        m_strFrom = item->strFrom;
        m_strTo = item->strTo;
    }
    DoDataExchange(false);
    OnClick(this, IDC_ITEM_OK, [this] { OnOK(); });
    OnClick(this, IDC_FROM_BROWSE, [this] { OnBrowseFrom(); });
    OnClick(this, IDC_TO_BROWSE, [this] { OnBrowseTo(); });
    if (QLineEdit* first = Edit(this, IDC_ITEM_DESCRIPTION)) {
        first->setFocus();
    }
}

CBatchItemDlg::~CBatchItemDlg() = default;

void CBatchItemDlg::DoDataExchange(bool save) {
    Exchange(Edit(this, IDC_ITEM_DESCRIPTION), &m_strDescription, save);
    Exchange(Edit(this, IDC_TO), &m_strTo, save);
    Exchange(Edit(this, IDC_FROM), &m_strFrom, save);
}

void CBatchItemDlg::OnOK() {
    DoDataExchange(true);
    // The fields keep what was typed; what is checked and kept has lost its blanks. A relative
    // name would mean another directory once the program runs elsewhere: keep the directory it
    // names now.
    const std::string from = AbsoluteFromHere(TrimBlanks(m_strFrom));
    const std::string to = AbsoluteFromHere(TrimBlanks(m_strTo));
    const DirCheckResult fromResult = CJobQueue::CheckDirectory(from);
    if (fromResult != kDirExists) {
        ShowDirectoryError(this, fromResult, IDS_FIELD_FROM);
        return;
    }
    const DirCheckResult toResult = CJobQueue::CheckDirectory(to);
    if (toResult != kDirExists) {
        ShowDirectoryError(this, toResult, IDS_FIELD_TO);
        return;
    }
    m_strFrom = from;
    m_strTo = to;
    m_pItem->strDescription = m_strDescription;
    m_pItem->strFrom = m_strFrom;
    m_pItem->strTo = m_strTo;
    accept();
}

void CBatchItemDlg::OnBrowseFrom() {
    Browse(IDS_TITLE_SOURCE, IDC_FROM, &m_strFrom);
}

void CBatchItemDlg::OnBrowseTo() {
    Browse(IDS_TITLE_DEST, IDC_TO, &m_strTo);
}

void CBatchItemDlg::Browse(int titleId, int editId, std::string* member) {
    QLineEdit* edit = Edit(this, editId);
    // The browser opens at the directory the field names, when it names one.
    const std::string shown = edit != nullptr ? FieldBytes(edit->text(), *member) : *member;
    const std::optional<std::string> chosen = CFileChooser::BrowseForFolder(
        this, QString::fromUtf8(LoadString(titleId)), AbsoluteFromHere(TrimBlanks(shown)));
    if (!chosen) {
        return;
    }
    *member = *chosen;
    if (edit != nullptr) {
        edit->setText(ShownText(*member));
    }
}

}  // namespace tandrel
