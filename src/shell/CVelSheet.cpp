#include "CVelSheet.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "AppImages.h"
#include "CAboutDlg.h"
#include "CBackup.h"
#include "CMessageBox.h"
#include "CSheetPage.h"
#include "ResourceIds.h"
#include "StringTable.h"

namespace tandrel {

namespace {

constexpr int kMargin = 7;     // between the window's edge and the tabs
constexpr int kBarInset = 10;  // between the window's sides and the bar
constexpr int kBarGap = 5;     // between the bottom of the tabs' area and the bar
constexpr int kBarHeight = 16;

uint64_t PackRange(int lower, int upper) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(lower)) << 32) |
           static_cast<uint32_t>(upper);
}

}  // namespace

CVelSheet::CVelSheet(const QString& caption, int extraWidth, int extraHeight, QWidget* parent,
                     int firstPage, CJobQueue& queue)
    : QDialog(parent),
      m_nExtraWidth(extraWidth),
      m_nExtraHeight(extraHeight),
      m_nFirstPage(firstPage),
      m_queue(queue),
      m_tabs(new QTabWidget(this)),
      m_progress(new QProgressBar(this)) {
    setObjectName("sheet");
    setWindowTitle(caption);
    setWindowIcon(LoadAppIcon(IDI_TANDREL));
    // A window of its own with minimize, maximize and close boxes, and no context-help button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    m_tabs->setObjectName("tabs");
    m_progress->setObjectName("progress");
    m_progress->setAccessibleName(tr("Run progress"));
    m_progress->setProperty("controlId", IDC_PROGRESS);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFixedHeight(kBarHeight);
    m_progress->hide();

    // The pages take all the room; the bar runs along the foot, in the strip the extra height
    // adds below them, 10 pixels in from the sides.
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(kBarInset - kMargin, 0, kBarInset - kMargin, 0);
    bar->addWidget(m_progress, 1);
    m_bar = bar;
    auto* sheet = new QVBoxLayout(this);
    const int below = std::max(0, m_nExtraHeight - kBarGap - kBarHeight);
    sheet->setContentsMargins(kMargin, kMargin, kMargin + m_nExtraWidth, below);
    sheet->setSpacing(kMargin + kBarGap);
    sheet->addWidget(m_tabs, 1);
    sheet->addLayout(bar);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CVelSheet::OnCurrentChanged);
}

CVelSheet::~CVelSheet() {
    // The tabs and any pages still here go with the QWidget part, after this object's own
    // part: nothing of theirs may call back into it.
    QObject::disconnect(m_tabs, nullptr, this, nullptr);
    for (CSheetPage* page : m_pages) {
        QObject::disconnect(page, nullptr, this, nullptr);
    }
}

void CVelSheet::AddPage(CSheetPage* page) {
    m_pages.push_back(page);
    connect(page, &QObject::destroyed, this, [this, page] { OnPageDestroyed(page); });
    // Adding the first tab makes it current; the pages are told only once the window exists.
    const QSignalBlocker block(m_tabs);
    m_tabs->addTab(page, page->Caption());
}

CSheetPage* CVelSheet::GetPage(int index) const {
    if (index < 0 || index >= GetPageCount()) {
        return nullptr;
    }
    return m_pages[static_cast<size_t>(index)];
}

CSheetPage* CVelSheet::GetActivePage() const {
    return GetPage(m_nActive);
}

void CVelSheet::SetActivePage(int index) {
    if (index >= 0 && index < GetPageCount()) {
        m_tabs->setCurrentIndex(index);
    }
}

void CVelSheet::Create() {
    if (!m_bCreated) {
        m_bCreated = true;
        OnInitDialog();
    }
    show();
}

int CVelSheet::DoModal() {
    Create();
    return exec();
}

bool CVelSheet::OnInitDialog() {
    m_progress->show();
    const int first = std::clamp(m_nFirstPage, 0, std::max(0, GetPageCount() - 1));
    if (GetPageCount() > 0) {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(first);
    }
    OnCurrentChanged(first);
    UpdateMinimumSize();
    // The size the window had when it was last closed, else its usual size; never smaller
    // than its pages need.
    if (m_placement.isEmpty() || !restoreGeometry(m_placement)) {
        resize(minimumSize());
    }
    resize(size().expandedTo(minimumSize()));
    return true;
}

QSize CVelSheet::DefaultSize() const {
    return QSize(kDefaultWidth + m_nExtraWidth, kDefaultHeight + m_nExtraHeight - 30);
}

void CVelSheet::UpdateMinimumSize() {
    if (layout() == nullptr || m_bUpdatingMinimum) {
        return;
    }
    m_bUpdatingMinimum = true;
    // The pages' layouts say what they need at the current font; the usual size is the least.
    const QSize need = layout()->totalMinimumSize().expandedTo(DefaultSize());
    if (need != minimumSize()) {
        setMinimumSize(need);
    }
    m_bUpdatingMinimum = false;
}

void CVelSheet::SetPlacement(const QByteArray& placement) {
    m_placement = placement;
}

QByteArray CVelSheet::Placement() const {
    return saveGeometry();
}

bool CVelSheet::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    // A page built later, or a new font, changes what the pages need.
    if (event->type() == QEvent::LayoutRequest && m_bCreated) {
        UpdateMinimumSize();
    }
    return handled;
}

void CVelSheet::OnPageDestroyed(CSheetPage* page) {
    // Pages go at shutdown, before the sheet. Their tabs go with them; no other page is
    // activated (and built) on the way out.
    m_bTearingDown = true;
    const auto it = std::find(m_pages.begin(), m_pages.end(), page);
    if (it == m_pages.end()) {
        return;
    }
    const int index = static_cast<int>(it - m_pages.begin());
    m_pages.erase(it);
    if (index == m_nActive) {
        m_nActive = -1;
    } else if (index < m_nActive) {
        --m_nActive;
    }
}

void CVelSheet::OnCurrentChanged(int index) {
    if (m_bTearingDown || index == m_nActive || index < 0 || index >= GetPageCount()) {
        return;
    }
    if (CSheetPage* old = GetActivePage()) {
        old->Deactivate();
    }
    m_nActive = index;
    GetActivePage()->Activate();
}

QString CVelSheet::SavePages() {
    QStringList untold;
    for (CSheetPage* page : m_pages) {
        const QString failure = page->SaveChanges();
        if (!failure.isEmpty() && !page->FailureTold()) {
            page->SetFailureTold();
            untold << failure;
        }
    }
    return untold.join(QStringLiteral("\n\n"));
}

void CVelSheet::done(int result) {
    if (m_bClosing) {
        return;
    }
    m_bClosing = true;
    if (m_queue.m_pThread != nullptr) {
        m_queue.m_pThread->CancelRun();
    }
    if (const QString failures = SavePages(); !failures.isEmpty()) {
        CMessageBox::Show(this, failures, CMessageBox::Icon::kWarning, CMessageBox::Buttons::kOk);
    }
    m_bClosing = false;
    QDialog::done(result);
}

void CVelSheet::OnSysCommand(int command) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

void CVelSheet::FillWindowMenu(QMenu* menu) {
    QAction* minimize = menu->addAction(tr("Mi&nimize"));
    connect(minimize, &QAction::triggered, this, &QWidget::showMinimized);
    QAction* close = menu->addAction(tr("&Close"));
    connect(close, &QAction::triggered, this, &QWidget::close);
    const QString about = QString::fromUtf8(LoadString(IDS_ABOUTBOX));
    if (!about.isEmpty()) {
        menu->addSeparator();
        QAction* entry = menu->addAction(about);
        entry->setObjectName("aboutEntry");
        connect(entry, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    }
}

void CVelSheet::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    FillWindowMenu(&menu);
    menu.exec(event->globalPos());
}

void CVelSheet::keyPressEvent(QKeyEvent* event) {
    // Escape would close the program (and stop a run); only the close box and the window
    // menu do that.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CVelSheet::SetProgressRange(int lower, int upper) {
    m_range.store(PackRange(lower, upper));
    PostProgress();
}

void CVelSheet::SetProgressPos(int pos) {
    m_pos.store(pos);
    PostProgress();
}

void CVelSheet::PostProgress() {
    if (!m_progressPosted.exchange(true)) {
        QMetaObject::invokeMethod(this, &CVelSheet::ShowProgress, Qt::QueuedConnection);
    }
}

void CVelSheet::ShowProgress() {
    // Cleared before the values are read: a change stored after this point posts again.
    m_progressPosted.store(false);
    const uint64_t range = m_range.load();
    const int lower = static_cast<int>(static_cast<uint32_t>(range >> 32));
    const int upper = static_cast<int>(static_cast<uint32_t>(range));
    const int pos = m_pos.load();
    if (upper <= lower) {
        // An empty range would make the bar show "busy"; a run with nothing to count shows an
        // empty bar.
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        return;
    }
    m_progress->setRange(lower, upper);
    m_progress->setValue(std::clamp(pos, lower, upper));
}

void CVelSheet::PostJobsDone() {
    QMetaObject::invokeMethod(this, &CVelSheet::OnJobsDone, Qt::QueuedConnection);
}

void CVelSheet::OnJobsDone() {
    ShowProgress();
    m_queue.m_bRunning = false;
    if (CSheetPage* page = GetActivePage()) {
        page->UpdateRunState(0);
    }
}

}  // namespace tandrel
