// Run-length BMP files for the tests and the fuzzer's seeds: an encoder of small RLE8 and RLE4
// pictures, and each way such a file is found cut or broken.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace rle {

using Bytes = std::vector<uint8_t>;
using Rows = std::vector<std::vector<uint8_t>>;  // palette indices, top row first

enum class Kind { Rle8, Rle4 };

inline void putLittle(Bytes& out, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A 13x5 picture with long runs and stretches of differing pixels, indices below 16.
inline Rows samplePicture() {
  return {{1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 7, 7, 7},
          {8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4},
          {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
          {5, 5, 6, 6, 7, 8, 9, 9, 9, 9, 9, 10, 11},
          {15, 14, 13, 12, 12, 12, 12, 12, 12, 1, 2, 3, 9}};
}

// One row as runs of equal pixels and copied stretches of three or more differing ones.
inline void encodeRow(const std::vector<uint8_t>& row, Kind kind, Bytes& out) {
  size_t x = 0;
  while (x < row.size()) {
    size_t same = 1;
    while (x + same < row.size() && row[x + same] == row[x] && same < 255) ++same;
    size_t differing = 0;
    while (x + differing + 1 < row.size() && row[x + differing + 1] != row[x + differing] &&
           differing < 255)
      ++differing;
    if (same == 1 && differing >= 3) {
      out.push_back(0);
      out.push_back(static_cast<uint8_t>(differing));
      Bytes stretch;
      for (size_t i = 0; i < differing; ++i) {
        if (kind == Kind::Rle8) {
          stretch.push_back(row[x + i]);
        } else if (i % 2 == 0) {
          stretch.push_back(static_cast<uint8_t>(row[x + i] << 4));
        } else {
          stretch.back() |= row[x + i];
        }
      }
      if (stretch.size() % 2) stretch.push_back(0);  // to a 16-bit boundary
      out.insert(out.end(), stretch.begin(), stretch.end());
      x += differing;
    } else {
      out.push_back(static_cast<uint8_t>(same));
      out.push_back(kind == Kind::Rle8 ? row[x] : static_cast<uint8_t>(row[x] << 4 | row[x]));
      x += same;
    }
  }
}

// The pixel stream of the picture, bottom row first, each row closed by an end of line and the
// whole by an end of bitmap.
inline Bytes encode(const Rows& picture, Kind kind) {
  Bytes out;
  for (auto row = picture.rbegin(); row != picture.rend(); ++row) {
    encodeRow(*row, kind, out);
    out.insert(out.end(), {0, 0});
  }
  out.insert(out.end(), {0, 1});
  return out;
}

// A whole file around a pixel stream: 40-byte header, a grey palette.
inline Bytes bmpFile(const Bytes& stream, uint32_t width, uint32_t height, Kind kind) {
  const int colours = kind == Kind::Rle8 ? 256 : 16;
  const uint32_t offset = 14 + 40 + 4 * colours;
  Bytes file = {'B', 'M'};
  putLittle(file, offset + static_cast<uint32_t>(stream.size()), 4);
  putLittle(file, 0, 4);
  putLittle(file, offset, 4);
  putLittle(file, 40, 4);
  putLittle(file, width, 4);
  putLittle(file, height, 4);
  putLittle(file, 1, 2);
  putLittle(file, kind == Kind::Rle8 ? 8 : 4, 2);
  putLittle(file, kind == Kind::Rle8 ? 1 : 2, 4);
  putLittle(file, static_cast<uint32_t>(stream.size()), 4);
  for (int i = 0; i < 4; ++i) putLittle(file, 0, 4);
  for (int i = 0; i < colours; ++i) {
    const auto grey = static_cast<uint8_t>(i * 255 / (colours - 1));
    file.insert(file.end(), {grey, grey, grey, 0});
  }
  file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

inline Bytes sampleFile(Kind kind) {
  const Rows picture = samplePicture();
  return bmpFile(encode(picture, kind), 13, 5, kind);
}

// A stream of a 13x5 picture, and whether the loader may have it.
struct StreamCase {
  std::string name;
  Bytes stream;
  bool readable;
};

// Each way a run-length file turns up cut or broken, and the legal streams nearest to them.
inline std::vector<StreamCase> streamCases(Kind kind) {
  const Bytes whole = encode(samplePicture(), kind);
  const Bytes withoutEnd(whole.begin(), whole.end() - 2);
  Bytes closedByEnd(whole.begin(), whole.end() - 4);
  closedByEnd.insert(closedByEnd.end(), {0, 1});
  // Four copied pixels: four bytes in RLE8, two in RLE4.
  const Bytes fourCopied = kind == Kind::Rle8 ? Bytes{0, 4, 1, 2, 3, 4} : Bytes{0, 4, 0x12, 0x34};
  auto then = [](Bytes start, std::initializer_list<uint8_t> more) {
    start.insert(start.end(), more);
    return start;
  };
  auto join = [](Bytes start, const Bytes& more) {
    start.insert(start.end(), more.begin(), more.end());
    return start;
  };
  return {
      {"whole", whole, true},
      {"bytes after the end mark", then(whole, {7, 7, 7}), true},
      {"ends early with its end mark", {4, 0x11, 0, 0, 0, 1}, true},
      {"last row closed by the end mark", closedByEnd, true},
      {"jump to the last pixel", {0, 2, 12, 4, 1, 0x11, 0, 1}, true},
      {"jump to the end of the last row", {0, 2, 13, 4, 0, 1}, true},
      {"cut in a run", {4, 0x11, 0, 0, 5}, false},
      {"cut before a run's colour", {5}, false},
      {"cut in a copied stretch", {0, 6, 0x12, 0x34}, false},
      {"cut in a jump", {0, 2, 3}, false},
      {"cut after a jump", {0, 2, 3, 1}, false},
      {"no end mark", withoutEnd, false},
      {"nothing", {}, false},
      {"run past the width", {14, 0x11, 0, 1}, false},
      {"runs together past the width", {10, 0x11, 4, 0x22, 0, 1}, false},
      {"copied stretch within the row", then(join({9, 0x11}, fourCopied), {0, 1}), true},
      {"copied stretch past the width", then(join({10, 0x11}, fourCopied), {0, 1}), false},
      {"row overrun: a line after the last", then(withoutEnd, {0, 0, 0, 1}), false},
      {"row overrun: a run after the last row", then(withoutEnd, {1, 0x11, 0, 1}), false},
      {"jump right out of the image", {0, 2, 14, 0, 0, 1}, false},
      {"jump up out of the image", {0, 2, 0, 5, 0, 1}, false},
      {"jump, then a run past the width", {0, 2, 10, 0, 4, 0x11, 0, 1}, false},
  };
}

}  // namespace rle
