// The updater's two switches, read from the argument text of the command
// line: "-d" also reports each failed game in a message box, "-s" skips the
// summary when nothing failed.
#pragma once

// Sets runState.showErrors for every token "-d" and runState.silentOnSuccess
// for every token "-s" (in any case); never clears them. Other tokens are
// ignored. A null text counts as empty.
void parseCommandLine(const char* text);
