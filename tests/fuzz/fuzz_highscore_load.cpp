// Fuzzes the HIGHSCORE.DAT load with arbitrary files: no crash, a table only from a matching
// checksum, and a saved table that reads back as the very bytes it was loaded from.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scores/HighScoreFile.h"

namespace {
void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

uint32_t little32(const uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | uint32_t{at[3]} << 24;
}

// The file's rule written out once more, straight from the bytes, as the oracle.
uint32_t referenceChecksum(const uint8_t* data) {
  uint32_t sum = 0;
  for (int entry = 0; entry < 9; ++entry) {
    const uint8_t* at = data + 10 * entry;
    for (int k = 0; k < 3; ++k) {
      auto letter = static_cast<int16_t>(static_cast<uint16_t>(at[2 * k] | at[2 * k + 1] << 8));
      sum += 7u * static_cast<uint32_t>(int32_t{letter});
    }
    sum += static_cast<uint32_t>(entry / 3) + 2u * little32(at + 6);
  }
  return sum;
}

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Something a load can make only from a file that holds exactly these values.
HighScoreTable sentinel() {
  HighScoreTable table;
  std::memset(&table, 0, sizeof table);
  for (auto& mode : table.entries)
    for (auto& entry : mode) entry = HighScoreEntry{{-5, -5, -5}, 0xA5A5A5A5u};
  return table;
}

struct ScratchFiles {
  ScratchFiles() {
    // Memory-backed when there is such a folder: a file rewritten per input is the cost.
    char inMemory[] = "/dev/shm/zeph-fuzz-XXXXXX";
    char onDisk[] = "/tmp/zeph-fuzz-XXXXXX";
    const char* made = mkdtemp(inMemory);
    if (!made) made = mkdtemp(onDisk);
    if (!made) std::abort();
    folder = made;
    input = folder + "/HIGHSCORE.DAT";
    resaved = folder + "/RESAVED.DAT";
  }
  ~ScratchFiles() {
    std::remove(input.c_str());
    std::remove(resaved.c_str());
    rmdir(folder.c_str());
  }
  std::string folder, input, resaved;
};

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

void loadAndRoundTrip(const ScratchFiles& files, const uint8_t* data, size_t size) {
  if (!writeFile(files.input, data, size)) return;
  HighScoreTable table = sentinel();
  bool loaded = loadHighScoresFrom(files.input.c_str(), table);

  bool valid = size >= kHighScoreFileBytes &&
               referenceChecksum(data) == little32(data + kHighScoreFileBytes - 4);
  check(loaded == valid, "the load result disagrees with the checksum rule");
  HighScoreTable decoded = sentinel();
  check(decodeHighScores(data, size, decoded) == loaded, "file load and byte decode disagree");
  if (!loaded) {
    check(sameTable(table, sentinel()), "a failed load changed the table");
    return;
  }
  check(sameTable(table, decoded), "file load and byte decode read different tables");

  HighScoreBytes image = encodeHighScores(table);
  check(std::memcmp(image.data(), data, image.size()) == 0, "the image differs from the file");
  check(bool(saveHighScoresTo(files.resaved.c_str(), table)), "the save failed");
  HighScoreTable reloaded = sentinel();
  check(loadHighScoresFrom(files.resaved.c_str(), reloaded), "the saved file does not load");
  check(sameTable(reloaded, table), "the saved file reads back differently");

  std::FILE* back = std::fopen(files.resaved.c_str(), "rb");
  check(back != nullptr, "the saved file cannot be opened");
  uint8_t bytes[kHighScoreFileBytes + 1];
  size_t got = std::fread(bytes, 1, sizeof bytes, back);
  std::fclose(back);
  check(got == kHighScoreFileBytes, "the saved file is not 94 bytes");
  check(std::memcmp(bytes, data, kHighScoreFileBytes) == 0, "the saved bytes differ");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchFiles files;
  loadAndRoundTrip(files, data, size);

  // A random file almost never carries its own checksum: try it once more with the sum
  // put right, so every input also exercises the successful load and the save.
  if (size >= kHighScoreFileBytes) {
    std::vector<uint8_t> fixed(data, data + size);
    uint32_t sum = referenceChecksum(fixed.data());
    for (int i = 0; i < 4; ++i) fixed[kHighScoreFileBytes - 4 + i] = uint8_t(sum >> (8 * i));
    loadAndRoundTrip(files, fixed.data(), fixed.size());
  }
  return 0;
}
