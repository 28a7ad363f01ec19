// Chip oscillators, noise, envelopes, filters and drums for the effects and the music.
#include "Synth.h"

#include <algorithm>
#include <cmath>

namespace synth {

namespace {

constexpr double kDt = 1.0 / kSampleRate;

// Polynomial band-limited step: removes most of the aliasing of a hard edge.
double polyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

// 15-bit LFSR like the noise channel of the classic consoles; the short mode taps bit 6
// and repeats every 93 steps, which gives the metallic tone.
struct Lfsr {
  uint32_t state;
  bool shortMode;
  double clock = 0;
  float step(double rate) {
    clock += rate * kDt;
    int steps = 0;
    while (clock >= 1.0 && steps < 64) {
      clock -= 1.0;
      ++steps;
      uint32_t bit = (state ^ (state >> (shortMode ? 6 : 1))) & 1u;
      state = (state >> 1) | (bit << 14);
    }
    if (clock >= 1.0) clock -= std::floor(clock);
    return (state & 1u) ? 1.0f : -1.0f;
  }
};

double envelopeLevel(const Envelope& e, double t, double length, double releaseStartLevel) {
  if (t >= length) {
    double x = e.release > 0 ? (t - length) / e.release : 1.0;
    if (x >= 1.0) return 0.0;
    return releaseStartLevel * (1.0 - x) * (1.0 - x);
  }
  if (t < e.attack) return t / e.attack;
  double d = t - e.attack;
  return e.sustain + (1.0 - e.sustain) * std::exp(-d / std::max(e.decay, 1e-4));
}

}  // namespace

double noteFrequency(double midi) { return 440.0 * std::exp2((midi - 69.0) / 12.0); }

double toneDuration(const Tone& tone) { return tone.length + tone.envelope.release; }

void addTone(std::vector<float>& out, std::size_t start, const Tone& tone) {
  const std::size_t count = static_cast<std::size_t>(toneDuration(tone) * kSampleRate) + 1;
  const double releaseLevel = envelopeLevel(tone.envelope, tone.length, tone.length + 1.0, 0);
  Lfsr noise{tone.noiseSeed ? tone.noiseSeed : 1u, tone.metallicNoise};
  double phase = 0;
  const bool bends =
      tone.glideFrom > 0 || tone.sweepTo > 0 || tone.vibratoDepth > 0 || tone.arpeggioCount > 0;
  for (std::size_t n = 0; n < count && start + n < out.size(); ++n) {
    const double t = n * kDt;
    double freq = tone.frequency;
    if (bends) {
      double semis = 0;
      if (tone.sweepTo > 0) {
        double x = tone.sweepTime > 0 ? std::min(t / tone.sweepTime, 1.0) : 1.0;
        freq = tone.frequency * std::pow(tone.sweepTo / tone.frequency, x);
      }
      if (tone.glideFrom > 0 && t < tone.glideTime) {
        double x = t / tone.glideTime;
        freq = tone.glideFrom * std::pow(freq / tone.glideFrom, x);
      }
      if (tone.vibratoDepth > 0 && t > tone.vibratoDelay) {
        double ramp = std::min((t - tone.vibratoDelay) / 0.12, 1.0);
        semis += tone.vibratoDepth * ramp *
                 std::sin(2 * kPi * tone.vibratoRate * (t - tone.vibratoDelay));
      }
      if (tone.arpeggioCount > 0) {
        int index = static_cast<int>(t * tone.arpeggioRate) % tone.arpeggioCount;
        semis += tone.arpeggio[index];
      }
      if (semis != 0) freq *= std::exp2(semis / 12.0);
    }
    const double dt = std::min(freq * kDt, 0.5);
    double v = 0;
    switch (tone.wave) {
      case Wave::Square: {
        double duty = tone.duty;
        if (tone.dutyLfoDepth > 0)
          duty += tone.dutyLfoDepth * std::sin(2 * kPi * tone.dutyLfoRate * t);
        duty = std::clamp(duty, 0.05, 0.95);
        v = phase < duty ? 1.0 : -1.0;
        v += polyBlep(phase, dt);
        double falling = phase - duty;
        if (falling < 0) falling += 1.0;
        v -= polyBlep(falling, dt);
        v -= 2 * duty - 1;  // no DC whatever the duty
        break;
      }
      case Wave::Triangle:
        v = 4.0 * std::fabs(phase - 0.5) - 1.0;
        break;
      case Wave::Sine:
        v = std::sin(2 * kPi * phase);
        break;
      case Wave::Noise:
        v = noise.step(freq);
        break;
    }
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
    const double level = envelopeLevel(tone.envelope, t, tone.length, releaseLevel);
    out[start + n] += static_cast<float>(v * level * tone.volume);
  }
}

void lowpass(std::vector<float>& samples, double cutoffHz) {
  const double a = 1.0 - std::exp(-2 * kPi * cutoffHz * kDt);
  double y = 0;
  for (float& s : samples) {
    y += a * (s - y);
    s = static_cast<float>(y);
  }
}

void highpass(std::vector<float>& samples, double cutoffHz) {
  const double a = 1.0 - std::exp(-2 * kPi * cutoffHz * kDt);
  double low = 0;
  for (float& s : samples) {
    low += a * (s - low);
    s = static_cast<float>(s - low);
  }
}

float peakOf(const std::vector<float>& samples) {
  float peak = 0;
  for (float s : samples) peak = std::max(peak, std::fabs(s));
  return peak;
}

float loudestWindowRms(const std::vector<float>& samples, std::size_t window) {
  window = std::min(window, samples.size());
  if (window == 0) return 0;
  double sum = 0;
  for (std::size_t i = 0; i < window; ++i) sum += double(samples[i]) * samples[i];
  double most = sum;
  for (std::size_t i = window; i < samples.size(); ++i) {
    sum += double(samples[i]) * samples[i] - double(samples[i - window]) * samples[i - window];
    most = std::max(most, sum);
  }
  return static_cast<float>(std::sqrt(std::max(most, 0.0) / double(window)));
}

void levelTo(std::vector<float>& samples, std::size_t window, float loudness, float ceiling) {
  const float start = loudestWindowRms(samples, window);
  if (start <= 0 || loudness <= 0 || ceiling <= 0) return;
  const double knee = 0.5 * ceiling;
  const double room = ceiling - knee;
  auto shaped = [&](double gain) {
    std::vector<float> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
      double x = samples[i] * gain;
      double size = std::fabs(x);
      if (size > knee) size = knee + room * std::tanh((size - knee) / room);
      out[i] = static_cast<float>(std::copysign(size, x));
    }
    return out;
  };
  // The knee takes off some loudness as it rounds the peaks: a few rounds of making up for
  // it, with a bound on the gain for a sound too peaky to get there.
  const double first = loudness / start;
  double gain = first;
  std::vector<float> out = shaped(gain);
  for (int round = 0; round < 8; ++round) {
    const float reached = loudestWindowRms(out, window);
    if (std::fabs(reached / loudness - 1.0f) < 0.005f) break;
    gain = std::min(gain * loudness / reached, 4 * first);
    out = shaped(gain);
  }
  samples = std::move(out);
}

double drumDuration(Drum drum) {
  switch (drum) {
    case Drum::Kick:
      return 0.35;
    case Drum::Snare:
      return 0.25;
    case Drum::ClosedHat:
      return 0.07;
    case Drum::OpenHat:
      return 0.4;
    case Drum::Crash:
      return 1.8;
    case Drum::TomHigh:
    case Drum::TomLow:
      return 0.4;
    case Drum::Clap:
      return 0.3;
  }
  return 0.5;
}

void addDrum(std::vector<float>& out, std::size_t start, Drum drum, double velocity) {
  const std::size_t count = static_cast<std::size_t>(drumDuration(drum) * kSampleRate);
  std::vector<float> hit(count, 0.0f);
  // Every hit of a drum is the same, as on the old sound chips; the fixed seeds keep it so.
  Lfsr white{0x4a5bu, false};
  Lfsr metal{0x1234u, true};
  double phase = 0;
  for (std::size_t n = 0; n < count; ++n) {
    const double t = n * kDt;
    const double fadeOut = std::min(1.0, (count - n) / 200.0);  // no click at the cut
    double v = 0;
    switch (drum) {
      case Drum::Kick: {
        double freq = 48 + 130 * std::exp(-t / 0.03);
        phase += freq * kDt;
        v = std::sin(2 * kPi * phase) * std::exp(-t / 0.13);
        v += 0.25 * white.step(kSampleRate) * std::exp(-t / 0.003);
        v = std::tanh(1.6 * v) / std::tanh(1.6);
        break;
      }
      case Drum::Snare: {
        phase += (160 + 60 * std::exp(-t / 0.02)) * kDt;
        double body =
            (4.0 * std::fabs(phase - std::floor(phase) - 0.5) - 1.0) * std::exp(-t / 0.04);
        v = 0.55 * body + 0.6 * white.step(kSampleRate) * std::exp(-t / 0.07);
        break;
      }
      case Drum::ClosedHat:
        v = 0.5 * (white.step(kSampleRate) + 0.6 * metal.step(kSampleRate * 0.7)) *
            std::exp(-t / 0.014);
        break;
      case Drum::OpenHat:
        v = 0.5 * (white.step(kSampleRate) + 0.6 * metal.step(kSampleRate * 0.7)) *
            std::exp(-t / 0.11);
        break;
      case Drum::Crash:
        v = 0.55 * (white.step(kSampleRate) + 0.4 * metal.step(kSampleRate * 0.45)) *
            (0.6 * std::exp(-t / 0.5) + 0.4 * std::exp(-t / 0.08));
        break;
      case Drum::TomHigh:
      case Drum::TomLow: {
        double base = drum == Drum::TomHigh ? 190 : 120;
        phase += (base + base * 0.6 * std::exp(-t / 0.05)) * kDt;
        v = std::sin(2 * kPi * phase) * std::exp(-t / 0.14) +
            0.15 * white.step(kSampleRate) * std::exp(-t / 0.01);
        break;
      }
      case Drum::Clap: {
        double bursts = 0;
        for (double at : {0.0, 0.011, 0.022})
          if (t >= at) bursts += std::exp(-(t - at) / 0.006);
        v = 0.45 * white.step(kSampleRate) * (bursts * 0.6 + std::exp(-t / 0.07));
        break;
      }
    }
    hit[n] = static_cast<float>(v * fadeOut);
  }
  if (drum == Drum::ClosedHat || drum == Drum::OpenHat || drum == Drum::Crash) {
    highpass(hit, 6000);
    highpass(hit, 3000);
  } else if (drum == Drum::Snare || drum == Drum::Clap) {
    highpass(hit, 180);
    lowpass(hit, 9000);
  }
  for (std::size_t n = 0; n < count && start + n < out.size(); ++n)
    out[start + n] += static_cast<float>(hit[n] * velocity);
}

}  // namespace synth
