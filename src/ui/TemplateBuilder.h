#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QWidget>

#include "DialogTemplate.h"

namespace tandrel {

// Turns a dialog template into widgets. Sizes in dialog units are converted with the
// template's font: a horizontal unit is a quarter of the font's average character width (over
// the 52 Latin letters), a vertical unit an eighth of its height.
//
// Every control gets the template's object name and the dynamic property "controlId", so that
// the window code (FindControl) and the tests find it. Window thread only.
class TemplateBuilder {
  public:
    explicit TemplateBuilder(const DialogTemplate& tmpl);

    // The font a template asks for. "Arial" is asked for by name (the font configuration maps
    // it to its metric twin); "MS Sans Serif", "System" and no face give the desktop's default
    // sans face at the template's size.
    static QFont TemplateFont(const DialogTemplate& tmpl);

    const QFont& Font() const { return m_font; }
    // The dialog units of the template's font, in pixels: width of 4 units, height of 8 units.
    QSize BaseUnits() const { return m_base; }
    QRect ToPixels(int x, int y, int cx, int cy) const;
    // The template's own size in pixels.
    QSize DialogSize() const;

    // Creates the template's controls as children of `parent` (in tab order) and sets the
    // template's font on `parent`. "&" in a label marks its mnemonic, which leads to the next
    // control that takes the focus, unless the label has kStyleNoPrefix.
    void Build(QWidget* parent) const;

  private:
    QWidget* MakeControl(const ControlTemplate& c, QWidget* parent) const;

    const DialogTemplate& m_tmpl;
    QFont m_font;
    QSize m_base;
};

// The child of `parent` with control id `id`, or nullptr.
QWidget* FindControl(const QWidget* parent, int id);

}  // namespace tandrel
