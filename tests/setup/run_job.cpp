// vkrunjob "COMMAND LINE": runs a command line and waits for it and for every
// process it starts, then exits with the status of the last of them to end.
// An NSIS uninstaller hands its work to a copy of itself in TEMP and ends at
// once; the test needs the copy's end and its status.
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: vkrunjob \"COMMAND LINE\"\n", stderr);
        return 125;
    }
    char command[32768];
    if (strlen(argv[1]) >= sizeof command) {
        fputs("vkrunjob: the command line is too long\n", stderr);
        return 125;
    }
    strcpy(command, argv[1]);

    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT link = {job, port};
    if (!job || !port ||
        !SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &link, sizeof link)) {
        fprintf(stderr, "vkrunjob: no job object (error %lu)\n", GetLastError());
        return 125;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION first = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &first)) {
        fprintf(stderr, "vkrunjob: cannot start %s (error %lu)\n", command, GetLastError());
        return 125;
    }
    AssignProcessToJobObject(job, first.hProcess);
    ResumeThread(first.hThread);
    CloseHandle(first.hThread);

    // Each process is opened as the job announces it, so its status can
    // still be read once it has ended.
    HANDLE processes[64] = {first.hProcess};
    DWORD ids[64] = {first.dwProcessId};
    int count = 1;
    DWORD status = 0;
    for (;;) {
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED data = nullptr;
        if (!GetQueuedCompletionStatus(port, &message, &key, &data, 600000)) {
            fputs("vkrunjob: the processes did not end within 10 minutes\n", stderr);
            return 124;
        }
        DWORD id = DWORD(ULONG_PTR(data));
        if (message == JOB_OBJECT_MSG_NEW_PROCESS && id != first.dwProcessId && count < 64) {
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, id);
            if (process) {
                processes[count] = process;
                ids[count++] = id;
            }
            fprintf(stderr, "vkrunjob: process %lu started\n", id);
        } else if (message == JOB_OBJECT_MSG_EXIT_PROCESS || message == JOB_OBJECT_MSG_ABNORMAL_EXIT_PROCESS) {
            for (int i = 0; i < count; i++) {
                if (ids[i] == id) {
                    WaitForSingleObject(processes[i], INFINITE);
                    GetExitCodeProcess(processes[i], &status);
                    fprintf(stderr, "vkrunjob: process %lu ended with %lu\n", id, status);
                }
            }
        } else if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
            return int(status);
        }
    }
}
