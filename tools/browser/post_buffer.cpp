// Splitting a post buffer into the plug-in's header lines and the body.
#include "post_buffer.h"

#include "command_text.h"

static bool isHeaderLine(const std::string& line)
{
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    for (size_t i = 0; i < colon; i++) {
        unsigned char c = (unsigned char)line[i];
        if (c <= ' ' || c >= 127)
            return false;
    }
    return true;
}

PostBuffer splitPostBuffer(const std::string& bytes)
{
    PostBuffer split;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            break;
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        start = end + 1;
        if (line.empty()) {
            if (lines.empty())
                break;  // a leading empty line is body, not an empty header block
            split.headers = lines;
            split.body = bytes.substr(start);
            return split;
        }
        if (!isHeaderLine(line))
            break;
        lines.push_back(line);
    }
    split.body = bytes;
    return split;
}

std::string headerValue(const std::vector<std::string>& headers, const std::string& name,
                        bool* found)
{
    for (const std::string& line : headers) {
        size_t colon = line.find(':');
        if (colon != name.size())
            continue;
        if (!sameIgnoringCase(line.c_str(), name.c_str(), colon))
            continue;
        size_t value = line.find_first_not_of(" \t", colon + 1);
        if (found)
            *found = true;
        return value == std::string::npos ? "" : line.substr(value);
    }
    if (found)
        *found = false;
    return "";
}
