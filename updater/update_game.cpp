// The decision list of the update pass, for one section name: which games
// get their setup INI marked "StartIn" = "<current>" and their setup program
// started, and which are recorded as failed.
#include "update_game.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "game_titles.h"
#include "pass_files.h"
#include "pass_limits.h"
#include "resource.h"
#include "run_state.h"
#include "texts.h"
#include "title_lists.h"

namespace {

const char kSearching[] = "Searching for game clients...";

// Formats into out; 0 (and out empty) when the text would not fit.
__attribute__((format(gnu_printf, 3, 4)))
int formatFits(char* out, size_t outSize, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(out, outSize, format, args);
    va_end(args);
    if (n < 0 || size_t(n) >= outSize) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

void setStatus(HWND dialog, const char* text)
{
    SendDlgItemMessageA(dialog, IDC_STATUS, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// A game whose update failed: told in a box under "-d", always listed.
void fail(HWND dialog, unsigned textId, const char* argument, const char* title)
{
    if (runState.showErrors) {
        char format[kMessageSize];
        char text[kMessageSize];
        char caption[kCaptionSize];
        loadText(textId, format, sizeof format);
        // A long path may cut the message; the box still names the problem.
        snprintf(text, sizeof text, format, argument);
        loadText(IDS_ERROR_CAPTION, caption, sizeof caption);
        MessageBoxA(dialog, text, caption, MB_ICONEXCLAMATION);
    }
    appendTitle(runState.failedList, kListSize, title);
}

bool hasBlank(const char* text)
{
    return strchr(text, ' ') != nullptr || strchr(text, '\t') != nullptr;
}

}  // namespace

int executeCount(const char* text)
{
    const long long limit = 2147483647;  // so that n - 1 is an int too
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

int setupCommandLine(const char* setupDir, const char* setupIniPath, char* out, size_t outSize)
{
    // Unquoted, a blank in the directory would let Windows try the text
    // before it as a program of its own. The setup INI path goes as it
    // stands: the setup program reads its argument text whole.
    const char* format = hasBlank(setupDir) ? "\"%s\\%s\" %s" : "%s\\%s %s";
    return formatFits(out, outSize, format, setupDir, "VGOSETUP.EXE", setupIniPath);
}

void updateGame(HWND dialog, const char* serviceIniPath, const char* name, const char* wholeName)
{
    if (name[0] != 'i')
        return;  // not a game section

    char count[kValueSize];
    if (!readIniValue(serviceIniPath, wholeName, "EXECUTECount", count)) {
        setStatus(dialog, kSearching);
        return;
    }
    char title[kTitleSize];
    gameTitle(name, title);
    char status[kStatusSize];
    formatFits(status, sizeof status, "Updating: %s", title);
    setStatus(dialog, status);
    int n = executeCount(count);

    char value[kValueSize];
    if (readIniValue(serviceIniPath, wholeName, "StartIn", value)) {
        setStatus(dialog, kSearching);  // installed and already known
        return;
    }

    // A cut name can name neither its execute entry section nor its section
    // of the setup INI: the game fails as if its entry section were wrong.
    bool nameCut = strlen(name) < strlen(wholeName);
    char entrySection[kEntrySectionSize];
    char setupDir[kValueSize];
    if (nameCut || !formatFits(entrySection, sizeof entrySection, "%d %s", n - 1, name)
        || !readIniValue(serviceIniPath, entrySection, "StartIn", setupDir)) {
        fail(dialog, IDS_BAD_EXECUTE_SECTION, name, title);
        return;
    }

    // Values are at most 259 characters, so the paths and the command line
    // below always fit their capacities; formatFits keeps that honest.
    char setupIni[kPathSize];
    formatFits(setupIni, sizeof setupIni, "%s\\%s", setupDir, "VGOSETUP.INI");
    makeFileNormal(setupIni);
    if (!canOpenForUpdate(setupIni) || !readIniValue(setupIni, name, "EXECUTECount", value)) {
        fail(dialog, IDS_NO_SETUP_INI, setupIni, title);
        return;
    }
    if (!writeStartInMark(setupIni, name)) {
        formatFits(status, sizeof status, "Error updating %s, skipping...", name);
        setStatus(dialog, status);
        fail(dialog, IDS_NO_SETUP_INI, setupIni, title);
        return;
    }

    // A setup program that cannot be opened or started fails the game; the
    // mark written above stays.
    char setupProgram[kPathSize];
    char commandLine[kCommandLineSize];
    formatFits(setupProgram, sizeof setupProgram, "%s\\%s", setupDir, "VGOSETUP.EXE");
    if (!canOpenForUpdate(setupProgram)
        || !setupCommandLine(setupDir, setupIni, commandLine, sizeof commandLine)
        || !startHidden(commandLine)) {
        fail(dialog, IDS_NO_SETUP_PROGRAM, setupProgram, title);
        return;
    }
    appendTitle(runState.updatedList, kListSize, title);
}
