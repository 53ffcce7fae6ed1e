// Keeps the test bed's Wine desktop open for the whole run. Without a
// program on it, Wine closes the desktop a second after the last one exits
// and its explorer.exe quits; a program starting a moment later then waits
// up to ten seconds in its first use of the desktop while a new explorer.exe
// starts up and waits for Wine's RpcSs service.
#include <windows.h>

int main()
{
    // Loading user32 and asking for the desktop window makes this process one
    // of the desktop's users; it then waits until testbed.sh down ends it.
    if (!GetDesktopWindow())
        return 1;
    for (;;)
        Sleep(INFINITE);
}
