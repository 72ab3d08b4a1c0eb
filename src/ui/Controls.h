#pragma once

#include <QBoxLayout>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTreeWidget>
#include <QWidget>
#include <initializer_list>

namespace tandrel {

// The controls of the pages and dialogs, made the one way they are all made: each gets its
// control id (the dynamic property "controlId", which FindControl and GetDlgItem look up) and
// the object name the window code and the tests find it by. Placing them is left to the
// caller's layouts. Window thread only.

// A push button sized to its text; `isDefault` makes it the button Enter presses. Buttons
// never become default by taking the focus.
QPushButton* MakeButton(QWidget* parent, int id, const QString& text, const char* name,
                        bool isDefault = false);
// The square "..." button beside a path field: as high as the field, no wider.
QPushButton* MakeBrowseButton(QWidget* parent, int id, const char* name);
// A one-line text field that takes the room it is given in width.
QLineEdit* MakeEdit(QWidget* parent, int id, const char* name);
QRadioButton* MakeRadio(QWidget* parent, int id, const QString& text, const char* name);
QCheckBox* MakeCheckBox(QWidget* parent, int id, const QString& text, const char* name);
// A plain-text label ("&" shown as it is unless a buddy is set with SetBuddy).
QLabel* MakeLabel(QWidget* parent, const QString& text, const char* name,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
// A sunken horizontal rule.
QFrame* MakeRule(QWidget* parent, const char* name);
// A report-style list with columns, one row selected at a time.
QTreeWidget* MakeList(QWidget* parent, int id, const char* name);

// Makes `field` the control `label` names: its mnemonic (if it has one) leads there.
void SetBuddy(QLabel* label, QWidget* field);

// A row of a path field and its "..." button, the field taking the extra width.
QBoxLayout* FieldRow(QWidget* field, QWidget* browse);

// The space between a page's edge and its controls, across and down.
inline constexpr int kPageMarginX = 14;
inline constexpr int kPageMarginY = 13;

// Makes Tab go through `order` one after the other (the page's visual order).
void SetTabChain(std::initializer_list<QWidget*> order);

// Gives every button in `buttons` the width of the widest, so that a column of them lines up.
void SameWidth(std::initializer_list<QWidget*> buttons);

// The child of `parent` with control id `id`, or nullptr.
QWidget* FindControl(const QWidget* parent, int id);

}  // namespace tandrel
