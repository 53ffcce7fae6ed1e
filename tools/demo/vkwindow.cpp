// vkwindow: lets a script wait for a top-level window by its caption, and
// press its OK button, so the demo can photograph a dialog and close it.
//   vkwindow wait CAPTION SECONDS   prints "x y width height" once visible
//   vkwindow texts CAPTION          prints the text of each control on view
//   vkwindow ok CAPTION             sends the OK command (IDOK)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Controls placed outside the dialog's frame are not shown, whatever their
// visibility flag says.
static bool onScreen(HWND child)
{
    RECT own, frame, both;
    GetWindowRect(child, &own);
    GetWindowRect(GetParent(child), &frame);
    return IsWindowVisible(child) && IntersectRect(&both, &own, &frame);
}

static BOOL CALLBACK printText(HWND child, LPARAM)
{
    char text[1024] = "";
    if (onScreen(child) && GetWindowTextA(child, text, sizeof text) > 0) {
        // One control per line: the lists' own line breaks become " / ".
        for (char* c = text; *c; c++) {
            if (*c == '\r')
                *c = ' ';
        }
        printf("   [%d] ", GetDlgCtrlID(child));
        for (const char* c = text; *c; c++) {
            if (*c == '\n')
                fputs(c[1] ? " / " : "", stdout);
            else
                putchar(*c);
        }
        putchar('\n');
    }
    return TRUE;
}

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
    if (argc == 3 && (strcmp(argv[1], "texts") == 0 || strcmp(argv[1], "ok") == 0)) {
        HWND window = FindWindowA(nullptr, argv[2]);
        if (!window) {
            fprintf(stderr, "vkwindow: no window \"%s\"\n", argv[2]);
            return 1;
        }
        if (strcmp(argv[1], "texts") == 0)
            EnumChildWindows(window, printText, 0);
        else
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        return 0;
    }
    fputs("usage: vkwindow wait CAPTION SECONDS | texts CAPTION | ok CAPTION\n", stderr);
    return 2;
}
