// Running a queued request: fetch or post over HTTP, then either deliver
// the answer to the instance as a stream or record a navigation, and tell
// the instance how a notifying request ended.
#include <stdio.h>

#include "http.h"
#include "post_buffer.h"
#include "session.h"
#include "transcript.h"
#include "url.h"

enum { kMaxRedirects = 5 };  // a server that keeps redirecting is given up on here

static void notifyEnd(const Request& request, NPReason reason)
{
    if (!request.notify)
        return;
    if (!session.plugin.urlnotify) {
        transcriptNote("the plug-in offers no NPP_URLNotify; request " + std::to_string(request.number) +
                       " ends unannounced");
        return;
    }
    enterPlugin("NPP_URLNotify(" + quoted(request.url) + ", " + reasonText(reason) + ")");
    session.plugin.urlnotify(&request.page->npp, request.url.c_str(), reason, request.notifyData);
    leavePlugin("(no result)");
}

static void noteAnswer(const HttpAnswer& answer)
{
    if (answer.status)
        transcriptNote("answer: " + answer.statusLine + ", " + std::to_string(answer.body.size()) +
                       " bytes of " + (answer.contentType.empty() ? "untyped data" : answer.contentType) +
                       ": " + quoted(answer.body, 300));
    if (!answer.error.empty())
        transcriptNote("HTTP failure: " + answer.error);
}

static bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// As browsers do: a server can tell a request from its own pages from one
// that another site's page makes.
static std::vector<std::string> refererHeader(const std::string& referer)
{
    return referer.empty() ? std::vector<std::string>() : std::vector<std::string>{"Referer: " + referer};
}

HttpAnswer httpGet(std::string& url, const std::string& referer)
{
    for (int hops = 0;; hops++) {
        transcriptNote("GET " + url);
        HttpAnswer answer =
            httpExchange(url, "GET", refererHeader(referer), "", session.options.timeoutSeconds);
        noteAnswer(answer);
        if (!isRedirect(answer.status) || !answer.error.empty())
            return answer;
        std::string next = answer.location.empty() ? "" : resolveUrl(url, answer.location);
        if (next.empty())
            answer.error = "the answer " + answer.statusLine + " redirects to " + quoted(answer.location) +
                           ", not an http or https address";
        else if (hops == kMaxRedirects)
            answer.error = "more than " + std::to_string(kMaxRedirects) + " redirects; the last to " + next;
        if (!answer.error.empty()) {
            answer.status = 0;  // not a page: the failure is the redirect's
            transcriptNote("HTTP failure: " + answer.error);
            return answer;
        }
        transcriptNote("redirected to " + next);
        url = next;
    }
}

// Sends the request and reports the answer; returns it for delivery. A GET
// follows redirects and leaves the final address in url.
static HttpAnswer exchange(const Request& request, std::string& url)
{
    url = request.url;
    if (!request.post)
        return httpGet(url, request.referer);
    std::vector<std::string> headers = request.headers;
    for (const std::string& line : refererHeader(request.referer))
        headers.push_back(line);
    bool found = false;
    std::string given = headerValue(headers, "Content-Length", &found);
    if (!found) {
        headers.push_back("Content-Length: " + std::to_string(request.body.size()));
        transcriptNote("no Content-Length from the plug-in; the browser adds " +
                       std::to_string(request.body.size()));
    } else if (given != std::to_string(request.body.size())) {
        // Sent as given: the server is the one to judge it.
        transcriptNote("the plug-in's Content-Length is " + given + " but its body has " +
                       std::to_string(request.body.size()) + " bytes; sent as given");
    }
    // A redirect of a post is not followed: a browser would have to ask
    // before sending the report again, or turn it into a GET that loses it.
    transcriptNote("POST " + request.url + " with " + std::to_string(request.body.size()) + " body bytes");
    HttpAnswer answer = httpExchange(request.url, "POST", headers, request.body, session.options.timeoutSeconds);
    noteAnswer(answer);
    return answer;
}

static bool answerUsable(const Request& request, const HttpAnswer& answer)
{
    if (answer.status >= 200 && answer.status < 300)
        return true;
    std::string what = request.describe();
    if (answer.status)
        session.failures.push_back(what + " answered " + answer.statusLine + ": " +
                                   quoted(answer.body, 200));
    else
        session.failures.push_back(what + " failed: " + answer.error);
    return false;
}

void runRequest(const Request& request)
{
    transcriptNote("request " + std::to_string(request.number) + ": " + request.describe() +
                   request.destination() +
                   (session.pages.size() > 1 ? " of page " + std::to_string(request.page->number) : ""));
    if (!request.page->live) {
        transcriptNote("the instance is gone; request " + std::to_string(request.number) + " dropped");
        return;
    }
    bool toInstance = !request.hasTarget || (request.target == "_self" && session.options.followSelf);

    if (!toInstance && !request.post) {
        // A page for a frame: where the browser goes now. It is fetched, so
        // a page the server does not have shows up as a failure.
        session.navigations.push_back(request.target + " -> " + request.url);
        transcriptNote("navigation: " + request.target + " -> " + request.url);
        std::string url;
        HttpAnswer answer = exchange(request, url);
        bool loaded = answerUsable(request, answer);
        notifyEnd(request, loaded ? NPRES_DONE : NPRES_NETWORK_ERR);
        return;
    }

    if (request.hasTarget && !request.post) {
        // A followed "_self": the frame's new page goes to the instance.
        session.navigations.push_back(request.target + " -> " + request.url + " (streamed to the instance)");
        transcriptNote("navigation: " + request.target + " -> " + request.url + ", streamed to the instance");
    }
    std::string url;
    HttpAnswer answer = exchange(request, url);
    if (!answerUsable(request, answer)) {
        notifyEnd(request, NPRES_NETWORK_ERR);
        return;
    }
    if (!toInstance) {
        session.navigations.push_back(request.target + " -> answer of POST " + request.url);
        transcriptNote("navigation: " + request.target + " -> the answer of POST " + request.url);
        notifyEnd(request, NPRES_DONE);
        return;
    }
    if (answer.cutShort)
        session.failures.push_back(request.describe() + ": " + answer.error);
    NPReason reason = answer.cutShort ? NPRES_NETWORK_ERR : NPRES_DONE;
    std::string type = answer.contentType.empty() ? session.mimeType : answer.contentType;
    uint32_t end = answer.announced >= 0 && answer.announced <= 0xFFFFFFFFLL ? uint32_t(answer.announced)
                                                                           : uint32_t(answer.body.size());
    size_t failures = session.failures.size();
    bool delivered = deliverStream(*request.page, url, type, answer.body, end, reason, request.notifyData);
    // A page loaded into the plug-in's frame is shown there whether the
    // plug-in takes its stream or not: turning it down fails nothing.
    if (request.hasTarget && session.failures.size() == failures + 1 &&
        session.failures.back().compare(0, 21, "NPP_NewStream refused") == 0) {
        session.failures.pop_back();
        transcriptNote("the plug-in turned down the page's stream; the frame shows the page");
    }
    notifyEnd(request, delivered ? reason : NPRES_USER_BREAK);
}
