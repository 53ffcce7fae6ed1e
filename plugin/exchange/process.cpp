// The handles of the new process are closed at once: we never wait for it,
// and holding them would only keep its kernel objects alive.
#include "process.h"

#include <string.h>

#include <windows.h>

int startDetachedProcess(char* commandLine, const char* directory, uint32_t* error)
{
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                        nullptr, directory, &startup, &process)) {
        *error = GetLastError();
        return 0;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}
