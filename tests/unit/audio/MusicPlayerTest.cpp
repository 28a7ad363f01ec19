// The music player: which stream calls it makes and when, the 129-step fade, the musicEnabled
// gate and the level track table.
#include "audio/MusicPlayer.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CallRecorder.h"
#include "app/Settings.h"
#include "support/SoundSpy.h"

namespace {

// "FSOUND_Stream_Stop TITLE.MP3": a call and the file behind it, enough to read a sequence.
std::vector<std::string> steps(const std::vector<SoundCall>& calls) {
  std::vector<std::string> out;
  for (const auto& call : calls) out.push_back(call.call + " " + call.file);
  return out;
}

class MusicPlayerTest : public ::testing::Test {
 protected:
  // A playable track in the spy's folder; the level tables' own names are checked by their
  // opens.
  std::string track(const std::string& name) {
    std::string path = spy.folder() + "/" + name;
    EXPECT_TRUE(SoundSpy::writeMp3(path));
    return path;
  }

  // Opens and starts a track, then forgets those calls.
  void startTrack(const std::string& name) {
    musicPlayer.openMusic(track(name).c_str(), true);
    musicPlayer.playMusic();
    ASSERT_NE(musicPlayer.stream, nullptr);
    spy.clear();
  }

  SoundSpy spy;
};

}  // namespace

TEST_F(MusicPlayerTest, OpenPicksTheModeAndStaysSilentUntilPlayed) {
  struct Case {
    bool loop;
    int mode;
  };
  for (Case c : {Case{true, 0x132}, Case{false, 0x130}}) {
    SCOPED_TRACE(c.loop);
    spy.clear();
    musicPlayer.volume = 17;  // left low by an earlier fade
    EXPECT_TRUE(musicPlayer.openMusic(track("TITLE.MP3").c_str(), c.loop));
    EXPECT_EQ(musicPlayer.volume, 255);
    EXPECT_NE(musicPlayer.stream, nullptr);
    EXPECT_EQ(musicPlayer.playing, 0);
    EXPECT_FALSE(Mix_PlayingMusic());
    ASSERT_EQ(spy.calls().size(), 1u);
    EXPECT_EQ(spy.calls()[0], (SoundCall{"FSOUND_Stream_Open", "TITLE.MP3", c.mode, 1}));

    musicPlayer.fading = 1;
    musicPlayer.playMusic();
    EXPECT_TRUE(Mix_PlayingMusic());
    EXPECT_EQ(musicPlayer.playing, 1);
    EXPECT_EQ(musicPlayer.fading, 0);
    ASSERT_EQ(spy.calls().size(), 2u);
    EXPECT_EQ(spy.calls()[1].call, "FSOUND_Stream_Play");
    EXPECT_GE(spy.calls()[1].result, 0);
    EXPECT_EQ(musicPlayer.channel, spy.calls()[1].result);
    musicPlayer.stopMusic();
  }
}

TEST_F(MusicPlayerTest, OpeningAnotherTrackStopsAndClosesThePlayingOne) {
  // The same file again is not kept: it is closed and opened anew, so it restarts.
  struct Case {
    const char* playing;
    const char* next;
  };
  for (Case c : {Case{"TITLE.MP3", "LV02.MP3"}, Case{"TITLE.MP3", "TITLE.MP3"}}) {
    SCOPED_TRACE(c.next);
    startTrack(c.playing);
    musicPlayer.openMusic(track(c.next).c_str(), true);
    EXPECT_EQ(musicPlayer.playing, 0);
    EXPECT_FALSE(Mix_PlayingMusic());
    musicPlayer.playMusic();
    EXPECT_TRUE(Mix_PlayingMusic());
    std::vector<std::string> expected = {
        std::string("FSOUND_Stream_Stop ") + c.playing,
        std::string("FSOUND_Stream_Close ") + c.playing,
        std::string("FSOUND_Stream_Open ") + c.next,
        std::string("FSOUND_Stream_Play ") + c.next,
    };
    EXPECT_EQ(steps(spy.calls()), expected);
    musicPlayer.stopMusic();
  }
}

TEST_F(MusicPlayerTest, FadeTakes128VolumeStepsThenStopsAtThe129th) {
  startTrack("LV03.MP3");
  musicPlayer.beginMusicFadeOut();
  EXPECT_TRUE(spy.calls().empty()) << "asking for a fade changes nothing yet";

  std::vector<int> expectedVolumes;
  for (int v = 253; v >= 1; v -= 2) expectedVolumes.push_back(v);
  expectedVolumes.push_back(0);
  ASSERT_EQ(expectedVolumes.size(), 128u);

  for (int i = 0; i < 128; ++i) musicPlayer.fadeMusicStep();
  std::vector<int> volumes;
  for (const auto& call : spy.calls()) {
    EXPECT_EQ(call.call, "FSOUND_SetVolume");
    EXPECT_EQ(call.file, "LV03.MP3");
    volumes.push_back(call.value);
  }
  EXPECT_EQ(volumes, expectedVolumes);
  EXPECT_EQ(Mix_VolumeMusic(-1), 0);
  EXPECT_NE(musicPlayer.stream, nullptr) << "closed before the 129th step";
  EXPECT_EQ(musicPlayer.playing, 1);

  spy.clear();
  musicPlayer.fadeMusicStep();
  EXPECT_EQ(steps(spy.calls()), (std::vector<std::string>{"FSOUND_Stream_Stop LV03.MP3",
                                                          "FSOUND_Stream_Close LV03.MP3"}));
  EXPECT_EQ(musicPlayer.stream, nullptr);
  EXPECT_EQ(musicPlayer.fading, 0);
  EXPECT_EQ(musicPlayer.playing, 0);

  spy.clear();
  for (int i = 0; i < 10; ++i) musicPlayer.fadeMusicStep();
  EXPECT_TRUE(spy.calls().empty());
}

TEST_F(MusicPlayerTest, FadeStepsNeedMusicOnATrackPlayingAndAFadeAsked) {
  struct Case {
    const char* what;
    bool play;
    bool fade;
    bool musicOn;
  };
  const Case cases[] = {
      {"opened, never played", false, true, true},
      {"playing, no fade asked", true, false, true},
      {"music switched off", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    musicEnabled = 1;
    musicPlayer.openMusic(track("LV01.MP3").c_str(), true);
    if (c.play) musicPlayer.playMusic();
    if (c.fade) musicPlayer.beginMusicFadeOut();
    musicEnabled = c.musicOn;
    spy.clear();
    for (int i = 0; i < 200; ++i) musicPlayer.fadeMusicStep();
    EXPECT_TRUE(spy.calls().empty());
    EXPECT_EQ(musicPlayer.volume, 255);
    musicEnabled = 1;
    musicPlayer.stopMusic();
  }
}

TEST_F(MusicPlayerTest, PlayAndStopCancelARequestedFade) {
  startTrack("TITLE.MP3");
  musicPlayer.beginMusicFadeOut();
  musicPlayer.openMusic(track("LV02.MP3").c_str(), true);
  musicPlayer.playMusic();
  EXPECT_EQ(musicPlayer.fading, 0);
  spy.clear();
  musicPlayer.fadeMusicStep();
  EXPECT_TRUE(spy.calls().empty()) << "the new track faded";

  musicPlayer.beginMusicFadeOut();
  musicPlayer.stopMusic();
  EXPECT_EQ(musicPlayer.fading, 0);
  EXPECT_EQ(musicPlayer.playing, 0);
}

TEST_F(MusicPlayerTest, MusicOffNeverOpensAStream) {
  musicEnabled = 0;
  std::string title = track("TITLE.MP3");
  musicPlayer.stopMusic();
  musicPlayer.openMusic(title.c_str(), true);
  musicPlayer.playMusic();
  musicPlayer.beginMusicFadeOut();
  musicPlayer.fadeMusicStep();
  musicPlayer.playLevelMusic(4);
  musicPlayer.stopMusic();
  EXPECT_TRUE(spy.calls().empty());
  EXPECT_EQ(musicPlayer.stream, nullptr);
  EXPECT_EQ(musicPlayer.playing, 0);
  EXPECT_EQ(musicPlayer.fading, 1) << "the fade request ignores the flag and stop leaves it";
}

TEST_F(MusicPlayerTest, EachLevelPlaysItsTrackFromTheTable) {
  struct Case {
    int level;
    const char* file;
  };
  const Case cases[] = {
      {0, "LV01.MP3"}, {1, "LV02.MP3"}, {2, "LV03.MP3"},  {3, "LV04.MP3"},  {4, "LV05.MP3"},
      {5, "LV06.MP3"}, {6, "LV07.MP3"}, {7, "LV04.MP3"},  {8, "TITLE.MP3"}, {9, "END.MP3"},
      {10, "END.MP3"}, {25, "END.MP3"}, {-1, "LV01.MP3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    spy.clear();
    musicPlayer.playLevelMusic(c.level);
    EXPECT_EQ(spy.openedStreams(), std::vector<std::string>{c.file});
    ASSERT_EQ(spy.calls().size(), 2u);
    EXPECT_EQ(spy.calls()[0].value, 0x132) << "level tracks loop";
    EXPECT_EQ(spy.calls()[1].call, "FSOUND_Stream_Play");
    EXPECT_EQ(musicPlayer.playing, 1);
  }
}

TEST_F(MusicPlayerTest, LevelMusicReplacesThePlayingTrack) {
  startTrack("TITLE.MP3");
  musicPlayer.beginMusicFadeOut();
  musicPlayer.playLevelMusic(9);
  EXPECT_EQ(steps(spy.calls()), (std::vector<std::string>{
                                    "FSOUND_Stream_Stop TITLE.MP3", "FSOUND_Stream_Close TITLE.MP3",
                                    "FSOUND_Stream_Open END.MP3", "FSOUND_Stream_Play "}));
  EXPECT_EQ(musicPlayer.fading, 0);
  EXPECT_FALSE(Mix_PlayingMusic());
}

TEST_F(MusicPlayerTest, AMissingTrackLeavesTheGameSilentButRunning) {
  musicPlayer.openMusic((spy.folder() + "/LV05.MP3").c_str(), true);
  EXPECT_EQ(musicPlayer.stream, nullptr);
  musicPlayer.playMusic();
  EXPECT_EQ(musicPlayer.playing, 1);
  EXPECT_EQ(musicPlayer.channel, -1);

  musicPlayer.beginMusicFadeOut();
  for (int i = 0; i < 129; ++i) musicPlayer.fadeMusicStep();
  EXPECT_EQ(musicPlayer.playing, 0);
  EXPECT_EQ(musicPlayer.fading, 0);
  auto calls = spy.calls();
  ASSERT_EQ(calls.size(), 2u + 128u);
  for (size_t i = 2; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].call, "FSOUND_SetVolume");
    EXPECT_EQ(calls[i].result, 0);
  }
}

TEST(MusicPlayerWithoutAudio, MusicSwitchedOnWithoutAudioStaysSilent) {
  CallRecorder recorder;
  musicEnabled = 1;
  musicPlayer.openMusic("TITLE.MP3", true);
  musicPlayer.playMusic();
  musicPlayer.beginMusicFadeOut();
  for (int i = 0; i < 130; ++i) musicPlayer.fadeMusicStep();
  musicPlayer.playLevelMusic(12);
  musicPlayer.stopMusic();
  EXPECT_EQ(musicPlayer.stream, nullptr);
  EXPECT_EQ(musicPlayer.playing, 0);
  std::vector<std::string> expected = {"FSOUND_Stream_Open TITLE.MP3", "FSOUND_Stream_Play "};
  expected.insert(expected.end(), 128, "FSOUND_SetVolume ");
  expected.insert(expected.end(), {"FSOUND_Stream_Open END.MP3", "FSOUND_Stream_Play "});
  EXPECT_EQ(steps(recorder.calls), expected);
  for (const auto& call : recorder.calls)
    EXPECT_EQ(call.result, call.call == "FSOUND_Stream_Play" ? -1 : 0) << call;
}
