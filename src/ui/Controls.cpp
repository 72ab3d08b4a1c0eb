#include "Controls.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <algorithm>

#include "ResourceIds.h"

namespace tandrel {

namespace {

template <typename W>
W* Named(W* w, int id, const char* name) {
    w->setObjectName(QString::fromUtf8(name));
    w->setProperty("controlId", id);
    return w;
}

// A "..." button: square, as high as a text field in the same font, never narrower than its
// text. It grows in height with its row rather than standing shorter than the field beside it.
class CBrowseButton : public QPushButton {
  public:
    explicit CBrowseButton(QWidget* parent) : QPushButton(QStringLiteral("..."), parent) {
        setAutoDefault(false);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override {
        QLineEdit probe;
        probe.setFont(font());
        const int side = probe.sizeHint().height();
        return QSize(std::max(side, fontMetrics().horizontalAdvance(QPushButton::text()) + 8),
                     side);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

}  // namespace

QPushButton* MakeButton(QWidget* parent, int id, const QString& text, const char* name,
                        bool isDefault) {
    auto* button = Named(new QPushButton(text, parent), id, name);
    button->setAutoDefault(false);
    button->setDefault(isDefault);
    // Buttons keep their size when the window grows.
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

QPushButton* MakeBrowseButton(QWidget* parent, int id, const char* name) {
    return Named(new CBrowseButton(parent), id, name);
}

QLineEdit* MakeEdit(QWidget* parent, int id, const char* name) {
    auto* edit = Named(new QLineEdit(parent), id, name);
    edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return edit;
}

QRadioButton* MakeRadio(QWidget* parent, int id, const QString& text, const char* name) {
    return Named(new QRadioButton(text, parent), id, name);
}

QCheckBox* MakeCheckBox(QWidget* parent, int id, const QString& text, const char* name) {
    return Named(new QCheckBox(text, parent), id, name);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const char* name, Qt::Alignment align) {
    auto* label = Named(new QLabel(parent), IDC_STATIC, name);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setAlignment(align);
    return label;
}

QFrame* MakeRule(QWidget* parent, const char* name) {
    auto* line = Named(new QFrame(parent), IDC_STATIC, name);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    return line;
}

QTreeWidget* MakeList(QWidget* parent, int id, const char* name) {
    auto* list = Named(new QTreeWidget(parent), id, name);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setSectionsClickable(true);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return list;
}

void SetBuddy(QLabel* label, QWidget* field) {
    label->setBuddy(field);
}

QBoxLayout* FieldRow(QWidget* field, QWidget* browse) {
    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    row->addWidget(browse);
    return row;
}

void SameWidth(std::initializer_list<QWidget*> buttons) {
    int width = 0;
    for (QWidget* b : buttons) {
        width = std::max(width, b->sizeHint().width());
    }
    for (QWidget* b : buttons) {
        b->setMinimumWidth(width);
    }
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

void SetTabChain(std::initializer_list<QWidget*> order) {
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, w);
        }
        previous = w;
    }
}

}  // namespace tandrel
