// The sound-making pieces shared by the effects and the music: band-limited chip oscillators,
// an LFSR noise source, envelopes, simple filters and a small drum kit.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace synth {

inline constexpr int kSampleRate = 44100;
inline constexpr double kPi = 3.14159265358979323846;

// Frequency of a MIDI note number (69 = A4 = 440 Hz); fractional numbers are allowed.
double noteFrequency(double midi);

enum class Wave { Square, Triangle, Sine, Noise };

// Attack is linear; decay falls exponentially (time constant `decay`) towards `sustain`;
// release falls from wherever the level is to silence in `release` seconds.
struct Envelope {
  double attack = 0.005;
  double decay = 0.1;
  double sustain = 0.7;
  double release = 0.05;
};

// One synthesized note or sound: everything addTone needs to render it.
struct Tone {
  Wave wave = Wave::Square;
  double duty = 0.5;        // square wave high fraction
  double dutyLfoDepth = 0;  // pulse-width modulation around duty
  double dutyLfoRate = 0;   // Hz
  double frequency = 440;   // Hz
  double sweepTo = 0;       // Hz reached after sweepTime, exponentially; 0 = no sweep
  double sweepTime = 0;
  double glideFrom = 0;  // Hz the note slides in from over glideTime; 0 = none
  double glideTime = 0.05;
  double length = 0.2;  // seconds before the release starts
  Envelope envelope;
  double volume = 1;
  double vibratoDepth = 0;  // semitones
  double vibratoRate = 5.5;
  double vibratoDelay = 0.15;
  // Chip-style chord: the pitch cycles through these semitone offsets at arpeggioRate.
  std::array<int8_t, 4> arpeggio{};
  int arpeggioCount = 0;
  double arpeggioRate = 50;
  uint32_t noiseSeed = 1;      // LFSR start state for Wave::Noise
  bool metallicNoise = false;  // short LFSR period: a tonal, metallic hiss
};

// Seconds the tone sounds, release included.
double toneDuration(const Tone& tone);

// Mixes the tone into out starting at sample `start`; samples past the end are dropped.
void addTone(std::vector<float>& out, std::size_t start, const Tone& tone);

// One-pole filters run over a whole buffer in place.
void lowpass(std::vector<float>& samples, double cutoffHz);
void highpass(std::vector<float>& samples, double cutoffHz);

// Largest absolute sample value.
float peakOf(const std::vector<float>& samples);
// RMS of the loudest `window` samples in a row (the whole buffer when it is shorter).
float loudestWindowRms(const std::vector<float>& samples, std::size_t window);
// Scales the buffer so that its loudest `window` samples reach the RMS `loudness`. Peaks
// that would pass `ceiling` are rounded off by a soft knee from half the ceiling up instead
// of the whole sound being turned down; the result never passes the ceiling. Silence stays
// silence.
void levelTo(std::vector<float>& samples, std::size_t window, float loudness, float ceiling);

enum class Drum { Kick, Snare, ClosedHat, OpenHat, Crash, TomHigh, TomLow, Clap };

// Mixes one drum hit at sample `start`; velocity 0..1 scales it.
void addDrum(std::vector<float>& out, std::size_t start, Drum drum, double velocity);
// How long a drum hit rings, in seconds.
double drumDuration(Drum drum);

}  // namespace synth
