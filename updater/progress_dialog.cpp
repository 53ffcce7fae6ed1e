// The progress dialog and the update pass it runs: one section name of the
// service INI file per posted step message, so the dialog repaints and its
// bar moves between steps. Each game section is taken through the decision
// list: stepped over, skipped, started, or recorded as failed.
#include <windows.h>

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "command_text.h"
#include "resource.h"
#include "vkupdate.h"

// Both dialogs are created with the parameter 0, as WinMain has always run
// them, so the run state cannot travel with them: it is the one global.
RunState runState;

namespace {

enum { kStepMessage = 400 };  // the dialog's own: handle the next section name

const char kSearching[] = "Searching for game clients...";
const char kServiceIniName[] = "\\VELKORGO.INI";

// The pass's own state, for the one pass of a run.
struct PassState {
    char serviceIniPath[MAX_PATH + sizeof kServiceIniName];
    char* sectionNames;    // each name followed by a zero, the list closed by a second zero
    int sectionLength;     // the list's length without its closing zero
    int sectionCount;
    int sectionIndex;      // 1-based number of the next name to handle
    const char* nextName;  // where that name begins in sectionNames
};

// Reads `key` of `section` in the INI file `file` into `value` (kIniValueSize
// characters). Returns 1 when the key is there; 0 when the file, section or
// key is missing, or the value is the text "NOKEY".
int readIniValue(const char* file, const char* section, const char* key, char* value)
{
    // The profile service answers a missing file, section or key with the
    // default; a value that reads the same is taken as missing too.
    GetPrivateProfileStringA(section, key, "NOKEY", value, DWORD(kIniValueSize), file);
    return strcmp(value, "NOKEY") != 0;
}

// The whole section list of `file` in a buffer from malloc, and its length
// without its closing zero; null when no buffer could hold it.
char* readSectionNames(const char* file, int* length)
{
    // A list that does not fit is cut, and the answer is then size - 2: the
    // game sections behind the cut would be left out unseen. Grow and read
    // again until the answer is shorter. A list near that size that did fit
    // only costs one more read.
    const DWORD largest = 0x10000000;  // far beyond any INI file the service loads
    for (DWORD size = DWORD(kSectionListSize); size <= largest; size *= 2) {
        char* list = static_cast<char*>(malloc(size));
        if (!list)
            return nullptr;
        DWORD got = GetPrivateProfileSectionNamesA(list, size, file);
        if (got + 2 < size) {
            *length = int(got);
            return list;
        }
        free(list);
    }
    return nullptr;
}

// 1 when the existing file can be opened for reading and writing (it is
// closed again at once); 0 when it is missing, read-only or locked.
int canOpenForUpdate(const char* path)
{
    // Windows refuses to open a read-only file for writing; an administrator
    // on some file systems is let through. Either way it is not for us.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return 0;
    FILE* f = fopen(path, "r+");
    if (!f)
        return 0;
    fclose(f);
    return 1;
}

// The decimal value of an "EXECUTECount" text: leading white space, an
// optional sign, digits up to the first non-digit; no digits give 0. Values
// beyond the int range are held at its ends, so that n - 1 is an int too.
int executeCount(const char* text)
{
    const long long limit = 2147483647;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value < limit)
            value = value * 10 + (*text - '0');
    if (value > limit)
        value = limit;
    return int(negative ? -value : value);
}

// A game whose update failed: told in a box under "-d", always listed.
void fail(HWND dialog, unsigned textId, const char* argument, const char* title)
{
    if (runState.showErrors)
        showErrorBox(dialog, textId, argument);
    appendTitle(runState.failedList, kListSize, runState.failedListFull, title);
}

// One section of the service INI file: `name` as the pass holds it,
// lower-cased and cut to kSectionNameSize, and `wholeName` as the file
// spells it, whole, for looking it up there.
void updateGame(HWND dialog, const char* serviceIni, const char* name, const char* wholeName)
{
    if (name[0] != 'i')
        return;  // not a game section

    char count[kIniValueSize];
    if (!readIniValue(serviceIni, wholeName, "EXECUTECount", count)) {
        setItemText(dialog, IDC_STATUS, kSearching);
        return;
    }
    char title[kTitleSize];
    gameTitle(name, title);
    char status[kStatusSize];
    snprintf(status, sizeof status, "Updating: %s", title);
    setItemText(dialog, IDC_STATUS, status);

    char value[kIniValueSize];
    if (readIniValue(serviceIni, wholeName, "StartIn", value)) {
        setItemText(dialog, IDC_STATUS, kSearching);  // installed and already known
        return;
    }

    // A cut name can name neither its execute entry section nor its section
    // of the setup INI: the game fails as if its entry section were wrong.
    bool nameCut = strlen(name) < strlen(wholeName);
    char entrySection[kEntrySectionSize];
    char setupDir[kIniValueSize];
    if (nameCut
        || snprintf(entrySection, sizeof entrySection, "%d %s", executeCount(count) - 1, name)
               >= int(sizeof entrySection)
        || !readIniValue(serviceIni, entrySection, "StartIn", setupDir)) {
        fail(dialog, IDS_BAD_EXECUTE_SECTION, name, title);
        return;
    }

    // Values are at most 259 characters, so both paths fit their capacity.
    char setupIni[kSetupPathSize];
    snprintf(setupIni, sizeof setupIni, "%s\\%s", setupDir, "VGOSETUP.INI");
    SetFileAttributesA(setupIni, FILE_ATTRIBUTE_NORMAL);  // failures show in the next test
    if (!canOpenForUpdate(setupIni) || !readIniValue(setupIni, name, "EXECUTECount", value)) {
        fail(dialog, IDS_NO_SETUP_INI, setupIni, title);
        return;
    }
    if (!WritePrivateProfileStringA(name, "StartIn", "<current>", setupIni)) {
        snprintf(status, sizeof status, "Error updating %s, skipping...", name);
        setItemText(dialog, IDC_STATUS, status);
        fail(dialog, IDS_NO_SETUP_INI, setupIni, title);
        return;
    }

    // A setup program that cannot be opened or started fails the game; the
    // mark written above stays. WinExec answers 32 or more when the program
    // started.
    char setupProgram[kSetupPathSize];
    char commandLine[kSetupCommandSize];
    snprintf(setupProgram, sizeof setupProgram, "%s\\%s", setupDir, "VGOSETUP.EXE");
    if (!canOpenForUpdate(setupProgram)
        || formatProgramLine(commandLine, sizeof commandLine, setupDir, "VGOSETUP.EXE", setupIni)
               >= sizeof commandLine
        || WinExec(commandLine, SW_HIDE) < 32) {
        fail(dialog, IDS_NO_SETUP_PROGRAM, setupProgram, title);
        return;
    }
    appendTitle(runState.updatedList, kListSize, runState.updatedListFull, title);
}

// Returns FALSE when the dialog has been ended: nothing to update.
BOOL startPass(HWND dialog, PassState& pass)
{
    InitCommonControls();
    // Without the Windows directory there is no service INI file to read. A
    // list too large for memory cannot be walked whole either: the update
    // cannot complete, as with no list at all, rather than leave games out
    // unseen.
    UINT length = GetWindowsDirectoryA(pass.serviceIniPath, MAX_PATH);
    pass.sectionNames = nullptr;
    if (length > 0 && length < MAX_PATH) {
        memcpy(pass.serviceIniPath + length, kServiceIniName, sizeof kServiceIniName);
        SetFileAttributesA(pass.serviceIniPath, FILE_ATTRIBUTE_NORMAL);
        pass.sectionNames = readSectionNames(pass.serviceIniPath, &pass.sectionLength);
    }
    if (!pass.sectionNames || pass.sectionLength <= 1) {
        free(pass.sectionNames);
        pass.sectionNames = nullptr;
        showErrorBox(dialog, IDS_BAD_COMPONENTS, nullptr);
        EndDialog(dialog, 0);
        return FALSE;
    }
    pass.sectionCount = 0;  // each name's zero lies within the length
    for (int i = 0; i < pass.sectionLength; ++i)
        pass.sectionCount += pass.sectionNames[i] == '\0';
    pass.sectionIndex = 1;
    pass.nextName = pass.sectionNames;

    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 1,
                        MAKELPARAM(0, pass.sectionCount & 0xFFFF));
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    setItemText(dialog, IDC_PERCENT, "  0 %");
    return TRUE;
}

void stepPass(HWND dialog, PassState& pass)
{
    // A step that comes after the pass has ended, or without one begun (the
    // window is shown and hidden again), finds no list and does nothing.
    if (!pass.sectionNames)
        return;
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

    // Stepped by position, not by empty names: a section written "[]" gives
    // an empty name, and the names behind it still count. Held lower-cased
    // and cut to its capacity; looked up whole.
    const char* wholeName = pass.nextName;
    pass.nextName += strlen(wholeName) + 1;
    ++pass.sectionIndex;
    char name[kSectionNameSize];
    size_t length = 0;
    for (; wholeName[length] != '\0' && length < sizeof name - 1; ++length)
        name[length] = asciiLower(wholeName[length]);
    name[length] = '\0';
    updateGame(dialog, pass.serviceIniPath, name, wholeName);
    PostMessageA(dialog, kStepMessage, 0, 0);
}

}  // namespace

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    static PassState pass;  // the dialog's own, for the one pass of a run
    switch (message) {
    case WM_INITDIALOG:
        return startPass(dialog, pass);
    case WM_SHOWWINDOW:
        // Shown once, when the dialog opens: that starts the pass.
        PostMessageA(dialog, kStepMessage, 0, 0);
        return TRUE;
    case kStepMessage:
        stepPass(dialog, pass);
        return TRUE;
    case WM_DESTROY:
        return TRUE;
    }
    return FALSE;
}
