// vkupdate.exe's internal interface, grouped by the file that defines it.
#pragma once

#include <windows.h>

#include <stddef.h>

// Capacities of the program's texts, in characters including the terminator.
const size_t kListSize = 4096;          // each of the summary's title lists
const size_t kSectionListSize = 4096;   // the first read of the service INI file's section names
const size_t kSectionNameSize = 128;    // one section name as the pass holds it
const size_t kStatusSize = 256;         // status and percent texts
const size_t kIniValueSize = 260;       // a value read from an INI file
const size_t kEntrySectionSize = 80;    // "n-1 name", the execute entry section
const size_t kSetupPathSize = 276;      // setup INI and setup program paths
const size_t kSetupCommandSize = 552;   // the setup program's command line
const size_t kTitleSize = 80;           // a game's display title
const size_t kMessageSize = 256;        // message box text, and its format
const size_t kCaptionSize = 80;         // message box caption
const size_t kBannerSize = 512;         // a summary banner
const size_t kTokenSize = 80;           // one token of the command line

// Set up by WinMain, filled by the update pass, shown by the summary dialog.
struct RunState {
    HINSTANCE instance;           // strings and dialog templates
    int showErrors;               // "-d": every per-game failure also gets a message box
    int silentOnSuccess;          // "-s": no summary when nothing failed
    char updatedList[kListSize];  // titles of games whose setup was started, one per line
    char failedList[kListSize];   // titles of games whose update failed, one per line
    int updatedListFull;          // updatedList ends with kListFullLine and takes no more titles
    int failedListFull;           // the same for failedList
};

// main.cpp

// Sets state.showErrors for every token "-d" and state.silentOnSuccess for
// every token "-s" (in any case); never clears them. Other tokens are
// ignored. A null text counts as empty.
void parseCommandLine(const char* text, RunState& state);

// passResult is what the progress dialog returned: 1 when the pass visited
// every section, 0 when it could not start (the player has been told), -1
// when the dialog itself could not be created.
bool summaryWanted(INT_PTR passResult, const RunState& state);

// progress_dialog.cpp

extern RunState runState;

// The progress dialog (IDD_PROGRESS), which runs the update pass. Ends with
// 0 when the service INI file had no section names (the player has been
// told), 1 when every section name was visited.
INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// summary_dialog.cpp

// The summary (IDD_SUMMARY): the run state's two lists, in the narrow or the
// wide layout. Ends with 0 on OK, Enter or the close box.
INT_PTR CALLBACK summaryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// texts.cpp

// Copies at most capacity - 1 characters of string `id` into `out` and
// terminates them; a missing string gives "".
void loadText(unsigned id, char* out, size_t capacity);

void setItemText(HWND dialog, int id, const char* text);

// A message box with the error caption and string textId, its %s filled
// with `argument` unless that is null.
void showErrorBox(HWND owner, unsigned textId, const char* argument);

// Writes the title of the game whose lower-cased section name is given into
// `title` (kTitleSize characters). A game the program does not know is
// shown under its section name, cut to fit.
void gameTitle(const char* sectionName, char* title);

// The line that ends a list which could take no more titles.
#define kListFullLine "...\n"

// Appends title and a line feed to `list` (capacity characters, terminator
// included). When that would leave no room for kListFullLine, the list ends
// with kListFullLine instead, `full` is set and the list takes no further
// titles, so a full list shows that games are missing from it. A title may
// end in "..." itself: only `full` says that the list is closed.
void appendTitle(char* list, size_t capacity, int& full, const char* title);
