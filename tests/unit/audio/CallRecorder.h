// Records sound library calls while audio is NOT started (SoundSpy starts it), and restores the
// two setting flags afterwards.
#pragma once
#include <cstdint>
#include <vector>

#include "app/Settings.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundLibrary.h"
#include "support/SoundSpy.h"

class CallRecorder {
 public:
  CallRecorder() : savedSound_(soundEnabled), savedMusic_(musicEnabled) {
    FSOUND_Close();  // whatever an earlier test left running
    setSoundObserver([this](const SoundCall& call) { calls.push_back(call); });
  }
  ~CallRecorder() {
    setSoundObserver(nullptr);
    musicPlayer = MusicPlayer{};
    soundEnabled = savedSound_;
    musicEnabled = savedMusic_;
  }
  CallRecorder(const CallRecorder&) = delete;
  CallRecorder& operator=(const CallRecorder&) = delete;

  std::vector<SoundCall> calls;

 private:
  uint8_t savedSound_;
  uint8_t savedMusic_;
};
