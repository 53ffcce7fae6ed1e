// The summary dialog. One template serves two layouts, chosen by the
// window's width alone: narrow when nothing failed, so the right-hand
// column (failed list, its group box, the failure banner) lies beyond the
// right edge; wide when something failed, so both columns show and the
// success banner, left at its template place far right, lies outside.
//
// The layouts' figures are pixels of the standard dialog font at 96 DPI
// (6 pixels for 4 horizontal dialog units, 13 for 8 vertical ones). The
// template's controls grow with the dialog's real font; each figure grows
// with it, so a larger font or DPI still shows the whole layout.
#include "resource.h"
#include "vkupdate.h"

namespace {

// Pixels of 4 horizontal and 8 vertical dialog units: the standard ones, and
// this dialog's.
const int kStandardUnitsX = 6, kStandardUnitsY = 13;
struct Units {
    int x, y;
};

Units unitsOf(HWND dialog)
{
    RECT r = {0, 0, 4, 8};
    if (!MapDialogRect(dialog, &r) || r.right <= 0 || r.bottom <= 0)
        return {kStandardUnitsX, kStandardUnitsY};
    return {int(r.right), int(r.bottom)};
}

int scaleX(const Units& units, int pixels) { return MulDiv(pixels, units.x, kStandardUnitsX); }
int scaleY(const Units& units, int pixels) { return MulDiv(pixels, units.y, kStandardUnitsY); }

// Figures of the standard font, scaled by `units`.
void place(HWND window, const Units& units, int x, int y, int width, int height)
{
    // Flags 0: also brings the window to the top of its siblings.
    SetWindowPos(window, nullptr, scaleX(units, x), scaleY(units, y), scaleX(units, width),
                 scaleY(units, height), 0);
}

// The window, `width` pixels wide, centred across the screen and `up` above
// its middle; on a screen too small for it the caption stays reachable.
void placeWindow(HWND dialog, const Units& units, int width, int up, int height)
{
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - scaleY(units, up);
    SetWindowPos(dialog, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, width, scaleY(units, height), 0);
}

// The narrow window's width: the figure, but never so wide that the client
// area reaches the right-hand column. The frame does not grow with the font
// as the figure does, and would otherwise bare the column's left edge.
int narrowWidth(HWND dialog, const Units& units)
{
    RECT window, client, column;
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, IDC_RIGHT_GROUP), &column);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&column), 2);
    int width = scaleX(units, 293), frame = (window.right - window.left) - client.right;
    return width < column.left + frame ? width : column.left + frame;
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

    Units units = unitsOf(dialog);
    if (runState.failedList[0] != '\0') {
        placeWindow(dialog, units, scaleX(units, 560), 180, 350);
        place(GetDlgItem(dialog, IDOK), units, 240, 270, 80, 25);
        place(GetDlgItem(dialog, IDC_FAILURE_BANNER), units, 25, 25, 510, 50);
        setBanner(dialog, IDC_FAILURE_BANNER, IDS_FAILURE_BANNER);
        setItemText(dialog, IDC_FAILED_LIST, runState.failedList);
    } else {
        int width = narrowWidth(dialog, units);
        placeWindow(dialog, units, width, 180, 350);
        // As wide as the window, as at the standard font (293), so that its
        // text stays centred over the client area.
        SetWindowPos(GetDlgItem(dialog, IDC_SUCCESS_BANNER), nullptr, 0, scaleY(units, 25), width,
                     scaleY(units, 50), 0);
        place(GetDlgItem(dialog, IDOK), units, 105, 280, 80, 25);
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
