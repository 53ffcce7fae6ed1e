// The summary dialog. One template serves two layouts, chosen by the
// window's width alone: narrow when nothing failed, so the right-hand
// column (failed list, its group box, the failure banner) lies beyond the
// right edge; wide when something failed, so both columns show and the
// success banner, left at its template place far right, lies outside.
#include "resource.h"
#include "vkupdate.h"

namespace {

void place(HWND window, int x, int y, int width, int height)
{
    // Flags 0: also brings the window to the top of its siblings.
    SetWindowPos(window, nullptr, x, y, width, height, 0);
}

void setBanner(HWND dialog, int controlId, UINT stringId)
{
    char banner[kBannerSize];
    loadText(stringId, banner, sizeof banner);
    setItemText(dialog, controlId, banner);
}

void layOut(HWND dialog)
{
    if (runState.updatedList[0] == '\0')
        loadText(IDS_ALL_UP_TO_DATE, runState.updatedList, kListSize);
    setItemText(dialog, IDC_UPDATED_LIST, runState.updatedList);

    int halfWidth = GetSystemMetrics(SM_CXSCREEN) / 2;
    int halfHeight = GetSystemMetrics(SM_CYSCREEN) / 2;
    if (runState.failedList[0] != '\0') {
        place(dialog, halfWidth - 280, halfHeight - 180, 560, 350);
        place(GetDlgItem(dialog, IDOK), 240, 270, 80, 25);
        place(GetDlgItem(dialog, IDC_FAILURE_BANNER), 25, 25, 510, 50);
        setBanner(dialog, IDC_FAILURE_BANNER, IDS_FAILURE_BANNER);
        setItemText(dialog, IDC_FAILED_LIST, runState.failedList);
    } else {
        place(dialog, halfWidth - 146, halfHeight - 180, 293, 350);
        place(GetDlgItem(dialog, IDC_SUCCESS_BANNER), 0, 25, 293, 50);
        place(GetDlgItem(dialog, IDOK), 105, 280, 80, 25);
        setBanner(dialog, IDC_SUCCESS_BANNER, IDS_SUCCESS_BANNER);
    }
}

}  // namespace

INT_PTR CALLBACK summaryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        layOut(dialog);
        return TRUE;
    case WM_COMMAND:
        // OK, or Enter through the default button. Escape sends IDCANCEL,
        // which is left alone: the summary stays until it is acknowledged.
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
    case WM_DESTROY:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
