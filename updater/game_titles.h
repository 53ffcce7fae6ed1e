// Display titles of the service's games, by their section names.
#pragma once

// Writes the title of the game whose lower-cased section name is given into
// `title` (kTitleSize characters). A game the program does not know is
// shown under its section name, cut to fit.
void gameTitle(const char* sectionName, char* title);
