#include "CVelApp.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BatchListStore.h"
#include "CJobQueue.h"
#include "CMessageBox.h"
#include "CPageBatch.h"
#include "CSheetPage.h"
#include "CVelSheet.h"
#include "CliRunner.h"
#include "GuiWait.h"
#include "Profile.h"
#include "ResourceIds.h"
#include "TempTree.h"
#include "WindowLink.h"

namespace tandrel {
namespace {

// The batch list and the log switch as another process reads them from `path` now.
std::deque<BatchItem> StoredList(const std::string& path) {
    SettingsStore store(path);
    std::deque<BatchItem> items;
    BatchListStore(store).Load(&items);
    return items;
}
int StoredLogSwitch(const std::string& path) {
    SettingsStore store(path);
    return Profile(store).GetProfileInt("", "BoolLogFile", 0);
}

void ClickLogSwitch(CVelSheet& sheet) {
    sheet.SetActivePage(3);
    qobject_cast<QAbstractButton*>(sheet.GetPage(3)->GetDlgItem(IDC_LOG_ENABLE))->click();
}

TEST(Startup, EmptyStoreShowsTheStatusPageFirstAndClosingEndsIt) {
    TempTree home;
    CVelApp app(home.Path("settings.db"));
    QString active;
    QStringList captions;
    int pages = 0;
    bool wired = false;
    const bool result = app.InitInstance([&](CVelSheet& sheet) {
        active = sheet.GetActivePage()->Caption();
        pages = sheet.GetPageCount();
        for (int i = 0; i < pages; ++i) {
            captions << sheet.GetPage(i)->Caption();
        }
        wired = theJobQueue.m_pSheet == &sheet && theJobQueue.m_pPageLog != nullptr &&
                theJobQueue.m_pThread != nullptr && theJobQueue.m_pPageBatch != nullptr &&
                theJobQueue.m_pPageBatch == dynamic_cast<CPageBatch*>(sheet.GetPage(1));
        sheet.close();
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(active, "Status");
    EXPECT_EQ(captions, QStringList({"Status", "Batch", "Quick", "Option", "About"}));
    EXPECT_TRUE(wired);
    EXPECT_EQ(theJobQueue.m_pPageBatch, nullptr);
    // The Batch page was never shown and nothing was added: nothing was written.
    EXPECT_FALSE(home.Exists("settings.db"));
    EXPECT_EQ(theJobQueue.m_pSheet, nullptr);
    EXPECT_EQ(theJobQueue.m_pPageLog, nullptr);
    EXPECT_EQ(theJobQueue.m_pThread, nullptr);
}

// Closing the window right after a run started: the run is cancelled and waited for, nothing
// half-written is left in the destination, and the queue no longer points at the window.
TEST(Startup, ClosingDuringARunLeavesNoPartialFile) {
    TempTree home;
    TempTree src;
    TempTree dst;
    const std::string big(8 << 20, 'x');
    for (int i = 0; i < 6; ++i) {
        src.WriteFile("big" + std::to_string(i) + ".bin", big);
    }
    for (int i = 0; i < 200; ++i) {
        src.WriteFile("small" + std::to_string(i) + ".txt", std::to_string(i));
    }
    CVelApp app(home.Path("settings.db"));
    app.InitInstance([&](CVelSheet& sheet) {
        theJobQueue.AddJob(src.root(), dst.root(), 0);
        theJobQueue.StartRun(kActionKeep, "");
        sheet.close();
    });
    EXPECT_FALSE(theJobQueue.m_bRunning);
    EXPECT_EQ(theJobQueue.m_pSheet, nullptr);
    EXPECT_EQ(theJobQueue.GetJobCount(), 0);
    for (const std::string& name : dst.List()) {
        EXPECT_EQ(name.find(".tandrel-"), std::string::npos) << name;
        EXPECT_EQ(dst.ReadFile(name), src.ReadFile(name)) << name;
    }
}

// An entry handed to the Batch page through the job queue before the page was ever shown is
// there at the next start.
TEST(Startup, EntryAddedToTheHiddenBatchPageSurvivesARestart) {
    TempTree home;
    {
        CVelApp app(home.Path("settings.db"));
        app.InitInstance([&](CVelSheet& sheet) {
            theJobQueue.m_pPageBatch->AddItem("quick", "/from", "/to", kBatchChecked);
            sheet.close();
        });
    }
    int rows = -1;
    BatchItem row;
    CVelApp app(home.Path("settings.db"));
    app.InitInstance([&](CVelSheet& sheet) {
        sheet.SetActivePage(1);
        rows = theJobQueue.m_pPageBatch->GetRowCount();
        theJobQueue.m_pPageBatch->GetRow(0, &row);
        sheet.close();
    });
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(row.strDescription, "quick");
    EXPECT_EQ(row.strFrom, "/from");
    EXPECT_EQ(row.strTo, "/to");
}

// A logout (SIGHUP), a kill (SIGTERM) or Ctrl+C (SIGINT) closes a box left open and then the
// window, as the close box would: the program carries on to its normal end and the batch list
// is saved.
TEST(Startup, TerminationSignalsCloseTheWindowAndSave) {
    TempTree home;
    int added = 0;
    for (const int signo : {SIGTERM, SIGHUP, SIGINT}) {
        CMessageBox::Reset();
        CVelApp app(home.Path("settings.db"));
        app.InitInstance([&](CVelSheet& sheet) {
            theJobQueue.m_pPageBatch->AddItem("entry " + std::to_string(++added), "/from", "/to",
                                              kBatchChecked);
            QTimer::singleShot(0, &sheet, [signo] { raise(signo); });
            // A real box with a loop of its own: only the signal can end it.
            CMessageBox::Show(&sheet, QStringLiteral("waiting"));
        });
        EXPECT_EQ(CMessageBox::Count(), 1) << signo;
    }
    int rows = -1;
    CVelApp app(home.Path("settings.db"));
    app.InitInstance([&](CVelSheet& sheet) {
        sheet.SetActivePage(1);
        rows = theJobQueue.m_pPageBatch->GetRowCount();
        sheet.close();
    });
    EXPECT_EQ(rows, 3);
}

// Later starts of the program and tandrel-cli reach the running window: it comes to the front,
// takes new batch entries into its list (saved when it closes), and lets its lock go only then.
TEST(Startup, OtherStartsReachTheRunningWindow) {
    TempTree home;
    TempTree runtime;
    setenv("XDG_RUNTIME_DIR", runtime.root().c_str(), 1);
    WindowLinkPaths paths;
    ASSERT_TRUE(WindowLinkPathsFor(home.Path("settings.db"), &paths).ok());
    UniqueFd lock;
    bool taken = false;
    ASSERT_TRUE(TryLockWindow(paths.lock, &lock, &taken).ok() && taken);

    const std::string from = "/from \xff\n";
    std::vector<std::vector<std::string>> replies;
    std::atomic<bool> done{false};
    bool lockedWhileOpen = false;
    {
        CVelApp app(home.Path("settings.db"));
        app.SetWindowLink(std::move(lock), paths.socket);
        app.InitInstance([&](CVelSheet& sheet) {
            std::thread caller([&] {
                // A change without its hand-over token is refused; with it, it is made.
                UniqueFd token;
                EXPECT_TRUE(MakeHandOverToken(&token).ok());
                for (const std::vector<std::string>& request : {std::vector<std::string>{"raise"},
                                                                {"add", "no token", from, "/to"},
                                                                {"add", "from cli", from, "/to"},
                                                                {"bogus"},
                                                                {"raise", "launch_TIME5"},
                                                                {"raise", "a", "b"}}) {
                    std::vector<std::string> reply;
                    SendToWindow(paths.socket, request, &reply, 5000,
                                 request.size() > 1 && request[1] == "from cli" ? token.get() : -1);
                    replies.push_back(reply);
                }
                done = true;
            });
            WaitFor([&] { return done.load(); });
            caller.join();
            UniqueFd other;
            bool otherTaken = true;
            lockedWhileOpen = TryLockWindow(paths.lock, &other, &otherTaken).ok() && !otherTaken;
            sheet.close();
        });
    }
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(lockedWhileOpen);
    ASSERT_EQ(replies.size(), 6u);
    EXPECT_EQ(replies[0], std::vector<std::string>{"ok"});
    EXPECT_EQ(replies[1].at(0), "error");
    EXPECT_EQ(replies[2], std::vector<std::string>{"ok"});
    EXPECT_EQ(replies[3].at(0), "error");
    EXPECT_EQ(replies[4], std::vector<std::string>{"ok"});  // with the start's activation token
    EXPECT_EQ(replies[5].at(0), "error");
    EXPECT_TRUE(TryLockWindow(paths.lock, &lock, &taken).ok() && taken);

    BatchItem row;
    CVelApp app(home.Path("settings.db"));
    app.InitInstance([&](CVelSheet& sheet) {
        sheet.SetActivePage(1);
        theJobQueue.m_pPageBatch->GetRow(0, &row);
        sheet.close();
    });
    EXPECT_EQ(row.strDescription, "from cli");
    EXPECT_EQ(row.strFrom, from);
    EXPECT_EQ(row.nCheck, kBatchChecked);
}

// tandrel-cli against the real window, with the settings file where tandrel-cli looks for it.
class StartupWithCli : public ::testing::Test {
  protected:
    void SetUp() override {
        config_.MakeDir("Halvory/Tandrel");
        settings_ = config_.Path("Halvory/Tandrel/settings.db");
        env_ = {"XDG_CONFIG_HOME=" + config_.root(), "XDG_RUNTIME_DIR=" + runtime_.root()};
        setenv("XDG_RUNTIME_DIR", runtime_.root().c_str(), 1);
        ASSERT_TRUE(WindowLinkPathsFor(settings_, &paths_).ok());
        src_.MakeDir("s");
        src_.MakeDir("d");
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

    // Runs the window until `whileOpen` returns, then closes it; the list it saved.
    std::deque<BatchItem> RunWindow(const std::function<void(CVelSheet&)>& whileOpen) {
        UniqueFd lock;
        bool taken = false;
        EXPECT_TRUE(TryLockWindow(paths_.lock, &lock, &taken).ok() && taken);
        {
            CVelApp app(settings_);
            app.SetWindowLink(std::move(lock), paths_.socket);
            app.InitInstance([&](CVelSheet& sheet) {
                whileOpen(sheet);
                sheet.close();
            });
        }
        SettingsStore store(settings_);
        std::deque<BatchItem> saved;
        EXPECT_TRUE(store.Open().ok());
        EXPECT_TRUE(BatchListStore(store).Load(&saved).ok());
        return saved;
    }

    // Runs tandrel-cli with `args` while the window's loop runs.
    CliResult RunCliBeside(const std::vector<std::string>& args) {
        CliResult result;
        std::atomic<bool> done{false};
        std::thread caller([&] {
            result = RunCli(args, env_);
            done = true;
        });
        WaitFor([&] { return done.load(); });
        caller.join();
        return result;
    }

    static std::vector<std::string> Descriptions(const std::deque<BatchItem>& items) {
        std::vector<std::string> out;
        for (const BatchItem& item : items) {
            out.push_back(item.strDescription + (item.IsChecked() ? "" : " (unchecked)"));
        }
        return out;
    }

    TempTree config_;
    TempTree runtime_;
    TempTree src_;
    std::string settings_;
    std::vector<std::string> env_;
    WindowLinkPaths paths_;
};

// A window too busy to answer before tandrel-cli gives up: the entry the caller reported as
// not added is dropped when the window gets to it, and the next one is added once.
TEST_F(StartupWithCli, AnEntryTheCallerGaveUpOnIsDroppedWhenTheWindowGetsToIt) {
    CliResult late;
    CliResult prompt;
    const std::deque<BatchItem> saved = RunWindow([&](CVelSheet&) {
        // The window's thread is busy here until the caller has given up.
        late = RunCli({"add", "late", src_.Path("s"), src_.Path("d")}, env_);
        prompt = RunCliBeside({"add", "prompt", src_.Path("s"), src_.Path("d")});
    });
    EXPECT_EQ(late.status, 2);
    EXPECT_NE(late.err.find("nothing was added"), std::string::npos) << late.err;
    EXPECT_EQ(prompt.status, 0) << prompt.err;
    EXPECT_EQ(Descriptions(saved), std::vector<std::string>{"prompt"});
}

// remove, check and uncheck reach the open window, whether its Batch page was shown or not.
// tandrel-cli numbers the list as saved; the window changes its entry N only when that is the
// entry listed, and refuses, changing nothing, when the list was changed in the window.
TEST_F(StartupWithCli, EntryChangesReachTheOpenWindow) {
    for (const bool shown : {false, true}) {
        unlink(settings_.c_str());
        for (const char* name : {"one", "two", "three"}) {
            ASSERT_EQ(RunCli({"add", name, src_.Path("s"), src_.Path("d")}, env_).status, 0);
        }
        std::vector<CliResult> results;
        const std::vector<std::string> expected = {"two", "three (unchecked)"};
        bool storedWhileOpen = false;
        const std::deque<BatchItem> saved = RunWindow([&](CVelSheet& sheet) {
            if (shown) {
                sheet.SetActivePage(1);
            }
            for (const char* command : {"uncheck", "remove", "remove"}) {
                results.push_back(RunCliBeside({command, command[0] == 'u' ? "3" : "1"}));
            }
            // The changes reach the store while the window is still open, shown page or not.
            storedWhileOpen =
                WaitFor([&] { return Descriptions(StoredList(settings_)) == expected; });
        });
        EXPECT_TRUE(storedWhileOpen) << shown;
        ASSERT_EQ(results.size(), 3u);
        EXPECT_EQ(results[0].status, 0) << results[0].err;
        EXPECT_EQ(results[1].status, 0) << results[1].err;
        EXPECT_EQ(results[2].status, 2) << shown;
        EXPECT_NE(results[2].err.find("nothing was removed"), std::string::npos) << results[2].err;
        EXPECT_EQ(Descriptions(saved), expected) << shown;
    }
}

TEST(Startup, DamagedSettingsFileIsReportedOnceTheWindowIsUp) {
    TempTree home;
    home.WriteFile("settings.db", "this is not a settings file, just some text");
    CMessageBox::Reset();
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    int boxesWhenShown = -1;
    CVelApp app(home.Path("settings.db"));
    app.InitInstance([&](CVelSheet& sheet) {
        boxesWhenShown = CMessageBox::Count();
        sheet.close();
    });
    EXPECT_EQ(boxesWhenShown, 1);
    EXPECT_EQ(CMessageBox::Count(), 1);
    EXPECT_FALSE(CMessageBox::LastText().isEmpty());
    EXPECT_EQ(CMessageBox::LastIcon(), CMessageBox::Icon::kWarning);
    EXPECT_TRUE(home.Exists("settings.db.damaged"));
}

// Every change to the batch list or the settings reaches the store while the window stays
// open, so nothing is lost when the program cannot save at its end. Entries added to the hidden
// page are stored once, even after the page is shown.
TEST(Startup, ChangesReachTheStoreWhileTheWindowIsOpen) {
    TempTree home;
    const std::string path = home.Path("settings.db");
    bool hidden = false;
    bool shown = false;
    bool logSwitch = false;
    CVelApp app(path);
    app.InitInstance([&](CVelSheet& sheet) {
        theJobQueue.m_pPageBatch->AddItem("hidden", "/a", "/b", kBatchChecked);
        hidden = WaitFor([&] { return StoredList(path).size() == 1; });
        sheet.SetActivePage(1);
        theJobQueue.m_pPageBatch->AddItem("shown", "/c", "/d", kBatchUnchecked);
        shown = WaitFor([&] {
            const std::deque<BatchItem> items = StoredList(path);
            return items.size() == 2 && items[0].strDescription == "hidden" &&
                   items[1].strDescription == "shown";
        });
        ClickLogSwitch(sheet);
        logSwitch = WaitFor([&] { return StoredLogSwitch(path) == 1; });
        sheet.close();
    });
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(logSwitch);
    EXPECT_EQ(StoredList(path).size(), 2u);
}

// Qt ends the program with exit(1) when the connection to the display breaks. The run is
// cancelled as a close would (no half-written copy left) and what changed since the last
// save is written before the program ends.
TEST(Startup, ALostDisplayStopsTheRunAndKeepsTheChanges) {
    // The window runs in a new start of this program (not a fork of one whose Qt has threads of
    // its own); it finds the folders this run made in the environment.
    constexpr const char* kFolders = "TANDREL_TEST_LOST_DISPLAY";
    std::optional<TempTree> home;
    std::optional<TempTree> src;
    std::optional<TempTree> dst;
    std::string folders[3];
    if (const char* given = std::getenv(kFolders)) {
        std::istringstream(given) >> folders[0] >> folders[1] >> folders[2];
    } else {
        home.emplace();
        src.emplace();
        dst.emplace();
        const std::string big(8 << 20, 'x');
        for (int i = 0; i < 6; ++i) {
            src->WriteFile("big" + std::to_string(i) + ".bin", big);
        }
        folders[0] = home->Path("settings.db");
        folders[1] = src->root();
        folders[2] = dst->root();
        setenv(kFolders, (folders[0] + " " + folders[1] + " " + folders[2]).c_str(), 1);
    }
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CVelApp app(folders[0]);
            app.InitInstance([&](CVelSheet& sheet) {
                ClickLogSwitch(sheet);
                theJobQueue.m_pPageBatch->AddItem("lost display", "/a", "/b", kBatchChecked);
                theJobQueue.AddJob(folders[1], folders[2], 0);
                theJobQueue.StartRun(kActionKeep, "");
                std::exit(1);
            });
        },
        ::testing::ExitedWithCode(1), "display is gone");
    GTEST_FLAG_SET(death_test_style, style);
    unsetenv(kFolders);

    const std::deque<BatchItem> items = StoredList(folders[0]);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].strDescription, "lost display");
    EXPECT_EQ(StoredLogSwitch(folders[0]), 1);
    for (const std::string& name : dst->List()) {
        EXPECT_EQ(name.find(".tandrel-"), std::string::npos) << name;
        EXPECT_EQ(dst->ReadFile(name), src->ReadFile(name)) << name;
    }
}

// Saves that fail at the close are told in one box, over the window that is still shown, and
// pressed as a user would.
TEST(Startup, FailedSavesAtTheCloseAreToldInOneBoxOverTheWindow) {
    TempTree home;
    home.MakeDir("broken");
    home.WriteFile("broken/Halvory", "a file where the settings folder should be");
    CMessageBox::Reset();
    QPointer<CVelSheet> window;
    std::vector<bool> overWindow;
    QString text;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            overWindow.push_back(window && window->isVisible() && box->parentWidget() == window);
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start(10);
    CVelApp app(home.Path("broken/Halvory/Tandrel/settings.db"));
    app.InitInstance([&](CVelSheet& sheet) {
        window = &sheet;
        sheet.SetActivePage(1);
        theJobQueue.m_pPageBatch->AddItem("entry", "/a", "/b", kBatchChecked);
        ClickLogSwitch(sheet);
        sheet.close();
    });
    answer.stop();
    EXPECT_EQ(overWindow, std::vector<bool>{true});
    EXPECT_TRUE(text.contains("batch list could not be saved")) << text.toStdString();
    EXPECT_TRUE(text.contains("log file settings could not be saved")) << text.toStdString();
}

// A menu or a file manager may start the program with a file or a URL: the window opens all
// the same, says on stderr that it takes none, and ends normally.
TEST(Startup, ArgumentsAreNamedOnStderrAndTheWindowOpensAllTheSame) {
    TempTree home;
    home.MakeDir("run");
    ASSERT_EQ(chmod(home.Path("run").c_str(), 0700), 0);
    setenv("XDG_CONFIG_HOME", home.Path("config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.Path("run").c_str(), 1);
    WindowLinkPaths paths;
    const Status linked = WindowLinkPathsFor(SettingsStore::DefaultPath(), &paths);
    const std::string errors = home.Path("stderr.txt");
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        execl(TANDREL_WINDOW, TANDREL_WINDOW, "file:///home/user/a%20b.txt", nullptr);
        _exit(127);
    }
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(linked.ok()) << linked.ToString();
    ASSERT_GT(child, 0);
    // Up when it answers a second start; the wait ends early if it ends instead.
    bool answered = false;
    int status = 0;
    bool ended = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!answered && !ended && std::chrono::steady_clock::now() < until) {
        std::vector<std::string> reply;
        answered = SendToWindow(paths.socket, {"raise"}, &reply, 1000).ok() && !reply.empty() &&
                   reply[0] == "ok";
        ended = !answered && waitpid(child, &status, WNOHANG) == child;
        usleep(20 * 1000);
    }
    if (!ended) {
        kill(child, SIGTERM);
        ASSERT_EQ(waitpid(child, &status, 0), child);
    }
    EXPECT_TRUE(answered);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(home.ReadFile("stderr.txt").find("takes no arguments"), std::string::npos)
        << home.ReadFile("stderr.txt");
}

}  // namespace
}  // namespace tandrel
