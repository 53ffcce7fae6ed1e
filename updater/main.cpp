// Entry point of vkupdate.exe: reads the switches, runs the update pass in
// its progress dialog, then shows the summary unless the rules say not to.
// The exit status is always 0: the player learns the outcome from the
// dialogs, and an installer that runs "vkupdate -s" needs nothing more.
#include <string.h>

#include "command_text.h"
#include "resource.h"
#include "vkupdate.h"

void parseCommandLine(const char* text, RunState& state)
{
    if (!text)
        return;
    char token[kTokenSize];
    for (const char* p = text;;) {
        while (*p != '\0' && strchr(" \t\n\v\f\r", *p))
            ++p;
        if (*p == '\0')
            return;
        // Only a space ends a token, so a tab inside a token belongs to it.
        // An overlong token is cut, and then it is no switch either.
        size_t length = 0;
        for (; *p != '\0' && *p != ' '; ++p)
            if (length < kTokenSize - 1)
                token[length++] = asciiLower(*p);
        token[length] = '\0';
        if (strcmp(token, "-d") == 0)
            state.showErrors = 1;
        else if (strcmp(token, "-s") == 0)
            state.silentOnSuccess = 1;
    }
}

bool summaryWanted(INT_PTR passResult, const RunState& state)
{
    // -1 means the progress dialog never ran: there is no outcome to show,
    // and a summary would claim that everything is up to date.
    if (passResult == 0 || passResult == -1)
        return false;
    return state.failedList[0] != '\0' || !state.silentOnSuccess;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    runState = RunState{instance, 0, 0, "", "", 0, 0};
    parseCommandLine(commandLine, runState);
    INT_PTR passResult = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                         progressDialogProc, 0);
    if (summaryWanted(passResult, runState))
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SUMMARY), nullptr, summaryDialogProc, 0);
    return 0;
}
