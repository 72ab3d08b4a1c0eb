#pragma once

#include <QLayout>

#include "CJobQueue.h"
#include "CPageAbout.h"
#include "CPageBatch.h"
#include "CPageLog.h"
#include "CPageOption.h"
#include "CPageQuick.h"
#include "CVelSheet.h"
#include "GuiWait.h"
#include "Profile.h"
#include "SettingsStore.h"
#include "TempTree.h"

namespace tandrel {

// The window with its five pages on a settings store of its own, each page shown once so that
// it has its controls, and its layouts settled.
struct WholeWindow {
    WholeWindow() : store(home.Path("settings.db")), profile(store) {
        for (CSheetPage* page :
             std::initializer_list<CSheetPage*>{&log, &batch, &quick, &option, &about}) {
            sheet.AddPage(page);
        }
        sheet.Create();
        for (int i = sheet.GetPageCount() - 1; i >= 0; --i) {
            sheet.SetActivePage(i);
        }
        Settle();
    }
    void Settle() {
        WaitForPostedEvents();
        for (QLayout* l : sheet.findChildren<QLayout*>()) {
            l->activate();
        }
    }
    template <typename T = QWidget>
    T* Find(const char* name) {
        return sheet.findChild<T*>(name);
    }

    TempTree home;
    SettingsStore store;
    Profile profile;
    CJobQueue queue;
    CVelSheet sheet{"Tandrel", 0, 30, nullptr, 0, queue};
    CPageLog log;
    CPageBatch batch{store, queue};
    CPageQuick quick{profile, queue};
    CPageOption option{profile, queue};
    CPageAbout about;
};

}  // namespace tandrel
