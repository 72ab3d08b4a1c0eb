#pragma once

#include <unistd.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "CBackup.h"
#include "CFileChooser.h"
#include "CJobQueue.h"
#include "CMessageBox.h"
#include "CPageBatch.h"
#include "CPageLog.h"
#include "CPageOption.h"
#include "CPageQuick.h"
#include "CVelSheet.h"
#include "CurrentDirectory.h"
#include "FailingFileSystem.h"
#include "GuiWait.h"
#include "Profile.h"
#include "ResourceIds.h"
#include "SettingsStore.h"
#include "StoreFixture.h"

namespace tandrel {

// The sheet as start-up builds it, minus the About page: Status, Batch, Quick and Option over a
// settings store and a queue of the test's own. With a worker, runs go through a file system
// that can hold every copy until the test lets it go, so a test can look at the pages while a
// run is going. The current directory is put back after each test.
class PagesTest : public StoreFixture {
  protected:
    static constexpr int kStatus = 0;
    static constexpr int kBatch = 1;
    static constexpr int kQuick = 2;
    static constexpr int kOption = 3;

    void SetUp() override {
        StoreFixture::SetUp();
        cwd_ = CurrentDirectory();
        CMessageBox::Reset();
        CFileChooser::Reset();
        fs_.SetHook([this](const FailingFileSystem::Call& call) {
            if (call.op == FailingFileSystem::Op::kCopyFile) {
                std::unique_lock<std::mutex> lock(gateMutex_);
                gateOpen_.wait(lock, [this] { return !held_; });
            }
        });
    }
    void TearDown() override {
        Release();
        Close();
        StoreFixture::TearDown();
        [[maybe_unused]] const int back = chdir(cwd_.c_str());
    }

    // A new start of the program; `worker` starts a worker for runs.
    void Start(bool worker = false) {
        store_ = std::make_unique<SettingsStore>();
        profile_ = std::make_unique<Profile>(*store_);
        sheet_ = std::make_unique<CVelSheet>("Tandrel", 0, 30, nullptr, 0, queue_);
        log_ = std::make_unique<CPageLog>();
        batch_ = std::make_unique<CPageBatch>(*store_, queue_);
        quick_ = std::make_unique<CPageQuick>(*profile_, queue_);
        option_ = std::make_unique<CPageOption>(*profile_, queue_);
        sheet_->AddPage(log_.get());
        sheet_->AddPage(batch_.get());
        sheet_->AddPage(quick_.get());
        sheet_->AddPage(option_.get());
        queue_.m_pPageLog = log_.get();
        queue_.m_pPageBatch = batch_.get();
        queue_.m_pSheet = sheet_.get();
        if (worker) {
            worker_ = std::make_unique<CBackup>(queue_, fs_);
            worker_->Start();
            queue_.m_pThread = worker_.get();
        }
        sheet_->Create();
    }
    // The end of the program, in start-up's order: the worker first, then the pages from the
    // last, then the sheet.
    void Close() {
        if (worker_) {
            worker_->Stop();
        }
        queue_.m_pThread = nullptr;
        queue_.m_pPageLog = nullptr;
        queue_.m_pPageBatch = nullptr;
        queue_.m_pSheet = nullptr;
        queue_.m_bRunning = false;
        option_.reset();
        quick_.reset();
        batch_.reset();
        log_.reset();
        sheet_.reset();
        worker_.reset();
        profile_.reset();
        store_.reset();
    }
    void Restart(bool worker = false) {
        Close();
        Start(worker);
    }

    void Show(int page) { sheet_->SetActivePage(page); }

    // From the next start on, a file stands where the store's folder must go: no write can
    // succeed, whoever runs the test (root included).
    void BreakStore() {
        tree_.MakeDir("broken");
        tree_.WriteFile("broken/Halvory", "not a folder");
        setenv("XDG_CONFIG_HOME", tree_.Path("broken").c_str(), 1);
    }

    // Copies wait from now until Release.
    void Hold() {
        std::lock_guard<std::mutex> lock(gateMutex_);
        held_ = true;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(gateMutex_);
            held_ = false;
        }
        gateOpen_.notify_all();
    }

    QAbstractButton* Button(CSheetPage* page, int id) const {
        return qobject_cast<QAbstractButton*>(page->GetDlgItem(id));
    }
    QLineEdit* Edit(CSheetPage* page, int id) const {
        return qobject_cast<QLineEdit*>(page->GetDlgItem(id));
    }
    bool Enabled(CSheetPage* page, int id) const { return page->GetDlgItem(id)->isEnabled(); }
    static QString Text(const std::string& bytes) { return QString::fromStdString(bytes); }

    // A value of the application's key as stored, or "<none>".
    std::string Stored(const char* entry) {
        SettingsStore store;
        Profile profile(store);
        return profile.GetProfileString("", entry, "<none>");
    }
    int StoredInt(const char* entry) {
        SettingsStore store;
        Profile profile(store);
        return profile.GetProfileInt("", entry, -1);
    }

    CJobQueue queue_;
    FailingFileSystem fs_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<Profile> profile_;
    std::unique_ptr<CVelSheet> sheet_;
    std::unique_ptr<CPageLog> log_;
    std::unique_ptr<CPageBatch> batch_;
    std::unique_ptr<CPageQuick> quick_;
    std::unique_ptr<CPageOption> option_;
    std::unique_ptr<CBackup> worker_;

  private:
    std::string cwd_;
    std::mutex gateMutex_;
    std::condition_variable gateOpen_;
    bool held_ = false;
};

}  // namespace tandrel
