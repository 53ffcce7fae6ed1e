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

// A new instance's exchange: its state, the log's first line, the trusted list.
void beginExchange(PluginInstance* This);
void endExchange(void);  // an instance is gone

// Acts on the text of the ended stream from streamUrl; the browser's answer.
NPError actOnStream(NPP instance, PluginInstance* This, const char* streamUrl, NPReason reason);
