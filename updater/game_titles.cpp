// The game title table: section names of the known games and the string
// ids of their display titles.
#include "game_titles.h"

#include <string.h>

#include "pass_limits.h"
#include "resource.h"
#include "texts.h"

namespace {

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
