#pragma once

#include <string>

#include "BatchItem.h"
#include "CModalDialog.h"

namespace tandrel {

// The dialog where the user enters or changes one batch entry: a description, a source and a
// destination directory, each directory with a "..." that browses for it.
//
// OK (the default button, so Enter as well) reads the fields, trims the blanks around both
// directories, and checks the source and then the destination; the first that does not name an
// existing directory is reported in a box naming its field ("From", "To"), and the dialog stays
// open. A directory typed as a relative path is taken from the current directory. When both
// exist, the "Exclude" field is read (patterns separated by ";", see FieldPatterns) and each
// pattern checked; the first that cannot be used is named in a box and the dialog stays open.
// Then the item gets the three texts, the patterns and the "Include names beginning with '.'"
// switch at once and the dialog is accepted. Cancel, Escape and
// the close box leave the item as it was. Only the texts of the item are touched, never its
// check state.
//
// Window thread only. `item` belongs to the caller and must outlive the dialog.
class CBatchItemDlg : public CModalDialog {
    Q_OBJECT

  public:
    // `newEntry` starts with empty fields; otherwise the fields show the item's texts.
    CBatchItemDlg(BatchItem* item, bool newEntry, QWidget* parent = nullptr);
    ~CBatchItemDlg() override;

    // The fields as last read or set (bytes).
    const std::string& Description() const { return m_strDescription; }
    const std::string& From() const { return m_strFrom; }
    const std::string& To() const { return m_strTo; }
    // The "Exclude" field's text (bytes).
    const std::string& ExcludeText() const { return m_strExclude; }

  private:
    void BuildControls();
    // `save` true reads the fields into the members, false fills the fields.
    void DoDataExchange(bool save);
    void OnOK();
    void OnBrowseFrom();
    void OnBrowseTo();
    // Lets the user choose a directory for the field `editId`; the chosen one replaces
    // `member` and the field's text.
    void Browse(int titleId, int editId, std::string* member);

    std::string m_strDescription;
    std::string m_strTo;
    std::string m_strFrom;
    std::string m_strExclude;
    bool m_bIncludeHidden = false;
    BatchItem* m_pItem;
};

}  // namespace tandrel
