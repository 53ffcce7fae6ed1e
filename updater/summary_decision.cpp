// The summary follows every pass that ran, except a quiet ("-s") one in
// which nothing failed.
#include "summary_decision.h"

bool summaryWanted(intptr_t passResult, const RunState& state)
{
    // -1 means the progress dialog never ran: there is no outcome to show,
    // and a summary would claim that everything is up to date.
    if (passResult == 0 || passResult == -1)
        return false;
    if (state.failedList[0] == '\0' && state.silentOnSuccess == 1)
        return false;
    return true;
}
