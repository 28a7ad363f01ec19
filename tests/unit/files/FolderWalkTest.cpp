// The walk to a file: links followed only when trusted, folders checked and made on descriptors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/FolderWalk.h"
#include "support/AsUser.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {
constexpr uid_t kOtherId = 65533;

class FolderWalkTest : public TempFolderTest {
 protected:
  // Every folder this makes on the way belongs to owner.
  void folder(const std::string& path, uid_t owner = kOrdinaryId) {
    std::vector<std::string> made;
    for (fs::path at = path; !at.empty(); at = at.parent_path())
      if (!fs::exists(root + "/" + at.string())) made.push_back(root + "/" + at.string());
    fs::create_directories(root + "/" + path);
    for (const std::string& each : made) ::lchown(each.c_str(), owner, owner);
  }
  void link(const std::string& target, const std::string& path, uid_t owner = kOrdinaryId) {
    ASSERT_EQ(::symlink(target.c_str(), (root + "/" + path).c_str()), 0);
    ::lchown((root + "/" + path).c_str(), owner, owner);
  }
  // The inode a walk reached, or the walk's reason, as the ordinary user sees it.
  std::string walk(const std::string& path, WalkRules rules = {}) {
    return asOrdinaryUser([&] {
      FileDescriptor reached;
      FileOutcome outcome = openFolder(AT_FDCWD, path, reached, rules);
      if (!outcome) return "refused: " + outcome.reason;
      struct stat info {};
      ::fstat(reached.get(), &info);
      return "inode " + std::to_string(info.st_ino);
    });
  }
  std::string inodeOf(const std::string& path) {
    struct stat info {};
    if (::stat((root + "/" + path).c_str(), &info) != 0) return "none";
    return "inode " + std::to_string(info.st_ino);
  }
};

TEST_F(FolderWalkTest, ReachesFoldersThroughTrustedLinksOnly) {
  folder("real/inner");
  folder("theirs", kOtherId);
  link("real", "mine");
  link("inner", "real/relative");  // relative targets start at the link's own folder
  link(root + "/real", "rootlink", 0);
  link(root + "/real", "planted", kOtherId);
  link("loop", "loop");
  std::ofstream(root + "/file") << "x";

  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {root + "/real/inner", inodeOf("real/inner")},
      {root + "/mine/inner", inodeOf("real/inner")},
      {root + "/real/relative", inodeOf("real/inner")},
      {root + "/rootlink/./inner", inodeOf("real/inner")},
      {root + "/theirs", inodeOf("theirs")},  // without rules any folder will do
      {root + "/planted/inner",
       "refused: " + root + "/planted is a link that belongs to another user"},
      {root + "/file/inner", "refused: " + root + "/file is not a folder"},
      {root + "/loop", "refused: " + std::string(std::strerror(ELOOP))},
      {root + "/missing", "refused: " + std::string(std::strerror(ENOENT))},
  };
  for (const Case& c : cases) EXPECT_EQ(walk(c.path), c.expected) << c.path;
}

TEST_F(FolderWalkTest, OwnFoldersAreCheckedWhereTheLinksLead) {
  folder("home/.local");
  folder("home/theirs", kOtherId);
  folder("elsewhere/data");
  link(root + "/elsewhere/data", "home/linked");
  link(root + "/home/theirs", "home/tothem");
  const WalkRules own{true, false};
  ::chdir(root.c_str());
  EXPECT_EQ(walk("home/.local", own), inodeOf("home/.local"));
  // The folders a trusted link passes through are its owner's choice; where it leads is judged.
  ::lchown((root + "/elsewhere").c_str(), kOtherId, kOtherId);
  EXPECT_EQ(walk("home/linked", own), inodeOf("elsewhere/data"));
  EXPECT_EQ(walk("home/theirs", own), "refused: home/theirs belongs to another user");
  EXPECT_EQ(walk("home/tothem", own), "refused: home/tothem belongs to another user");
}

TEST_F(FolderWalkTest, MakesMissingFoldersPrivateToThePlayer) {
  folder("home");
  folder("theirs", kOtherId);
  ::chmod((root + "/theirs").c_str(), 0777);
  ::chdir(root.c_str());
  const WalkRules make{true, true};
  const std::string reached = walk("home/.local/share/zeph", make);
  EXPECT_EQ(reached, inodeOf("home/.local/share/zeph"));
  for (const char* path : {".local", ".local/share", ".local/share/zeph"}) {
    struct stat info {};
    ASSERT_EQ(::stat((root + "/home/" + path).c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_mode & 07777, 0700u) << path;
    EXPECT_EQ(info.st_uid, kOrdinaryId) << path;
  }
  // Nothing is made inside a folder someone else owns, even one open to all.
  EXPECT_EQ(walk("theirs/new", make), "refused: theirs belongs to another user");
  EXPECT_FALSE(fs::exists(root + "/theirs/new"));
}

TEST_F(FolderWalkTest, FileWalkFollowsTrustedLinksAtTheEnd) {
  folder("a");
  folder("b");
  link("../b/target", "a/own");
  link(root + "/b/target", "a/planted", kOtherId);
  link("own", "a/twice");
  struct Case {
    std::string path;
    std::string expected;  // the folder reached and the name in it, or the refusal
  } cases[] = {
      {root + "/a/plain", inodeOf("a") + " plain"},
      {root + "/a/own", inodeOf("b") + " target"},
      {root + "/a/twice", inodeOf("b") + " target"},
      {root + "/a/planted",
       "refused: " + root + "/a/planted is a link that belongs to another user"},
      {root + "/a/", "refused: " + std::string(std::strerror(EISDIR))},
  };
  for (const Case& c : cases) {
    std::string got = asOrdinaryUser([&] {
      FileInFolder end;
      FileOutcome outcome = walkToFile(AT_FDCWD, c.path, end);
      if (!outcome) return "refused: " + outcome.reason;
      struct stat info {};
      ::fstat(end.folder.get(), &info);
      return "inode " + std::to_string(info.st_ino) + " " + end.name;
    });
    EXPECT_EQ(got, c.expected) << c.path;
  }
}

// A walk from a folder already held open names the places of its refusals from that folder's
// path, so the player reads where they are; the rules still judge only the folders walked.
TEST_F(FolderWalkTest, AWalkFromAHeldFolderNamesPlacesFromItsPath) {
  folder("home/.local");
  folder("home/.local/theirs", kOtherId);
  link(root + "/home", "home/.local/planted", kOtherId);
  ::lchown(root.c_str(), kOtherId, kOtherId);  // the start folder itself is not judged
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {"home/.local/HIGHSCORE.DAT", inodeOf("home/.local") + " HIGHSCORE.DAT"},
      {"home/.local/theirs/x", "refused: " + root + "/home/.local/theirs belongs to another user"},
      {"home/.local/planted/x",
       "refused: " + root + "/home/.local/planted is a link that belongs to another user"},
  };
  for (const Case& c : cases) {
    std::string got = asOrdinaryUser([&] {
      FileDescriptor start;
      if (!openFolder(AT_FDCWD, root, start)) return std::string("no start folder");
      FileInFolder end;
      FileOutcome outcome = walkToFile(start.get(), c.path, end, WalkRules{true, false}, root);
      if (!outcome) return "refused: " + outcome.reason;
      struct stat info {};
      ::fstat(end.folder.get(), &info);
      return "inode " + std::to_string(info.st_ino) + " " + end.name;
    });
    EXPECT_EQ(got, c.expected) << c.path;
  }
}

// A folder swapped for a link after the walk: everything after goes on in the folder reached.
TEST_F(FolderWalkTest, TheDescriptorKeepsTheFolderWhenItsNameIsSwapped) {
  folder("game");
  folder("decoy");
  FileDescriptor held;
  ASSERT_TRUE(openFolder(AT_FDCWD, root + "/game", held));
  fs::rename(root + "/game", root + "/moved");
  ASSERT_EQ(::symlink((root + "/decoy").c_str(), (root + "/game").c_str()), 0);
  FileDescriptor made(::openat(held.get(), "new", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  ASSERT_TRUE(made.valid());
  EXPECT_TRUE(fs::exists(root + "/moved/new"));
  EXPECT_FALSE(fs::exists(root + "/decoy/new"));
}
}  // namespace
