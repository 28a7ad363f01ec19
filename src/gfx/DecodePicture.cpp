// Allegro's BMP loader reading from memory: a PACKFILE whose reads come from a byte span.
#include <allegro.h>

#include <algorithm>
#include <cstring>

#include "gfx/PictureFile.h"

namespace {
struct MemoryReader {
  std::span<const uint8_t> bytes;
  size_t at = 0;
};

MemoryReader& reader(void* userdata) { return *static_cast<MemoryReader*>(userdata); }

int closeReader(void*) { return 0; }  // the bytes belong to the caller

int getByte(void* userdata) {
  MemoryReader& in = reader(userdata);
  return in.at < in.bytes.size() ? in.bytes[in.at++] : EOF;
}

int ungetByte(int c, void* userdata) {
  MemoryReader& in = reader(userdata);
  if (in.at == 0 || in.bytes[in.at - 1] != static_cast<uint8_t>(c)) return EOF;
  --in.at;
  return c;
}

long readBytes(void* into, long wanted, void* userdata) {
  MemoryReader& in = reader(userdata);
  if (wanted <= 0) return 0;
  const size_t count = std::min(static_cast<size_t>(wanted), in.bytes.size() - in.at);
  std::memcpy(into, in.bytes.data() + in.at, count);
  in.at += count;
  return static_cast<long>(count);
}

int refusePut(int, void*) { return EOF; }
long refuseWrite(const void*, long, void*) { return 0; }

// Allegro only seeks forward, relative to where it is.
int skipBytes(void* userdata, int offset) {
  MemoryReader& in = reader(userdata);
  if (offset < 0) return -1;
  in.at = std::min(in.bytes.size(), in.at + static_cast<size_t>(offset));
  return 0;
}

int atEnd(void* userdata) { return reader(userdata).at >= reader(userdata).bytes.size(); }
int noError(void*) { return 0; }

const PACKFILE_VTABLE kMemoryVtable = {closeReader, getByte,   ungetByte, readBytes, refusePut,
                                       refuseWrite, skipBytes, atEnd,     noError};
}  // namespace

BITMAP* decodePicture(std::span<const uint8_t> bytes, int depth) {
  // The loader trusts every length in the file: only checked bytes reach it.
  if (checkBitmapBytes(bytes) != BitmapFileState::Readable) return nullptr;
  MemoryReader in{bytes};
  PACKFILE* file = pack_fopen_vtable(&kMemoryVtable, &in);
  if (!file) return nullptr;
  const int previous = get_color_depth();
  set_color_depth(depth);
  BITMAP* bitmap = load_bmp_pf(file, nullptr);
  set_color_depth(previous);
  pack_fclose(file);
  return bitmap;
}
