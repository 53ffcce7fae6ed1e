// Addresses through the platform's own parsers: WinHttpCrackUrl takes them
// apart and UrlCombine resolves references.
#include <windows.h>
#include <shlwapi.h>
#include <winhttp.h>

#include "url.h"

enum { kMaxUrl = 2048 };

bool parseHttpUrl(const std::string& text, HttpUrl& url)
{
    // Printable ASCII only: anything else would need an encoding the page
    // does not tell.
    for (char c : text) {
        if (c <= ' ' || c > '~')
            return false;
    }
    std::wstring wide(text.begin(), text.end());
    if (wide.size() > kMaxUrl)
        return false;
    wchar_t host[256], path[kMaxUrl + 1], extra[kMaxUrl + 1];
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = kMaxUrl + 1;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = kMaxUrl + 1;
    if (!WinHttpCrackUrl(wide.c_str(), DWORD(wide.size()), 0, &parts) || !host[0] || parts.nPort == 0)
        return false;
    // WinHttpCrackUrl reads "h:8o" as port 8 and "h?q" as a host: the
    // authority must be the host and port it found, as written.
    size_t start = wide.find(L"//") + 2;
    std::wstring authority = wide.substr(start, wide.find_first_of(L"/?#", start) - start);
    if (authority != host && authority != host + (L":" + std::to_wstring(parts.nPort)))
        return false;
    url.host = host;
    url.port = parts.nPort;
    url.path = path[0] ? path : L"/";
    url.path += std::wstring(extra).substr(0, std::wstring(extra).find(L'#'));
    url.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return true;
}

std::string resolveUrl(const std::string& base, const std::string& reference)
{
    HttpUrl checked;
    if (!parseHttpUrl(base, checked))
        return "";
    std::string ref = reference.substr(0, reference.find('#'));
    std::string page = base.substr(0, base.find('#'));
    // UrlCombine drops the page's last segment for "" and "?q", where a
    // browser keeps the page's path.
    if (ref.empty() || ref[0] == '?')
        return page.substr(0, ref.empty() ? std::string::npos : page.find('?')) + ref;
    char combined[kMaxUrl + 1];
    DWORD size = sizeof combined;
    if (UrlCombineA(page.c_str(), ref.c_str(), combined, &size, 0) != S_OK ||
        !parseHttpUrl(combined, checked))
        return "";
    return combined;
}
