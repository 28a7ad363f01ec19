// The nine compositions. Each level track is a little faster, busier and darker than the one
// before; the title is calm and catchy and the ending triumphant. Every track is an A section,
// its varied repeat and a B section (the longer ones come back to A once more), written so
// that its last bar leads into its first.
#include "Songs.h"

#include <string>
#include <string_view>

namespace {

using music::Composer;
using music::DrumPattern;
using music::Instrument;
using music::Scale;
using music::Song;
using synth::Wave;

constexpr int kBar = 16;

Instrument lead(double duty, double volume, double echo) {
  Instrument in;
  in.wave = Wave::Square;
  in.duty = duty;
  in.envelope = {0.004, 0.25, 0.65, 0.05};
  in.volume = volume;
  in.pan = -0.12;
  in.vibratoDepth = 0.18;
  in.vibratoRate = 5.6;
  in.vibratoDelay = 0.2;
  in.gate = 0.9;
  in.echo = echo;
  in.lowpassHz = 9000;
  return in;
}

Instrument second(double duty, double volume) {
  Instrument in = lead(duty, volume, 0.15);
  in.pan = 0.3;
  in.vibratoDepth = 0.12;
  return in;
}

Instrument triangleBass(double volume, double gate) {
  Instrument in;
  in.wave = Wave::Triangle;
  in.envelope = {0.002, 0.2, 0.85, 0.025};
  in.volume = volume;
  in.gate = gate;
  return in;
}

// A growling square bass for the later levels, rounded off by a low-pass.
Instrument pulseBass(double volume, double cutoff) {
  Instrument in;
  in.wave = Wave::Square;
  in.duty = 0.5;
  in.envelope = {0.002, 0.12, 0.6, 0.02};
  in.volume = volume;
  in.gate = 0.75;
  in.lowpassHz = cutoff;
  return in;
}

Instrument pluck(double duty, double volume, double echo, double pan) {
  Instrument in;
  in.wave = Wave::Square;
  in.duty = duty;
  in.envelope = {0.002, 0.07, 0.15, 0.03};
  in.volume = volume;
  in.pan = pan;
  in.gate = 0.8;
  in.echo = echo;
  in.lowpassHz = 7000;
  return in;
}

// The chip chord: one voice rolling through the chord's tones sixty times a second.
Instrument chordPad(double volume, double pan) {
  Instrument in;
  in.wave = Wave::Square;
  in.duty = 0.5;
  in.dutyLfoDepth = 0.15;
  in.dutyLfoRate = 0.7;
  in.envelope = {0.01, 0.3, 0.55, 0.06};
  in.volume = volume;
  in.pan = pan;
  in.gate = 0.85;
  in.lowpassHz = 2800;
  return in;
}

std::string times(std::string_view text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += text;
    out += ' ';
  }
  return out;
}

// Writes one section of melody and checks that it fills exactly `bars` bars.
void section(Composer& c, int track, int bar, std::string_view text, int bars, int transpose = 0) {
  int steps = c.melody(track, bar, text, transpose);
  c.require(steps == bars * kBar, "melody at bar " + std::to_string(bar + 1) + " fills " +
                                      std::to_string(steps) + " steps, not " +
                                      std::to_string(bars * kBar));
}

void report(const Composer& c, std::vector<std::string>& errors) {
  errors.insert(errors.end(), c.errors().begin(), c.errors().end());
}

// Lays a chord pattern over an eight-bar progression and checks that it is eight bars.
void progression(Composer& c, int track, int bar, std::string_view chords, std::string_view pattern,
                 int lowestRoot) {
  int steps = c.chords(track, bar, chords, pattern, lowestRoot);
  c.require(steps == 8 * kBar, "chords at bar " + std::to_string(bar + 1) + " fill " +
                                   std::to_string(steps) + " steps, not 8 bars");
}

constexpr DrumPattern kCrash{"", "", "", "c..............."};

// ---------------------------------------------------------------------------------------
// TITLE: F major, 96 bpm. A gentle, singable tune over I-iii-IV-V with a plucked arpeggio.
Song title(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "TITLE.MP3";
  s.bpm = 96;
  s.bars = 24;
  s.echoSteps = 3;
  s.echoFeedback = 0.38;
  s.echoLevel = 0.45;
  s.drumVolume = 0.32;
  Composer c(s);
  const int melody = c.addTrack(lead(0.5, 0.3, 0.3));
  const int harmony = c.addTrack(second(0.25, 0.13));
  const int bass = c.addTrack(triangleBass(0.6, 0.9));
  const int arp = c.addTrack(pluck(0.25, 0.1, 0.35, 0.4));
  const int pad = c.addTrack(chordPad(0.045, -0.35));
  const Scale key{5, false};

  const std::string opening =
      "C5:2 F5:2 A5:4 G5:2 F5:2 G5:4 | A5:6 G5:2 E5:4 C5:4 | D5:2 F5:2 Bb5:4 A5:2 G5:2 F5:4 |"
      " G5:6 A5:2 G5:4 E5:4 | C5:2 F5:2 A5:4 G5:2 F5:2 C6:4 | C6:6 D6:2 C6:4 A5:4 |";
  section(c, melody, 0, opening + " Bb5:4 A5:2 G5:2 E5:4 G5:4 | F5:12 r:4 |", 8);
  section(c, melody, 8, opening + " Bb5:4 C6:2 D6:2 E6:4 G6:4 | F6:12 r:4 |", 8);
  section(
      c, melody, 16,
      "D6:8 C6:4 Bb5:4 | C6:8 Bb5:4 G5:4 | A5:6 G5:2 A5:4 C6:4 | ~D6:8 A5:4 F5:4 |"
      " Bb5:6 A5:2 G5:4 F5:4 | E5:4 G5:4 C6:4 E6:4 | D6:4 C6:4 Bb5:4 E5:4 | F5:8 r:4 A4:2 Bb4:2 |",
      8);

  const char* chordsA = "F Am Bb C F Am Gm:8 C:8 F";
  const char* chordsB = "Bb C/Bb Am Dm Gm7 C Bbmaj7:8 C7:8 F";
  progression(c, bass, 0, chordsA, "1:8 5,:8", 36);
  progression(c, bass, 8, chordsA, "1:4 5:4 8:4 5:4", 36);
  progression(c, bass, 16, chordsB, "1:6 1:2 5:4 8:4", 36);
  const char* rolling = "1:2 5:2 8:2 3':2 5':2 3':2 8:2 5:2";
  progression(c, arp, 0, chordsA, rolling, 57);
  progression(c, arp, 8, chordsA, rolling, 57);
  progression(c, arp, 16, chordsB, rolling, 57);
  progression(c, pad, 16, chordsB, "*:8 *:8", 60);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 20, 4, key, -2);

  c.drums(0, 8, {"x.......x.x.....", "", "..x...x...x...x.", ""}, 0.8);
  c.drums(8, 8, {"x.......x.x.....", "....g.......x...", "x.x.x.x.x.x.x.x.", ""}, 0.85);
  c.drums(16, 7, {"x.......x.x.....", "....x.......x...", "x.x.x.x.x.x.x.o.", ""});
  c.drums(23, 1, {"x.......x.......", "....x.......x.xx", "x.x.x.x.x.......", ""});
  c.drums(16, 1, kCrash, 0.6);
  report(c, errors);
  return s;
}

// ---------------------------------------------------------------------------------------
// LV01: G major, 104 bpm. Easy-going: a bouncy tune, root-fifth bass and off-beat stabs.
Song level1(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "LV01.MP3";
  s.bpm = 104;
  s.bars = 24;
  s.echoSteps = 3;
  s.echoFeedback = 0.3;
  s.echoLevel = 0.4;
  s.drumVolume = 0.38;
  Composer c(s);
  Instrument bouncy = lead(0.25, 0.28, 0.22);
  bouncy.gate = 0.75;
  const int melody = c.addTrack(bouncy);
  const int harmony = c.addTrack(second(0.5, 0.13));
  const int bass = c.addTrack(triangleBass(0.6, 0.6));
  const int stabs = c.addTrack(chordPad(0.07, 0.3));
  const int arp = c.addTrack(pluck(0.125, 0.08, 0.3, -0.4));
  const Scale key{7, false};

  const std::string opening =
      "D5:2 G5:2 B5:2 G5:2 D6:4 B5:4 | E6:2 D6:2 B5:2 G5:2 E5:4 G5:4 |"
      " C6:2 B5:2 A5:2 G5:2 E5:4 G5:2 A5:2 | F#5:6 E5:2 D5:8 |"
      " D5:2 G5:2 B5:2 G5:2 D6:4 G6:4 | F#6:2 E6:2 D6:2 B5:2 G5:4 B5:4 |";
  section(c, melody, 0, opening + " C6:2 B5:2 A5:4 F#5:2 G5:2 A5:4 | G5:12 r:4 |", 8);
  section(c, melody, 8, opening + " E6:2 D6:2 C6:4 A5:2 B5:2 C6:2 A5:2 | G5:4 B5:4 D6:4 r:4 |", 8);
  section(c, melody, 16,
          "E6:4 E6:2 D6:2 C6:4 G5:4 | F#6:4 F#6:2 E6:2 D6:4 A5:4 | D6:4 B5:2 A5:2 F#5:4 D5:4 |"
          " E5:2 G5:2 B5:2 E6:2 D6:4 B5:4 | C6:6 B5:2 A5:4 G5:4 | A5:6 B5:2 C6:4 D6:4 |"
          " E6:4 C6:4 D6:2 C6:2 A5:2 F#5:2 | G5:8 r:4 B4:2 C5:2 |",
          8);

  const char* chordsA = "G Em C D G Em Am:8 D:8 G";
  const char* chordsB = "C D Bm Em C D Am7:8 D7:8 G";
  progression(c, bass, 0, chordsA, "1:4 5,:4 1:4 5,:4", 40);
  progression(c, bass, 8, chordsA, "1:4 5,:4 1:2 1:2 5,:4", 40);
  progression(c, bass, 16, chordsB, "1:4 5,:4 1:2 1:2 5,:2 3,:2", 40);
  const char* offbeats = "r:2 *:2 r:2 *:2 r:2 *:2 r:2 *:2";
  progression(c, stabs, 0, chordsA, offbeats, 60);
  progression(c, stabs, 8, chordsA, offbeats, 60);
  progression(c, stabs, 16, chordsB, offbeats, 60);
  progression(c, arp, 16, chordsB, "8:2 5:2 3:2 5:2 8:2 5:2 3:2 5:2", 62);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 20, 3, key, -2);

  const DrumPattern groove{"x.......x.x.....", "....x.......x...", "x.x.x.x.x.x.x.x.", ""};
  c.drums(0, 7, groove, 0.85);
  c.drums(7, 1, {"x.......x.x.....", "....x.......x.x.", "x.x.x.x.x.x.x.x.", ""}, 0.85);
  c.drums(8, 16, groove);
  c.drums(23, 1, {"", "", "", "..........t.T..."}, 0.7);
  c.drums(8, 1, kCrash, 0.5);
  c.drums(16, 1, kCrash, 0.6);
  report(c, errors);
  return s;
}

// ---------------------------------------------------------------------------------------
// LV02: D major, 116 bpm. Bright and adventurous: a mixolydian I-bVII-IV-I with rock eighths.
Song level2(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "LV02.MP3";
  s.bpm = 116;
  s.bars = 24;
  s.echoSteps = 3;
  s.echoFeedback = 0.3;
  s.echoLevel = 0.4;
  s.drumVolume = 0.42;
  Composer c(s);
  const int melody = c.addTrack(lead(0.25, 0.28, 0.25));
  const int harmony = c.addTrack(second(0.5, 0.13));
  const int bass = c.addTrack(triangleBass(0.62, 0.8));
  const int stabs = c.addTrack(chordPad(0.06, 0.35));
  const int arp = c.addTrack(pluck(0.125, 0.08, 0.3, -0.4));
  const Scale key{2, false};

  const std::string opening =
      "F#5:4 A5:4 D6:2 C#6:2 A5:4 | G5:2 A5:2 C6:4 B5:2 A5:2 G5:4 | B5:4 D6:4 G5:4 B5:4 |"
      " A5:12 r:4 |";
  section(c, melody, 0,
          opening +
              " F#5:4 A5:4 D6:2 E6:2 F#6:4 | G6:4 E6:2 C6:2 E6:4 G6:4 |"
              " F#6:2 E6:2 D6:2 B5:2 G5:4 B5:4 | C#6:4 A5:4 E5:4 A5:4 |",
          8);
  section(c, melody, 8,
          opening +
              " F#5:4 A5:4 D6:2 E6:2 F#6:4 | E6:2 G6:2 E6:2 C6:2 G5:4 C6:4 |"
              " B5:2 D6:2 G6:4 A6:2 G6:2 D6:4 | E6:4 C#6:4 A5:4 E5:4 |",
          8);
  section(c, melody, 16,
          "D6:6 C#6:2 B5:4 F#5:4 | G5:6 A5:2 B5:4 D6:4 | F#6:6 E6:2 D6:4 A5:4 | C#6:6 B5:2 A5:8 |"
          " B5:4 D6:4 F#6:6 E6:2 | D6:4 B5:4 G5:4 B5:4 | E6:6 F#6:2 G6:4 E6:4 |"
          " E6:4 C#6:4 A5:4 E5:4 |",
          8);

  const char* chordsA = "D C G D D C G A";
  const char* chordsB = "Bm G D A Bm G Em A";
  progression(c, bass, 0, chordsA, "1:2 1:2 8:2 1:2 1:2 1:2 8:2 1:2", 38);
  progression(c, bass, 8, chordsA, "1:2 1:2 8:2 1:2 1:2 1:2 8:2 1:2", 38);
  progression(c, bass, 16, chordsB, "1:2 1:2 8:2 1:2 1:2 5:2 8:2 5:2", 38);
  progression(c, stabs, 0, chordsA, "*:6 *:6 *:4", 62);
  progression(c, stabs, 8, chordsA, "*:6 *:6 *:4", 62);
  progression(c, stabs, 16, chordsB, "*:6 *:6 *:4", 62);
  progression(c, arp, 8, chordsA, "1:2 5:2 8:2 5:2 3':2 8:2 5:2 8:2", 62);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 16, 8, key, -2);

  const DrumPattern rock{"x.....x.x.......", "....x.......x...", "x.x.x.x.x.x.x.x.", ""};
  c.drums(0, 7, rock, 0.9);
  c.drums(7, 1, {"x.....x.x.......", "....x.......xxxx", "x.x.x.x.x.x.....", ""}, 0.9);
  c.drums(8, 15, rock);
  c.drums(23, 1, {"x.....x.x.......", "....x.......x...", "x.x.x.x.x.x.o...", "........t.t.T.T."});
  c.drums(8, 1, kCrash, 0.6);
  c.drums(16, 1, kCrash, 0.6);
  report(c, errors);
  return s;
}

// ---------------------------------------------------------------------------------------
// LV03: A minor, 124 bpm. Driving and determined, with a rolling sixteenth arpeggio.
Song level3(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "LV03.MP3";
  s.bpm = 124;
  s.bars = 32;
  s.echoSteps = 3;
  s.echoFeedback = 0.32;
  s.echoLevel = 0.4;
  s.drumVolume = 0.45;
  Composer c(s);
  const int melody = c.addTrack(lead(0.25, 0.28, 0.25));
  const int harmony = c.addTrack(second(0.125, 0.12));
  const int bass = c.addTrack(triangleBass(0.65, 0.8));
  const int arp = c.addTrack(pluck(0.125, 0.085, 0.3, 0.4));
  const int pad = c.addTrack(chordPad(0.045, -0.35));
  const Scale key{9, true};

  const std::string themeA =
      "A5:2 A5:2 C6:2 A5:2 E6:4 D6:2 C6:2 | C6:4 A5:4 F5:4 A5:4 |"
      " G5:2 G5:2 C6:2 G5:2 E6:4 D6:2 C6:2 | D6:4 B5:4 G5:8 |"
      " A5:2 A5:2 C6:2 A5:2 E6:4 F6:2 E6:2 | F6:4 E6:2 C6:2 A5:4 C6:4 |"
      " B5:4 D6:4 G6:4 F6:2 D6:2 | E6:4 D6:2 B5:2 G#5:8 |";
  section(c, melody, 0, themeA, 8);
  section(c, melody, 8, themeA, 8);
  section(c, melody, 16,
          "A5:6 C6:2 F6:4 E6:4 | D6:6 B5:2 G5:4 B5:4 | E6:6 G6:2 B6:4 G6:4 | ~A6:8 E6:4 C6:4 |"
          " F6:6 E6:2 D6:4 A5:4 | B5:4 D6:4 G6:4 F6:4 | E6:6 D6:2 C6:4 G5:4 |"
          " G#5:4 B5:4 E6:4 D6:4 |",
          8);
  section(c, melody, 24, themeA, 8, -12);  // the theme comes back low, with a third above

  const char* chordsA = "Am F C G Am F G E";
  const char* chordsB = "F G Em Am Dm G C E";
  const char* drive = "1:2 1:2 8:2 1:2 1:2 8:2 1:2 5:2";
  progression(c, bass, 0, chordsA, "1:4 1:2 8:2 1:4 5:4", 36);
  progression(c, bass, 8, chordsA, drive, 36);
  progression(c, bass, 16, chordsB, drive, 36);
  progression(c, bass, 24, chordsA, drive, 36);
  const std::string roll = times("1:1 5:1 8:1 5:1 3':1 5:1 8:1 5:1", 2);
  progression(c, arp, 0, chordsA, "1:2 5:2 8:2 5:2 3':2 5:2 8:2 5:2", 57);
  progression(c, arp, 8, chordsA, roll, 57);
  progression(c, arp, 16, chordsB, roll, 57);
  progression(c, arp, 24, chordsA, roll, 57);
  progression(c, pad, 16, chordsB, "*:16", 60);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 16, 8, key, -2);
  c.harmony(melody, harmony, 24, 8, key, 2);

  const DrumPattern beat{"x.....x.x.x.....", "....x.......x...", "X.x.X.x.X.x.X.x.", ""};
  const DrumPattern fill{"x.....x.x.......", "....x.....x.xxxx", "X.x.X.x.X.x.....", ""};
  c.drums(0, 7, {"x.......x.x.....", "....x.......x...", "x.x.x.x.x.x.x.x.", ""}, 0.85);
  c.drums(7, 1, fill, 0.85);
  for (int bar : {8, 16, 24}) {
    c.drums(bar, 7, beat);
    c.drums(bar + 7, 1, fill);
    c.drums(bar, 1, kCrash, 0.6);
  }
  report(c, errors);
  return s;
}

// ---------------------------------------------------------------------------------------
// LV04: E minor, 132 bpm. Tense and syncopated, over a growling pulse bass.
Song level4(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "LV04.MP3";
  s.bpm = 132;
  s.bars = 32;
  s.echoSteps = 3;
  s.echoFeedback = 0.32;
  s.echoLevel = 0.38;
  s.drumVolume = 0.48;
  Composer c(s);
  const int melody = c.addTrack(lead(0.25, 0.27, 0.25));
  const int harmony = c.addTrack(second(0.5, 0.12));
  const int bass = c.addTrack(pulseBass(0.3, 900));
  const int sub = c.addTrack(triangleBass(0.4, 0.7));
  const int arp = c.addTrack(pluck(0.125, 0.08, 0.3, 0.4));
  const int pad = c.addTrack(chordPad(0.04, -0.35));
  const Scale key{4, true};

  const std::string themeA =
      "E5:3 G5:3 B5:2 E6:4 D6:2 B5:2 | C6:3 B5:3 G5:2 E5:4 G5:4 |"
      " F#5:3 A5:3 D6:2 F#6:4 E6:2 D6:2 | D#6:6 B5:2 F#5:4 A5:4 |"
      " E5:3 G5:3 B5:2 E6:4 F#6:2 G6:2 | G6:3 F#6:3 E6:2 C6:4 E6:4 |"
      " A6:3 G6:3 E6:2 C6:4 A5:4 | B5:4 D#6:4 F#6:4 A6:2 F#6:2 |";
  section(c, melody, 0, themeA, 8);
  section(c, melody, 8, themeA, 8);
  section(c, melody, 16,
          "G6:8 E6:4 C6:4 | F#6:8 D6:4 A5:4 | B5:6 D6:2 G6:4 F#6:4 | E6:12 r:4 |"
          " C6:4 E6:4 A6:4 G6:4 | F#6:4 A6:4 D6:4 C6:4 | E6:4 C6:4 D#6:4 F#6:4 |"
          " B5:6 C6:2 B5:4 A5:2 F#5:2 |",
          8);
  section(c, melody, 24, themeA, 8, -12);

  const char* chordsA = "Em C D B7 Em C Am B7";
  const char* chordsB = "C D G Em Am D C:8 B7:8 B7";
  const char* stomp = "1:3 1:3 1:2 8:2 1:2 5:2 1:2";
  progression(c, bass, 0, chordsA, stomp, 35);
  progression(c, bass, 8, chordsA, stomp, 35);
  progression(c, bass, 16, chordsB, "1:2 1:2 8:2 1:2 1:2 1:2 8:2 5:2", 35);
  progression(c, bass, 24, chordsA, stomp, 35);
  progression(c, sub, 0, chordsA, "1:16", 28);
  progression(c, sub, 16, chordsB, "1:8 5,:8", 28);
  progression(c, sub, 24, chordsA, "1:16", 28);
  const std::string roll = times("1:1 5:1 8:1 5:1", 4);
  progression(c, arp, 8, chordsA, roll, 59);
  progression(c, arp, 16, chordsB, times("8:1 5:1 3:1 1:1", 4), 59);
  progression(c, arp, 24, chordsA, roll, 59);
  progression(c, pad, 0, chordsA, "*:3 *:3 *:10", 60);
  progression(c, pad, 16, chordsB, "*:16", 60);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 20, 4, key, -2);
  c.harmony(melody, harmony, 24, 8, key, 2);

  const DrumPattern beat{"x..x..x...x..x..", "....x.......x...", "x.x.x.xox.x.x.xo", ""};
  const DrumPattern fill{"x..x..x...x.....", "....x.......xxxx", "x.x.x.xox.x.....",
                         "........tt..TT.."};
  c.drums(0, 7, {"x..x..x...x..x..", "....x.......x...", "x.x.x.x.x.x.x.x.", ""}, 0.85);
  c.drums(7, 1, fill, 0.85);
  for (int bar : {8, 16, 24}) {
    c.drums(bar, 7, beat);
    c.drums(bar + 7, 1, fill);
    c.drums(bar, 1, kCrash, 0.65);
  }
  report(c, errors);
  return s;
}

// ---------------------------------------------------------------------------------------
// LV05: G minor, 140 bpm. Urgent: four-on-the-floor, octave bass and soaring long notes.
Song level5(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "LV05.MP3";
  s.bpm = 140;
  s.bars = 32;
  s.echoSteps = 3;
  s.echoFeedback = 0.33;
  s.echoLevel = 0.38;
  s.drumVolume = 0.5;
  Composer c(s);
  const int melody = c.addTrack(lead(0.25, 0.27, 0.28));
  const int harmony = c.addTrack(second(0.5, 0.12));
  const int bass = c.addTrack(pulseBass(0.3, 1100));
  const int sub = c.addTrack(triangleBass(0.38, 0.7));
  const int arp = c.addTrack(pluck(0.125, 0.08, 0.3, 0.4));
  const int pad = c.addTrack(chordPad(0.04, -0.35));
  const Scale key{7, true};

  const std::string themeA =
      "G5:2 Bb5:2 D6:2 G6:6 F6:2 D6:2 | Eb6:4 D6:2 Bb5:2 G5:4 Bb5:4 |"
      " F5:2 Bb5:2 D6:2 F6:6 Eb6:2 D6:2 | C6:6 A5:2 F5:4 A5:4 |"
      " G5:2 Bb5:2 D6:2 G6:6 A6:2 Bb6:2 | G6:4 F6:2 Eb6:2 Bb5:4 Eb6:4 |"
      " C6:2 D6:2 Eb6:2 G6:6 F6:2 Eb6:2 | D6:4 F#6:4 A6:4 F#6:4 |";
  section(c, melody, 0, themeA, 8);
  section(c, melody, 8, themeA, 8);
  section(c, melody, 16,
          "Bb5:6 Eb6:2 G6:8 | A6:6 G6:2 F6:4 C6:4 | D6:6 F6:2 ~A6:8 | Bb6:6 A6:2 G6:4 D6:4 |"
          " Eb6:4 G6:4 C6:4 Eb6:4 | F6:4 A6:4 C7:4 A6:4 | G6:4 Eb6:4 F6:4 C6:4 |"
          " D6:4 A5:4 F#5:4 D5:4 |",
          8);
  section(c, melody, 24, themeA, 8, -12);

  const char* chordsA = "Gm Eb Bb F Gm Eb Cm D";
  const char* chordsB = "Eb F Dm Gm Cm F Eb:8 F:8 D";
  const char* octaves = "1:2 8:2 1:2 8:2 1:2 8:2 1:2 8:2";
  progression(c, bass, 0, chordsA, octaves, 36);
  progression(c, bass, 8, chordsA, octaves, 36);
  progression(c, bass, 16, chordsB, "1:2 8:2 1:2 8:2 1:2 8:2 5:2 8:2", 36);
  progression(c, bass, 24, chordsA, octaves, 36);
  progression(c, sub, 0, chordsA, "1:4 1:4 1:4 1:4", 31);
  progression(c, sub, 16, chordsB, "1:4 1:4 1:4 1:4", 31);
  progression(c, sub, 24, chordsA, "1:4 1:4 1:4 1:4", 31);
  const std::string updown = times("1:1 3:1 5:1 8:1 3':1 8:1 5:1 3:1", 2);
  progression(c, arp, 0, chordsA, "1:2 5:2 8:2 5:2 3':2 5:2 8:2 5:2", 55);
  progression(c, arp, 8, chordsA, updown, 55);
  progression(c, arp, 16, chordsB, updown, 55);
  progression(c, arp, 24, chordsA, updown, 55);
  progression(c, pad, 16, chordsB, "*:16", 60);
  progression(c, pad, 24, chordsA, "*:6 *:6 *:4", 60);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 16, 8, key, -2);
  c.harmony(melody, harmony, 24, 8, key, 2);

  const DrumPattern floor{"x...x...x...x...", "....p.......p...", "x.o.x.o.x.o.x.o.", ""};
  const DrumPattern fill{"x...x...x...x...", "....x...x.x.xxxx", "x.o.x.o.x.......",
                         "........t.t.T.T."};
  c.drums(0, 7, {"x...x...x...x...", "....x.......x...", "x.x.x.x.x.x.x.x.", ""}, 0.85);
  c.drums(7, 1, fill, 0.85);
  for (int bar : {8, 16, 24}) {
    c.drums(bar, 7, floor);
    c.drums(bar + 7, 1, fill);
    c.drums(bar, 1, kCrash, 0.65);
  }
  report(c, errors);
  return s;
}

// ---------------------------------------------------------------------------------------
// LV06: C minor, 152 bpm. Intense: hammered repeated notes, sixteenth hats, busy bass.
Song level6(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "LV06.MP3";
  s.bpm = 152;
  s.bars = 32;
  s.echoSteps = 3;
  s.echoFeedback = 0.3;
  s.echoLevel = 0.35;
  s.drumVolume = 0.52;
  Composer c(s);
  Instrument hammer = lead(0.25, 0.27, 0.25);
  hammer.gate = 0.8;
  const int melody = c.addTrack(hammer);
  const int harmony = c.addTrack(second(0.125, 0.12));
  const int bass = c.addTrack(pulseBass(0.32, 1200));
  const int sub = c.addTrack(triangleBass(0.38, 0.6));
  const int arp = c.addTrack(pluck(0.125, 0.08, 0.28, 0.4));
  const int pad = c.addTrack(chordPad(0.04, -0.35));
  const Scale key{0, true};

  const std::string themeA =
      "C6:2 C6:2 Eb6:2 C6:2 G6:4 F6:2 Eb6:2 | Eb6:2 Eb6:2 C6:2 Ab5:2 C6:4 Eb6:4 |"
      " F6:2 F6:2 Ab6:2 F6:2 C7:4 Bb6:2 Ab6:2 | G6:4 F6:2 D6:2 B5:8 |"
      " C6:2 C6:2 Eb6:2 C6:2 G6:4 Ab6:2 G6:2 | F6:2 Eb6:2 C6:2 Eb6:2 Ab6:8 |"
      " G6:2 F6:2 D6:2 F6:2 Bb6:4 Ab6:4 | G6:4 D6:4 B5:4 G5:4 |";
  section(c, melody, 0, themeA, 8);
  section(c, melody, 8, themeA, 8);
  section(c, melody, 16,
          "C6:8 Eb6:4 Ab6:4 | D6:8 F6:4 Bb6:4 | G6:6 F6:2 D6:4 Bb5:4 | C6:6 D6:2 Eb6:4 G6:4 |"
          " Ab6:6 G6:2 F6:4 C6:4 | D6:6 Eb6:2 F6:4 Bb6:4 | C7:4 Ab6:4 B6:4 G6:4 |"
          " G6:4 F6:2 D6:2 B5:4 G5:4 |",
          8);
  section(c, melody, 24, themeA, 8, -12);

  const char* chordsA = "Cm Ab Fm G Cm Ab Bb G";
  const char* chordsB = "Ab Bb Gm Cm Fm Bb Ab:8 G:8 G";
  const char* gallop = "1:2 1:1 1:1 8:2 1:2 1:2 1:1 1:1 8:2 5:2";
  progression(c, bass, 0, chordsA, gallop, 36);
  progression(c, bass, 8, chordsA, gallop, 36);
  progression(c, bass, 16, chordsB, gallop, 36);
  progression(c, bass, 24, chordsA, gallop, 36);
  progression(c, sub, 0, chordsA, "1:4 1:4 1:4 1:4", 31);
  progression(c, sub, 16, chordsB, "1:4 1:4 1:4 1:4", 31);
  progression(c, sub, 24, chordsA, "1:4 1:4 1:4 1:4", 31);
  const std::string spin = times("1:1 5:1 8:1 3':1 5':1 3':1 8:1 5:1", 2);
  progression(c, arp, 0, chordsA, spin, 55);
  progression(c, arp, 8, chordsA, spin, 55);
  progression(c, arp, 16, chordsB, spin, 55);
  progression(c, arp, 24, chordsA, spin, 55);
  progression(c, pad, 16, chordsB, "*:16", 60);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 16, 8, key, -2);
  c.harmony(melody, harmony, 24, 8, key, 2);

  const DrumPattern drive{"x..x..x.x..x..x.", "....X.......X...", "XxxxXxxxXxxxXxxx", ""};
  const DrumPattern fill{"x..x..x.x.......", "....X...x.xxXxxx", "XxxxXxxx........",
                         "........ttttTTTT"};
  c.drums(0, 7, {"x..x..x.x..x..x.", "....X.......X...", "x.x.x.x.x.x.x.x.", ""}, 0.85);
  c.drums(7, 1, fill, 0.85);
  for (int bar : {8, 16, 24}) {
    c.drums(bar, 7, drive);
    c.drums(bar + 7, 1, fill);
    c.drums(bar, 1, kCrash, 0.7);
  }
  report(c, errors);
  return s;
}

// ---------------------------------------------------------------------------------------
// LV07: F# minor, 168 bpm. The most intense: sixteenth runs, racing bass, crashes.
Song level7(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "LV07.MP3";
  s.bpm = 168;
  s.bars = 32;
  s.echoSteps = 3;
  s.echoFeedback = 0.3;
  s.echoLevel = 0.33;
  s.drumVolume = 0.55;
  Composer c(s);
  Instrument racer = lead(0.25, 0.27, 0.22);
  racer.gate = 0.85;
  racer.vibratoDelay = 0.15;
  const int melody = c.addTrack(racer);
  const int harmony = c.addTrack(second(0.125, 0.12));
  const int bass = c.addTrack(pulseBass(0.32, 1300));
  const int sub = c.addTrack(triangleBass(0.38, 0.6));
  const int arp = c.addTrack(pluck(0.125, 0.075, 0.25, 0.4));
  const int pad = c.addTrack(chordPad(0.04, -0.35));
  const Scale key{6, true};

  const std::string themeA =
      "F#5:1 G#5:1 A5:1 C#6:1 F#6:4 E6:2 C#6:2 A5:2 C#6:2 | D6:4 C#6:2 A5:2 F#5:4 A5:4 |"
      " E5:1 F#5:1 G#5:1 B5:1 E6:4 D6:2 B5:2 G#5:2 B5:2 | C#6:4 E#5:4 G#5:4 B5:4 |"
      " F#5:1 G#5:1 A5:1 C#6:1 F#6:4 G#6:2 A6:2 G#6:2 F#6:2 | F#6:4 E6:2 D6:2 A5:4 D6:4 |"
      " B5:2 C#6:2 D6:2 F#6:2 B6:4 A6:2 F#6:2 | G#6:4 E#6:4 C#6:4 B5:4 |";
  section(c, melody, 0, themeA, 8);
  section(c, melody, 8, themeA, 8);
  section(c, melody, 16,
          "A6:6 F#6:2 D6:4 F#6:4 | G#6:6 E6:2 B5:4 E6:4 | E6:6 C#6:2 G#5:4 C#6:4 |"
          " A5:2 C#6:2 F#6:2 A6:2 ~C#7:8 | B6:6 A6:2 F#6:4 D6:4 | G#6:6 F#6:2 E6:4 B5:4 |"
          " A6:4 F#6:4 E#6:4 G#6:4 | C#7:4 B6:2 G#6:2 E#6:2 C#6:2 B5:2 G#5:2 |",
          8);
  section(c, melody, 24, themeA, 8, -12);

  const char* chordsA = "F#m D E C#7 F#m D Bm C#7";
  const char* chordsB = "D E C#m F#m Bm E D:8 C#7:8 C#7";
  const std::string race = times("1:1 1:1 8:1 1:1", 4);
  progression(c, bass, 0, chordsA, times("1:2 8:2", 4), 37);
  progression(c, bass, 8, chordsA, race, 37);
  progression(c, bass, 16, chordsB, race, 37);
  progression(c, bass, 24, chordsA, race, 37);
  progression(c, sub, 0, chordsA, "1:4 1:4 1:4 1:4", 30);
  progression(c, sub, 16, chordsB, "1:4 1:4 1:4 1:4", 30);
  progression(c, sub, 24, chordsA, "1:4 1:4 1:4 1:4", 30);
  const std::string spin = times("1:1 5:1 8:1 3':1 5':1 3':1 8:1 5:1", 2);
  progression(c, arp, 0, chordsA, spin, 54);
  progression(c, arp, 8, chordsA, spin, 54);
  progression(c, arp, 16, chordsB, spin, 54);
  progression(c, arp, 24, chordsA, spin, 54);
  progression(c, pad, 8, chordsA, "*:4 *:4 *:4 *:4", 60);
  progression(c, pad, 16, chordsB, "*:16", 60);
  progression(c, pad, 24, chordsA, "*:4 *:4 *:4 *:4", 60);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 16, 8, key, -2);
  c.harmony(melody, harmony, 24, 8, key, 2);

  const DrumPattern blast{"x...x...x...x.x.", "....X.......X..g", "XxxxXxxxXxxxXxxx", ""};
  const DrumPattern fill{"x...x...x...x...", "....X..xX.xxXxxx", "XxxxXxxx........",
                         "........ttTTttTT"};
  c.drums(0, 7, {"x...x...x...x.x.", "....X.......X...", "X.x.X.x.X.x.X.x.", ""}, 0.9);
  c.drums(7, 1, fill, 0.9);
  for (int bar : {8, 16, 24}) {
    c.drums(bar, 7, blast);
    c.drums(bar + 7, 1, fill);
    c.drums(bar, 1, kCrash, 0.7);
  }
  c.drums(12, 1, kCrash, 0.5);
  c.drums(28, 1, kCrash, 0.5);
  report(c, errors);
  return s;
}

// ---------------------------------------------------------------------------------------
// END: C major, 120 bpm. A triumphant march with brass fanfares and the bVI-bVII-I cadence.
Song ending(std::vector<std::string>& errors) {
  Song s;
  s.fileName = "END.MP3";
  s.bpm = 120;
  s.bars = 24;
  s.echoSteps = 3;
  s.echoFeedback = 0.32;
  s.echoLevel = 0.38;
  s.drumVolume = 0.45;
  Composer c(s);
  Instrument brass = lead(0.35, 0.28, 0.25);
  brass.dutyLfoDepth = 0.1;
  brass.dutyLfoRate = 2.5;
  brass.envelope = {0.01, 0.3, 0.75, 0.06};
  const int melody = c.addTrack(brass);
  const int harmony = c.addTrack(second(0.5, 0.14));
  const int bass = c.addTrack(triangleBass(0.65, 0.75));
  const int stabs = c.addTrack(chordPad(0.06, 0.35));
  const int arp = c.addTrack(pluck(0.125, 0.075, 0.3, -0.4));
  const Scale key{0, false};

  const std::string fanfare =
      "G5:2 C6:2 E6:2 G6:6 E6:2 G6:2 | A6:6 G6:2 F6:4 C6:4 | B5:2 D6:2 G6:4 F6:2 D6:2 B5:4 |"
      " C6:8 E6:4 G6:4 | C6:2 E6:2 A6:4 G6:2 E6:2 C6:4 | F6:6 E6:2 D6:4 C6:4 |"
      " D6:4 G6:4 B6:4 D7:4 |";
  section(c, melody, 0, fanfare + " C7:8 G6:4 E6:4 |", 8);
  section(c, melody, 8, fanfare + " C7:12 r:4 |", 8);
  section(c, melody, 16,
          "A6:8 G6:4 F6:4 | G6:8 F6:4 D6:4 | E6:6 D6:2 E6:4 G6:4 | ~A6:12 G6:4 |"
          " C7:4 Ab6:4 D7:4 Bb6:4 | C7:8 G6:4 E6:4 | Eb6:2 F6:2 Ab6:4 F6:2 G6:2 Bb6:4 |"
          " G6:4 F6:2 D6:2 B5:4 D6:4 |",
          8);
  // Over the borrowed chords the second voice moves in sixths below instead.
  section(c, harmony, 20,
          "Eb6:4 C6:4 F6:4 D6:4 | E6:8 C6:4 G5:4 | C6:2 C6:2 Eb6:4 D6:2 D6:2 F6:4 |"
          " D6:4 B5:2 G5:2 F5:4 G5:4 |",
          4, -12);

  const char* chordsA = "C F G C Am F G C";
  const char* chordsB = "F G Em Am Ab:8 Bb:8 C Ab:8 Bb:8 G";
  const char* march = "1:4 5,:4 1:4 5,:4";
  progression(c, bass, 0, chordsA, march, 36);
  progression(c, bass, 8, chordsA, "1:4 5,:4 1:2 3:2 5:4", 36);
  progression(c, bass, 16, chordsB, "1:4 5,:4 1:2 3:2 5:4", 36);
  const char* stab = "*:2 r:2 *:2 r:2 *:2 r:2 *:2 *:2";
  progression(c, stabs, 0, chordsA, stab, 60);
  progression(c, stabs, 8, chordsA, stab, 60);
  progression(c, stabs, 16, chordsB, "*:8 *:8", 60);
  progression(c, arp, 8, chordsA, "1:2 3:2 5:2 8:2 3':2 8:2 5:2 3:2", 60);
  progression(c, arp, 16, chordsB, "1:2 3:2 5:2 8:2 3':2 8:2 5:2 3:2", 60);

  c.harmony(melody, harmony, 8, 8, key, -2);
  c.harmony(melody, harmony, 16, 4, key, -2);

  const DrumPattern parade{"x.......x.......", "....X..g....X.gg", "x.x.x.x.x.x.x.x.", ""};
  const DrumPattern roll{"x.......x.......", "X.gXX.gXX.xxXXXX", "x.x.x.x.........", ""};
  c.drums(0, 7, parade, 0.9);
  c.drums(7, 1, roll, 0.9);
  c.drums(8, 7, parade);
  c.drums(15, 1, roll);
  c.drums(16, 7, {"x.......x.x.....", "....X.......X...", "x.o.x.o.x.o.x.o.", ""});
  c.drums(23, 1, roll);
  for (int bar : {0, 8, 16, 20}) c.drums(bar, 1, kCrash, 0.6);
  report(c, errors);
  return s;
}

}  // namespace

std::vector<music::Song> composeSongs(std::vector<std::string>& errors) {
  return {title(errors),  level1(errors), level2(errors), level3(errors), level4(errors),
          level5(errors), level6(errors), level7(errors), ending(errors)};
}
