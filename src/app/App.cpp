#include "app/App.h"

#include <allegro.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "InstallLayout.h"
#include "app/Clock.h"
#include "app/Display.h"
#include "app/MessageBox.h"
#include "app/PadHotplug.h"
#include "app/QuitRequest.h"
#include "app/Settings.h"
#include "app/WindowIcon.h"
#include "app/WindowIdentity.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundLibrary.h"
#include "game/GameState.h"
#include "gfx/Assets.h"
#include "scores/HighScoreTable.h"
#include "screens/HighScoreViewer.h"
#include "screens/MainMenu.h"
#include "screens/OptionsScreen.h"

namespace {
constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;

// Assets and the default HIGHSCORE.DAT are read by their plain names from the working
// directory: a system install's shared data folder, else the program's own folder, wherever it
// was started from.
void enterDataFolder() {
  if (kSharedDataFolder[0] != '\0') {
    if (chdir(kSharedDataFolder) != 0) std::perror(kSharedDataFolder);
    return;
  }
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return;
  path[length] = '\0';
  std::string folder(path);
  folder.erase(folder.find_last_of('/') + 1);
  if (chdir(folder.c_str()) != 0) std::perror("zeph: cannot enter the game folder");
}

bool allAssetsPresent(const std::vector<PictureFile>& pictures) {
  const std::string report = missingBitmapReport(pictures);
  if (report.empty()) return true;
  showMessageBox(report.c_str(), "Error");
  return false;
}

// Allegro 4.0-era calls, still the way to ask for these on 4.4.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
void setTransparentText() { text_mode(-1); }
void disableCloseButton() { set_window_close_button(FALSE); }
#pragma GCC diagnostic pop

void shutDown() {
  saveHighScores();
  freeAssets();
  FSOUND_Close();
  removeTick();
  stopLibrary();
}
}  // namespace

bool startLibrary(int width, int height, bool windowed) {
  nameGameWindow();
  if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) return false;
  // Before the window is first shown, so the desktop never lists it without its icon.
  setGameWindowIcon(readWindowIcon(kWindowIconFile));
  if (!setDisplayMode(width, height, windowed)) return false;
  install_timer();
  install_keyboard();
  return true;
}

void stopLibrary() {
  if (backBuffer) destroy_bitmap(backBuffer);
  backBuffer = nullptr;
  remove_keyboard();
  remove_timer();
  stopGamepad();
  allegro_exit();
}

bool switchToFullScreen() {
  // A refused full screen has left no mode at all: come back to the window.
  if (setDisplayMode(kWindowWidth, kWindowHeight, false) ||
      setDisplayMode(kWindowWidth, kWindowHeight, true))
    return true;
  showMessageBox("Cannot find a suitable graphicmode!", "Error");
  return false;
}

int runZeph() {
  // A quit signal ends the start at any point: boxes close, screens leave at once.
  installQuitHandler();
  enterDataFolder();

  if (!loadHighScores()) {
    showMessageBox("Highscore Error", "Error");
    resetHighScores();
  }
  bool soundStarted = false;
  {
    QuitSignalsHeld held;
    soundStarted = FSOUND_Init(44100, 32, 0);
  }
  if (!soundStarted) {
    musicEnabled = 0;
    soundEnabled = 0;
  }
  // Each picture is read once here; the start-up ones are decoded from these bytes.
  std::vector<PictureFile> pictures = checkPictures();
  if (!allAssetsPresent(pictures)) {
    FSOUND_Close();
    return 1;
  }
  bool started = false;
  {
    // Allegro hooks the quit signals for itself; ours takes them back before they arrive.
    QuitSignalsHeld held;
    started = startLibrary(kWindowWidth, kWindowHeight, true);
    installQuitHandler();
  }
  if (!started) {
    if (allegro_error[0]) std::fprintf(stderr, "zeph: %s\n", allegro_error);
    showMessageBox("Cannot find a suitable graphicmode!", "Error");
    allegro_exit();
    return 1;
  }
  setTransparentText();
  startGamepad();
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  set_window_title("Zeph v1.1");
  disableCloseButton();
  loadAssets(std::move(pictures));
  installTick();

  switch (runOptionsScreen()) {
    case FullScreen:
      if (!switchToFullScreen()) {
        shutDown();
        return 1;
      }
      break;
    case Windowed:
      break;
    case QuitAtStart:
      shutDown();
      return 0;
  }

  for (;;) {
    musicPlayer.stopMusic();
    musicPlayer.openMusic("TITLE.MP3", true);
    musicPlayer.playMusic();
    MenuChoice choice = runMainMenu();
    musicPlayer.beginMusicFadeOut();
    switch (choice) {
      case PlayCollect:
      case PlayScore:
      case PlayTimeAttack:
        gameState.mode = choice;
        runGame();
        break;
      case ShowHighScores:
        runHighScoreViewer(0);
        break;
      case Quit:
        shutDown();
        return 0;
    }
  }
}
