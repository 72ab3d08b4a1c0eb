#include "CBatchListCtrl.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeWidget>
#include <iterator>

#include "AppImages.h"
#include "FieldText.h"
#include "ResourceIds.h"
#include "Translations.h"

namespace tandrel {

namespace {

// Each column keeps its bytes here; the shown text is their decoding.
constexpr int kBytesRole = Qt::UserRole;
constexpr int kCheckRole = Qt::UserRole + 1;
// The entry's filters travel with its row, unseen, so that saving the list keeps them.
constexpr int kExcludeRole = Qt::UserRole + 2;
constexpr int kHiddenRole = Qt::UserRole + 3;
constexpr QRgb kTransparent = qRgb(255, 0, 0);

// Box `index` (0 empty, 1 checked) drawn `pixels` wide and high, the shapes of bitmap 147 at
// that scale: the 11 x 11 box with its grey frame at (3, 2) and the check mark, smooth edges.
QPixmap DrawStateImage(int index, int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = pixels / static_cast<double>(CBatchListCtrl::kStateImageSize);
    painter.scale(unit, unit);
    painter.fillRect(QRectF(3, 2, 11, 11), QColor(0x80, 0x80, 0x80));
    painter.fillRect(QRectF(4, 3, 9, 9), Qt::white);
    if (index == 1) {
        const QPointF mark[] = {{5, 6},  {7, 8},  {11, 4}, {12, 4},
                                {12, 7}, {8, 11}, {7, 11}, {5, 9}};
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawPolygon(mark, static_cast<int>(std::size(mark)));
    }
    painter.end();
    return QPixmap::fromImage(image);
}

// The same image in every mode, so that a selected row's box is not tinted: the bitmap itself
// at its own size, and drawn anew for each larger device pixel ratio, so the box is sharp on
// a scaled screen rather than an enlarged bitmap.
QIcon StateIcon(int index) {
    const QPixmap image =
        LoadBitmapImage(IDB_CHECKBOXES, index, CBatchListCtrl::kStateImageSize, kTransparent);
    QIcon icon;
    for (const QIcon::Mode mode :
         {QIcon::Normal, QIcon::Selected, QIcon::Active, QIcon::Disabled}) {
        icon.addPixmap(image, mode);
        for (const int pixels : {20, 24, 28, 32, 40, 48, 64}) {
            icon.addPixmap(DrawStateImage(index, pixels), mode);
        }
    }
    return icon;
}

// Shows a cell's whole text as its tooltip when the column is too narrow for it, and no
// tooltip when it fits.
class CCutTextTips : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        if (index.isValid() && IsCut(option, index)) {
            QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view,
                               option.rect);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }

    // The check state is there for assistive technology and the keyboard; the row shows it as
    // its state image, so the style's own check box is not drawn, and the delegate does not
    // toggle it (the list does, as a click on the image would).
    bool editorEvent(QEvent* /*event*/, QAbstractItemModel* /*model*/,
                     const QStyleOptionViewItem& /*option*/,
                     const QModelIndex& /*index*/) override {
        return false;
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
    }

  public:
    // Whether the cell needs more width than it has to show all of its text.
    bool IsCut(const QStyleOptionViewItem& option, const QModelIndex& index) const {
        return sizeHint(option, index).width() > option.rect.width();
    }
};

void SetText(QTreeWidgetItem* row, int column, const std::string& bytes) {
    row->setData(column, kBytesRole,
                 QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    row->setText(column, ShownText(bytes));
}

std::string Text(const QTreeWidgetItem* row, int column) {
    return row->data(column, kBytesRole).toByteArray().toStdString();
}

}  // namespace

CBatchListCtrl::CBatchListCtrl(QTreeWidget* list, QObject* parent)
    : QObject(parent), m_pList(list), m_unchecked(StateIcon(0)), m_checked(StateIcon(1)) {
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setSortingEnabled(false);
    m_pList->setRootIsDecorated(false);
    m_pList->setItemsExpandable(false);
    m_pList->setIconSize(QSize(kStateImageSize, kStateImageSize));
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->header()->setSectionsMovable(true);
    // A tree keeps its first column in place unless told otherwise; every column here moves.
    m_pList->header()->setFirstSectionMovable(true);
    m_pList->header()->setStretchLastSection(false);
    m_pList->header()->setSortIndicatorShown(false);
    m_pList->setItemDelegate(new CCutTextTips(m_pList));
    m_pList->viewport()->installEventFilter(this);
    m_pList->installEventFilter(this);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        emit DoubleClicked(m_pList->indexOfTopLevelItem(item));
    });
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CBatchListCtrl::SelectionChanged);
}

CBatchListCtrl::~CBatchListCtrl() {
    m_pList->viewport()->removeEventFilter(this);
    m_pList->removeEventFilter(this);
}

void CBatchListCtrl::SetUpColumns(const std::function<int(int, int)>& width) {
    QStringList headers;
    for (int c = 0; c < 3; ++c) {
        headers << WindowString(IDS_COLUMN_DESCRIPTION + c);
    }
    m_pList->setColumnCount(3);
    m_pList->setHeaderLabels(headers);
    const QFontMetrics metrics(m_pList->font());
    for (int c = 0; c < 3; ++c) {
        m_pList->headerItem()->setTextAlignment(c, Qt::AlignLeft | Qt::AlignVCenter);
        m_pList->header()->resizeSection(c, width(c, metrics.horizontalAdvance(headers[c]) + 20));
    }
}

int CBatchListCtrl::ColumnWidth(int column) const {
    return m_pList->header()->sectionSize(column);
}

int CBatchListCtrl::GetItemCount() const {
    return m_pList->topLevelItemCount();
}

QTreeWidgetItem* CBatchListCtrl::Row(int row) const {
    return m_pList->topLevelItem(row);
}

void CBatchListCtrl::Fill(QTreeWidgetItem* row, const BatchItem& item) {
    SetText(row, 0, item.strDescription);
    SetText(row, 1, item.strFrom);
    SetText(row, 2, item.strTo);
    row->setData(0, kCheckRole, static_cast<int>(item.nCheck));
    QList<QByteArray> patterns;
    for (const std::string& p : item.listExclude) {
        patterns.append(QByteArray::fromStdString(p));
    }
    row->setData(0, kExcludeRole, QVariant::fromValue(patterns));
    row->setData(0, kHiddenRole, item.bIncludeHidden);
    ShowCheck(row, item.nCheck);
}

void CBatchListCtrl::ShowCheck(QTreeWidgetItem* row, BatchCheckState state) {
    const bool box = state == kBatchChecked || state == kBatchUnchecked;
    row->setData(0, kCheckRole, static_cast<int>(state));
    row->setIcon(0, state == kBatchChecked ? m_checked : box ? m_unchecked : QIcon());
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (box) {
        flags |= Qt::ItemIsUserCheckable;
    }
    row->setFlags(flags);
    row->setData(0, Qt::CheckStateRole,
                 box ? QVariant(state == kBatchChecked ? Qt::Checked : Qt::Unchecked) : QVariant());
}

int CBatchListCtrl::InsertItem(const BatchItem& item) {
    auto* row = new QTreeWidgetItem();
    Fill(row, item);
    m_pList->addTopLevelItem(row);
    return m_pList->indexOfTopLevelItem(row);
}

void CBatchListCtrl::SetItem(int row, const BatchItem& item) {
    if (QTreeWidgetItem* r = Row(row)) {
        Fill(r, item);
    }
}

void CBatchListCtrl::GetItem(int row, BatchItem* item) const {
    const QTreeWidgetItem* r = Row(row);
    if (r == nullptr) {
        return;
    }
    item->nCheck = static_cast<BatchCheckState>(r->data(0, kCheckRole).toInt());
    item->strDescription = Text(r, 0);
    item->strFrom = Text(r, 1);
    item->strTo = Text(r, 2);
    item->listExclude.clear();
    for (const QByteArray& p : r->data(0, kExcludeRole).value<QList<QByteArray>>()) {
        item->listExclude.push_back(p.toStdString());
    }
    item->bIncludeHidden = r->data(0, kHiddenRole).toBool();
}

void CBatchListCtrl::DeleteItem(int row) {
    delete m_pList->takeTopLevelItem(row);
}

int CBatchListCtrl::GetSelectedItem() const {
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    return selected.isEmpty() ? -1 : m_pList->indexOfTopLevelItem(selected.front());
}

void CBatchListCtrl::ClearSelection() {
    m_pList->clearSelection();
}

bool CBatchListCtrl::GetCheck(int row) const {
    const QTreeWidgetItem* r = Row(row);
    return r != nullptr && r->data(0, kCheckRole).toInt() == kBatchChecked;
}

void CBatchListCtrl::SetCheck(int row, bool checked) {
    if (QTreeWidgetItem* r = Row(row)) {
        ShowCheck(r, checked ? kBatchChecked : kBatchUnchecked);
    }
}

QRect CBatchListCtrl::StateImageRect(int row) const {
    const QTreeWidgetItem* r = Row(row);
    if (r == nullptr) {
        return QRect();
    }
    // Lay the cell out the way the list's item delegate does, and ask the style where the
    // image goes.
    QStyleOptionViewItem option;
    option.initFrom(m_pList);
    option.widget = m_pList;
    option.rect = m_pList->visualItemRect(r);
    option.rect.setLeft(m_pList->header()->sectionViewportPosition(0));
    option.rect.setWidth(m_pList->header()->sectionSize(0));
    option.features = QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
    option.decorationSize = m_pList->iconSize();
    option.decorationPosition = QStyleOptionViewItem::Left;
    option.decorationAlignment = Qt::AlignCenter;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.font = m_pList->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.icon = r->icon(0);
    option.text = r->text(0);
    option.index = m_pList->model()->index(row, 0);
    return m_pList->style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, m_pList);
}

int CBatchListCtrl::HitTestStateImage(const QPoint& pos) const {
    const QModelIndex index = m_pList->indexAt(pos);
    if (!index.isValid()) {
        return -1;
    }
    const int row = index.row();
    const QTreeWidgetItem* r = Row(row);
    if (r == nullptr || r->icon(0).isNull()) {
        return -1;
    }
    return StateImageRect(row).contains(pos) ? row : -1;
}

bool CBatchListCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        QTreeWidgetItem* current = m_pList->currentItem();
        if ((key->key() == Qt::Key_Space || key->key() == Qt::Key_Select) &&
            key->modifiers() == Qt::NoModifier && current != nullptr &&
            current->flags().testFlag(Qt::ItemIsUserCheckable)) {
            emit ToggleRequested(m_pList->indexOfTopLevelItem(current));
            return true;
        }
    }
    if (watched == m_pList->viewport()) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            m_bSecondClick = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                if (m_bSecondClick) {
                    m_bSecondClick = false;
                } else {
                    const QPoint pos = mouse->position().toPoint();
                    const QModelIndex index = m_pList->indexAt(pos);
                    emit Clicked(index.isValid() ? index.row() : -1,
                                 index.isValid() ? index.column() : -1, pos);
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tandrel
