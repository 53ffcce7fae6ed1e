// The version check exchange as a state machine over completed streams.
#pragma once

// One exchange per instance, in PluginInstance::exchangeState; NPP_New
// starts each at kAwaitingManifest.
enum ExchangeState {
    kAwaitingManifest = 0,  // next stream is the manifest
    kAwaitingAnswer = 1,    // the report is posted; next stream is the server's answer
    kAnswered = 2,          // the answer was acted on; later streams are ignored
    kAborted = 3,           // "ABORT;" or "LAUNCH_NOW;" seen; later streams only log
};
