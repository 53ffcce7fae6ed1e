// Running the plug-in's requests: each is sent (http.cpp), then its answer
// goes to the instance that asked as a stream or becomes a navigation, and
// a notifying request's end is told to that instance.
#include "browser.h"
#include "post_buffer.h"

enum { kMaxRequests = 32 };  // a plug-in that keeps asking is cut off here
enum { kMaxStalls = 50 };    // WriteReady answers of 0 in a row before the browser gives up

static void notifyEnd(Run& run, const Request& request, NPReason reason)
{
    if (!request.notify)
        return;
    if (!run.plugin.urlnotify) {
        transcriptNote("the plug-in offers no NPP_URLNotify; request " + std::to_string(request.number) +
                       " ends unannounced");
        return;
    }
    enterPlugin("NPP_URLNotify(" + quoted(request.url) + ", " + reasonText(reason) + ")");
    run.plugin.urlnotify(&request.page->npp, request.url.c_str(), reason, request.notifyData);
    leavePlugin("(no result)");
}

// Sends the request; a GET follows redirects and leaves the final address
// in url.
static HttpAnswer send(const Run& run, const Request& request, std::string& url)
{
    url = request.url;
    if (!request.post)
        return httpGet(url, request.referer, run.options.timeoutSeconds);
    std::vector<std::string> headers = request.headers;
    if (!request.referer.empty())
        headers.push_back("Referer: " + request.referer);
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
    return httpPost(request.url, headers, request.body, run.options.timeoutSeconds);
}

static bool answerUsable(Run& run, const Request& request, const HttpAnswer& answer)
{
    if (answer.status >= 200 && answer.status < 300)
        return true;
    std::string what = request.describe();
    if (answer.status)
        run.failures.push_back(what + " answered " + answer.statusLine + ": " + quoted(answer.body, 200));
    else
        run.failures.push_back(what + " failed: " + answer.error);
    return false;
}

// Hands bytes to the instance as one stream: NPP_NewStream, then
// NPP_WriteReady and NPP_Write in chunks no larger than the plug-in is
// ready for (nor than the configured chunk size), then NPP_DestroyStream.
// end is the length the server announced, which a stream cut short does
// not reach. Returns false when the plug-in refused the stream or a chunk;
// a refused stream is a failure of the run unless the frame shows the page
// anyway (refusalFails false).
static bool deliverStream(Run& run, Page& page, const std::string& url, const std::string& type,
                          const std::string& bytes, uint32_t end, NPReason endReason, void* notifyData,
                          bool refusalFails)
{
    int number = ++run.streams;
    std::string label = "stream " + std::to_string(number);
    NPStream stream = {};
    stream.url = url.c_str();
    stream.end = end;
    stream.notifyData = notifyData;
    std::vector<char> mime(type.begin(), type.end());
    mime.push_back('\0');
    uint16_t stype = NP_NORMAL;

    if (!run.plugin.newstream || !run.plugin.write || !run.plugin.destroystream) {
        run.failures.push_back("the plug-in's function table has no stream entries");
        transcriptNote("cannot deliver " + label + ": the plug-in's table has no stream entries");
        return false;
    }
    enterPlugin("NPP_NewStream(" + quoted(type) + ", " + label + " " + url + ", end " + std::to_string(end) +
                ", seekable 0)");
    NPError created = run.plugin.newstream(&page.npp, mime.data(), &stream, 0, &stype);
    leavePlugin(npErrorText(created) + ", stype " + std::to_string(stype));
    if (created != NPERR_NO_ERROR) {
        if (refusalFails)
            run.failures.push_back("NPP_NewStream refused " + label);
        else
            transcriptNote("the plug-in turned down the page's stream; the frame shows the page");
        return false;
    }
    if (stype != NP_NORMAL)
        transcriptNote("the plug-in asked for stream type " + std::to_string(stype) +
                       "; this browser delivers through NPP_Write only");

    bool accepted = true;
    NPReason reason = endReason;
    size_t offset = 0;
    int stalls = 0;
    std::vector<char> chunk;
    while (offset < bytes.size()) {
        int32_t ready = run.plugin.writeready ? run.plugin.writeready(&page.npp, &stream)
                                              : int32_t(run.options.chunkSize);
        size_t amount = bytes.size() - offset;
        if (amount > run.options.chunkSize)
            amount = run.options.chunkSize;
        if (ready <= 0) {
            enterPlugin("NPP_WriteReady(" + label + ")");
            leavePlugin(std::to_string(ready));
            if (++stalls > kMaxStalls) {
                transcriptNote("the plug-in stayed unready; ending " + label);
                reason = NPRES_USER_BREAK;
                accepted = false;
                break;
            }
            pumpMessages();
            continue;
        }
        if (size_t(ready) < amount)
            amount = size_t(ready);
        // The plug-in gets a copy: it must not be able to change what we hold.
        chunk.assign(bytes.begin() + long(offset), bytes.begin() + long(offset + amount));
        enterPlugin("NPP_Write(" + label + ", offset " + std::to_string(offset) + ", len " +
                    std::to_string(amount) + ", " + quoted(chunk.data(), chunk.size(), 80) +
                    ") after NPP_WriteReady = " + std::to_string(ready));
        int32_t written = run.plugin.write(&page.npp, &stream, int32_t(offset), int32_t(amount), chunk.data());
        leavePlugin(std::to_string(written));
        if (written < 0) {
            transcriptNote("NPP_Write refused the bytes; ending " + label);
            reason = NPRES_USER_BREAK;
            accepted = false;
            break;
        }
        if (written == 0 && ++stalls > kMaxStalls) {
            transcriptNote("the plug-in took no bytes; ending " + label);
            reason = NPRES_USER_BREAK;
            accepted = false;
            break;
        }
        if (written > 0)
            stalls = 0;
        offset += size_t(written) < amount ? size_t(written) : amount;
        pumpMessages();
    }

    enterPlugin("NPP_DestroyStream(" + label + ", " + reasonText(reason) + ")");
    NPError ended = run.plugin.destroystream(&page.npp, &stream, reason);
    leavePlugin(npErrorText(ended));
    pumpMessages();
    if (!accepted)
        run.failures.push_back("the plug-in refused the bytes of " + label);
    if (ended != NPERR_NO_ERROR)
        run.failures.push_back("NPP_DestroyStream of " + label + " answered " + npErrorText(ended));
    return accepted;
}

// Runs one request to its end, delivering streams and notifications to the
// instance.
static void runRequest(Run& run, const Request& request)
{
    transcriptNote("request " + std::to_string(request.number) + ": " + request.describe() +
                   request.destination() +
                   (run.pages.size() > 1 ? " of page " + std::to_string(request.page->number) : ""));
    if (!request.page->live) {
        transcriptNote("the instance is gone; request " + std::to_string(request.number) + " dropped");
        return;
    }
    bool toInstance = !request.hasTarget || (request.target == "_self" && run.options.followSelf);

    if (!toInstance && !request.post) {
        // A page for a frame: where the browser goes now. It is fetched, so
        // a page the server does not have shows up as a failure.
        run.navigations.push_back(request.target + " -> " + request.url);
        transcriptNote("navigation: " + request.target + " -> " + request.url);
        std::string url;
        HttpAnswer answer = send(run, request, url);
        bool loaded = answerUsable(run, request, answer);
        notifyEnd(run, request, loaded ? NPRES_DONE : NPRES_NETWORK_ERR);
        return;
    }

    if (request.hasTarget && !request.post) {
        // A followed "_self": the frame's new page goes to the instance.
        run.navigations.push_back(request.target + " -> " + request.url + " (streamed to the instance)");
        transcriptNote("navigation: " + request.target + " -> " + request.url + ", streamed to the instance");
    }
    std::string url;
    HttpAnswer answer = send(run, request, url);
    if (!answerUsable(run, request, answer)) {
        notifyEnd(run, request, NPRES_NETWORK_ERR);
        return;
    }
    if (!toInstance) {
        run.navigations.push_back(request.target + " -> answer of POST " + request.url);
        transcriptNote("navigation: " + request.target + " -> the answer of POST " + request.url);
        notifyEnd(run, request, NPRES_DONE);
        return;
    }
    if (answer.cutShort)
        run.failures.push_back(request.describe() + ": " + answer.error);
    NPReason reason = answer.cutShort ? NPRES_NETWORK_ERR : NPRES_DONE;
    std::string type = answer.contentType.empty() ? run.mimeType : answer.contentType;
    uint32_t end = answer.announced >= 0 && answer.announced <= 0xFFFFFFFFLL ? uint32_t(answer.announced)
                                                                           : uint32_t(answer.body.size());
    // A page loaded into the plug-in's frame is shown there whether the
    // plug-in takes its stream or not: turning it down fails nothing.
    bool delivered = deliverStream(run, *request.page, url, type, answer.body, end, reason,
                                   request.notifyData, !request.hasTarget);
    notifyEnd(run, request, delivered ? reason : NPRES_USER_BREAK);
}

bool runNextRequest(Run& run)
{
    if (run.queue.empty())
        return false;
    Request next = run.queue.front();
    run.queue.pop_front();
    if (next.number > kMaxRequests) {
        run.failures.push_back("the plug-in kept asking; stopped after " + std::to_string(kMaxRequests) +
                               " requests");
        return false;
    }
    runRequest(run, next);
    return true;
}
