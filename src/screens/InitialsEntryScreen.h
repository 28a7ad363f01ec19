// The initials entry as an object: three letters picked from a scrolling strip of glyphs.
#pragma once
#include <array>
#include <cstdint>
#include <optional>

struct BITMAP;

using Initials = std::array<int16_t, 3>;

inline constexpr int16_t kNoLetter = -1;
inline constexpr int16_t kLastGlyph = 26;

// One visit of the entry screen; entering it plays "highscore.wav". Its picture belongs
// to the caller and may be missing.
struct InitialsEntryScreen {
  using Result = Initials;

  InitialsEntryScreen(BITMAP* highscorePicture, int16_t rank);

  std::optional<Initials> tick();
  void draw();
  // Asked to quit halfway: the letters not yet taken become glyph 0, so the score stays.
  Initials interrupted();

  BITMAP* highscore;  // "highscore.bmp"
  int16_t rank;
  Initials enteredLetters{kNoLetter, kNoLetter, kNoLetter};
  int16_t lettersTaken = 0;
  int16_t letterCursor = 0;
  bool inputHeld = true;
};
