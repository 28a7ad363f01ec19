// The start-up check for missing or damaged bitmaps, and pictures loaded at the drawing depth.
#include <allegro.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/Assets.h"
#include "support/AsUser.h"

namespace fs = std::filesystem;

// For a top-down file a 64-bit load_bitmap asks malloc for a bitmap of negative height. A release
// build gets null back, and so must the sanitizer build, not an abort.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

// One BMP as a picture editor would write it: 4x3 pixels, a palette below 16 bits, the masks
// that each header version carries, rows bottom-up unless topDown.
struct BmpLayout {
  uint32_t infoSize;
  uint16_t bitsPerPixel;
  uint32_t compression = 0;
  bool topDown = false;
  int width = 4;
  int height = 3;
};

void putLittle(std::vector<unsigned char>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<unsigned char> pixelData(const BmpLayout& layout) {
  const bool runLength = layout.compression == 1 || layout.compression == 2;
  std::vector<unsigned char> pixels;
  for (int y = 0; y < layout.height; ++y) {
    if (runLength) {  // one run a row, then end of line
      const unsigned char colours = layout.compression == 1 ? 0x01 : 0x12;
      pixels.insert(pixels.end(), {static_cast<unsigned char>(layout.width), colours, 0, 0});
    } else {
      const int rowBytes = (layout.width * layout.bitsPerPixel + 31) / 32 * 4;
      for (int i = 0; i < rowBytes; ++i) pixels.push_back(static_cast<unsigned char>(0x40 + i));
    }
  }
  if (runLength && !pixels.empty()) pixels.back() = 1;  // the last end of line: end of bitmap
  return pixels;
}

std::vector<unsigned char> bmpBytes(const BmpLayout& layout) {
  const bool os2 = layout.infoSize == 12;
  const bool shortOs2 = layout.infoSize == 16;  // OS/2 2.x, only the fields up to the depth
  std::vector<unsigned char> info;
  putLittle(info, layout.infoSize, 4);
  putLittle(info, static_cast<uint32_t>(layout.width), os2 ? 2 : 4);
  putLittle(info, static_cast<uint32_t>(layout.topDown ? -layout.height : layout.height),
            os2 ? 2 : 4);
  putLittle(info, 1, 2);
  putLittle(info, layout.bitsPerPixel, 2);
  const std::vector<unsigned char> pixels = pixelData(layout);
  if (!os2 && !shortOs2) {
    putLittle(info, layout.compression, 4);
    putLittle(info, static_cast<uint32_t>(pixels.size()), 4);
    putLittle(info, 2835, 4);  // 72 dpi
    putLittle(info, 2835, 4);
    putLittle(info, 0, 4);  // colours used: all
    putLittle(info, 0, 4);
  }
  const uint32_t masks[] = {layout.bitsPerPixel == 16 ? 0xF800u : 0xFF0000u,
                            layout.bitsPerPixel == 16 ? 0x07E0u : 0x00FF00u,
                            layout.bitsPerPixel == 16 ? 0x001Fu : 0x0000FFu, 0};
  const bool versionMasks =
      layout.infoSize == 52 || layout.infoSize == 56 || layout.infoSize >= 108;
  for (int i = 0; versionMasks && i < (layout.infoSize == 52 ? 3 : 4); ++i)
    putLittle(info, masks[i], 4);
  if (layout.infoSize >= 108) putLittle(info, 0x73524742, 4);  // colour space "sRGB"
  info.resize(layout.infoSize, 0);  // end points, gamma, intent, profile, OS/2 2.x extras
  if (layout.infoSize == 40 && layout.compression == 3)  // the bit fields follow the header
    for (int i = 0; i < 3; ++i) putLittle(info, masks[i], 4);
  if (layout.bitsPerPixel <= 8)
    for (int i = 0; i < (1 << layout.bitsPerPixel); ++i) {
      info.insert(info.end(), {static_cast<unsigned char>(i), static_cast<unsigned char>(2 * i),
                               static_cast<unsigned char>(3 * i)});
      if (!os2) info.push_back(0);
    }

  std::vector<unsigned char> file = {'B', 'M'};
  const uint32_t offset = static_cast<uint32_t>(14 + info.size());
  putLittle(file, offset + static_cast<uint32_t>(pixels.size()), 4);
  putLittle(file, 0, 4);
  putLittle(file, offset, 4);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

void writeBytes(const char* name, const std::vector<unsigned char>& bytes) {
  std::FILE* f = std::fopen(name, "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  ASSERT_EQ(std::fclose(f), 0);
}

// The pictures the start-up check finds wanting, by name.
std::vector<std::string> missingBitmapFiles() {
  std::vector<std::string> missing;
  for (const PictureFile& picture : checkPictures())
    if (picture.state != BitmapFileState::Readable) missing.push_back(picture.name);
  return missing;
}

std::string missingBitmapReport() { return missingBitmapReport(checkPictures()); }

class InTempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zeph-assets-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    previous = fs::current_path();
    fs::current_path(folder);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(folder);
  }
  static void writeBitmap(const char* name, int depth) {
    BITMAP* bitmap = create_bitmap_ex(depth, 4, 4);
    clear_to_color(bitmap, makecol_depth(depth, 255, 0, 255));
    ASSERT_EQ(save_bitmap(name, bitmap, nullptr), 0);
    destroy_bitmap(bitmap);
  }
  fs::path folder, previous;
};

TEST_F(InTempFolder, EveryBitmapIsReportedMissingInAnEmptyFolder) {
  auto missing = missingBitmapFiles();
  EXPECT_EQ(static_cast<int>(missing.size()), bitmapFileCount);
  EXPECT_NE(std::find(missing.begin(), missing.end(), "LOADER.BMP"), missing.end());
  EXPECT_NE(std::find(missing.begin(), missing.end(), "playfield.bmp"), missing.end());
}

TEST_F(InTempFolder, OnlyTheAbsentOrBrokenFilesAreNamed) {
  for (int i = 0; i < bitmapFileCount; ++i) writeBitmap(bitmapFiles[i], 24);
  EXPECT_TRUE(missingBitmapFiles().empty());

  fs::remove("go.bmp");
  {
    std::FILE* f = std::fopen("menu.bmp", "wb");
    std::fputs("not a bitmap", f);
    std::fclose(f);
  }
  fs::remove("Logo.bmp");
  fs::create_directory("Logo.bmp");  // a folder where a file should be
  fs::remove("blocks.bmp");
  writeBitmap("BLOCKS.BMP", 24);                                 // names are case-sensitive
  fs::resize_file("flash.bmp", fs::file_size("flash.bmp") - 1);  // one byte of pixels lost
  fs::resize_file("kvelmar.bmp", 20);                            // headers cut short

  auto missing = missingBitmapFiles();
  std::sort(missing.begin(), missing.end());
  EXPECT_EQ(missing, (std::vector<std::string>{"Logo.bmp", "blocks.bmp", "flash.bmp", "go.bmp",
                                               "kvelmar.bmp", "menu.bmp"}));
}

// Allegro 4 keeps a Windows header's height in a C long read as four unsigned bytes. Where long
// has 32 bits a top-down file's height comes out negative and the loader reads the rows top
// down; where it has 64 bits the height is over four thousand million, no bitmap of that size
// can be made, and the loader gives up.
// The check refuses top-down files on every build, so a picture the game reads on one machine
// is read on all.
constexpr bool kLoaderReadsTopDown = sizeof(long) == 4;

TEST_F(InTempFolder, TheCheckAcceptsExactlyTheBmpKindsTheLoaderReads) {
  using State = BitmapFileState;
  struct Case {
    const char* kind;
    BmpLayout layout;
    State expected;
    bool loaderReads;  // whether Allegro's own loader reads it on this build
  };
  const Case cases[] = {
      {"OS/2 1.x, 1 bit", {12, 1}, State::Readable, true},
      {"OS/2 1.x, 4 bits", {12, 4}, State::Readable, true},
      {"OS/2 1.x, 8 bits", {12, 8}, State::Readable, true},
      {"OS/2 1.x, 24 bits", {12, 24}, State::Readable, true},
      {"OS/2 1.x, 24 bits, 1x1: shorter than a Windows header",
       {12, 24, 0, false, 1, 1},
       State::Readable,
       true},
      {"Windows 3, 1 bit", {40, 1}, State::Readable, true},
      {"Windows 3, 4 bits", {40, 4}, State::Readable, true},
      {"Windows 3, 8 bits", {40, 8}, State::Readable, true},
      {"Windows 3, 16 bits", {40, 16}, State::Readable, true},
      {"Windows 3, 24 bits", {40, 24}, State::Readable, true},
      {"Windows 3, 32 bits", {40, 32}, State::Readable, true},
      {"Windows 3, RLE8", {40, 8, 1}, State::Readable, true},
      {"Windows 3, RLE4", {40, 4, 2}, State::Readable, true},
      {"Windows 3, 16-bit fields", {40, 16, 3}, State::Readable, true},
      {"Windows 3, 32-bit fields", {40, 32, 3}, State::Readable, true},
      {"Windows 3, 24 bits, top-down", {40, 24, 0, true}, State::OtherBmpKind, kLoaderReadsTopDown},
      {"Windows 3, 8 bits, top-down", {40, 8, 0, true}, State::OtherBmpKind, kLoaderReadsTopDown},
      {"Windows 3, JPEG inside", {40, 24, 4}, State::OtherBmpKind, false},
      {"Windows 3, PNG inside", {40, 24, 5}, State::OtherBmpKind, false},
      {"OS/2 2.x short header", {16, 24}, State::OtherBmpKind, false},
      {"Windows V2 (52)", {52, 32, 3}, State::OtherBmpKind, false},
      {"Windows V3 (56)", {56, 32, 3}, State::OtherBmpKind, false},
      {"OS/2 2.x (64)", {64, 24}, State::OtherBmpKind, false},
      {"Windows V4 (108), 24 bits", {108, 24}, State::OtherBmpKind, false},
      {"Windows V4 (108), 32-bit fields", {108, 32, 3}, State::OtherBmpKind, false},
      {"Windows V5 (124), 24 bits", {124, 24}, State::OtherBmpKind, false},
      {"Windows V5 (124), 8 bits", {124, 8}, State::OtherBmpKind, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const std::vector<unsigned char> bytes = bmpBytes(c.layout);
    writeBytes("kind.bmp", bytes);
    const State state = checkBitmapFile("kind.bmp");
    EXPECT_EQ(static_cast<int>(state), static_cast<int>(c.expected));
    // The game decodes only what the check passed, whatever the loader would make of the rest.
    BITMAP* decoded = decodePicture(bytes, 24);
    EXPECT_EQ(decoded != nullptr, state == State::Readable);
    if (decoded) destroy_bitmap(decoded);

    BITMAP* loaded = load_bitmap("kind.bmp", nullptr);
    EXPECT_EQ(loaded != nullptr, c.loaderReads) << "Allegro's loader changed its mind";
    if (loaded) {
      EXPECT_EQ(loaded->w, c.layout.width);
      EXPECT_EQ(loaded->h, c.layout.height);
      destroy_bitmap(loaded);
    }
  }
}

TEST_F(InTempFolder, HeadersTheLoaderWouldTurnIntoGarbageCountAsDamaged) {
  // load_bitmap returns a bitmap for each of these, filled with whatever it made of the bytes.
  struct Case {
    const char* what;
    BmpLayout layout;
  };
  const Case cases[] = {
      {"7 bits a pixel", {40, 7}},
      {"no bits a pixel", {40, 0}},
      {"RLE8 at 24 bits", {40, 24, 1}},
      {"RLE4 at 8 bits", {40, 8, 2}},
      {"bit fields at 24 bits", {40, 24, 3}},
      {"no width", {40, 24, 0, false, 0, 3}},
      {"no height", {12, 24, 0, false, 4, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeBytes("odd.bmp", bmpBytes(c.layout));
    EXPECT_EQ(static_cast<int>(checkBitmapFile("odd.bmp")),
              static_cast<int>(BitmapFileState::Damaged));
  }
  std::vector<unsigned char> unknownHeader = bmpBytes({40, 24});
  unknownHeader[14] = 44;  // an info size that no BMP version has
  writeBytes("odd.bmp", unknownHeader);
  EXPECT_EQ(static_cast<int>(checkBitmapFile("odd.bmp")),
            static_cast<int>(BitmapFileState::Damaged));
  EXPECT_EQ(static_cast<int>(checkBitmapFile("absent.bmp")),
            static_cast<int>(BitmapFileState::Missing));
}

TEST_F(InTempFolder, TheErrorTextNamesEachFileAndHowToSaveAnotherBmpKind) {
  for (int i = 0; i < bitmapFileCount; ++i) writeBitmap(bitmapFiles[i], 24);
  EXPECT_EQ(missingBitmapReport(), "");

  writeBytes("Logo.bmp", bmpBytes({124, 24}));
  writeBytes("GAMEPAD.BMP", bmpBytes({40, 24, 0, true}));
  fs::remove("go.bmp");
  fs::resize_file("menu.bmp", fs::file_size("menu.bmp") - 1);

  const std::string hint =
      " (a BMP kind the game cannot read: save it as 24-bit BMP, 40-byte header)";
  EXPECT_EQ(missingBitmapReport(), "Missing or damaged game files:\nLogo.bmp" + hint +
                                       "\ngo.bmp\nGAMEPAD.BMP" + hint + "\nmenu.bmp");
  auto missing = missingBitmapFiles();
  std::sort(missing.begin(), missing.end());
  EXPECT_EQ(missing, (std::vector<std::string>{"GAMEPAD.BMP", "Logo.bmp", "go.bmp", "menu.bmp"}));
}

TEST_F(InTempFolder, FilesThatCannotBeTrustedAreNamedWithWhy) {
  for (int i = 0; i < bitmapFileCount; ++i) writeBitmap(bitmapFiles[i], 24);
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);  // the player may enter it
  fs::remove("BG.bmp");
  ASSERT_EQ(::mkfifo("BG.bmp", 0644), 0);  // no writer: a plain open would wait for one
  fs::remove("Logo.bmp");
  ASSERT_EQ(::symlink("/dev/zero", "Logo.bmp"), 0);  // an endless stream
  fs::remove("menu.bmp");
  fs::create_directory("menu.bmp");
  ASSERT_EQ(::truncate("flash.bmp", off_t{1} << 30), 0);  // a sparse giant
  ASSERT_EQ(::chmod("go.bmp", 0600), 0);                  // not for the player

  const std::string report = asOrdinaryUser([] { return missingBitmapReport(); });
  EXPECT_EQ(report,
            "Missing or damaged game files:\nLogo.bmp (not a regular file)\n"
            "flash.bmp (too large (1073741824 bytes, at most 1048576))\n"
            "BG.bmp (not a regular file)\ngo.bmp (unreadable: permission denied)\n"
            "menu.bmp (not a regular file)");
}

TEST_F(InTempFolder, TheCheckReadsEachPictureOnceAndKeepsOnlyTheStartupOnes) {
  for (int i = 0; i < bitmapFileCount; ++i) writeBitmap(bitmapFiles[i], 24);
  const std::vector<PictureFile> checked = checkPictures();
  ASSERT_EQ(static_cast<int>(checked.size()), bitmapFileCount);
  for (const PictureFile& picture : checked) {
    SCOPED_TRACE(picture.name);
    EXPECT_EQ(static_cast<int>(picture.state), static_cast<int>(BitmapFileState::Readable));
    const bool screens = picture.name == "LOADER.BMP" || picture.name == "GAMEPAD.BMP" ||
                         picture.name == "kvelmar.bmp" || picture.name == "menu.bmp" ||
                         picture.name == "pageflip.bmp" || picture.name == "highscore.bmp";
    std::vector<uint8_t> onDisk(fs::file_size(picture.name));
    std::FILE* f = std::fopen(picture.name.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fread(onDisk.data(), 1, onDisk.size(), f), onDisk.size());
    std::fclose(f);
    // A screen reads its own picture again when it starts; the rest are decoded from these.
    EXPECT_EQ(picture.bytes, screens ? std::vector<uint8_t>{} : onDisk);
  }
}

TEST_F(InTempFolder, AScreenPictureTurnedBadAfterTheStartIsMissing) {
  writeBitmap("menu.bmp", 24);
  BITMAP* before = loadPicture("menu.bmp");
  ASSERT_NE(before, nullptr);
  destroy_bitmap(before);

  fs::remove("menu.bmp");
  ASSERT_EQ(::mkfifo("menu.bmp", 0644), 0);
  EXPECT_EQ(loadPicture("menu.bmp"), nullptr) << "a pipe without a writer";
  // With a writer that never writes, a plain read would wait for ever.
  const int writer = ::open("menu.bmp", O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(loadPicture("menu.bmp"), nullptr) << "a pipe with a silent writer";
  ::close(writer);

  fs::remove("menu.bmp");
  ASSERT_EQ(::symlink("/dev/urandom", "menu.bmp"), 0);
  EXPECT_EQ(loadPicture("menu.bmp"), nullptr) << "an endless stream";
}

TEST_F(InTempFolder, PicturesLoadAtTheDrawingDepthWhateverTheScreenDepth) {
  writeBitmap("picture.bmp", 24);
  set_color_depth(32);
  BITMAP* picture = loadPicture("picture.bmp");
  set_color_depth(16);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(bitmap_color_depth(picture), 16);
  EXPECT_EQ(getpixel(picture, 1, 1), bitmap_mask_color(picture));
  destroy_bitmap(picture);
  EXPECT_EQ(loadPicture("absent.bmp"), nullptr);
}

}  // namespace
