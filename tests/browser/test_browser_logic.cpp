// What an operator's odd server or page can hand the browser stand-in, and
// the exchanges on loopback never do: it must refuse or bound it, not crash.
#include <doctest/doctest.h>

#include "http.h"
#include "page.h"
#include "plugin_types.h"
#include "url.h"

TEST_CASE("odd addresses and HTTP answers are refused or bounded")
{
    CHECK(resolveUrl("http://h/a/page.html", "../../../x") == "http://h/x");  // not above root
    CHECK(resolveUrl("ftp://h/a/", "x").empty());
    HttpUrl url;
    for (const char* bad : {"https://h/", "http:///x", "http://h:0/x", "http://h:65536/x",
                            "http://h:8o/x"})
        CHECK_FALSE_MESSAGE(parseHttpUrl(bad, url), bad);
    struct {
        const char* raw;
        const char* body;
        std::string error;
        int status = 0;
    } const cases[] = {
        {"HTTP/1.0 200 OK\nContent-Length: 2\n\nabX", "ab", "", 200},  // more than announced
        {"HTTP/1.0 404 OK\nContent-Length: -3\n\nab", "ab", "bad Content-Length: -3", 404},
        {"SSH-2.0-OpenSSH\r\n\r\n", "", "not an HTTP status line: SSH-2.0-OpenSSH"},
        {"HTTP/1.0-200-OK\n\nab", "", "no blank in the HTTP status line: HTTP/1.0-200-OK"},
        {"HTTP/1.0 99999999999 OK\n\nab", "",
         "the HTTP status code is not three digits: HTTP/1.0 99999999999 OK"},
        {"HTTP/1.0 2x0 OK\n\nab", "", "the HTTP status code is not three digits: HTTP/1.0 2x0 OK"},
        {"HTTP/1.0 200\n\nab", "ab", "", 200},  // the reason phrase may be left out
        {"HTTP/1.0 200 OK\r\nContent-Le", "",
         "the server closed the connection inside the headers"},
    };
    for (const auto& c : cases) {
        HttpAnswer answer;
        parseHttpAnswer(c.raw, answer);
        CHECK_MESSAGE(
            (answer.body == c.body && answer.error == c.error && answer.status == c.status), c.raw);
    }
}

TEST_CASE("a library's MIMEType list serves a type named in it, in any case")
{
    struct {
        const char* list;
        const char* type;
        bool serves;
    } const cases[] = {
        {"application/x-velkor-versioning", "application/x-velkor-versioning", true},
        {"application/x-velkor-versioning", "Application/X-Velkor-Versioning", true},
        {"application/x-other|application/x-velkor-versioning", "application/x-velkor-versioning", true},
        {"application/x-velkor-versioning|application/x-other", "application/x-other", true},
        {"application/x-velkor-versioning-old", "application/x-velkor-versioning", false},  // a longer name
        {"application/x-velkor", "application/x-velkor-versioning", false},                // a shorter one
        {"application/x-other||", "application/x-velkor-versioning", false},
        {"", "application/x-velkor-versioning", false},
        {"|", "", false},  // an empty type is served by nobody
    };
    for (const auto& c : cases)
        CHECK_MESSAGE(typeListServes(c.list, c.type) == c.serves, c.list, " / ", c.type);
    for (const char* name : {"NPvkchk.dll", "npother.DLL", "np.dll"})
        CHECK_MESSAGE(isPluginFileName(name), name);
    for (const char* name : {"vkchk.dll", "NPvkchk.dll.bak", "npvkchk.dl", "Np"})
        CHECK_FALSE_MESSAGE(isPluginFileName(name), name);
}

TEST_CASE("without a type to look for, the first embed that names one is taken")
{
    Embed embed;
    REQUIRE(findEmbed("<embed src=a><EMBED SRC=b TYPE='Application/X-Velkor-Versioning'><embed type=c>", "",
                      embed));
    CHECK(embed.value("src") == "b");
    CHECK(embed.value("type") == "Application/X-Velkor-Versioning");
    CHECK_FALSE(findEmbed("<embed src=a><embedded type=b>", "", embed));
}
