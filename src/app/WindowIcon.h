// The game window's icon for the desktop: the generator draws it from the same art as the menu
// icon into the data folder, as 8-bit RGBA images in the Netpbm PAM format, one per size.
#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

inline constexpr const char* kWindowIconFile = "ICON.PAM";
// The generator's file is 98964 bytes; five times that leaves room and stops a runaway read.
inline constexpr std::size_t kMaxWindowIconBytes = 512 * 1024;
// Larger images are refused: a taskbar never shows more, and the property stays small.
inline constexpr int kMaxWindowIconSize = 256;

// The images laid out as the _NET_WM_ICON property wants them: for each, its width and height,
// then its pixels row by row as 0xAARRGGBB. Empty unless the text is one or more RGB_ALPHA
// images with MAXVAL 255, back to back and nothing else.
std::vector<unsigned long> decodeWindowIcon(std::string_view pam);

// Reads the file by the rules every file the game reads follows (a regular file, opened without
// blocking, within kMaxWindowIconBytes) and decodes it; empty, with one line on standard error
// naming the file and why, when it is refused or malformed (the window then has none).
std::vector<unsigned long> readWindowIcon(const char* path);
