// The sequencer: the text notation of melodies, chords and drums, and the loop renderer.
#include "Music.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

namespace music {

namespace {

using synth::Drum;

std::vector<std::string_view> splitTokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    std::size_t end = at;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    if (end > at) tokens.push_back(text.substr(at, end - at));
    at = end;
  }
  return tokens;
}

std::optional<int> parseInt(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int sign = 1;
  std::size_t at = 0;
  if (text[0] == '-') {
    sign = -1;
    at = 1;
  }
  if (at == text.size()) return std::nullopt;
  int value = 0;
  for (; at < text.size(); ++at) {
    if (!std::isdigit(static_cast<unsigned char>(text[at]))) return std::nullopt;
    value = value * 10 + (text[at] - '0');
  }
  return sign * value;
}

// "C", "F#", "Bb": semitones above the C of the written octave (Cb is -1, B# is 12) and
// how many characters it took.
std::optional<int> parseLetter(std::string_view text, std::size_t& used) {
  static constexpr int kNatural[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  if (text.empty()) return std::nullopt;
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (letter < 'A' || letter > 'G') return std::nullopt;
  int semitones = kNatural[letter - 'A'];
  used = 1;
  if (text.size() > 1 && (text[1] == '#' || text[1] == 'b')) {
    semitones += text[1] == '#' ? 1 : -1;
    used = 2;
  }
  return semitones;
}

std::optional<int> parsePitchClass(std::string_view text, std::size_t& used) {
  auto semitones = parseLetter(text, used);
  if (!semitones) return std::nullopt;
  return (*semitones + 12) % 12;
}

// "C5", "Bb3", "f#4": a MIDI note number (C4 = 60).
std::optional<int> parseNoteName(std::string_view text) {
  std::size_t used = 0;
  auto semitones = parseLetter(text, used);
  if (!semitones) return std::nullopt;
  auto octave = parseInt(text.substr(used));
  if (!octave) return std::nullopt;
  return (*octave + 1) * 12 + *semitones;
}

struct Chord {
  int root = 0;
  int bass = 0;
  std::vector<int> intervals;
  int steps = 16;
};

std::optional<std::vector<int>> chordIntervals(std::string_view quality) {
  struct Kind {
    std::string_view name;
    std::vector<int> intervals;
  };
  static const Kind kKinds[] = {
      {"", {0, 4, 7}},          {"m", {0, 3, 7}},         {"7", {0, 4, 7, 10}},
      {"maj7", {0, 4, 7, 11}},  {"m7", {0, 3, 7, 10}},    {"sus4", {0, 5, 7}},
      {"sus2", {0, 2, 7}},      {"dim", {0, 3, 6}},       {"aug", {0, 4, 8}},
      {"6", {0, 4, 7, 9}},      {"m6", {0, 3, 7, 9}},     {"add9", {0, 4, 7, 14}},
      {"madd9", {0, 3, 7, 14}}, {"7sus4", {0, 5, 7, 10}}, {"dim7", {0, 3, 6, 9}},
      {"m7b5", {0, 3, 6, 10}},
  };
  for (const Kind& kind : kKinds)
    if (kind.name == quality) return kind.intervals;
  return std::nullopt;
}

// Lowest pitch of class `pc` at or above `lowest`.
int placeAbove(int pc, int lowest) { return lowest + ((pc - lowest) % 12 + 12) % 12; }

struct Step {
  int length = 0;
  std::string_view body;
};

// "body:len" with the length defaulting to `previous`.
std::optional<Step> splitLength(std::string_view token, int previous) {
  Step step{previous, token};
  std::size_t colon = token.find(':');
  if (colon != std::string_view::npos) {
    auto length = parseInt(token.substr(colon + 1));
    if (!length || *length <= 0) return std::nullopt;
    step.length = *length;
    step.body = token.substr(0, colon);
  }
  if (step.body.empty() || step.length <= 0) return std::nullopt;
  return step;
}

std::optional<Drum> drumFor(char lane, char symbol) {
  switch (lane) {
    case 'k':
      if (symbol == 'x' || symbol == 'X') return Drum::Kick;
      break;
    case 's':
      if (symbol == 'x' || symbol == 'X' || symbol == 'g') return Drum::Snare;
      if (symbol == 'p') return Drum::Clap;
      break;
    case 'h':
      if (symbol == 'x' || symbol == 'X') return Drum::ClosedHat;
      if (symbol == 'o') return Drum::OpenHat;
      break;
    case 'e':
      if (symbol == 'c') return Drum::Crash;
      if (symbol == 't') return Drum::TomHigh;
      if (symbol == 'T') return Drum::TomLow;
      break;
  }
  return std::nullopt;
}

double drumVelocity(char symbol) {
  if (symbol == 'X') return 1.0;
  if (symbol == 'g') return 0.3;
  return 0.75;
}

double drumPan(Drum drum) {
  switch (drum) {
    case Drum::ClosedHat:
    case Drum::OpenHat:
      return 0.35;
    case Drum::Crash:
      return -0.3;
    case Drum::TomHigh:
      return -0.25;
    case Drum::TomLow:
      return 0.25;
    default:
      return 0;
  }
}

void panGains(double pan, double& left, double& right) {
  double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * synth::kPi / 4;
  left = std::cos(angle) * std::sqrt(2.0);
  right = std::sin(angle) * std::sqrt(2.0);
}

}  // namespace

std::size_t Song::loopFrames() const {
  return static_cast<std::size_t>(
      std::llround(bars * stepsPerBar * stepSeconds() * synth::kSampleRate));
}

double Song::loopSeconds() const { return static_cast<double>(loopFrames()) / synth::kSampleRate; }

void Composer::fail(std::string message) { errors_.push_back(song_.fileName + ": " + message); }

int Composer::addTrack(const Instrument& instrument) {
  song_.tracks.push_back(Track{instrument, {}});
  return static_cast<int>(song_.tracks.size()) - 1;
}

int Composer::melody(int track, int bar, std::string_view text, int transpose, double velocity) {
  const int spb = song_.stepsPerBar;
  int step = 0;
  int length = 2;
  int previous = 0;  // pitch a '~' slides from; 0 after a rest
  for (std::string_view token : splitTokens(text)) {
    if (token == "|") {
      if (step % spb != 0)
        fail("bar line " + std::to_string(step % spb) + " steps into bar " +
             std::to_string(bar + step / spb + 1));
      continue;
    }
    auto parsed = splitLength(token, length);
    if (!parsed) {
      fail("bad melody token \"" + std::string(token) + "\"");
      continue;
    }
    length = parsed->length;
    std::string_view body = parsed->body;
    bool glide = body[0] == '~';
    if (glide) body.remove_prefix(1);
    if (body == "r") {
      step += length;
      previous = 0;
      continue;
    }
    auto pitch = parseNoteName(body);
    if (!pitch) {
      fail("bad note \"" + std::string(token) + "\"");
      step += length;
      continue;
    }
    Note note;
    note.step = bar * spb + step;
    note.length = length;
    note.pitch = *pitch + transpose;
    note.velocity = velocity;
    if (glide && previous > 0) note.glideFrom = previous + transpose;
    song_.tracks[track].notes.push_back(note);
    previous = *pitch;
    step += length;
  }
  return step;
}

int Composer::chords(int track, int bar, std::string_view chordText, std::string_view pattern,
                     int lowestRoot, double velocity) {
  const int spb = song_.stepsPerBar;
  std::vector<Chord> progression;
  for (std::string_view token : splitTokens(chordText)) {
    auto parsed = splitLength(token, spb);
    std::size_t used = 0;
    auto root = parsed ? parsePitchClass(parsed->body, used) : std::nullopt;
    if (!root) {
      fail("bad chord \"" + std::string(token) + "\"");
      continue;
    }
    std::string_view rest = parsed->body.substr(used);
    Chord chord;
    chord.root = chord.bass = *root;
    chord.steps = parsed->length;
    std::size_t slash = rest.find('/');
    if (slash != std::string_view::npos) {
      std::size_t bassUsed = 0;
      auto bass = parsePitchClass(rest.substr(slash + 1), bassUsed);
      if (!bass || slash + 1 + bassUsed != rest.size()) {
        fail("bad slash chord \"" + std::string(token) + "\"");
        continue;
      }
      chord.bass = *bass;
      rest = rest.substr(0, slash);
    }
    auto intervals = chordIntervals(rest);
    if (!intervals) {
      fail("unknown chord kind \"" + std::string(token) + "\"");
      continue;
    }
    chord.intervals = *intervals;
    progression.push_back(chord);
  }

  struct Hit {
    int at;
    int length;
    std::string_view tone;
  };
  std::vector<Hit> hits;
  int patternSteps = 0;
  int length = 2;
  for (std::string_view token : splitTokens(pattern)) {
    auto parsed = splitLength(token, length);
    if (!parsed) {
      fail("bad pattern token \"" + std::string(token) + "\"");
      return 0;
    }
    length = parsed->length;
    if (parsed->body != "r") hits.push_back({patternSteps, length, parsed->body});
    patternSteps += length;
  }
  if (patternSteps == 0 || patternSteps % spb != 0) {
    fail("chord pattern of " + std::to_string(patternSteps) + " steps is not whole bars");
    return 0;
  }

  int chordStart = 0;
  for (const Chord& chord : progression) {
    const int chordEnd = chordStart + chord.steps;
    const int rootPitch = placeAbove(chord.root, lowestRoot);
    const std::size_t last = static_cast<std::size_t>(bar * spb + chordEnd);
    if (chordAtStep_.size() < last) chordAtStep_.resize(last);
    for (int at = chordStart; at < chordEnd; ++at) {
      std::vector<int>& tones = chordAtStep_[static_cast<std::size_t>(bar * spb + at)];
      tones.clear();
      for (int interval : chord.intervals) tones.push_back((chord.root + interval) % 12);
      tones.push_back(chord.bass);
    }
    for (int cycle = chordStart - chordStart % patternSteps; cycle < chordEnd;
         cycle += patternSteps) {
      for (const Hit& hit : hits) {
        // A note is cut where its chord ends, and one still held when the chord changes is
        // struck again on the new chord.
        const int at = std::max(cycle + hit.at, chordStart);
        const int end = std::min(cycle + hit.at + hit.length, chordEnd);
        if (at >= end) continue;
        std::string_view tone = hit.tone;
        int octave = 0;
        while (!tone.empty() && (tone.back() == '\'' || tone.back() == ',')) {
          octave += tone.back() == '\'' ? 12 : -12;
          tone.remove_suffix(1);
        }
        Note note;
        note.step = bar * spb + at;
        note.length = end - at;
        note.velocity = velocity;
        const auto& iv = chord.intervals;
        if (tone == "1") {
          note.pitch = placeAbove(chord.bass, lowestRoot);
        } else if (tone == "3") {
          note.pitch = rootPitch + iv[1];
        } else if (tone == "5") {
          note.pitch = rootPitch + iv[2];
        } else if (tone == "7") {
          note.pitch = rootPitch + (iv.size() > 3 ? iv[3] : 12);
        } else if (tone == "8") {
          note.pitch = rootPitch + 12;
        } else if (tone == "*") {
          note.pitch = rootPitch;
          note.arpeggioCount = static_cast<int>(std::min<std::size_t>(iv.size(), 4));
          for (int i = 0; i < note.arpeggioCount; ++i)
            note.arpeggio[i] = static_cast<int8_t>(iv[i]);
        } else {
          fail("bad chord tone \"" + std::string(hit.tone) + "\"");
          return 0;
        }
        note.pitch += octave;
        song_.tracks[track].notes.push_back(note);
      }
    }
    chordStart = chordEnd;
  }
  return chordStart;
}

void Composer::drums(int bar, int bars, const DrumPattern& pattern, double velocity) {
  const int spb = song_.stepsPerBar;
  const std::pair<char, std::string_view> lanes[] = {
      {'k', pattern.kick}, {'s', pattern.snare}, {'h', pattern.hat}, {'e', pattern.extra}};
  for (const auto& [lane, line] : lanes) {
    if (line.empty()) continue;
    if (line.size() % static_cast<std::size_t>(spb) != 0) {
      fail("drum line \"" + std::string(line) + "\" is not whole bars");
      continue;
    }
    for (int step = 0; step < bars * spb; ++step) {
      char symbol = line[static_cast<std::size_t>(step) % line.size()];
      if (symbol == '.') continue;
      auto drum = drumFor(lane, symbol);
      if (!drum) {
        fail(std::string("bad drum symbol '") + symbol + "' in \"" + std::string(line) + "\"");
        break;
      }
      song_.drums.push_back(
          {static_cast<double>(bar * spb + step), *drum, drumVelocity(symbol) * velocity});
    }
  }
}

void Composer::harmony(int from, int to, int bar, int bars, Scale scale, int degrees, int octaves) {
  static constexpr int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
  static constexpr int kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
  const int* steps = scale.minor ? kMinor : kMajor;
  std::vector<int> ladder;  // every scale pitch, low to high
  for (int octave = -1; octave < 11; ++octave)
    for (int i = 0; i < 7; ++i) ladder.push_back(octave * 12 + scale.tonic + steps[i]);
  const double first = bar * song_.stepsPerBar;
  const double last = (bar + bars) * song_.stepsPerBar;
  std::vector<Note> added;
  for (const Note& source : song_.tracks[from].notes) {
    if (source.step < first || source.step >= last) continue;
    auto shift = [&](double pitch) {
      int p = static_cast<int>(pitch);
      // A note outside the key is nearly always a raised leading tone or the third of a
      // borrowed major chord: a major third below (or minor third above) fits it.
      if (!std::binary_search(ladder.begin(), ladder.end(), p) && (degrees == -2 || degrees == 2))
        return static_cast<double>(p + (degrees < 0 ? -4 : 3) + 12 * octaves);
      auto it = std::upper_bound(ladder.begin(), ladder.end(), p);
      int index = static_cast<int>(it - ladder.begin()) - 1;  // scale pitch at or below
      int offset = p - ladder[index];                         // chromatic notes keep theirs
      int target = std::clamp(index + degrees, 0, static_cast<int>(ladder.size()) - 1);
      return static_cast<double>(ladder[target] + offset + 12 * octaves);
    };
    Note note = source;
    note.pitch = shift(source.pitch);
    const std::size_t at = static_cast<std::size_t>(source.step);
    if ((degrees == -2 || degrees == 2) && at < chordAtStep_.size() && !chordAtStep_[at].empty()) {
      const std::vector<int>& tones = chordAtStep_[at];
      auto inChord = [&](double pitch) {
        int pc = static_cast<int>(pitch) % 12;
        return std::find(tones.begin(), tones.end(), pc) != tones.end();
      };
      if (inChord(source.pitch) && !inChord(note.pitch)) {
        const int direction = degrees < 0 ? -1 : 1;
        for (int distance = 3; distance <= 9; ++distance) {
          double candidate = source.pitch + direction * distance + 12 * octaves;
          if (inChord(candidate)) {
            note.pitch = candidate;
            break;
          }
        }
      }
    }
    if (source.glideFrom > 0) note.glideFrom = shift(source.glideFrom);
    added.push_back(note);
  }
  auto& notes = song_.tracks[to].notes;
  notes.insert(notes.end(), added.begin(), added.end());
}

std::vector<float> renderLoop(const Song& song, float loudness, float ceiling) {
  const double stepSeconds = song.stepSeconds();
  const std::size_t loop = song.loopFrames();
  if (loop == 0) return {};
  const double loopSteps = static_cast<double>(song.bars) * song.stepsPerBar;
  auto frameOf = [&](double step) {
    return static_cast<std::size_t>(std::llround(step * stepSeconds * synth::kSampleRate));
  };

  auto toneOf = [&](const Instrument& in, const Note& note) {
    synth::Tone tone;
    tone.wave = in.wave;
    tone.duty = in.duty;
    tone.dutyLfoDepth = in.dutyLfoDepth;
    tone.dutyLfoRate = in.dutyLfoRate;
    tone.frequency = synth::noteFrequency(note.pitch);
    tone.length = std::max(0.01, note.length * stepSeconds * in.gate);
    // A note that reaches the loop end is held to it, so the loop flows on into its start
    // instead of breathing at the seam.
    if (note.step + note.length >= loopSteps)
      tone.length = std::max(tone.length, (loopSteps - note.step) * stepSeconds);
    tone.envelope = in.envelope;
    tone.volume = in.volume * note.velocity;
    tone.vibratoDepth = in.vibratoDepth;
    tone.vibratoRate = in.vibratoRate;
    tone.vibratoDelay = in.vibratoDelay;
    if (note.glideFrom > 0) {
      tone.glideFrom = synth::noteFrequency(note.glideFrom);
      tone.glideTime = in.glideTime;
    }
    tone.arpeggio = note.arpeggio;
    tone.arpeggioCount = note.arpeggioCount;
    tone.arpeggioRate = in.arpeggioRate;
    return tone;
  };

  // Long enough for every release and for the echo to die away.
  std::size_t end = loop;
  for (const Track& track : song.tracks)
    for (const Note& note : track.notes)
      end = std::max(
          end, frameOf(note.step) +
                   static_cast<std::size_t>(synth::toneDuration(toneOf(track.instrument, note)) *
                                            synth::kSampleRate) +
                   2);
  for (const DrumHit& hit : song.drums)
    end = std::max(end, frameOf(hit.step) + static_cast<std::size_t>(synth::drumDuration(hit.drum) *
                                                                     synth::kSampleRate));
  const std::size_t echoDelay =
      static_cast<std::size_t>(std::llround(song.echoSteps * stepSeconds * synth::kSampleRate));
  const double feedback = std::clamp(song.echoFeedback, 0.0, 0.9);
  const int echoRepeats =
      feedback > 0 ? static_cast<int>(std::ceil(std::log(1e-4) / std::log(feedback))) : 1;
  const std::size_t total =
      end + echoDelay * static_cast<std::size_t>(echoRepeats + 1) + synth::kSampleRate / 2;

  std::vector<float> left(total, 0.0f), right(total, 0.0f), echoBus(total, 0.0f);
  std::vector<float> buffer(total);
  for (const Track& track : song.tracks) {
    std::fill(buffer.begin(), buffer.end(), 0.0f);
    for (const Note& note : track.notes)
      synth::addTone(buffer, frameOf(note.step), toneOf(track.instrument, note));
    if (track.instrument.lowpassHz > 0) synth::lowpass(buffer, track.instrument.lowpassHz);
    double gl, gr;
    panGains(track.instrument.pan, gl, gr);
    const float send = static_cast<float>(track.instrument.echo);
    for (std::size_t i = 0; i < total; ++i) {
      left[i] += static_cast<float>(buffer[i] * gl);
      right[i] += static_cast<float>(buffer[i] * gr);
      echoBus[i] += buffer[i] * send;
    }
  }

  for (Drum drum : {Drum::Kick, Drum::Snare, Drum::ClosedHat, Drum::OpenHat, Drum::Crash,
                    Drum::TomHigh, Drum::TomLow, Drum::Clap}) {
    std::fill(buffer.begin(), buffer.end(), 0.0f);
    bool any = false;
    for (const DrumHit& hit : song.drums)
      if (hit.drum == drum) {
        synth::addDrum(buffer, frameOf(hit.step), drum, hit.velocity);
        any = true;
      }
    if (!any) continue;
    double gl, gr;
    panGains(drumPan(drum), gl, gr);
    for (std::size_t i = 0; i < total; ++i) {
      left[i] += static_cast<float>(buffer[i] * gl * song.drumVolume);
      right[i] += static_cast<float>(buffer[i] * gr * song.drumVolume);
    }
  }

  // Ping-pong echo: the first repeat comes on the left, the next on the right, and so on,
  // each a little darker than the one before.
  if (echoDelay > 0 && song.echoLevel > 0) {
    std::vector<float> echoLeft(total, 0.0f), echoRight(total, 0.0f);
    const double damp = 1.0 - std::exp(-2 * synth::kPi * 3500.0 / synth::kSampleRate);
    double dampLeft = 0, dampRight = 0;
    for (std::size_t i = echoDelay; i < total; ++i) {
      dampLeft += damp * (echoRight[i - echoDelay] - dampLeft);
      dampRight += damp * (echoLeft[i - echoDelay] - dampRight);
      echoLeft[i] = static_cast<float>(echoBus[i - echoDelay] + feedback * dampLeft);
      echoRight[i] = static_cast<float>(feedback * dampRight);
    }
    for (std::size_t i = 0; i < total; ++i) {
      left[i] += static_cast<float>(echoLeft[i] * song.echoLevel);
      right[i] += static_cast<float>(echoRight[i] * song.echoLevel);
    }
  }

  std::vector<float> out(2 * loop, 0.0f);
  for (std::size_t i = 0; i < total; ++i) {
    std::size_t at = i % loop;
    out[2 * at] += left[i];
    out[2 * at + 1] += right[i];
  }
  double power = 0;
  for (float v : out) power += static_cast<double>(v) * v;
  const double rms = out.empty() ? 0 : std::sqrt(power / static_cast<double>(out.size()));
  const float peak = synth::peakOf(out);
  if (rms > 0 && peak > 0) {
    const float gain =
        static_cast<float>(std::min(loudness / rms, static_cast<double>(ceiling / peak)));
    for (float& v : out) v *= gain;
  }
  return out;
}

}  // namespace music
