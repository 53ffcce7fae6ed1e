// The run state the updater's logic links against (WinMain is not in the
// tests), and its reset between cases.
#include "updater_test_support.h"

#include <windows.h>

#include "run_state.h"

RunState runState;

void resetRunState()
{
    runState.instance = GetModuleHandleA(nullptr);
    runState.showErrors = 0;
    runState.silentOnSuccess = 0;
    runState.updatedList[0] = '\0';
    runState.failedList[0] = '\0';
}
