// vkwindow: lets a script wait for a top-level window by its caption, and
// press its OK button, so the demo can photograph a dialog and close it.
//   vkwindow wait CAPTION SECONDS   prints "x y width height" once visible
//   vkwindow ok CAPTION             sends the OK command (IDOK)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "wait") == 0) {
        int tenths = atoi(argv[3]) * 10;
        for (int i = 0; i <= tenths; i++) {
            HWND window = FindWindowA(nullptr, argv[2]);
            if (window && IsWindowVisible(window)) {
                RECT r;
                GetWindowRect(window, &r);
                printf("%ld %ld %ld %ld\n", long(r.left), long(r.top), long(r.right - r.left),
                       long(r.bottom - r.top));
                return 0;
            }
            Sleep(100);
        }
        fprintf(stderr, "vkwindow: no window \"%s\" within %s s\n", argv[2], argv[3]);
        return 1;
    }
    if (argc == 3 && strcmp(argv[1], "ok") == 0) {
        HWND window = FindWindowA(nullptr, argv[2]);
        if (!window) {
            fprintf(stderr, "vkwindow: no window \"%s\"\n", argv[2]);
            return 1;
        }
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        return 0;
    }
    fputs("usage: vkwindow wait CAPTION SECONDS | vkwindow ok CAPTION\n", stderr);
    return 2;
}
