#include "CVelSheet.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "AppImages.h"
#include "CAboutDlg.h"
#include "CBackup.h"
#include "CMessageBox.h"
#include "CSheetPage.h"
#include "FieldText.h"
#include "ResourceIds.h"
#include "RunNotice.h"
#include "Translations.h"

namespace tandrel {

namespace {

constexpr int kMargin = 7;     // between the window's edge and the tabs
constexpr int kBarInset = 10;  // between the window's sides and the bar
constexpr int kBarGap = 5;     // between the bottom of the tabs' area and the bar
constexpr int kBarHeight = 16;

// A label that, given less room than its text needs, shows as much as fits followed by "…"
// instead of a word cut in half. Its text stays whole.
class ShortenedLabel : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect room = contentsRect();
        if (fontMetrics().horizontalAdvance(text()) <= room.width()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(room, static_cast<int>(alignment()),
                         fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
    }
};

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
      m_progress(new QProgressBar(this)),
      m_strCaption(caption),
      m_notify(SendDesktopNotification),
      m_clock([] {
          static QElapsedTimer started;
          if (!started.isValid()) {
              started.start();
          }
          return started.elapsed();
      }) {
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
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(kProgressIntervalMs);
    connect(m_progressTimer, &QTimer::timeout, this, &CVelSheet::ShowProgress);

    // The pages take all the room; the bar runs along the foot, in the strip the extra height
    // adds below them, 10 pixels in from the sides.
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(kBarInset - kMargin, 0, kBarInset - kMargin, 0);
    bar->addWidget(m_progress, 1, Qt::AlignTop);
    m_outcome = new ShortenedLabel(this);
    m_outcome->setObjectName("outcome");
    m_outcome->setProperty("controlId", IDC_OUTCOME);
    // Squeezed rather than widening the window: it then ends in "…", and the whole text is its
    // tool tip (and what screen readers read).
    m_outcome->setMinimumWidth(1);
    bar->addWidget(m_outcome, 0, Qt::AlignTop);
    m_stop = new QPushButton(tr("&Stop"), this);
    m_stop->setObjectName("stop");
    m_stop->setProperty("controlId", IDC_STOP);
    m_stop->setAutoDefault(false);
    m_stop->setEnabled(false);
    // The button is as high as it needs; the bar keeps its height at the top of the row.
    const int rowHeight = std::max(kBarHeight, m_stop->sizeHint().height());
    m_stop->setFixedHeight(rowHeight);
    bar->addWidget(m_stop);
    connect(m_stop, &QPushButton::clicked, this, &CVelSheet::OnStop);
    m_bar = bar;
    auto* sheet = new QVBoxLayout(this);
    const int below = std::max(0, m_nExtraHeight - kBarGap - rowHeight);
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
    connect(page, &CSheetPage::RunStarted, this, &CVelSheet::OnRunStarted);
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
    if (index == StatusPageIndex()) {
        MarkStatusTab(false);
    }
}

int CVelSheet::StatusPageIndex() const {
    for (int i = 0; i < GetPageCount(); ++i) {
        if (m_pages[static_cast<size_t>(i)]->PageId() == IDD_PAGE_STATUS) {
            return i;
        }
    }
    return -1;
}

void CVelSheet::MarkStatusTab(bool mark) {
    const int index = StatusPageIndex();
    if (index < 0 || mark == m_bStatusMarked) {
        return;
    }
    m_bStatusMarked = mark;
    m_tabs->setTabIcon(index, mark ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    m_tabs->tabBar()->setTabTextColor(index, mark ? QColor(Qt::red) : QColor());
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
    m_bStopAsked = true;
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
    const QString about = WindowString(IDS_ABOUTBOX);
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
    // Escape would close the program; only the close box and the window menu do that. During
    // a run it stops the run, as "Stop" does.
    if (event->key() == Qt::Key_Escape) {
        if (m_queue.m_bRunning) {
            OnStop();
        }
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
    // One event a run: from then on the window's own timer shows the values.
    if (!m_progressWatched.exchange(true)) {
        QMetaObject::invokeMethod(this, &CVelSheet::OnProgressStarted, Qt::QueuedConnection);
    }
}

void CVelSheet::OnProgressStarted() {
    ShowProgress();
    m_progressTimer->start();
}

void CVelSheet::ShowProgress() {
    const uint64_t range = m_range.load();
    const int lower = static_cast<int>(static_cast<uint32_t>(range >> 32));
    const int upper = static_cast<int>(static_cast<uint32_t>(range));
    if (upper == kCounting) {
        SetBar(0, 0, 0);  // busy until the total is known
    } else if (upper <= lower) {
        // An empty range would make the bar show "busy"; a run with nothing to count shows an
        // empty bar.
        SetBar(0, 1, 0);
    } else {
        SetBar(lower, upper, std::clamp(m_pos.load(), lower, upper));
    }
}

void CVelSheet::SetBar(int lower, int upper, int value) {
    if (m_progress->minimum() != lower || m_progress->maximum() != upper) {
        m_progress->setRange(lower, upper);
    }
    m_progress->setValue(value);
}

void CVelSheet::PostJobsDone() {
    QMetaObject::invokeMethod(this, &CVelSheet::OnJobsDone, Qt::QueuedConnection);
}

void CVelSheet::OnJobsDone() {
    m_progressTimer->stop();
    // The notice comes after the last progress change: the bar shows where the worker left it
    // (back at 0), and never "busy" once the run is over.
    if (static_cast<int>(static_cast<uint32_t>(m_range.load())) == kCounting) {
        SetBar(0, 1, 0);
    } else {
        ShowProgress();
    }
    // The next run's first change posts again.
    m_progressWatched.store(false);
    m_queue.m_bRunning = false;
    m_stop->setEnabled(false);
    m_bStopAsked = false;
    ShowOutcome();
    m_bHaveSummary = false;  // the next run hands its own
    if (CSheetPage* page = GetActivePage()) {
        page->UpdateRunState(0);
    }
}

void CVelSheet::RunEnded(const RunSummary& summary) {
    // Queued before the end-of-run notice, so it arrives first.
    QMetaObject::invokeMethod(
        this,
        [this, summary] {
            m_summary = summary;
            m_bHaveSummary = true;
        },
        Qt::QueuedConnection);
}

void CVelSheet::OnRunStarted(int kind) {
    m_bStopAsked = false;
    m_bHaveSummary = false;
    m_nStartedAt = m_clock();
    m_stop->setEnabled(true);
    m_outcome->clear();
    setWindowTitle(m_strCaption);
    if (static_cast<RunKind>(kind) == RunKind::kPreview) {
        SetActivePage(StatusPageIndex());
    }
}

void CVelSheet::OnStop() {
    if (!m_queue.m_bRunning) {
        return;
    }
    m_bStopAsked = true;
    m_queue.StopRun();
}

void CVelSheet::ShowOutcome() {
    if (!m_bHaveSummary) {
        return;
    }
    const RunSummary& s = m_summary;
    const bool preview = m_queue.m_nRunKind == RunKind::kPreview;
    // The window's wording of SummaryText (which tandrel-cli prints, always in English).
    QString text =
        (s.refused == 1 ? tr("%1 copied, %2 deleted, %3 moved, %4 failed, %5 job refused")
                        : tr("%1 copied, %2 deleted, %3 moved, %4 failed, %5 jobs refused"))
            .arg(s.copied)
            .arg(s.deleted)
            .arg(s.moved)
            .arg(s.failed)
            .arg(s.refused);
    if (s.stopped) {
        text = tr("Stopped: %1").arg(text);
    } else if (preview) {
        text = tr("Preview: %1").arg(text);
    }
    m_outcome->setText(text);
    m_outcome->setToolTip(text);
    // The plain caption when all went well: it is also the name the window is found by.
    QStringList problems;
    if (s.failed > 0) {
        problems << tr("%1 failed").arg(s.failed);
    }
    if (s.refused > 0) {
        problems << tr("%1 refused").arg(s.refused);
    }
    setWindowTitle(problems.isEmpty()
                       ? m_strCaption
                       : m_strCaption + QStringLiteral(" \u2014 ") + problems.join(", "));
    if (s.HasProblems() && GetActivePage() != GetPage(StatusPageIndex())) {
        MarkStatusTab(true);
    }
    // A long run that ends while the user looks elsewhere is announced on the desktop.
    if (m_clock() - m_nStartedAt > kNotifyAfterMs && !isActiveWindow() && m_notify) {
        m_notify(problems.isEmpty() ? tr("Tandrel: the run has ended")
                                    : tr("Tandrel: the run has ended, %1").arg(problems.join(", ")),
                 text);
    }
}

bool CVelSheet::AskBeforeDeleting(const DeleteQuestion& question) {
    QMetaObject::invokeMethod(
        this, [this, question] { OnAskBeforeDeleting(question); }, Qt::QueuedConnection);
    return true;
}

void CVelSheet::OnAskBeforeDeleting(const DeleteQuestion& q) {
    if (m_bStopAsked) {
        return;  // the stop already ended the wait
    }
    const bool move = q.action == kActionMove;
    const QString job = ShownText(q.source) + QStringLiteral(" => ") + ShownText(q.dest);
    const QString text =
        move ? tr("The job\n%1\nwould move %2 of the %3 entries the destination holds into "
                  "the recycle directory.\n\nMove them?")
                   .arg(job)
                   .arg(q.entries)
                   .arg(q.held)
             : tr("The job\n%1\nwould delete %2 of the %3 entries the destination "
                  "holds.\n\nDelete them?")
                   .arg(job)
                   .arg(q.entries)
                   .arg(q.held);
    const CMessageBox::Answer answer =
        CMessageBox::Ask(this, text, move ? tr("Move them") : tr("Delete them"),
                         move ? tr("Skip") : tr("Skip the deletions"));
    // A stop or close while the box was open ended the run: nothing is answered, nothing goes.
    if (m_bStopAsked) {
        return;
    }
    m_queue.AnswerDeleteQuestion(
        q.id, answer == CMessageBox::Answer::kYes ? DeleteAnswer::kProceed : DeleteAnswer::kSkip);
}

}  // namespace tandrel
