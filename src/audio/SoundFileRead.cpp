// Effects and tracks are read whole through files/ReadFile and checked before SDL sees a byte.
#include "audio/SoundFileRead.h"

#include <cstdio>
#include <set>

#include "audio/SoundFileCheck.h"
#include "files/ReadFile.h"

bool readSoundFile(const std::string& path, SoundKind kind, std::vector<uint8_t>& bytes) {
  const bool effect = kind == SoundKind::Effect;
  FileOutcome read = readWholeFile(path, effect ? kEffectLimit : kTrackLimit, bytes);
  if (!read) {
    // The game has always played on without a missing sample or track, and said nothing.
    if (read.reason != kMissingReason) reportSilentSound(path, kind, read.reason);
    return false;
  }
  if (!(effect ? isSoundEffect(bytes) : isMusicTrack(bytes))) {
    bytes.clear();
    reportSilentSound(path, kind, "damaged");
    return false;
  }
  return true;
}

void reportSilentSound(const std::string& path, SoundKind kind, const std::string& reason) {
  // A track is opened again for every level; its fault is told once.
  static std::set<std::string> told;
  if (!told.insert(path).second) return;
  std::fprintf(stderr, "zeph: the %s %s stays silent: %s\n",
               kind == SoundKind::Effect ? "sound effect" : "music track", path.c_str(),
               reason.c_str());
}
