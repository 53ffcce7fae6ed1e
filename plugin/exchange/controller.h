// One page's version check exchange: begun with its instance, moved on by
// every completed stream, ended with the instance.
#pragma once

#include "../host/instance.h"

// One exchange per instance, in PluginInstance::exchangeState.
enum ExchangeState {
    kAwaitingManifest = 0,  // next stream is the manifest
    kAwaitingAnswer = 1,    // the report is posted; next stream is the server's answer
    kAnswered = 2,          // the answer was acted on; later streams are ignored
    kAborted = 3,           // "ABORT;" or "LAUNCH_NOW;" seen; later streams only log
};

// Instances created and not yet destroyed: the log starts anew only with
// the first of them, so no page's lines are lost while it is still at work.
extern int liveInstances;

// Starts a new instance's exchange at kAwaitingManifest, opens the log (or
// adds a first line to it) and reads the trusted server list.
void beginExchange(PluginInstance* This);

// An instance is gone: the next one may start the log anew.
void endExchange(void);

// Acts on the text of the stream from streamUrl that ended with reason.
// Returns the NPError for the browser.
NPError actOnStream(NPP instance, PluginInstance* This, const char* streamUrl, NPReason reason);
