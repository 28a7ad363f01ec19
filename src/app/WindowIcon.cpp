#include "app/WindowIcon.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "files/ReadFile.h"

namespace {
struct PamHeader {
  int width = 0, height = 0, depth = 0, maxval = 0;
  std::string tupleType;
};

std::optional<int> number(std::string_view text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Reads one header line by line from `at`; on success `at` is the first byte of the pixels.
std::optional<PamHeader> readHeader(std::string_view pam, size_t& at) {
  PamHeader header;
  bool first = true;
  for (;;) {
    size_t end = pam.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = pam.substr(at, end - at);
    at = end + 1;
    if (first) {
      if (line != "P7") return std::nullopt;
      first = false;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (line == "ENDHDR") return header;
    size_t space = line.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    std::string_view key = line.substr(0, space), value = line.substr(space + 1);
    if (key == "TUPLTYPE") {
      header.tupleType = value;
      continue;
    }
    std::optional<int> n = number(value);
    if (!n) return std::nullopt;
    if (key == "WIDTH")
      header.width = *n;
    else if (key == "HEIGHT")
      header.height = *n;
    else if (key == "DEPTH")
      header.depth = *n;
    else if (key == "MAXVAL")
      header.maxval = *n;
    else
      return std::nullopt;
  }
}

bool usable(const PamHeader& h) {
  return h.width > 0 && h.height > 0 && h.width <= kMaxWindowIconSize &&
         h.height <= kMaxWindowIconSize && h.depth == 4 && h.maxval == 255 &&
         h.tupleType == "RGB_ALPHA";
}
}  // namespace

std::vector<unsigned long> decodeWindowIcon(std::string_view pam) {
  std::vector<unsigned long> icon;
  size_t at = 0;
  while (at < pam.size()) {
    std::optional<PamHeader> header = readHeader(pam, at);
    if (!header || !usable(*header)) return {};
    const size_t pixels = static_cast<size_t>(header->width) * header->height;
    if (pam.size() - at < pixels * 4) return {};
    icon.push_back(static_cast<unsigned long>(header->width));
    icon.push_back(static_cast<unsigned long>(header->height));
    for (size_t i = 0; i < pixels; ++i, at += 4) {
      auto byte = [&](size_t k) {
        return static_cast<unsigned long>(static_cast<uint8_t>(pam[at + k]));
      };
      icon.push_back(byte(3) << 24 | byte(0) << 16 | byte(1) << 8 | byte(2));
    }
  }
  return icon;
}

std::vector<unsigned long> readWindowIcon(const char* path) {
  std::vector<uint8_t> bytes;
  const FileOutcome read = readWholeFile(path, kMaxWindowIconBytes, bytes);
  std::vector<unsigned long> icon =
      decodeWindowIcon(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  // The game plays on without an icon; the one line says why the desktop shows none.
  if (icon.empty())
    std::fprintf(stderr, "zeph: %s: %s; the window has no icon\n", path,
                 read ? "damaged" : read.reason.c_str());
  return icon;
}
