// The progress dialog that runs the update pass: one section name of the
// service INI file per posted step message, so the dialog repaints and its
// bar moves between steps.
#include "update_pass.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include "pass_files.h"
#include "pass_limits.h"
#include "resource.h"
#include "section_names.h"
#include "texts.h"
#include "update_game.h"

namespace {

// The pass's own state, for the one pass of a run.
struct PassState {
    char serviceIniPath[kPathSize];
    char* sectionNames;  // the whole list, from readSectionNames
    int sectionLength;  // the list's length without its closing zero
    int sectionCount;
    int sectionIndex;   // 1-based number of the next name to handle
};

PassState pass;

void setItemText(HWND dialog, int id, const char* text)
{
    SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// Tells the player the System Components are broken and ends the dialog.
BOOL refusePass(HWND dialog)
{
    char caption[kCaptionSize];
    char text[kMessageSize];
    loadText(IDS_ERROR_CAPTION, caption, sizeof caption);
    loadText(IDS_BAD_COMPONENTS, text, sizeof text);
    MessageBoxA(dialog, text, caption, MB_ICONEXCLAMATION);
    EndDialog(dialog, 0);
    return FALSE;
}

// Returns FALSE when the dialog has been ended: nothing to update.
BOOL startPass(HWND dialog)
{
    InitCommonControls();
    // Without the Windows directory there is no service INI file to read.
    char windowsDir[MAX_PATH];
    UINT windowsDirLength = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    if (windowsDirLength == 0 || windowsDirLength >= sizeof windowsDir)
        return refusePass(dialog);
    snprintf(pass.serviceIniPath, sizeof pass.serviceIniPath, "%s\\%s", windowsDir, "VELKORGO.INI");
    SetFileAttributesA(pass.serviceIniPath, FILE_ATTRIBUTE_NORMAL);

    // A list too large for memory cannot be walked whole: the update cannot
    // complete, as with no list at all, rather than leave games out unseen.
    int length = 0;
    pass.sectionNames = readSectionNames(pass.serviceIniPath, &length);
    if (!pass.sectionNames || length <= 1) {
        free(pass.sectionNames);
        pass.sectionNames = nullptr;
        return refusePass(dialog);
    }
    pass.sectionLength = length;
    pass.sectionCount = countSectionNames(pass.sectionNames, pass.sectionLength);
    pass.sectionIndex = 1;

    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 1,
                        MAKELPARAM(0, pass.sectionCount & 0xFFFF));
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    setItemText(dialog, IDC_PERCENT, "  0 %");
    return TRUE;
}

void stepPass(HWND dialog)
{
    if (pass.sectionIndex > pass.sectionCount) {
        setItemText(dialog, IDC_STATUS, "Done...");
        free(pass.sectionNames);
        pass.sectionNames = nullptr;
        EndDialog(dialog, 1);
        return;
    }
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_STEPIT, 0, 0);
    // In whole numbers, wide enough for any count: 29 of 100 reads 29 %,
    // where a floating-point quotient would truncate to 28.
    char percent[kStatusSize];
    snprintf(percent, sizeof percent, "%d %%", int(pass.sectionIndex * 100LL / pass.sectionCount));
    setItemText(dialog, IDC_PERCENT, percent);

    // Held lower-cased and cut to its capacity; looked up whole.
    char name[kSectionNameSize];
    nthSectionName(pass.sectionNames, pass.sectionLength, pass.sectionIndex, name, sizeof name);
    const char* wholeName =
        pass.sectionNames + sectionNameAt(pass.sectionNames, pass.sectionLength, pass.sectionIndex);
    ++pass.sectionIndex;
    updateGame(dialog, pass.serviceIniPath, name, wholeName);
    PostMessageA(dialog, kStepMessage, 0, 0);
}

}  // namespace

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return startPass(dialog);
    case WM_SHOWWINDOW:
        // Shown once, when the dialog opens: that starts the pass.
        PostMessageA(dialog, kStepMessage, 0, 0);
        return TRUE;
    case kStepMessage:
        stepPass(dialog);
        return TRUE;
    case WM_DESTROY:
        return TRUE;
    }
    return FALSE;
}

INT_PTR runUpdatePass(HINSTANCE instance)
{
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, progressDialogProc, 0);
}
