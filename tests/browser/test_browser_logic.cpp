// What an operator's odd server or page can hand the browser stand-in as
// an address: resolved as a browser would, or refused, never half-read.
#include <doctest/doctest.h>

#include "page.h"
#include "plugin_types.h"
#include "url.h"

TEST_CASE("references resolve as a browser resolves them; odd addresses are refused")
{
    struct {
        const char* base;
        const char* reference;
        const char* resolved;  // "" refused
    } const cases[] = {
        {"http://h/a/page.html", "../../../x", "http://h/x"},  // not above the root
        {"http://h/a/b?q", "?r", "http://h/a/b?r"},            // a query keeps the path
        {"http://h/a/b#f", "", "http://h/a/b"},
        {"https://h:8443/g/", "ret_objects#x", "https://h:8443/g/ret_objects"},
        {"http://h/a/", "//other:81/x", "http://other:81/x"},
        {"http://h/a/", "javascript:alert(1)", ""},
        {"ftp://h/a/", "x", ""},
        {"http://h/a/", "https://h/b c", ""},  // a blank would need an encoding
    };
    for (const auto& c : cases)
        CHECK_MESSAGE(resolveUrl(c.base, c.reference) == c.resolved, c.base, " + ", c.reference);

    HttpUrl url;
    for (const char* bad : {"http:///x", "http://h:0/x", "http://h:65536/x", "http://h:8o/x", "http://h?x",
                            "file:///c:/x"})
        CHECK_FALSE_MESSAGE(parseHttpUrl(bad, url), bad);
    REQUIRE(parseHttpUrl("HTTPS://H:8443/p?q#f", url));
    CHECK((url.host == L"H" && url.port == 8443 && url.path == L"/p?q" && url.secure));
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
