// Entry point of vkupdate.exe: sets up the run state and reads the
// switches. The exit status is always 0; the player learns the outcome from
// the dialogs.
#include <windows.h>

#include "command_line.h"
#include "run_state.h"

RunState runState;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    runState.instance = instance;
    runState.silentOnSuccess = 0;
    runState.showErrors = 0;
    runState.updatedList[0] = '\0';
    runState.failedList[0] = '\0';

    parseCommandLine(commandLine);
    return 0;
}
