// A small tag reader: enough HTML for "<embed name=value ...>" with quoted
// or bare values, in any case.
#include "page.h"

#include <ctype.h>

static std::string lower(std::string text)
{
    for (char& c : text)
        c = (char)tolower((unsigned char)c);
    return text;
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
        std::string name = lower(html.substr(nameStart, pos - nameStart));
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
    std::string text = lower(html);
    std::string wanted = lower(mimeType);
    size_t pos = 0;
    while ((pos = text.find("<embed", pos)) != std::string::npos) {
        pos += 6;
        if (pos < text.size() && !isspace((unsigned char)text[pos]) && text[pos] != '>')
            continue;  // <embedded> and the like
        Embed found;
        readAttributes(html, pos, found);
        std::string type = lower(found.value("type"));
        if (wanted.empty() ? !type.empty() : type == wanted) {
            embed = found;
            return true;
        }
    }
    return false;
}

bool asksNoReferrer(const std::string& html)
{
    std::string text = lower(html);
    for (size_t pos = 0; (pos = text.find("<meta", pos)) != std::string::npos;) {
        pos += 5;
        Embed meta;
        readAttributes(html, pos, meta);
        if (lower(meta.value("name")) == "referrer" && lower(meta.value("content")) == "no-referrer")
            return true;
    }
    return false;
}
