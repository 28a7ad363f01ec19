// Writes the BMP fuzzer's first inputs into a folder: a whole RLE8 and RLE4 picture and each
// way such a file turns up cut or broken (in a run, in a jump, rows overrun, a jump out of
// the image, no end mark, a run past the width).
#include <cctype>
#include <cstdio>
#include <string>

#include "gfx/RunLengthFixtures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  int written = 0;
  for (rle::Kind kind : {rle::Kind::Rle8, rle::Kind::Rle4}) {
    for (const rle::StreamCase& c : rle::streamCases(kind)) {
      const rle::Bytes file = rle::bmpFile(c.stream, 13, 5, kind);
      std::string name = std::string(argv[1]) + "/" + (kind == rle::Kind::Rle8 ? "rle8-" : "rle4-");
      for (char letter : c.name)
        if (std::isalnum(static_cast<unsigned char>(letter)))
          name += letter;
        else if (name.back() != '-')
          name += '-';
      std::FILE* out = std::fopen((name + ".bmp").c_str(), "wb");
      if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
          std::fclose(out) != 0) {
        std::perror(name.c_str());
        return 1;
      }
      ++written;
    }
  }
  std::printf("%d seeds\n", written);
  return 0;
}
