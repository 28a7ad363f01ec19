// The window icon file: PAM images decoded into the _NET_WM_ICON layout, and anything else
// refused whole, so a damaged file gives no icon rather than a garbled one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
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

// The icon read from a file of a temporary folder, with what it printed.
class WindowIconFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zeph-icon-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder = pattern;
    path = folder + "/" + kWindowIconFile;
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  Cardinals read(std::string& printed) {
    ::testing::internal::CaptureStderr();
    Cardinals icon = readWindowIcon(path.c_str());
    printed = ::testing::internal::GetCapturedStderr();
    return icon;
  }
  std::string folder, path;
};

TEST_F(WindowIconFile, AWholeFileIsReadQuietly) {
  std::ofstream(path, std::ios::binary) << header(1, 1) << pixels({1, 2, 3, 4});
  std::string printed;
  EXPECT_EQ(read(printed), (Cardinals{1, 1, 0x04010203ul}));
  EXPECT_EQ(printed, "");
}

TEST_F(WindowIconFile, AnythingElseGivesNoIconAndOneLineWhy) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    std::string why;
  } cases[] = {
      {"missing", [](const std::string&) {}, "missing"},
      {"a pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); },
       "not a regular file"},
      {"a link to an endless stream",
       [](const std::string& p) { ASSERT_EQ(::symlink("/dev/zero", p.c_str()), 0); },
       "not a regular file"},
      {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); },
       "not a regular file"},
      // Refused by its size alone: nothing of it is read.
      {"a sparse giant",
       [](const std::string& p) {
         std::ofstream(p, std::ios::binary).close();
         ASSERT_EQ(::truncate(p.c_str(), off_t{1} << 30), 0);
       },
       "too large (1073741824 bytes, at most " + std::to_string(kMaxWindowIconBytes) + ")"},
      {"malformed", [](const std::string& p) { std::ofstream(p, std::ios::binary) << "P7\n"; },
       "damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(path);
    c.make(path);
    std::string printed;
    EXPECT_EQ(read(printed), Cardinals{});
    EXPECT_EQ(printed, "zeph: " + path + ": " + c.why + "; the window has no icon\n");
  }
}

}  // namespace
