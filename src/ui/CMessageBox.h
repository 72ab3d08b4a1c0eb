#pragma once

#include <QString>
#include <optional>

#include "RunConstants.h"

class QWidget;

namespace tandrel {

// The program's modal message boxes: caption "Tandrel", the given icon and buttons. Show
// returns the button the user pressed; Return presses the first (OK, Yes), Escape and the close
// box the last (Cancel, No; OK where it is the only one). Tests
// answer a box instead of a user: SetNextAnswer makes the next Show return that answer at once,
// without showing anything, and every Show (answered or shown) is recorded.
//
// Window thread only.
class CMessageBox {
  public:
    enum class Icon { kWarning, kInformation, kQuestion, kError };
    enum class Buttons { kOk, kOkCancel, kYesNo };
    enum class Answer { kOk, kCancel, kYes, kNo };

    static Answer Show(QWidget* parent, const QString& text, Icon icon = Icon::kWarning,
                       Buttons buttons = Buttons::kOk);
    // A question box whose two buttons say what they do: `yes` (kYes, the one Return presses)
    // and `no` (kNo, also Escape and the close box).
    static Answer Ask(QWidget* parent, const QString& text, const QString& yes, const QString& no);

    // Tests: the next Show returns `answer` without showing a box.
    static void SetNextAnswer(Answer answer);
    // Tests: what the boxes said, and how many there were, since the last Reset.
    static QString LastText();
    static Icon LastIcon();
    static int Count();
    static void Reset();

  private:
    // Show, with the first and last buttons' texts replaced where given.
    static Answer ShowNamed(QWidget* parent, const QString& text, Icon icon, Buttons buttons,
                            const QString& firstText, const QString& lastText);
};

// The text of a failed directory check ("Error: Directory name of 'To' not found..."), shown
// in a warning box with an OK button. `result` is CJobQueue::CheckDirectory's, `fieldId` the
// string id of the field's name.
void ShowDirectoryError(QWidget* parent, DirCheckResult result, int fieldId);

}  // namespace tandrel
