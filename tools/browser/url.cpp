// Address parsing and resolution, free of any platform call.
#include "url.h"

#include <ctype.h>

#include <vector>

static bool startsWithNoCase(const std::string& text, const char* prefix)
{
    size_t i = 0;
    for (; prefix[i]; i++) {
        if (i >= text.size() || tolower((unsigned char)text[i]) != tolower((unsigned char)prefix[i]))
            return false;
    }
    return true;
}

bool parseHttpUrl(const std::string& text, HttpUrl& url)
{
    if (!startsWithNoCase(text, "http://"))
        return false;
    size_t hostStart = 7;
    size_t pathStart = text.find_first_of("/?#", hostStart);
    std::string authority = text.substr(hostStart, pathStart == std::string::npos ? std::string::npos
                                                                                 : pathStart - hostStart);
    std::string path = pathStart == std::string::npos ? "/" : text.substr(pathStart);
    size_t fragment = path.find('#');
    if (fragment != std::string::npos)
        path.erase(fragment);
    if (path.empty() || path[0] != '/')
        path = "/" + path;
    url.port = 80;
    size_t colon = authority.find(':');
    if (colon != std::string::npos) {
        std::string port = authority.substr(colon + 1);
        authority.erase(colon);
        if (port.empty() || port.size() > 5)
            return false;
        int value = 0;
        for (char c : port) {
            if (!isdigit((unsigned char)c))
                return false;
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535)
            return false;
        url.port = value;
    }
    if (authority.empty())
        return false;
    url.host = authority;
    url.path = path;
    return true;
}

// Folds "." and ".." segments of an absolute path; the query is kept apart.
static std::string removeDotSegments(const std::string& path)
{
    std::vector<std::string> kept;
    size_t start = 1;
    bool trailingSlash = false;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        std::string segment = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        trailingSlash = false;
        if (segment == "..") {
            if (!kept.empty())
                kept.pop_back();
            trailingSlash = true;
        } else if (segment == ".") {
            trailingSlash = true;
        } else {
            kept.push_back(segment);
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::string folded;
    for (const std::string& segment : kept)
        folded += "/" + segment;
    if (trailingSlash || folded.empty())
        folded += "/";
    return folded;
}

std::string resolveUrl(const std::string& base, const std::string& reference)
{
    HttpUrl page;
    if (!parseHttpUrl(base, page))
        return "";
    size_t colon = reference.find(':');
    size_t firstStop = reference.find_first_of("/?#");
    if (colon != std::string::npos && colon > 0 && (firstStop == std::string::npos || colon < firstStop))
        return reference;  // has a scheme of its own
    std::string origin = "http://" + page.host + (page.port == 80 ? "" : ":" + std::to_string(page.port));
    if (reference.compare(0, 2, "//") == 0)
        return "http:" + reference;

    std::string pagePath = page.path;
    std::string pageQuery;
    size_t query = pagePath.find('?');
    if (query != std::string::npos) {
        pageQuery = pagePath.substr(query);
        pagePath.erase(query);
    }
    std::string ref = reference;
    size_t fragment = ref.find('#');
    if (fragment != std::string::npos)
        ref.erase(fragment);
    if (ref.empty())
        return origin + pagePath + pageQuery;
    if (ref[0] == '?')
        return origin + pagePath + ref;

    std::string refQuery;
    query = ref.find('?');
    if (query != std::string::npos) {
        refQuery = ref.substr(query);
        ref.erase(query);
    }
    std::string merged;
    if (ref[0] == '/')
        merged = ref;
    else
        merged = pagePath.substr(0, pagePath.rfind('/') + 1) + ref;
    return origin + removeDotSegments(merged) + refQuery;
}
