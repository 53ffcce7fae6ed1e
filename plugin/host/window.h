// The instance's window: subclassed while the browser hands it over, given
// its own procedure back when it goes.
#pragma once

#include "instance.h"

// Binds the window of the descriptor handed over (null: none) and repaints it.
void setWindow(PluginInstance* This, NPWindow* window);

// Gives the bound window its own procedure back; nothing when none is bound.
void restoreWindow(PluginInstance* This);
