// Checks of the music generator's sequencer: the notation the songs are written in, the
// harmony it derives, the loop renderer's seam, loudness and note hold, and the leveller
// that gives every effect the same loudness.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Music.h"
#include "Songs.h"
#include "Synth.h"

namespace {

using music::Composer;
using music::Instrument;
using music::Note;
using music::Song;

struct Expected {
  double step;
  double length;
  double pitch;
  double glideFrom = 0;
};

void expectNotes(const std::vector<Note>& notes, const std::vector<Expected>& expected,
                 const std::string& what) {
  ASSERT_EQ(notes.size(), expected.size()) << what;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].step, expected[i].step) << what << ", note " << i;
    EXPECT_EQ(notes[i].length, expected[i].length) << what << ", note " << i;
    EXPECT_EQ(notes[i].pitch, expected[i].pitch) << what << ", note " << i;
    EXPECT_EQ(notes[i].glideFrom, expected[i].glideFrom) << what << ", note " << i;
  }
}

Song blankSong(int bars) {
  Song song;
  song.fileName = "TEST.MP3";
  song.bpm = 120;
  song.bars = bars;
  song.echoLevel = 0;
  return song;
}

TEST(MelodyNotation, WritesNotesRestsSlidesAndTransposition) {
  struct Case {
    const char* text;
    int bar;
    int transpose;
    std::vector<Expected> notes;
    int steps;
  };
  const Case cases[] = {
      {"C4:4 D4 ~E4:4 r:4 | Bb3:8 f#5:8 |",
       0,
       0,
       {{0, 4, 60}, {4, 4, 62}, {8, 4, 64, 62}, {16, 8, 58}, {24, 8, 78}},
       32},
      {"C4:4 D4 ~E4:4 r:4 |", 2, 2, {{32, 4, 62}, {36, 4, 64}, {40, 4, 66, 64}}, 16},
      // After a rest there is nothing to slide from.
      {"C5:8 r:4 ~G5:4 |", 0, 0, {{0, 8, 72}, {12, 4, 79}}, 16},
  };
  for (const Case& c : cases) {
    Song song = blankSong(4);
    Composer composer(song);
    int track = composer.addTrack(Instrument{});
    EXPECT_EQ(composer.melody(track, c.bar, c.text, c.transpose), c.steps) << c.text;
    EXPECT_TRUE(composer.ok()) << c.text;
    expectNotes(song.tracks[track].notes, c.notes, c.text);
  }
}

TEST(MelodyNotation, ReportsMistakes) {
  const char* const mistakes[] = {
      "C4:4 D4:4 E4:4 |",  // the bar line comes a beat early
      "H4:4",              // no such note
      "C4:0",              // no length
      "C4:x",
      "C:4",  // no octave
  };
  for (const char* text : mistakes) {
    Song song = blankSong(1);
    Composer composer(song);
    composer.melody(composer.addTrack(Instrument{}), 0, text);
    EXPECT_FALSE(composer.ok()) << text;
  }
}

TEST(ChordPatterns, PlayChordTonesOverTheProgression) {
  struct Case {
    const char* chords;
    const char* pattern;
    int lowest;
    std::vector<Expected> notes;
    int steps;
  };
  const Case cases[] = {
      // Bass note, fifth and third an octave up; the slash chord puts B in the bass.
      {"C:8 G/B:8 Am7",
       "1:4 5:4 1:4 3':4",
       36,
       {{0, 4, 36},
        {4, 4, 43},
        {8, 4, 47},
        {12, 4, 59},
        {16, 4, 45},
        {20, 4, 52},
        {24, 4, 45},
        {28, 4, 60}},
       32},
      // A note is cut where its chord ends; "7" without a seventh is the octave.
      {"C:8 F:8", "7:16", 48, {{0, 8, 60}, {8, 8, 65}}, 16},
      {"Dm", "8,:8 5':8", 48, {{0, 8, 50}, {8, 8, 69}}, 16},
  };
  for (const Case& c : cases) {
    Song song = blankSong(2);
    Composer composer(song);
    int track = composer.addTrack(Instrument{});
    EXPECT_EQ(composer.chords(track, 0, c.chords, c.pattern, c.lowest), c.steps) << c.chords;
    EXPECT_TRUE(composer.ok()) << c.chords;
    expectNotes(song.tracks[track].notes, c.notes, std::string(c.chords) + " / " + c.pattern);
  }
}

TEST(ChordPatterns, WholeChordBecomesAFastArpeggio) {
  Song song = blankSong(1);
  Composer composer(song);
  int track = composer.addTrack(Instrument{});
  composer.chords(track, 0, "Cmaj7", "*:16", 60);
  ASSERT_EQ(song.tracks[track].notes.size(), 1u);
  const Note& note = song.tracks[track].notes[0];
  EXPECT_EQ(note.pitch, 60);
  ASSERT_EQ(note.arpeggioCount, 4);
  EXPECT_EQ(note.arpeggio[0], 0);
  EXPECT_EQ(note.arpeggio[1], 4);
  EXPECT_EQ(note.arpeggio[2], 7);
  EXPECT_EQ(note.arpeggio[3], 11);
}

TEST(ChordPatterns, ReportMistakes) {
  struct Case {
    const char* chords;
    const char* pattern;
  };
  const Case mistakes[] = {
      {"Cx", "1:16"},   // unknown chord kind
      {"C/H", "1:16"},  // bad bass note
      {"C", "1:4"},     // pattern shorter than a bar
      {"C", "9:16"},    // no such chord tone
      {"C:0", "1:16"},  // chord without length
  };
  for (const Case& c : mistakes) {
    Song song = blankSong(1);
    Composer composer(song);
    composer.chords(composer.addTrack(Instrument{}), 0, c.chords, c.pattern, 48);
    EXPECT_FALSE(composer.ok()) << c.chords << " / " << c.pattern;
  }
}

TEST(DrumPatterns, RepeatEveryBarAndReportMistakes) {
  Song song = blankSong(2);
  Composer composer(song);
  composer.drums(0, 2,
                 {"X...............", "....p...g.......", "..o.............", "c..............T"});
  ASSERT_TRUE(composer.ok());
  struct Hit {
    double step;
    synth::Drum drum;
  };
  const Hit expected[] = {
      {0, synth::Drum::Kick},    {16, synth::Drum::Kick},    {4, synth::Drum::Clap},
      {8, synth::Drum::Snare},   {20, synth::Drum::Clap},    {24, synth::Drum::Snare},
      {2, synth::Drum::OpenHat}, {18, synth::Drum::OpenHat}, {0, synth::Drum::Crash},
      {15, synth::Drum::TomLow}, {16, synth::Drum::Crash},   {31, synth::Drum::TomLow},
  };
  ASSERT_EQ(song.drums.size(), std::size(expected));
  for (const Hit& hit : expected) {
    bool found = false;
    for (const music::DrumHit& d : song.drums) found |= d.step == hit.step && d.drum == hit.drum;
    EXPECT_TRUE(found) << "no drum " << int(hit.drum) << " at step " << hit.step;
  }

  for (music::DrumPattern bad : {music::DrumPattern{"x..q............", "", "", ""},
                                 music::DrumPattern{"", "x..............", "", ""}}) {
    Song other = blankSong(1);
    Composer c(other);
    c.drums(0, 1, bad);
    EXPECT_FALSE(c.ok()) << bad.kick << bad.snare;
  }
}

TEST(Harmony, FollowsTheScaleAndLandsOnChordTones) {
  struct Case {
    const char* what;
    music::Scale scale;
    const char* chord;
    const char* melody;
    int degrees;
    std::vector<double> pitches;
  };
  const Case cases[] = {
      {"thirds below in C", {0, false}, "C", "E5:4 F5:4 G5:4 B5:4", -2, {72, 74, 76, 79}},
      // G5 sits on the chord; its diatonic third B5 does not, so the next chord tone up.
      {"thirds above in C", {0, false}, "C", "E5:4 F5:4 G5:4 B5:4", 2, {79, 81, 84, 86}},
      {"E over E minor takes B, not C", {9, true}, "Em", "E6:16", -2, {83}},
      {"raised leading tone", {9, true}, "E", "G#5:16", -2, {76}},
  };
  for (const Case& c : cases) {
    Song song = blankSong(1);
    Composer composer(song);
    int lead = composer.addTrack(Instrument{});
    int second = composer.addTrack(Instrument{});
    int pad = composer.addTrack(Instrument{});
    composer.melody(lead, 0, c.melody);
    composer.chords(pad, 0, c.chord, "*:16", 60);
    composer.harmony(lead, second, 0, 1, c.scale, c.degrees);
    ASSERT_TRUE(composer.ok()) << c.what;
    ASSERT_EQ(song.tracks[second].notes.size(), c.pitches.size()) << c.what;
    for (std::size_t i = 0; i < c.pitches.size(); ++i)
      EXPECT_EQ(song.tracks[second].notes[i].pitch, c.pitches[i]) << c.what << ", note " << i;
  }
}

// One bar at 120 bpm: 16 steps of 0.125 s, 88200 frames.
Song oneNote(double step, double length, synth::Wave wave, double gate) {
  Song song = blankSong(1);
  Instrument in;
  in.wave = wave;
  in.gate = gate;
  in.envelope = {0.002, 0.1, 1.0, 0.02};
  song.tracks.push_back({in, {Note{step, length, 69}}});
  return song;
}

double rmsOf(const std::vector<float>& stereo, double fromSeconds, double toSeconds) {
  auto first = static_cast<std::size_t>(fromSeconds * synth::kSampleRate) * 2;
  auto last = std::min(stereo.size(), static_cast<std::size_t>(toSeconds * synth::kSampleRate) * 2);
  double sum = 0;
  for (std::size_t i = first; i < last; ++i) sum += double(stereo[i]) * stereo[i];
  return last > first ? std::sqrt(sum / double(last - first)) : 0;
}

TEST(RenderLoop, WrapsWhatRingsPastTheEndOntoTheStart) {
  // From step 14 for four steps: the last two sound at the loop's start.
  auto crossing = music::renderLoop(oneNote(14, 4, synth::Wave::Triangle, 1.0), 0.2f, 0.9f);
  ASSERT_EQ(crossing.size(), 2u * 88200u);
  EXPECT_GT(rmsOf(crossing, 0.0, 0.2), 0.1);
  EXPECT_EQ(rmsOf(crossing, 0.3, 1.7), 0.0);
  // The wave runs on across the seam: the step from the last frame to the first is one
  // ordinary step of a 440 Hz triangle, not a jump.
  const float peak = synth::peakOf(crossing);
  EXPECT_LT(std::fabs(crossing[0] - crossing[crossing.size() - 2]), 0.05f * peak);

  auto inside = music::renderLoop(oneNote(4, 4, synth::Wave::Triangle, 1.0), 0.2f, 0.9f);
  EXPECT_EQ(rmsOf(inside, 0.0, 0.45), 0.0);
  EXPECT_GT(rmsOf(inside, 0.55, 0.95), 0.1);
}

TEST(RenderLoop, HoldsANoteThatEndsTheLoopRightUpToTheSeam) {
  // A short gate leaves most of a note silent, but not the one that closes the loop.
  auto closing = music::renderLoop(oneNote(12, 4, synth::Wave::Square, 0.5), 0.2f, 0.9f);
  EXPECT_GT(rmsOf(closing, 1.98, 2.0), 0.1);
  auto earlier = music::renderLoop(oneNote(8, 4, synth::Wave::Square, 0.5), 0.2f, 0.9f);
  EXPECT_EQ(rmsOf(earlier, 1.4, 2.0), 0.0);
}

TEST(RenderLoop, ReachesTheLoudnessUnlessThePeakWouldPassTheCeiling) {
  Song song = oneNote(0, 16, synth::Wave::Square, 1.0);
  auto loud = music::renderLoop(song, 0.3f, 0.95f);
  EXPECT_NEAR(rmsOf(loud, 0, 2), 0.3, 0.003);
  EXPECT_LE(synth::peakOf(loud), 0.95f);
  auto capped = music::renderLoop(song, 0.9f, 0.5f);
  EXPECT_NEAR(synth::peakOf(capped), 0.5f, 1e-4);
  EXPECT_LT(rmsOf(capped, 0, 2), 0.9);
}

// A 441 Hz sine of `amplitude` for half a second, with `spike` samples at full scale on top
// at its start (the sharp attack of a zap).
std::vector<float> sineWithSpike(float amplitude, int spike) {
  std::vector<float> mono(synth::kSampleRate / 2);
  for (std::size_t i = 0; i < mono.size(); ++i)
    mono[i] = amplitude *
              static_cast<float>(std::sin(2 * synth::kPi * 441.0 * double(i) / synth::kSampleRate));
  for (int i = 0; i < spike; ++i) mono[static_cast<std::size_t>(100 + i)] = i % 2 ? -1.0f : 1.0f;
  return mono;
}

TEST(LevelTo, ReachesTheLoudnessAndRoundsOffOnlyWhatWouldPassTheCeiling) {
  constexpr std::size_t kWindow = synth::kSampleRate / 10;
  struct Case {
    const char* what;
    std::vector<float> mono;
    bool shapeKept;  // scaled only: no sample went through the knee
  };
  const Case cases[] = {
      {"a quiet sine is turned up", sineWithSpike(0.05f, 0), true},
      {"a loud sine is turned down", sineWithSpike(0.8f, 0), true},
      {"a spike over a quiet body is rounded off", sineWithSpike(0.05f, 40), false},
  };
  for (const Case& c : cases) {
    std::vector<float> levelled = c.mono;
    synth::levelTo(levelled, kWindow, 0.25f, 0.9f);
    EXPECT_NEAR(synth::loudestWindowRms(levelled, kWindow), 0.25f, 0.0025f) << c.what;
    EXPECT_LE(synth::peakOf(levelled), 0.9f) << c.what;
    const float ratio = levelled[5000] / c.mono[5000];
    bool scaled = true;
    for (std::size_t i = 0; i < c.mono.size(); ++i)
      scaled = scaled && std::fabs(levelled[i] - ratio * c.mono[i]) < 1e-4f;
    EXPECT_EQ(scaled, c.shapeKept) << c.what;
  }
}

TEST(LevelTo, LeavesSilenceAndStopsOnASoundTooPeakyToGetThere) {
  std::vector<float> silent(1000, 0.0f);
  synth::levelTo(silent, 441, 0.25f, 0.9f);
  EXPECT_EQ(synth::peakOf(silent), 0.0f);

  // One click in a second of silence cannot reach the loudness under the ceiling.
  std::vector<float> click(synth::kSampleRate, 0.0f);
  click[500] = 0.01f;
  synth::levelTo(click, 4410, 0.25f, 0.9f);
  EXPECT_GT(synth::peakOf(click), 0.45f);
  EXPECT_LE(synth::peakOf(click), 0.9f);
  EXPECT_TRUE(std::isfinite(click[500]));
}

TEST(LoudestWindowRms, FindsTheLoudestStretchWhereverItStarts) {
  std::vector<float> mono(10000, 0.0f);
  for (std::size_t i = 7000; i < 8000; ++i) mono[i] = 0.5f;
  EXPECT_NEAR(synth::loudestWindowRms(mono, 1000), 0.5f, 1e-5f);
  EXPECT_NEAR(synth::loudestWindowRms(mono, 2000), 0.5f / std::sqrt(2.0f), 1e-5f);
  // Shorter than the window: measured whole.
  EXPECT_NEAR(synth::loudestWindowRms(std::vector<float>(10, 0.3f), 1000), 0.3f, 1e-5f);
  EXPECT_EQ(synth::loudestWindowRms({}, 1000), 0.0f);
}

TEST(Songs, AllNineComposeCleanlyAndSpeedUpLevelByLevel) {
  std::vector<std::string> errors;
  const std::vector<Song> songs = composeSongs(errors);
  for (const std::string& error : errors) ADD_FAILURE() << error;
  const char* const names[] = {"TITLE.MP3", "LV01.MP3", "LV02.MP3", "LV03.MP3", "LV04.MP3",
                               "LV05.MP3",  "LV06.MP3", "LV07.MP3", "END.MP3"};
  ASSERT_EQ(songs.size(), std::size(names));
  for (std::size_t i = 0; i < songs.size(); ++i) {
    EXPECT_EQ(songs[i].fileName, names[i]);
    EXPECT_GE(songs[i].loopSeconds(), 30.0) << names[i];
    EXPECT_LE(songs[i].loopSeconds(), 90.0) << names[i];
    for (const music::Track& track : songs[i].tracks)
      for (const Note& note : track.notes)
        EXPECT_LT(note.step, songs[i].bars * songs[i].stepsPerBar)
            << names[i] << " note past the end";
  }
  for (std::size_t level = 2; level <= 7; ++level)
    EXPECT_GT(songs[level].bpm, songs[level - 1].bpm) << names[level];
}

}  // namespace
