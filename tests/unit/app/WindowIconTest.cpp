// The window icon file: PAM images decoded into the _NET_WM_ICON layout, and anything else
// refused whole, so a damaged file gives no icon rather than a garbled one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/WindowIcon.h"

namespace {
using Cardinals = std::vector<unsigned long>;

std::string header(int width, int height, const std::string& extra = "") {
  return "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) +
         "\nDEPTH 4\nMAXVAL 255\n" + extra + "TUPLTYPE RGB_ALPHA\nENDHDR\n";
}

std::string pixels(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(WindowIcon, ImagesBecomeSizeThenArgbPixelsEachInTurn) {
  // A 2x1 image (opaque red, half-transparent blue) and a 1x1 one (fully transparent white).
  const std::string file = header(2, 1) + pixels({255, 0, 0, 255, 0, 0, 255, 128}) +
                           header(1, 1, "# a comment\n") + pixels({255, 255, 255, 0});
  EXPECT_EQ(decodeWindowIcon(file),
            (Cardinals{2, 1, 0xFFFF0000ul, 0x800000FFul, 1, 1, 0x00FFFFFFul}));
}

TEST(WindowIcon, AnythingButWholeRgbAlphaImagesGivesNoIcon) {
  const std::string one = pixels({1, 2, 3, 4});
  struct Case {
    const char* what;
    std::string file;
  } cases[] = {
      {"nothing", ""},
      {"another Netpbm kind", "P6\n1 1\n255\n" + pixels({1, 2, 3})},
      {"no end of the header", "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\n"},
      {"RGB without alpha",
       "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n" + pixels({1, 2, 3})},
      {"16-bit samples",
       "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 65535\nTUPLTYPE RGB_ALPHA\n"
       "ENDHDR\n" +
           one + one},
      {"no tuple type", "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nENDHDR\n" + one},
      {"a size that is no number",
       "P7\nWIDTH 1x\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" + one},
      {"an unknown header line", header(1, 1, "ORIGIN 0\n") + one},
      {"no pixels", header(0, 0)},
      {"larger than any taskbar shows", header(kMaxWindowIconSize + 1, 1)},
      {"fewer pixels than the size", header(2, 2) + one},
      {"a whole image, then a cut one", header(1, 1) + one + header(1, 1) + pixels({1, 2})},
      {"trailing bytes", header(1, 1) + one + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(decodeWindowIcon(c.file), Cardinals{});
  }
}

TEST(WindowIcon, AMissingFileGivesNoIcon) {
  EXPECT_EQ(readWindowIcon("/nonexistent/ICON.PAM"), Cardinals{});
}

}  // namespace
