#pragma once

namespace tandrel {

// What kind of control a template entry makes.
enum class ControlKind {
    kStatic,  // a text label
    kIcon,    // an image from the icon resources (`image` names it)
    kPushButton,
    kDefPushButton,  // the button that Enter presses
    kEdit,           // a one-line text field
    kRadio,          // an automatic radio button
    kCheckBox,       // an automatic check box
    kListView,       // a report-style list with columns
    kLine,           // a sunken horizontal rule
};

// Style bits of a control entry (combine with |).
inline constexpr unsigned kStyleNone = 0;
inline constexpr unsigned kStyleRight = 1u << 0;        // text aligned right
inline constexpr unsigned kStyleCenter = 1u << 1;       // text centred
inline constexpr unsigned kStyleNoPrefix = 1u << 2;     // "&" is shown, not taken as a mnemonic
inline constexpr unsigned kStyleDisabled = 1u << 3;     // created disabled
inline constexpr unsigned kStyleGroup = 1u << 4;        // starts a new group of radio buttons
inline constexpr unsigned kStyleCenterImage = 1u << 5;  // text centred vertically

// One control of a dialog template. Positions are dialog units of the template's font: a
// horizontal unit is a quarter of the font's average character width, a vertical unit an eighth
// of its height.
struct ControlTemplate {
    int id;  // control id; IDC_STATIC (-1) for one nothing refers to
    ControlKind kind;
    const char* text;  // "" for none
    int x, y, cx, cy;  // dialog units
    unsigned style;
    const char* name;  // object name the window code and the tests find it by
    int image;         // icon id for kIcon, 0 otherwise
};

// A dialog or page layout as data: caption, size in dialog units, font, and the controls in
// tab order.
struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;        // dialog units
    const char* face;  // "" for the system's dialog font
    int points;        // font size in points; 0 for the system's dialog font
    const ControlTemplate* controls;
    int controlCount;
};

// The template with id `id`, or nullptr when the program has none by that id. The data is
// static and lives for the whole process.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace tandrel
