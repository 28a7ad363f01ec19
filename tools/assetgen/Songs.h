// The game's nine music loops, composed in code.
#pragma once
#include <string>
#include <vector>

#include "Music.h"

// TITLE.MP3, LV01.MP3 .. LV07.MP3 and END.MP3. Notation mistakes land in `errors`.
std::vector<music::Song> composeSongs(std::vector<std::string>& errors);
