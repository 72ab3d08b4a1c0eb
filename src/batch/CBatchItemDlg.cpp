#include "CBatchItemDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "CFileChooser.h"
#include "CJobQueue.h"
#include "CMessageBox.h"
#include "Controls.h"
#include "FieldText.h"
#include "PathFilter.h"
#include "ResourceIds.h"
#include "Translations.h"

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
    : CModalDialog(QStringLiteral("Tandrel"), parent), m_pItem(item) {
    BuildControls();
    if (!newEntry) {
        m_strDescription = item->strDescription;
        m_strFrom = item->strFrom;
        m_strTo = item->strTo;
        m_strExclude = PatternFieldText(item->listExclude);
        m_bIncludeHidden = item->bIncludeHidden;
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

void CBatchItemDlg::BuildControls() {
    // Made in tab order; placed by the layout below.
    QWidget* description = MakeEdit(this, IDC_ITEM_DESCRIPTION, "itemDescription");
    QWidget* from = MakeEdit(this, IDC_FROM, "itemFrom");
    QWidget* fromBrowse = MakeBrowseButton(this, IDC_FROM_BROWSE, "itemFromBrowse");
    QWidget* to = MakeEdit(this, IDC_TO, "itemTo");
    QWidget* toBrowse = MakeBrowseButton(this, IDC_TO_BROWSE, "itemToBrowse");
    QWidget* exclude = MakeEdit(this, IDC_EXCLUDE, "itemExclude");
    QWidget* hidden = MakeCheckBox(this, IDC_INCLUDE_HIDDEN,
                                   tr("&Include names beginning with '.'"), "itemIncludeHidden");
    QWidget* ok = MakeButton(this, IDC_ITEM_OK, tr("OK"), "itemOk", true);
    QWidget* cancel = MakeButton(this, IDCANCEL, tr("Cancel"), "cancel");
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    QLabel* fromLabel = MakeLabel(this, tr("From"), "itemFromLabel", right);
    QLabel* toLabel = MakeLabel(this, tr("To"), "itemToLabel", right);
    QLabel* excludeLabel = MakeLabel(this, tr("E&xclude"), "itemExcludeLabel", right);
    QLabel* descriptionLabel = MakeLabel(this, tr("Description"), "itemDescriptionLabel", right);
    QLabel* heading = MakeLabel(this, tr("Please enter the batch job"), "itemHeading",
                                Qt::AlignHCenter | Qt::AlignVCenter);
    SetBuddy(descriptionLabel, description);
    SetBuddy(fromLabel, from);
    SetBuddy(toLabel, to);
    SetBuddy(excludeLabel, exclude);
    exclude->setToolTip(
        tr("Names to leave out, separated by ';' (e.g. *.tmp; build/). "
           "Write \\; for a ';' inside a pattern."));
    fromBrowse->setAccessibleName(tr("Browse for the source directory"));
    toBrowse->setAccessibleName(tr("Browse for the destination directory"));
    SameWidth({ok, cancel});
    description->setMinimumWidth(fontMetrics().averageCharWidth() * 40);

    // The heading across the top; the labels right-aligned in a column beside their fields,
    // the directories with their "..."; the exclude patterns and the switch for names beginning
    // with "." below them; OK and Cancel spread along the foot. The fields take the width the
    // dialog is given.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 12, 12, 12);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->addWidget(heading, 0, 0, 1, 2);
    grid->addWidget(descriptionLabel, 1, 0);
    grid->addWidget(description, 1, 1);
    grid->setRowMinimumHeight(2, 8);
    grid->addWidget(fromLabel, 3, 0);
    grid->addLayout(FieldRow(from, fromBrowse), 3, 1);
    grid->addWidget(toLabel, 4, 0);
    grid->addLayout(FieldRow(to, toBrowse), 4, 1);
    grid->addWidget(excludeLabel, 5, 0);
    grid->addWidget(exclude, 5, 1);
    grid->addWidget(hidden, 6, 1);
    grid->setRowMinimumHeight(7, 6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(2);
    buttons->addWidget(ok);
    buttons->addStretch(3);
    buttons->addWidget(cancel);
    buttons->addStretch(3);
    grid->addLayout(buttons, 8, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    FinishLayout();
    setMaximumHeight(sizeHint().height());
}

void CBatchItemDlg::DoDataExchange(bool save) {
    Exchange(Edit(this, IDC_ITEM_DESCRIPTION), &m_strDescription, save);
    Exchange(Edit(this, IDC_TO), &m_strTo, save);
    Exchange(Edit(this, IDC_FROM), &m_strFrom, save);
    Exchange(Edit(this, IDC_EXCLUDE), &m_strExclude, save);
    if (auto* hidden = qobject_cast<QCheckBox*>(FindControl(this, IDC_INCLUDE_HIDDEN))) {
        if (save) {
            m_bIncludeHidden = hidden->isChecked();
        } else {
            hidden->setChecked(m_bIncludeHidden);
        }
    }
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
    const std::vector<std::string> patterns = FieldPatterns(m_strExclude);
    for (const std::string& pattern : patterns) {
        if (const std::string why = PathFilter::PatternError(pattern); !why.empty()) {
            CMessageBox::Show(this, ShownText(why + "."), CMessageBox::Icon::kWarning,
                              CMessageBox::Buttons::kOk);
            if (QLineEdit* field = Edit(this, IDC_EXCLUDE)) {
                field->setFocus();
            }
            return;
        }
    }
    m_strFrom = from;
    m_strTo = to;
    m_pItem->strDescription = m_strDescription;
    m_pItem->strFrom = m_strFrom;
    m_pItem->strTo = m_strTo;
    m_pItem->listExclude = patterns;
    m_pItem->bIncludeHidden = m_bIncludeHidden;
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
        this, WindowString(titleId), AbsoluteFromHere(TrimBlanks(shown)));
    if (!chosen) {
        return;
    }
    *member = *chosen;
    if (edit != nullptr) {
        edit->setText(ShownText(*member));
    }
}

}  // namespace tandrel
