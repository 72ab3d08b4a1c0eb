#include "TemplateBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <vector>

#include "AppImages.h"

namespace tandrel {

namespace {

// Rounds a * b / c to the nearest integer, as dialog-unit conversion does.
int MulDiv(int a, int b, int c) {
    return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c);
}

Qt::Alignment TextAlignment(unsigned style) {
    const Qt::Alignment vertical = (style & kStyleCenterImage) ? Qt::AlignVCenter : Qt::AlignTop;
    if (style & kStyleRight) {
        return Qt::AlignRight | vertical;
    }
    if (style & kStyleCenter) {
        return Qt::AlignHCenter | vertical;
    }
    return Qt::AlignLeft | vertical;
}

// Whether a control of this kind takes the focus, so that a label's mnemonic can lead to it.
bool TakesFocus(ControlKind kind) {
    return kind != ControlKind::kStatic && kind != ControlKind::kIcon && kind != ControlKind::kLine;
}

// Whether `text` marks a mnemonic: an "&" that is not part of a doubled "&&".
bool HasMnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'&') {
            if (text[i + 1] != u'&') {
                return true;
            }
            ++i;
        }
    }
    return false;
}

// The text as shown without mnemonic marks: "&&" shows one "&", a single "&" nothing.
QString WithoutMnemonics(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
        } else if (text[i] == u'&') {
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace

TemplateBuilder::TemplateBuilder(const DialogTemplate& tmpl)
    : m_tmpl(tmpl), m_font(TemplateFont(tmpl)) {
    const QFontMetrics fm(m_font);
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_base = QSize((letters / 26 + 1) / 2, fm.height());
}

QFont TemplateBuilder::TemplateFont(const DialogTemplate& tmpl) {
    QFont font = QApplication::font();
    if (tmpl.face != nullptr && std::strcmp(tmpl.face, "Arial") == 0) {
        font = QFont(QStringLiteral("Arial"));
        font.setStyleHint(QFont::SansSerif);
    }
    if (tmpl.points > 0) {
        font.setPointSize(tmpl.points);
    }
    return font;
}

QRect TemplateBuilder::ToPixels(int x, int y, int cx, int cy) const {
    return QRect(MulDiv(x, m_base.width(), 4), MulDiv(y, m_base.height(), 8),
                 MulDiv(cx, m_base.width(), 4), MulDiv(cy, m_base.height(), 8));
}

QSize TemplateBuilder::DialogSize() const {
    return ToPixels(0, 0, m_tmpl.cx, m_tmpl.cy).size();
}

void TemplateBuilder::Build(QWidget* parent) const {
    parent->setFont(m_font);
    std::vector<QWidget*> made;
    made.reserve(static_cast<size_t>(std::max(0, m_tmpl.controlCount)));
    for (int i = 0; i < m_tmpl.controlCount; ++i) {
        const ControlTemplate& c = m_tmpl.controls[i];
        QWidget* w = MakeControl(c, parent);
        w->setObjectName(QString::fromUtf8(c.name));
        w->setProperty("controlId", c.id);
        w->setGeometry(ToPixels(c.x, c.y, c.cx, c.cy));
        w->setEnabled((c.style & kStyleDisabled) == 0);
        w->show();
        made.push_back(w);
    }
    // A label's mnemonic is underlined and moves the focus to the next control in template
    // order that takes it; with no such control the label just shows its text.
    for (int i = 0; i < m_tmpl.controlCount; ++i) {
        const ControlTemplate& c = m_tmpl.controls[i];
        auto* label = qobject_cast<QLabel*>(made[static_cast<size_t>(i)]);
        if (c.kind != ControlKind::kStatic || (c.style & kStyleNoPrefix) != 0 || label == nullptr ||
            !HasMnemonic(label->text())) {
            continue;
        }
        QWidget* buddy = nullptr;
        for (int j = i + 1; j < m_tmpl.controlCount && buddy == nullptr; ++j) {
            if (TakesFocus(m_tmpl.controls[j].kind)) {
                buddy = made[static_cast<size_t>(j)];
            }
        }
        if (buddy != nullptr) {
            label->setBuddy(buddy);
        } else {
            label->setText(WithoutMnemonics(label->text()));
        }
    }
}

QWidget* TemplateBuilder::MakeControl(const ControlTemplate& c, QWidget* parent) const {
    const QString text = QString::fromUtf8(c.text);
    switch (c.kind) {
        case ControlKind::kStatic: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            // "&" stands as it is until Build gives the label the control its mnemonic leads
            // to (not for kStyleNoPrefix).
            label->setText(text);
            label->setAlignment(TextAlignment(c.style));
            return label;
        }
        case ControlKind::kIcon: {
            auto* label = new QLabel(parent);
            label->setPixmap(LoadIconPixmap(c.image));
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::kPushButton:
        case ControlKind::kDefPushButton: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            button->setDefault(c.kind == ControlKind::kDefPushButton);
            return button;
        }
        case ControlKind::kEdit:
            return new QLineEdit(parent);
        case ControlKind::kRadio:
            return new QRadioButton(text, parent);
        case ControlKind::kCheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::kListView: {
            auto* list = new QTreeWidget(parent);
            list->setRootIsDecorated(false);
            list->setUniformRowHeights(true);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->header()->setSectionsClickable(true);
            return list;
        }
        case ControlKind::kLine: {
            auto* line = new QFrame(parent);
            line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
            return line;
        }
    }
    return new QWidget(parent);
}

QWidget* FindControl(const QWidget* parent, int id) {
    const QList<QWidget*> children = parent->findChildren<QWidget*>();
    for (QWidget* w : children) {
        const QVariant v = w->property("controlId");
        if (v.isValid() && v.toInt() == id) {
            return w;
        }
    }
    return nullptr;
}

}  // namespace tandrel
