// Every ended stream moves its own instance's exchange forward: the
// manifest is reported, the server's answer redirects or starts the
// launcher, and "ABORT;" or "LAUNCH_NOW;" end the exchange from any state.
// Each page's exchange is its own: another page's streams never move it.
#include "controller.h"

#include <string.h>

#include "../host/instance.h"
#include "launch.h"
#include "locations.h"
#include "log.h"
#include "navigate.h"
#include "report.h"
#include "trusted_servers.h"

// The text of a stream that delivered nothing. Writable like the received
// text, which is cut in place; nothing here ever writes into an empty one.
static char emptyText[1];

static bool startsWith(const char* text, const char* keyword)
{
    return strncmp(text, keyword, strlen(keyword)) == 0;
}

// Cuts the game name off the front of text at its ";" and finds the game's
// directories. Returns what follows the ";", or null after logging why not.
static char* takeGame(PluginInstance* This, char* text)
{
    char* semicolon = strchr(text, ';');
    if (!semicolon) {
        logMessage("couldn't find semi for end of game name\n");
        return nullptr;
    }
    *semicolon = '\0';
    logMessage("game is %s\n", text);
    if (!initPaths(This, text)) {
        logMessage("initPaths failed\n");
        return nullptr;
    }
    return semicolon + 1;
}

// "LAUNCH_NOW;" game ";" arguments. Returns an NPError.
static NPError launchNow(NPP instance, PluginInstance* This, const char* streamUrl)
{
    logMessage("Got launch now -- starting client\n");
    This->exchangeState = kAborted;
    // data stays where the block's bytes begin: only the text is cut.
    char* arguments = takeGame(This, This->data + strlen("LAUNCH_NOW;"));
    if (!arguments)
        return NPERR_GENERIC_ERROR;
    if (!startClient(instance, This, arguments, streamUrl)) {
        logMessage("start client failed\n");
        return NPERR_GENERIC_ERROR;
    }
    return NPERR_NO_ERROR;
}

// Game name ";" manifest lines: fingerprint and report them to the
// manifest's own server.
static NPError reportManifest(NPP instance, PluginInstance* This, const char* manifestUrl)
{
    char reportUrl[kUrlSize];
    if (!reportAddress(This, manifestUrl, reportUrl, sizeof reportUrl))
        return NPERR_GENERIC_ERROR;
    char* manifest = takeGame(This, This->data);
    if (!manifest)
        return NPERR_GENERIC_ERROR;
    if (!performChecksums(instance, This, manifest, reportUrl)) {
        logMessage("performChecksums failed\n");
        return NPERR_GENERIC_ERROR;
    }
    This->exchangeState = kAwaitingAnswer;
    return NPERR_NO_ERROR;
}

// The server's answer: a page to show in our frame, or the launcher's arguments.
static NPError actOnAnswer(NPP instance, PluginInstance* This, const char* streamUrl)
{
    logMessage("Awake -- buffer is '%s'\n", This->data);
    if (startsWith(This->data, "REDIRECT;"))
        navigate(instance, This, streamUrl, This->data + strlen("REDIRECT;"), "_self");
    else if (!startClient(instance, This, This->data, streamUrl))
        logMessage("start client failed\n");
    This->exchangeState = kAnswered;
    return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    logMessage("NPP_DestroyStream called; reason = %d, state = %d\n", reason, This->exchangeState);

    // Each stream is acted on once, and only the one whose bytes are held:
    // a second end would terminate and cut its text again.
    if (!isCurrentStream(This, stream, "end not acted on"))
        return NPERR_GENERIC_ERROR;
    This->streamOpen = false;

    // A stream cut short by the network or the user is not what the server
    // sent: acting on it would report half a manifest or start the launcher
    // with half its arguments. The state stays, so a complete stream can
    // still carry the exchange on.
    if (reason != NPRES_DONE) {
        logMessage("stream ended early; not acted on\n");
        return NPERR_GENERIC_ERROR;
    }

    // The last byte received gives way to the terminator. With nothing
    // received there is no byte of this stream to give, and data may still
    // point into an earlier stream's block.
    if (This->dataLen > 0 && This->data)
        This->data[This->dataLen - 1] = '\0';
    else
        This->data = emptyText;

    const char* streamUrl = stream ? stream->url : nullptr;
    if (startsWith(This->data, "ABORT;")) {
        logMessage("Got abort from server -- ABORTING!\n");
        This->exchangeState = kAborted;
        navigate(instance, This, streamUrl, strchr(This->data, ';') + 1, "_top");
    } else if (startsWith(This->data, "LAUNCH_NOW;")) {
        NPError launched = launchNow(instance, This, streamUrl);
        if (launched != NPERR_NO_ERROR)
            return launched;
    }

    switch (This->exchangeState) {
    case kAwaitingManifest:
        return reportManifest(instance, This, streamUrl);
    case kAwaitingAnswer:
        return actOnAnswer(instance, This, streamUrl);
    case kAborted:
        logMessage("Aborting...\n");
        return NPERR_NO_ERROR;
    default:
        return NPERR_NO_ERROR;
    }
}
