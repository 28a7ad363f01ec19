// The asset generator's two halves: pictures, and effects with music.
#pragma once
#include <string>

// Each writes its files into folder (which exists) and returns false on any failure.
bool generateArt(const std::string& folder);
bool generateAudio(const std::string& folder);
