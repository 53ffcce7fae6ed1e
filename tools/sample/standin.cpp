// A stand-in for the service's programs (the client launcher vkclient.exe,
// a game's VGOSETUP.EXE). It appends one line to "started.txt" beside
// itself, saying which program ran, in which directory and with which
// command line, and ends at once. Windowed, so starting it with a new
// console opens none.
#include <windows.h>

#include <stdio.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char program[MAX_PATH] = "";
    char directory[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    GetCurrentDirectoryA(sizeof directory, directory);

    char record[MAX_PATH + 16];
    strcpy(record, program);
    char* slash = strrchr(record, '\\');
    strcpy(slash ? slash + 1 : record, "started.txt");

    FILE* file = fopen(record, "a");
    if (!file)
        return 1;
    const char* name = slash ? strrchr(program, '\\') + 1 : program;
    fprintf(file, "%s started in %s with command line: %s\n", name, directory, GetCommandLineA());
    fclose(file);
    return 0;
}
