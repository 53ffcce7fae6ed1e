// The summary shown after the update pass: the games whose setup was
// started and, when any failed, the games that must be downloaded again.
#pragma once

#include <windows.h>

// Dialog procedure for the summary template (IDD_SUMMARY). Reads the lists
// from runState; ends the dialog with 0 on OK, Enter or the close box.
INT_PTR CALLBACK summaryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
