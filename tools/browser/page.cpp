// A small tag reader: enough HTML for "<embed name=value ...>" with quoted
// or bare values, in any case.
#include "page.h"

#include <ctype.h>

#include <algorithm>

#include "command_text.h"

// Where html next holds tag ("<name", in any case), from pos on.
static size_t findTag(const std::string& html, const char* tag, size_t pos)
{
    size_t length = strlen(tag);
    for (; (pos = html.find('<', pos)) != std::string::npos; pos++) {
        if (sameIgnoringCase(html.c_str() + pos, tag, length))
            return pos;
    }
    return std::string::npos;
}

static bool sameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && sameIgnoringCase(a.c_str(), b.c_str(), a.size());
}

std::string Embed::value(const std::string& name) const
{
    for (const auto& attribute : attributes) {
        if (attribute.first == name)
            return attribute.second;
    }
    return "";
}

// Reads the attributes of the tag whose name ends at pos, up to its ">".
static void readAttributes(const std::string& html, size_t pos, Embed& embed)
{
    size_t n = html.size();
    while (pos < n) {
        while (pos < n && isspace((unsigned char)html[pos]))
            pos++;
        if (pos >= n || html[pos] == '>' || html[pos] == '/')
            return;
        size_t nameStart = pos;
        while (pos < n && !isspace((unsigned char)html[pos]) && html[pos] != '=' && html[pos] != '>')
            pos++;
        std::string name = html.substr(nameStart, pos - nameStart);
        std::transform(name.begin(), name.end(), name.begin(), asciiLower);
        std::string value;
        while (pos < n && isspace((unsigned char)html[pos]))
            pos++;
        if (pos < n && html[pos] == '=') {
            pos++;
            while (pos < n && isspace((unsigned char)html[pos]))
                pos++;
            if (pos < n && (html[pos] == '"' || html[pos] == '\'')) {
                char quote = html[pos++];
                size_t end = html.find(quote, pos);
                if (end == std::string::npos)
                    end = n;
                value = html.substr(pos, end - pos);
                pos = end + 1;
            } else {
                size_t start = pos;
                while (pos < n && !isspace((unsigned char)html[pos]) && html[pos] != '>')
                    pos++;
                value = html.substr(start, pos - start);
            }
        }
        if (!name.empty())
            embed.attributes.emplace_back(name, value);
    }
}

bool findEmbed(const std::string& html, const std::string& mimeType, Embed& embed)
{
    for (size_t pos = 0; (pos = findTag(html, "<embed", pos)) != std::string::npos;) {
        pos += 6;
        if (pos < html.size() && !isspace((unsigned char)html[pos]) && html[pos] != '>')
            continue;  // <embedded> and the like
        Embed found;
        readAttributes(html, pos, found);
        std::string type = found.value("type");
        if (mimeType.empty() ? !type.empty() : sameText(type, mimeType)) {
            embed = found;
            return true;
        }
    }
    return false;
}

bool asksNoReferrer(const std::string& html)
{
    for (size_t pos = 0; (pos = findTag(html, "<meta", pos)) != std::string::npos;) {
        pos += 5;
        Embed meta;
        readAttributes(html, pos, meta);
        if (sameText(meta.value("name"), "referrer") && sameText(meta.value("content"), "no-referrer"))
            return true;
    }
    return false;
}
