// zeph-assetgen --preview FOLDER: the generated pictures composed as the game lays them out,
// written as preview-*.bmp beside them for a look at the whole screens.
#pragma once
#include <string>

// Reads the pictures generateArt wrote into folder and writes the previews there.
bool writeArtPreviews(const std::string& folder);
