// Entry point of vkupdate.exe: reads the switches, runs the update pass in
// its progress dialog, then shows the summary unless the rules say not to.
// The exit status is always 0: the player learns the outcome from the
// dialogs, and an installer that runs "vkupdate -s" needs nothing more.
#include <windows.h>

#include "command_line.h"
#include "resource.h"
#include "run_state.h"
#include "summary_decision.h"
#include "summary_dialog.h"
#include "update_pass.h"

RunState runState;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    runState.instance = instance;
    runState.silentOnSuccess = 0;
    runState.showErrors = 0;
    runState.updatedList[0] = '\0';
    runState.failedList[0] = '\0';

    parseCommandLine(commandLine);

    INT_PTR passResult = runUpdatePass(instance);
    if (summaryWanted(passResult, runState))
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SUMMARY), nullptr, summaryDialogProc, 0);
    return 0;
}
