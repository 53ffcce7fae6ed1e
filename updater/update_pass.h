// The update pass: the progress dialog that walks the service INI file and
// starts the setup of every game that needs it, filling the run state's two
// lists on the way.
#pragma once

#include <windows.h>

// The dialog's private message: handle the next section name.
enum { kStepMessage = 400 };

// Runs the progress dialog modally. 0: the service INI file had no section
// names (the player has been told); 1: every section name was visited.
INT_PTR runUpdatePass(HINSTANCE instance);

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
