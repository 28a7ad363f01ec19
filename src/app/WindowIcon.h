// The game window's icon for the desktop: the generator draws it from the same art as the menu
// icon into the data folder, as 8-bit RGBA images in the Netpbm PAM format, one per size.
#pragma once
#include <string_view>
#include <vector>

inline constexpr const char* kWindowIconFile = "ICON.PAM";
// Larger images are refused: a taskbar never shows more, and the property stays small.
inline constexpr int kMaxWindowIconSize = 256;

// The images laid out as the _NET_WM_ICON property wants them: for each, its width and height,
// then its pixels row by row as 0xAARRGGBB. Empty unless the text is one or more RGB_ALPHA
// images with MAXVAL 255, back to back and nothing else.
std::vector<unsigned long> decodeWindowIcon(std::string_view pam);

// Reads and decodes the file; empty when it is missing or malformed (the window then has none).
std::vector<unsigned long> readWindowIcon(const char* path);
