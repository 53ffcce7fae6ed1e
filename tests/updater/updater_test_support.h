// Shared pieces of the updater's tests: the run state they link against and
// a fresh start of it.
#pragma once

// Empties both lists, clears the switches and points the run state at this
// test program, which carries the updater's resources.
void resetRunState();
