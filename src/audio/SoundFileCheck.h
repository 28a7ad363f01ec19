// What makes the bytes of an effect or a track fit to hand to the decoders: their structure is
// walked here, so a cut, padded or mislabelled file is known as damaged before SDL sees it.
#pragma once
#include <cstdint>
#include <span>

// A RIFF WAVE file of PCM samples whose chunks all lie inside the file, fmt before data.
bool isSoundEffect(std::span<const uint8_t> bytes);

// An MPEG layer III stream: an optional ID3v2 tag, then frames whose headers chain to the end
// (an ID3v1 tag may close it), one format throughout, and a Xing/Info frame, when there is one,
// whose byte count is the stream's.
bool isMusicTrack(std::span<const uint8_t> bytes);
