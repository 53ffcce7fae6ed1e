// One section name of the service INI file, taken through the decision
// list: stepped over, skipped, started, or recorded as failed.
#pragma once

#include <windows.h>

// Handles one section of the service INI file at `serviceIniPath`:
// `sectionName` as the pass holds it, lower-cased and cut to kSectionNameSize,
// and `wholeName` as the file spells it, whole, for looking it up there.
// Status texts and message boxes go to `dialog`, the progress dialog; the
// game's title goes to the run state's updatedList or failedList.
void updateGame(HWND dialog, const char* serviceIniPath, const char* sectionName,
                const char* wholeName);

// The decimal value of an "EXECUTECount" text: leading white space, an
// optional sign, digits up to the first non-digit; no digits give 0. Values
// beyond the int range are held at its ends.
int executeCount(const char* text);

// The setup program's command line: the program in the setup directory,
// quoted when its path has a blank in it, then the setup INI path as it
// stands. Returns 0, with `out` empty, when it does not fit in outSize.
int setupCommandLine(const char* setupDir, const char* setupIniPath, char* out, size_t outSize);
