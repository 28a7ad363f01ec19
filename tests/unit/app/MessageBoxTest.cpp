// Start-up messages reach the player even without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/MessageBox.h"

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

}  // namespace
