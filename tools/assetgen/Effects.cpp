// The sound effects: block chimes of one chord, combo and level-up jingles, the death buzz,
// the laser zap, the high score fanfare, the viewer's whoosh and the ready-go beeps.
#include "Effects.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "Synth.h"

namespace {

using synth::Envelope;
using synth::noteFrequency;
using synth::Tone;
using synth::Wave;

constexpr int kRate = synth::kSampleRate;
// Every effect is as loud as every other: its loudest 100 ms reach -12 dBFS RMS, well above
// the music (GenerateAudio.cpp), with its peaks kept under 0.9 of full scale.
constexpr std::size_t kLoudnessWindow = kRate / 10;
constexpr float kEffectLoudness = 0.25f;
constexpr float kEffectCeiling = 0.9f;

std::vector<float> silence(double seconds) {
  return std::vector<float>(static_cast<std::size_t>(seconds * kRate), 0.0f);
}

void at(std::vector<float>& out, double seconds, const Tone& tone) {
  synth::addTone(out, static_cast<std::size_t>(seconds * kRate), tone);
}

Tone make(Wave wave, double midi, double length, Envelope envelope, double volume) {
  Tone tone;
  tone.wave = wave;
  tone.frequency = noteFrequency(midi);
  tone.length = length;
  tone.envelope = envelope;
  tone.volume = volume;
  return tone;
}

// A few quieter repeats, so the short sounds have a little room around them.
void echo(std::vector<float>& out, double delaySeconds, float gain, int repeats) {
  const std::size_t delay = static_cast<std::size_t>(delaySeconds * kRate);
  for (int r = 0; r < repeats; ++r)
    for (std::size_t i = out.size(); i-- > delay;) out[i] += out[i - delay] * gain;
}

// A two-millisecond fade in and a ten-millisecond fade out, so that the sample neither
// starts nor ends on a step, which the ear hears as a click; then the common loudness.
void finish(std::vector<float>& out) {
  const std::size_t fadeIn = std::min<std::size_t>(out.size(), kRate / 500);
  for (std::size_t i = 0; i < fadeIn; ++i)
    out[i] *= static_cast<float>(i) / static_cast<float>(fadeIn);
  const std::size_t fadeOut = std::min<std::size_t>(out.size(), kRate / 100);
  for (std::size_t i = 0; i < fadeOut; ++i)
    out[out.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(fadeOut);
  synth::levelTo(out, kLoudnessWindow, kEffectLoudness, kEffectCeiling);
}

// A plucked chime: a bright pulse that dies fast over a round sine body and a bell partial.
void chime(std::vector<float>& out, double seconds, double midi, double volume) {
  Tone pluck = make(Wave::Square, midi, 0.25, {0.001, 0.045, 0.0, 0.05}, 0.22 * volume);
  pluck.duty = 0.25;
  at(out, seconds, pluck);
  at(out, seconds, make(Wave::Sine, midi, 0.42, {0.002, 0.2, 0.0, 0.06}, 0.75 * volume));
  at(out, seconds, make(Wave::Sine, midi + 12, 0.3, {0.001, 0.09, 0.0, 0.05}, 0.25 * volume));
  Tone bell = make(Wave::Sine, midi + 28.4, 0.1, {0.001, 0.025, 0.0, 0.03}, 0.12 * volume);
  at(out, seconds, bell);
}

std::vector<float> block(double midi) {
  auto out = silence(0.6);
  chime(out, 0, midi, 1.0);
  echo(out, 0.085, 0.22, 1);
  finish(out);
  return out;
}

std::vector<float> combo(bool big) {
  auto out = silence(big ? 1.35 : 0.8);
  const double run[] = {72, 76, 79, 84, 88, 91, 96};
  const int count = big ? 7 : 4;
  const double gap = big ? 0.05 : 0.06;
  for (int i = 0; i < count; ++i) {
    double midi = run[i] + (big ? 0 : 12);  // the small jingle runs an octave up
    Tone note = make(Wave::Square, midi, gap * 0.9, {0.002, 0.05, 0.5, 0.03}, 0.35);
    note.duty = 0.125;
    at(out, i * gap, note);
    at(out, i * gap, make(Wave::Sine, midi, gap, {0.002, 0.1, 0.3, 0.05}, 0.3));
  }
  const double top = count * gap;
  // The jingle lands on a shimmering chord: a chip arpeggio with vibrato over a sine.
  Tone chord = make(Wave::Square, 96, big ? 0.55 : 0.35, {0.004, 0.2, 0.5, 0.12}, 0.3);
  chord.duty = 0.25;
  chord.arpeggio = {0, 4, 7, 12};
  chord.arpeggioCount = big ? 4 : 3;
  chord.arpeggioRate = 30;
  chord.vibratoDepth = 0.2;
  chord.vibratoDelay = 0.1;
  at(out, top, chord);
  at(out, top, make(Wave::Sine, 84, big ? 0.6 : 0.35, {0.005, 0.3, 0.3, 0.12}, 0.35));
  if (big) {
    Tone sparkle = make(Wave::Noise, 0, 0.5, {0.002, 0.15, 0.0, 0.1}, 0.1);
    sparkle.frequency = 30000;
    sparkle.metallicNoise = true;
    at(out, top, sparkle);
  }
  echo(out, 0.11, 0.25, 1);
  finish(out);
  return out;
}

std::vector<float> levelUp() {
  auto out = silence(1.3);
  // Three rising triads, each a tone higher: F, G, then A major, which rings.
  const double steps[][3] = {{65, 69, 72}, {67, 71, 74}, {69, 73, 76}};
  double t = 0;
  for (const auto& triad : steps)
    for (double midi : triad) {
      Tone lead = make(Wave::Square, midi + 12, 0.055, {0.002, 0.05, 0.6, 0.02}, 0.3);
      lead.duty = 0.25;
      at(out, t, lead);
      at(out, t, make(Wave::Triangle, midi - 12, 0.055, {0.002, 0.05, 0.8, 0.02}, 0.35));
      t += 0.065;
    }
  Tone high = make(Wave::Square, 93, 0.45, {0.003, 0.25, 0.55, 0.15}, 0.3);
  high.duty = 0.25;
  high.vibratoDepth = 0.25;
  high.vibratoDelay = 0.08;
  at(out, t, high);
  Tone third = high;
  third.frequency = noteFrequency(88);
  third.duty = 0.5;
  third.volume = 0.18;
  at(out, t, third);
  at(out, t, make(Wave::Triangle, 57, 0.45, {0.003, 0.3, 0.6, 0.15}, 0.4));
  echo(out, 0.1, 0.2, 1);
  finish(out);
  return out;
}

std::vector<float> level() {
  auto out = silence(0.75);
  chime(out, 0.0, 88, 1.0);
  chime(out, 0.16, 81, 1.0);
  echo(out, 0.12, 0.2, 1);
  finish(out);
  return out;
}

std::vector<float> death() {
  auto out = silence(1.0);
  Tone buzz = make(Wave::Square, 0, 0.75, {0.004, 0.4, 0.6, 0.15}, 0.45);
  buzz.frequency = 520;
  buzz.sweepTo = 55;
  buzz.sweepTime = 0.8;
  buzz.dutyLfoDepth = 0.2;
  buzz.dutyLfoRate = 9;
  buzz.vibratoDepth = 0.6;
  buzz.vibratoRate = 14;
  buzz.vibratoDelay = 0;
  at(out, 0, buzz);
  Tone under = buzz;  // a detuned twin makes it sour
  under.frequency = 540;
  under.sweepTo = 52;
  under.duty = 0.3;
  under.volume = 0.3;
  at(out, 0, under);
  Tone crunch = make(Wave::Noise, 0, 0.25, {0.001, 0.12, 0.0, 0.1}, 0.35);
  crunch.frequency = 6000;
  at(out, 0, crunch);
  synth::lowpass(out, 7000);
  finish(out);
  return out;
}

std::vector<float> laser() {
  auto out = silence(0.3);
  Tone zap = make(Wave::Square, 0, 0.15, {0.001, 0.08, 0.3, 0.06}, 0.4);
  zap.frequency = 2600;
  zap.sweepTo = 190;
  zap.sweepTime = 0.17;
  zap.duty = 0.125;
  at(out, 0, zap);
  Tone twin = zap;
  twin.frequency = 2700;
  twin.sweepTo = 260;
  twin.duty = 0.5;
  twin.volume = 0.2;
  at(out, 0, twin);
  Tone click = make(Wave::Noise, 0, 0.01, {0.0005, 0.008, 0.0, 0.01}, 0.3);
  click.frequency = 40000;
  at(out, 0, click);
  echo(out, 0.06, 0.25, 1);
  finish(out);
  return out;
}

// "Ta-ta-ta-taaa": three quick brass stabs and a long note over a held chord.
std::vector<float> highscore() {
  auto out = silence(1.45);
  auto brass = [&](double t, double midi, double length, double volume) {
    Tone lead = make(Wave::Square, midi, length, {0.006, 0.12, 0.7, 0.08}, volume);
    lead.duty = 0.35;
    lead.dutyLfoDepth = 0.1;
    lead.dutyLfoRate = 3;
    lead.vibratoDepth = length > 0.3 ? 0.22 : 0;
    lead.vibratoDelay = 0.12;
    at(out, t, lead);
  };
  const double stab = 0.11;
  for (int i = 0; i < 3; ++i) {
    brass(i * stab, 79, stab * 0.7, 0.32);
    brass(i * stab, 76, stab * 0.7, 0.18);
  }
  const double hold = 3 * stab;
  brass(hold, 84, 0.8, 0.34);
  brass(hold, 79, 0.8, 0.18);
  brass(hold, 76, 0.8, 0.14);
  at(out, 0, make(Wave::Triangle, 48, 0.25, {0.005, 0.2, 0.8, 0.05}, 0.45));
  at(out, hold, make(Wave::Triangle, 48, 0.8, {0.005, 0.4, 0.7, 0.2}, 0.5));
  synth::addDrum(out, static_cast<std::size_t>(hold * kRate), synth::Drum::Crash, 0.35);
  synth::addDrum(out, 0, synth::Drum::Snare, 0.3);
  synth::addDrum(out, static_cast<std::size_t>(stab * kRate), synth::Drum::Snare, 0.3);
  synth::addDrum(out, static_cast<std::size_t>(2 * stab * kRate), synth::Drum::Snare, 0.3);
  synth::addDrum(out, static_cast<std::size_t>(hold * kRate), synth::Drum::Kick, 0.6);
  echo(out, 0.13, 0.18, 1);
  finish(out);
  return out;
}

// A breath of filtered noise sweeping up and back, then a soft three-note chime.
std::vector<float> hsMenu() {
  auto out = silence(1.2);
  const double whoosh = 0.5;
  const std::size_t count = static_cast<std::size_t>(whoosh * kRate);
  uint32_t lfsr = 0x2b1u;
  double low = 0, band = 0;
  for (std::size_t n = 0; n < count; ++n) {
    double t = static_cast<double>(n) / kRate;
    double x = t / whoosh;
    double cutoff = 300 * std::pow(20.0, std::sin(synth::kPi * x));  // 300 Hz .. 6 kHz .. back
    double f = 2 * std::sin(synth::kPi * cutoff / kRate);
    uint32_t bit = (lfsr ^ (lfsr >> 1)) & 1u;
    lfsr = (lfsr >> 1) | (bit << 14);
    double white = (lfsr & 1u) ? 1.0 : -1.0;
    // State-variable band-pass: the swept resonance is what makes it a whoosh.
    double high = white - low - 0.6 * band;
    band += f * high;
    low += f * band;
    double envelope = std::sin(synth::kPi * x);
    out[n] += static_cast<float>(0.3 * band * envelope * envelope);
  }
  chime(out, 0.3, 79, 0.7);
  chime(out, 0.4, 83, 0.7);
  chime(out, 0.5, 86, 0.8);
  echo(out, 0.12, 0.25, 2);
  finish(out);
  return out;
}

// "Ready" and "go": a beep now, and a higher one a second later, when the go picture shows.
std::vector<float> readyGo() {
  auto out = silence(1.42);
  Tone ready = make(Wave::Square, 81, 0.14, {0.003, 0.2, 0.8, 0.04}, 0.35);
  at(out, 0, ready);
  at(out, 0, make(Wave::Sine, 69, 0.14, {0.003, 0.2, 0.8, 0.04}, 0.3));
  Tone go = make(Wave::Square, 93, 0.28, {0.003, 0.25, 0.75, 0.08}, 0.35);
  go.vibratoDepth = 0.15;
  go.vibratoDelay = 0.1;
  at(out, 1.0, go);
  at(out, 1.0, make(Wave::Sine, 81, 0.28, {0.003, 0.25, 0.75, 0.08}, 0.3));
  finish(out);
  return out;
}

}  // namespace

std::vector<Effect> makeEffects() {
  // The four blocks are the notes of one C6 chord (C, E, G, A), so hits always agree.
  return {
      {"Block01.Wav", block(84)},  {"Block02.Wav", block(88)},     {"Block03.Wav", block(91)},
      {"Block04.Wav", block(93)},  {"Combo01.Wav", combo(false)},  {"Combo02.Wav", combo(true)},
      {"LevelUp.wav", levelUp()},  {"Level.Wav", level()},         {"Death.Wav", death()},
      {"Laser.wav", laser()},      {"highscore.wav", highscore()}, {"hs-menu.wav", hsMenu()},
      {"ready-go.wav", readyGo()},
  };
}
