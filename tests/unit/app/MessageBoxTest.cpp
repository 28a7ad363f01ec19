// Start-up messages reach the player even without a display.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/MessageBox.h"
#include "app/QuitRequest.h"

namespace {

TEST(MessageBox, WithoutADisplayTheTextGoesToStderr) {
  const char* display = std::getenv("DISPLAY");
  std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  testing::internal::CaptureStderr();
  showMessageBox("Highscore Error", "Error");
  std::string err = testing::internal::GetCapturedStderr();
  if (display) setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_NE(err.find("Error"), std::string::npos);
  EXPECT_NE(err.find("Highscore Error"), std::string::npos);
}

// A box waits for the player, but a quit signal (a logout) closes it: the stand-in xmessage
// would wait a minute and marks whether it was ended early.
TEST(MessageBox, AQuitRequestClosesTheBox) {
  char pattern[] = "/tmp/zeph-box-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  {
    std::ofstream script(folder + "/xmessage");
    script << "#!/bin/sh\ntrap 'echo ended >" << folder << "/mark; kill $!; exit 143' TERM\n"
           << "echo started >" << folder << "/mark\nsleep 60 & wait $!\n";
  }
  ::chmod((folder + "/xmessage").c_str(), 0755);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (folder + ":" + path).c_str(), 1);
  setenv("DISPLAY", ":99", 1);

  // The quit comes once the box is up and listening for it, however long that takes here.
  std::atomic<bool> returned{false};
  std::thread logout([&] {
    for (std::string said; said != "started" && !returned.load();) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::ifstream(folder + "/mark") >> said;
    }
    requestQuit();
  });
  testing::internal::CaptureStderr();
  showMessageBox("Highscore Error", "Error");
  returned.store(true);
  testing::internal::GetCapturedStderr();
  logout.join();
  clearQuitRequest();
  setenv("PATH", path.c_str(), 1);
  unsetenv("DISPLAY");

  std::ifstream mark(folder + "/mark");
  std::string said;
  mark >> said;
  std::filesystem::remove_all(folder);
  EXPECT_EQ(said, "ended") << "the box outlived the quit request";
}

}  // namespace
