// Whether the summary dialog follows the update pass.
#pragma once

#include <stdint.h>

#include "run_state.h"

// passResult is what the progress dialog returned: 1 when the pass visited
// every section, 0 when it could not start (the player has been told), -1
// when the dialog itself could not be created.
bool summaryWanted(intptr_t passResult, const RunState& state);
