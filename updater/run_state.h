// The updater's run state: set up by WinMain, filled by the update pass,
// shown by the summary dialog. One per process.
#pragma once

enum { kListSize = 4096 };  // each list, terminator included

struct RunState {
    void* instance;            // HINSTANCE of the program: strings and dialog templates
    int showErrors;            // "-d": every per-game failure also gets a message box
    int silentOnSuccess;       // "-s": no summary when nothing failed
    char updatedList[kListSize];  // titles of games whose setup was started, one per line
    char failedList[kListSize];   // titles of games whose update failed, one per line
};

extern RunState runState;
