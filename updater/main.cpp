// Entry point of vkupdate.exe.
#include <windows.h>

#include "run_state.h"

RunState runState;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    runState.instance = instance;
    return 0;
}
