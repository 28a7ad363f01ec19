// A fresh folder under /tmp for one test, open for ordinary users to pass through, and gone
// with everything in it when the test ends.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/zeph-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root = pattern;
    ::chmod(root.c_str(), 0755);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

  std::string root;
};
