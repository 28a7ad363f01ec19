// The art's colours: one RGB type, mixing helpers and the named palette every picture shares.
#pragma once
#include <algorithm>
#include <cmath>

struct Rgb {
  int r = 0, g = 0, b = 0;
};

inline int clampChannel(double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); }

inline Rgb mix(Rgb a, Rgb b, double t) {
  return {clampChannel(a.r + (b.r - a.r) * t), clampChannel(a.g + (b.g - a.g) * t),
          clampChannel(a.b + (b.b - a.b) * t)};
}
inline Rgb shade(Rgb c, double f) {
  return {clampChannel(c.r * f), clampChannel(c.g * f), clampChannel(c.b * f)};
}
inline Rgb lighten(Rgb c, double t) { return mix(c, {255, 255, 255}, t); }
inline double luminance(Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }
inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// A gradient of up to four stops spread evenly from t = 0 to t = 1.
struct Gradient {
  Rgb stops[4];
  int count = 2;
  Rgb at(double t) const {
    t = std::clamp(t, 0.0, 1.0) * (count - 1);
    int i = std::min(static_cast<int>(t), count - 2);
    return mix(stops[i], stops[i + 1], t - i);
  }
};

namespace pal {
inline constexpr Rgb kKey{255, 0, 255};  // transparent wherever it stands
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kInk{14, 10, 34};  // outlines: a deep violet-black rather than flat black

// The four block colours, told apart by luminance as well as hue (yellow light, blue dark).
inline constexpr Rgb kBlockColors[4] = {
    {226, 52, 48}, {52, 196, 84}, {44, 108, 236}, {246, 204, 42}};

// Night sky and board well.
inline constexpr Rgb kSkyTop{4, 3, 20};
inline constexpr Rgb kSkyMid{24, 10, 58};
inline constexpr Rgb kSkyHorizon{92, 26, 110};
inline constexpr Rgb kNeon{255, 92, 196};
inline constexpr Rgb kGridCyan{60, 200, 255};
inline constexpr Rgb kWellTop{7, 9, 26};
inline constexpr Rgb kWellBottom{18, 22, 56};

// Panel metal.
inline constexpr Rgb kSteelLight{118, 130, 170};
inline constexpr Rgb kSteel{66, 74, 112};
inline constexpr Rgb kSteelDark{30, 34, 58};
inline constexpr Rgb kScreen{6, 10, 28};
}  // namespace pal
