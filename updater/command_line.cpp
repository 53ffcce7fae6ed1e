// The switch scanner. Only a space ends a token, so a tab inside a token
// belongs to it; each token is folded to lower case and compared whole.
#include "command_line.h"

#include <string.h>

#include "run_state.h"

namespace {

enum { kTokenSize = 80 };  // terminator included

bool isWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* skipWhiteSpace(const char* p)
{
    while (isWhiteSpace(*p))
        ++p;
    return p;
}

char foldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void applyToken(const char* token)
{
    if (strcmp(token, "-d") == 0)
        runState.showErrors = 1;
    else if (strcmp(token, "-s") == 0)
        runState.silentOnSuccess = 1;
}

}  // namespace

void parseCommandLine(const char* text)
{
    if (!text || !*text)
        return;

    char token[kTokenSize];
    size_t length = 0;
    bool tooLong = false;  // a switch is two characters: an overlong token is no switch
    const char* p = skipWhiteSpace(text);
    for (;;) {
        char c = *p;
        if (c != ' ' && c != '\0') {
            if (length < kTokenSize - 1)
                token[length++] = foldCase(c);
            else
                tooLong = true;
            ++p;
            continue;
        }
        token[length] = '\0';
        if (!tooLong)
            applyToken(token);
        length = 0;
        tooLong = false;
        if (c == '\0')
            return;
        p = skipWhiteSpace(p + 1);
    }
}
