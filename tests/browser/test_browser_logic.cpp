// What an operator's odd server or page can hand the browser stand-in as
// an address: resolved as a browser would, or refused, never half-read.
#include <doctest/doctest.h>

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
