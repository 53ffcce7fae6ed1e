// Matching a page's type against a library's registration strings.
#include "plugin_types.h"

#include "command_text.h"

// length bytes at text against word, ASCII letters in any case.
static bool sameWord(const char* text, size_t length, const std::string& word)
{
    return length == word.size() && sameIgnoringCase(text, word.c_str(), length);
}

bool sameType(const std::string& a, const std::string& b)
{
    return sameWord(a.c_str(), a.size(), b);
}

bool typeListServes(const std::string& list, const std::string& type)
{
    if (type.empty())
        return false;
    size_t start = 0;
    for (;;) {
        size_t bar = list.find('|', start);
        size_t end = bar == std::string::npos ? list.size() : bar;
        if (sameWord(list.c_str() + start, end - start, type))
            return true;
        if (bar == std::string::npos)
            return false;
        start = bar + 1;
    }
}

bool isPluginFileName(const std::string& name)
{
    return name.size() >= 6 && sameWord(name.c_str(), 2, "np") &&
           sameWord(name.c_str() + name.size() - 4, 4, ".dll");
}
