// The six functions the host program calls; 32-bit integers in and out, nothing owned across.
#include "../framework/Afx.h"
// The header hosts get; here it declares the definitions below, which the .def file exports.
#define MORVEKNEWS_API
#include "../kit/MorvekNews.h"

#include <new>

#include "CMorvekNewsApp.h"
#include "CMorvekNewsCfgDlg.h"
#include "CMorvekNewsDlg.h"
#include "NewsSettingsStore.h"
#include "resource.h"

namespace {
constexpr int NOT_SHOWN = 1;

// No exception leaves the library: a failure inside becomes the export's "nothing done" answer.
template <typename Body>
int Guarded(int failure, Body body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failure;
    }
}
}

int WINAPI MorvekNewsInit()
{
    return Guarded(2, [] {
        CMorvekNewsApp& app = NewsApp();
        if (!app.manager) {
            app.manager.reset(new (std::nothrow) CNewsManager());
            if (!app.manager)
                return 2;
        }
        app.manager->LoadSettings();
        return app.manager->Fetch();
    });
}

int WINAPI MorvekNewsClose()
{
    return 0;
}

int WINAPI MorvekNewsShow(int force)
{
    return Guarded(NOT_SHOWN, [force] {
        CNewsManager* manager = NewsApp().manager.get();
        if (!manager)
            return NOT_SHOWN;  // before MorvekNewsInit there is no news
        CMorvekNewsDlg window;
        window.manager = manager;
        // The decision runs first in every case: it records what counts as seen.
        const bool due = manager->ShouldShow();
        if (!due && !force)
            return NOT_SHOWN;
        return window.DoModal() == IDOK ? 0 : NOT_SHOWN;
    });
}

int WINAPI MorvekNewsConfig()
{
    return Guarded(1, [] {
        CNewsManager* manager = NewsApp().manager.get();
        if (!manager)
            return 1;
        CMorvekNewsCfgDlg dialog;
        dialog.manager = manager;
        return dialog.DoModal() == IDOK ? 0 : 1;
    });
}

int WINAPI MorvekNewsGetShowNewsFlag()
{
    return Guarded(0, [] {
        if (CNewsManager* manager = NewsApp().manager.get())
            return manager->GetDontShow();
        int stored = 0;
        NewsSettingsStore::ReadInt(IDS_DONT_SHOW, nullptr, stored);
        return stored;
    });
}

int WINAPI MorvekNewsSetShowNewsFlag(int value)
{
    return Guarded(value, [value] {
        // Before MorvekNewsInit the wish still reaches the registry, where the next load finds it.
        if (CNewsManager* manager = NewsApp().manager.get())
            manager->SetDontShow(value);
        else
            NewsSettingsStore::WriteInt(IDS_DONT_SHOW, nullptr, value);
        return value;
    });
}
