#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Profile.h"
#include "SettingsStore.h"
#include "UniqueFd.h"

namespace tandrel {

class CBackup;
class CVelSheet;

// Start-up and teardown of the window program, on the window thread: names the settings store
// (Software\Halvory\Tandrel in the per-user store), starts the worker, builds the main sheet
// and its five pages (Status, Batch, Quick, Option, About; Status shown first), wires
// theJobQueue to the worker, the Status page
// and the sheet, and runs the sheet until the user closes it.
//
// Closing the window while a run is going cancels the run: the copy in flight is abandoned
// (the destination file stays as it was), the copies finished are flushed to the disk and
// given their real times, the worker is joined, and only then are the links in
// theJobQueue cleared and the pages and the sheet destroyed, so the worker never reaches a
// page or the sheet that is gone.
//
// The pages write their changes within half a second of each (see CSheetPage) and again at the
// close. When the program ends from inside the window's loop without a close (Qt's X11 plugin
// calls exit when the connection to the display breaks), an exit handler cancels and waits
// for the run, writes what the pages still hold and says so on stderr.
class CVelApp {
  public:
    explicit CVelApp(std::string settingsPath = SettingsStore::DefaultPath());
    ~CVelApp();
    CVelApp(const CVelApp&) = delete;
    CVelApp& operator=(const CVelApp&) = delete;

    // Runs the program's window until it is closed; always returns false (there is no further
    // message loop). `onShown`, when given, runs once the sheet is shown (tests drive it).
    bool InitInstance(const std::function<void(CVelSheet&)>& onShown = {});

    // Makes this the one window over its settings file: `lock` is the window lock already taken
    // (see WindowLink.h); InitInstance then listens on `socketPath` while the window runs, so
    // that a second start brings this window to the front and tandrel-cli hands its new batch
    // entries to it, and lets the lock go only after the pages have saved.
    void SetWindowLink(UniqueFd lock, std::string socketPath);

    // The application's settings; valid from InitInstance on.
    Profile& GetProfile() { return *m_profile; }

    // Where the window's size and place at the last close are kept (saveGeometry, in base64),
    // beside the other settings of the program.
    static constexpr const char* kPlacementSection = "";
    static constexpr const char* kPlacementEntry = "WindowPlacement";

  private:
    void SetRegistryKey(const char* companyKey);
    // Stores the size and place the window had when it was closed.
    void SavePlacement(const CVelSheet& sheet);
    // The exit handler: does what the close would, for the window that is up (if any), when
    // the program ends on the window thread.
    static void OnExitWhileOpen();

    SettingsStore m_store;
    std::unique_ptr<Profile> m_profile;
    std::string m_storeNotice;
    std::unique_ptr<CBackup> m_worker;
    // The sheet while its loop runs.
    CVelSheet* m_pSheet = nullptr;
    UniqueFd m_windowLock;
    std::string m_socketPath;
    // The window's placement as read at the start.
    std::string m_storedPlacement;
};

}  // namespace tandrel
