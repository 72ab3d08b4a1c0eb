#include "CVelApp.h"

#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "BatchListStore.h"
#include "CBackup.h"
#include "CJobQueue.h"
#include "CMessageBox.h"
#include "CPageAbout.h"
#include "CPageBatch.h"
#include "CPageLog.h"
#include "CPageOption.h"
#include "CPageQuick.h"
#include "CSignalCloser.h"
#include "CVelSheet.h"
#include "CWindowServer.h"
#include "DesktopWindow.h"
#include "WindowLink.h"

namespace tandrel {

CVelApp::CVelApp(std::string settingsPath) : m_store(std::move(settingsPath)) {}

CVelApp::~CVelApp() {
    if (m_worker) {
        m_worker->Stop();
        if (theJobQueue.m_pThread == m_worker.get()) {
            theJobQueue.m_pThread = nullptr;
        }
    }
}

void CVelApp::SetWindowLink(UniqueFd lock, std::string socketPath) {
    m_windowLock = std::move(lock);
    m_socketPath = std::move(socketPath);
}

namespace {

// The program whose window is up, for the exit handler, and the window thread.
CVelApp* g_openApp = nullptr;
std::thread::id g_windowThread;

// Whether entry `index` of the page is the one a caller named by its fields.
bool SameEntry(const CPageBatch& page, int index, const std::vector<std::string>& request) {
    BatchItem entry;
    return page.GetEntry(index, &entry) && entry.strDescription == request[2] &&
           entry.strFrom == request[3] && entry.strTo == request[4];
}

// Removes or (un)checks the entry a caller named by its number and its fields.
std::vector<std::string> ChangeEntry(const std::vector<std::string>& request,
                                     const std::function<bool()>& claim) {
    CPageBatch* page = theJobQueue.m_pPageBatch;
    if (page == nullptr) {
        return {"error", "the window is closing"};
    }
    // A dialog holds on to the row it was opened for; the rows must not move under it.
    if (QApplication::activeModalWidget() != nullptr) {
        return {"error", "a dialog is open in the window"};
    }
    if (!page->StoredListRead()) {
        return {"refused", "the window could not read the stored batch list"};
    }
    int number = 0;
    if (!BatchListStore::ParseEntryNumber(request[1], &number) || number > page->EntryCount()) {
        return {"refused", "the window's batch list has no entry " + request[1] +
                               " (it was changed in the window)"};
    }
    if (!SameEntry(*page, number - 1, request)) {
        return {"refused",
                "entry " + request[1] +
                    " in the window is another one (the list was changed in the window)"};
    }
    if (!claim()) {
        return {"error", "the change was taken back, or came without its hand-over token"};
    }
    if (request[0] == "remove") {
        page->RemoveEntry(number - 1);
    } else {
        page->SetEntryCheck(number - 1, request[0] == "check" ? kBatchChecked : kBatchUnchecked);
    }
    return {"ok"};
}

// What the window does for a later start of the program or for tandrel-cli. A change to the
// batch list is made only with the caller's hand-over token (see WindowLink.h).
std::vector<std::string> Answer(CVelSheet& sheet, const std::vector<std::string>& request,
                                const std::function<bool()>& claim) {
    // A later start asks to be shown this window, with the activation token it was given
    // (when it was given one).
    if ((request.size() == 1 || request.size() == 2) && request[0] == "raise") {
        RaiseWindow(sheet, request.size() == 2 ? request[1] : std::string());
        return {"ok"};
    }
    // An entry with filters comes with two more fields: its patterns, one a line, and "1" when
    // names beginning with "." take part.
    if ((request.size() == 4 || request.size() == 6) && request[0] == "add") {
        if (theJobQueue.m_pPageBatch == nullptr) {
            return {"error", "the window is closing"};
        }
        if (!claim()) {
            return {"error", "the change was taken back, or came without its hand-over token"};
        }
        // Shown as a row, or staged until the Batch page is first shown; saved within a second.
        if (request.size() == 6) {
            theJobQueue.m_pPageBatch->AddItem(request[1], request[2], request[3], kBatchChecked,
                                              BatchListStore::SplitPatterns(request[4]),
                                              request[5] == "1");
        } else {
            theJobQueue.m_pPageBatch->AddItem(request[1], request[2], request[3], kBatchChecked);
        }
        return {"ok"};
    }
    if (request.size() == 5 &&
        (request[0] == "remove" || request[0] == "check" || request[0] == "uncheck")) {
        return ChangeEntry(request, claim);
    }
    return {"error", "unknown request"};
}

}  // namespace

void CVelApp::SetRegistryKey(const char* companyKey) {
    // Opening early moves a damaged file aside now, so the user can be told once the window
    // is up; a store that cannot be opened still gives every page its defaults.
    m_store.Open();
    m_storeNotice = m_store.TakeNotice();
    m_profile = std::make_unique<Profile>(m_store, companyKey, Profile::kAppName);
}

bool CVelApp::InitInstance(const std::function<void(CVelSheet&)>& onShown) {
    SetRegistryKey(Profile::kCompanyKey);

    m_worker = std::make_unique<CBackup>(theJobQueue);
    m_worker->Start();
    theJobQueue.m_pThread = m_worker.get();

    auto sheet = std::make_unique<CVelSheet>(QStringLiteral("Tandrel"), 0, 30, nullptr, 0);
    // The pages in tab order; their constructors read their settings from GetProfile().
    auto pageLog = std::make_unique<CPageLog>();
    sheet->AddPage(pageLog.get());
    // The log's own menu (Copy, Select All) goes on with the window's items.
    pageLog->View().SetMenuFiller(
        [window = sheet.get()](QMenu* menu) { window->FillWindowMenu(menu); });
    auto pageBatch = std::make_unique<CPageBatch>(m_store, theJobQueue);
    sheet->AddPage(pageBatch.get());
    auto pageQuick = std::make_unique<CPageQuick>(*m_profile, theJobQueue);
    sheet->AddPage(pageQuick.get());
    auto pageOption = std::make_unique<CPageOption>(*m_profile, theJobQueue);
    sheet->AddPage(pageOption.get());
    auto pageAbout = std::make_unique<CPageAbout>();
    sheet->AddPage(pageAbout.get());

    m_storedPlacement = m_profile->GetProfileString(kPlacementSection, kPlacementEntry, "");
    sheet->SetPlacement(QByteArray::fromBase64(QByteArray::fromStdString(m_storedPlacement)));

    theJobQueue.m_pPageLog = pageLog.get();
    theJobQueue.m_pPageBatch = pageBatch.get();
    theJobQueue.m_pSheet = sheet.get();

    QTimer::singleShot(0, sheet.get(), [this, &sheet, &onShown] {
        if (!m_storeNotice.empty()) {
            CMessageBox::Show(sheet.get(), QString::fromStdString(m_storeNotice),
                              CMessageBox::Icon::kWarning, CMessageBox::Buttons::kOk);
        }
        if (onShown) {
            onShown(*sheet);
        }
    });
    std::unique_ptr<CWindowServer> server;
    if (m_windowLock.valid()) {
        UniqueFd listener;
        if (Status s = ListenWindowSocket(m_socketPath, &listener); s.ok()) {
            server = std::make_unique<CWindowServer>(
                std::move(listener), [&sheet](const std::vector<std::string>& request,
                                              const std::function<bool()>& claim) {
                    return Answer(*sheet, request, claim);
                });
        } else {
            std::fprintf(stderr,
                         "tandrel: other starts and tandrel-cli cannot reach this window (%s)\n",
                         s.ToString().c_str());
        }
    }

    // A logout or a kill closes the window the way its close box does, so nothing is lost.
    auto closer = std::make_unique<CSignalCloser>(sheet.get());
    // The display going away ends the program from inside the loop (the X11 plugin calls
    // exit); the exit handler then stops the run and saves as a close would.
    static const bool handlerSet = std::atexit(&CVelApp::OnExitWhileOpen) == 0;
    if (!handlerSet) {
        std::fputs("tandrel: cannot arrange to save if the display goes away\n", stderr);
    }
    MarkDesktopFile(*sheet);
    m_pSheet = sheet.get();
    g_windowThread = std::this_thread::get_id();
    g_openApp = this;
    sheet->DoModal();
    g_openApp = nullptr;
    SavePlacement(*sheet);
    m_pSheet = nullptr;
    closer.reset();
    server.reset();

    // A run still going is cancelled and waited for before anything it reaches goes away.
    m_worker->Stop();
    // A run posted just before the close may not have taken its jobs yet; none of them runs.
    std::string source;
    std::string dest;
    int flag = 0;
    while (theJobQueue.GetNextJob(&source, &dest, &flag) != 0) {
    }
    theJobQueue.m_pPageLog = nullptr;
    theJobQueue.m_pSheet = nullptr;
    theJobQueue.m_pPageBatch = nullptr;
    theJobQueue.m_pThread = nullptr;
    theJobQueue.m_bRunning = false;

    // What changed since the close (an entry handed over while its box was open) is saved
    // now; failures the user was not told about at the close go in one box.
    if (const QString failures = sheet->SavePages(); !failures.isEmpty()) {
        CMessageBox::Show(nullptr, failures, CMessageBox::Icon::kWarning,
                          CMessageBox::Buttons::kOk);
    }
    // Pages in reverse order while the sheet still exists, then the sheet. The Option page
    // writes the log settings and the Batch page its list back as they go.
    pageAbout.reset();
    pageOption.reset();
    pageQuick.reset();
    pageBatch.reset();
    pageLog.reset();
    sheet.reset();
    m_worker.reset();
    // Only now, with everything saved, may another window or tandrel-cli write the settings.
    if (m_windowLock.valid()) {
        unlink(m_socketPath.c_str());
        m_windowLock.Reset();
    }
    return false;
}

void CVelApp::SavePlacement(const CVelSheet& sheet) {
    const std::string placement = sheet.Placement().toBase64().toStdString();
    // A window left at its usual size is no reason to make a settings file; one that was
    // resized before, or is now, keeps its place.
    if (placement == m_storedPlacement ||
        (m_storedPlacement.empty() && sheet.size() == sheet.DefaultSize())) {
        return;
    }
    // Only the window's size and place: not worth a box, but not kept quiet either.
    if (Status s = m_profile->WriteProfileString(kPlacementSection, kPlacementEntry, placement);
        !s.ok()) {
        std::fprintf(stderr, "tandrel: the window's size could not be stored (%s)\n",
                     s.ToString().c_str());
    }
}

void CVelApp::OnExitWhileOpen() {
    CVelApp* app = g_openApp;
    if (app == nullptr || std::this_thread::get_id() != g_windowThread) {
        return;
    }
    g_openApp = nullptr;
    std::fputs(
        "tandrel: the window ends without a close (its display is gone); the run is "
        "cancelled and the changes are saved\n",
        stderr);
    app->m_worker->Stop();
    std::string source;
    std::string dest;
    int flag = 0;
    while (theJobQueue.GetNextJob(&source, &dest, &flag) != 0) {
    }
    theJobQueue.m_bRunning = false;
    if (const QString failures = app->m_pSheet->SavePages(); !failures.isEmpty()) {
        std::fprintf(stderr, "tandrel: %s\n", failures.toLocal8Bit().constData());
    }
    if (app->m_windowLock.valid()) {
        unlink(app->m_socketPath.c_str());
    }
}

}  // namespace tandrel
