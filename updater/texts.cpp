// The program's texts: its string table, the game titles, the summary's
// title lists, and the error box.
#include <stdio.h>
#include <string.h>

#include "resource.h"
#include "vkupdate.h"

namespace {

// Section names of the known games and the string ids of their titles.
struct TitleRow {
    const char* sectionName;
    unsigned titleId;
};

const TitleRow kTitles[] = {
    {"irampart", IDS_TITLE_RAMPART},
    {"iduskfall", IDS_TITLE_DUSKFALL},
    {"itunnelrun", IDS_TITLE_TUNNELRUN},
    {"ispellgale", IDS_TITLE_SPELLGALE},
    {"iquizhall", IDS_TITLE_QUIZHALL},
    {"iblotball", IDS_TITLE_BLOTBALL},
    {"icueshot", IDS_TITLE_CUESHOT},
    {"iwarbands", IDS_TITLE_WARBANDS},
};

}  // namespace

void loadText(unsigned id, char* out, size_t capacity)
{
    if (capacity == 0)
        return;
    int room = capacity > 0x7fffffff ? 0x7fffffff : int(capacity);
    if (LoadStringA(runState.instance, id, out, room) <= 0)
        out[0] = '\0';
}

void setItemText(HWND dialog, int id, const char* text)
{
    SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void showErrorBox(HWND owner, unsigned textId, const char* argument)
{
    char format[kMessageSize];
    char text[kMessageSize];
    char caption[kCaptionSize];
    loadText(textId, format, sizeof format);
    // A long path may cut the message; the box still names the problem.
    if (argument)
        snprintf(text, sizeof text, format, argument);
    loadText(IDS_ERROR_CAPTION, caption, sizeof caption);
    MessageBoxA(owner, argument ? text : format, caption, MB_ICONEXCLAMATION);
}

void gameTitle(const char* sectionName, char* title)
{
    for (const TitleRow& row : kTitles) {
        if (strcmp(sectionName, row.sectionName) == 0) {
            loadText(row.titleId, title, kTitleSize);
            return;
        }
    }
    size_t len = strnlen(sectionName, kTitleSize - 1);
    memcpy(title, sectionName, len);
    title[len] = '\0';
}

void appendTitle(char* list, size_t capacity, int& full, const char* title)
{
    const size_t fullLen = sizeof kListFullLine - 1;
    if (full || capacity < fullLen + 1)
        return;  // already full: later titles would hide the gap
    size_t used = strnlen(list, capacity - 1);

    size_t titleLen = strlen(title);
    // Every title leaves room for the full line behind it.
    if (used + titleLen + 1 + fullLen + 1 <= capacity) {
        memcpy(list + used, title, titleLen);
        list[used + titleLen] = '\n';
        list[used + titleLen + 1] = '\0';
    } else {
        if (used + fullLen + 1 <= capacity)
            memcpy(list + used, kListFullLine, fullLen + 1);
        full = 1;
    }
}
