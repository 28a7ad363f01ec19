// A small chiptune sequencer: instruments, note and drum tracks, a text notation to write
// melodies, chord patterns and drum grooves in, and a renderer that makes seamless loops.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Synth.h"

namespace music {

struct Instrument {
  synth::Wave wave = synth::Wave::Square;
  double duty = 0.5;
  double dutyLfoDepth = 0;
  double dutyLfoRate = 0;
  synth::Envelope envelope;
  double volume = 0.3;
  double pan = 0;  // -1 left .. 1 right
  double vibratoDepth = 0;
  double vibratoRate = 5.5;
  double vibratoDelay = 0.18;
  double gate = 0.9;  // part of the written length the note is held before its release
  double echo = 0;    // send to the song's echo
  double lowpassHz = 0;
  double glideTime = 0.05;
  double arpeggioRate = 60;  // chip chords cycle at the old consoles' frame rate
};

struct Note {
  double step = 0;    // start, in steps (sixteenth notes) from the loop start
  double length = 1;  // written length in steps
  double pitch = 60;  // MIDI note number
  double velocity = 1;
  double glideFrom = 0;  // MIDI pitch the note slides in from; 0 = none
  std::array<int8_t, 4> arpeggio{};
  int arpeggioCount = 0;
};

struct Track {
  Instrument instrument;
  std::vector<Note> notes;
};

struct DrumHit {
  double step = 0;
  synth::Drum drum = synth::Drum::Kick;
  double velocity = 1;
};

struct Song {
  std::string fileName;
  double bpm = 120;
  int bars = 16;
  int stepsPerBar = 16;
  std::vector<Track> tracks;
  std::vector<DrumHit> drums;
  double drumVolume = 0.5;
  double echoSteps = 3;  // delay of the echo, in steps
  double echoFeedback = 0.35;
  double echoLevel = 0.5;

  double stepSeconds() const { return 15.0 / bpm; }
  // The loop length in sample frames.
  std::size_t loopFrames() const;
  double loopSeconds() const;
};

// Renders the song as one loop of interleaved stereo samples whose last frame flows into
// its first: whatever rings past the loop end (releases, echoes) is wrapped onto the start.
// The result is scaled to the RMS level `loudness`, or lower where its peak would pass
// `ceiling`, so that all tracks sound about equally loud.
std::vector<float> renderLoop(const Song& song, float loudness, float ceiling);

// Which notes belong to the key, for harmony a diatonic interval away.
struct Scale {
  int tonic = 0;  // pitch class, C = 0
  bool minor = false;
};

// One bar of drums, a character per step: kick 'x'/'X'(accent); snare 'x'/'X', 'g' ghost,
// 'p' clap; hats 'x'/'X' closed, 'o' open; extra 'c' crash, 't' high tom, 'T' low tom.
// A pattern may span several bars; shorter lines are repeated.
struct DrumPattern {
  std::string_view kick;
  std::string_view snare;
  std::string_view hat;
  std::string_view extra;
};

// Writes a song in text. Melodies: "C5:4 E5:2 ~G5:2 r:8 |" (note or rest 'r', length in steps,
// left out = the previous length, '~' slides in from the previous note, '|' must fall on a
// bar line). Chords: "Am F:8 G7:8 C/E" (length in steps, default one bar). Chord patterns:
// one bar of tokens "1:4 5:2 8:2 3':2 *:4", where 1 is the bass note, 3, 5 and 7 the chord's
// second, third and fourth tones, 8 the root an octave up, * the whole chord as a fast
// arpeggio; ' and , move a tone up or down an octave. Mistakes are collected in errors().
class Composer {
 public:
  explicit Composer(Song& song) : song_(song) {}

  int addTrack(const Instrument& instrument);
  // Returns the number of steps written.
  int melody(int track, int bar, std::string_view text, int transpose = 0, double velocity = 1);
  // Returns the number of steps the chords fill.
  int chords(int track, int bar, std::string_view chords, std::string_view pattern, int lowestRoot,
             double velocity = 1);
  void drums(int bar, int bars, const DrumPattern& pattern, double velocity = 1);
  // Copies the notes of `from` in bars [bar, bar + bars) into `to`, moved `degrees` steps
  // along the scale (-2: a third below) and `octaves` octaves. A third (degrees -2 or 2)
  // that is not a tone of the chord written at that step becomes the nearest chord tone
  // on that side, so that a melody note on its chord gets a harmony on it too.
  void harmony(int from, int to, int bar, int bars, Scale scale, int degrees, int octaves = 0);

  // Records `message` as a mistake unless `condition` holds.
  void require(bool condition, const std::string& message) {
    if (!condition) fail(message);
  }

  bool ok() const { return errors_.empty(); }
  const std::vector<std::string>& errors() const { return errors_; }

 private:
  void fail(std::string message);
  Song& song_;
  std::vector<std::string> errors_;
  std::vector<std::vector<int>> chordAtStep_;  // pitch classes of the chord written per step
};

}  // namespace music
