// The score file against the other users of one machine: a hostile member of the game's group
// swapping names for links and pipes mid-save, holding leases and the folder's lock, and
// players saving at the same moment. Every case runs as ordinary users; laying out other
// users' files needs root, which CI has.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ScoreFiles.h"
#include "game/GameState.h"
#include "scores/HighScoreFile.h"
#include "scores/HighScoreLocation.h"
#include "scores/SharedFile.h"

namespace {
namespace fs = std::filesystem;

// Long past any save, far short of the kernel's 45 s lease break: only a hang reaches it.
constexpr unsigned kHangSeconds = 20;

std::string readAll(int fd) {
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(buffer, std::size_t(got));
  }
  return text;
}

// A process of one user that runs body once the test lets it go (so several start at the same
// moment), or at once; its report is what body wrote on stdout and returned, or how it died.
class UserProcess {
 public:
  UserProcess(const TestUser& user, const std::function<std::string()>& body, bool waitForGo) {
    if (::pipe(report) != 0 || ::pipe(go) != 0) return;
    std::fflush(nullptr);
    child = ::fork();
    if (child != 0) {
      ::close(report[1]);
      ::close(go[0]);
      return;
    }
    ::close(report[0]);
    ::close(go[1]);
    ::dup2(report[1], STDOUT_FILENO);
    ::alarm(kHangSeconds);  // a save that hangs shows as a death by SIGALRM
    if (!becomeUser(user)) ::_exit(2);
    char token = 0;
    if (waitForGo && ::read(go[0], &token, 1) != 1) ::_exit(3);
    writeAll(STDOUT_FILENO, body());
    ::_exit(0);
  }
  ~UserProcess() { stop(); }
  UserProcess(const UserProcess&) = delete;
  UserProcess& operator=(const UserProcess&) = delete;

  void release() { writeAll(go[1], "g"); }
  // Reads a line the body wrote before going on (a process that holds something till killed).
  std::string firstLine() {
    std::string line;
    char c = 0;
    while (::read(report[0], &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  std::string result() {
    std::string text = readAll(report[0]);
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
    child = -1;
    if (WIFSIGNALED(status)) return "died of signal " + std::to_string(WTERMSIG(status));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "could not run as the user";
    return text;
  }
  void stop() {
    if (child > 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
      child = -1;
    }
    for (int fd : {report[0], go[1]})
      if (fd >= 0) ::close(fd);
    report[0] = go[1] = -1;
  }

 private:
  int report[2] = {-1, -1};
  int go[2] = {-1, -1};
  pid_t child = -1;
};

// Another user swapping two names in a loop until stopped.
std::unique_ptr<UserProcess> swapping(const TestUser& user, const std::string& a,
                                      const std::string& b) {
  auto swapper = std::make_unique<UserProcess>(
      user,
      [a, b] {
        for (;;) ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
        return std::string();
      },
      false);
  return swapper;
}

// Another user who swaps two names once each time a process asks, and answers once it has: the
// moment of the swap is the asker's. The test itself never asks, so a swapper that died fails
// the asker (by SIGPIPE) and never holds the test up.
class SwapsWhenAsked {
 public:
  SwapsWhenAsked(const TestUser& user, const std::string& a, const std::string& b) {
    if (::pipe(ask) != 0 || ::pipe(done) != 0) return;
    process = std::make_unique<UserProcess>(
        user,
        [this, a, b] {
          for (char token = 0; ::read(ask[0], &token, 1) == 1;) {
            token = ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0
                        ? 's'
                        : 'f';
            if (::write(done[1], &token, 1) != 1) break;
          }
          return std::string();
        },
        false);
    ::close(ask[0]);
    ::close(done[1]);
    ask[0] = done[1] = -1;
  }
  ~SwapsWhenAsked() {
    process.reset();
    for (int fd : {ask[0], ask[1], done[0], done[1]})
      if (fd >= 0) ::close(fd);
  }
  SwapsWhenAsked(const SwapsWhenAsked&) = delete;
  SwapsWhenAsked& operator=(const SwapsWhenAsked&) = delete;

  // One swap, made by the time this returns; false when it could not be made.
  bool swap() {
    char token = 's';
    return ::write(ask[1], &token, 1) == 1 && ::read(done[0], &token, 1) == 1 && token == 's';
  }

 private:
  int ask[2] = {-1, -1};
  int done[2] = {-1, -1};
  std::unique_ptr<UserProcess> process;
};

std::vector<PlacedScore> placedScore(uint32_t score) { return {{Score, score, {2, 2, 2}}}; }

// The table as the game holds it once it placed a new score (the placed entry's letters 2 2 2).
HighScoreTable withPlacedScore(uint32_t score) {
  HighScoreTable table = withScore(Score, score);
  table.entries[Score][0] = {{2, 2, 2}, score};
  return table;
}

// Merges one new score into the file at path as the game does; what became of it, and (told)
// whether it is sure to stay.
std::string mergeTold(const std::string& path, uint32_t score) {
  HighScoreTable table = withPlacedScore(score);
  return told(mergeHighScoresInto(path.c_str(), table, placedScore(score)));
}

std::string mergeOnce(const std::string& path, uint32_t score) {
  HighScoreTable table = withPlacedScore(score);
  return described(mergeHighScoresInto(path.c_str(), table, placedScore(score)));
}

// The flush of the save's new bytes, the moment after its walk and before its rename: the
// swapper swaps the names there, once, and the flush goes on as ever.
SwapsWhenAsked* swapMidSave = nullptr;
int swapOnceAtTheFlush(int fd) {
  sharedFileSync = ::fsync;
  if (!swapMidSave->swap()) {
    errno = EPERM;
    return -1;
  }
  return ::fsync(fd);
}

// In the saver's process: one save with the names swapped in the middle of it, then one with
// them swapped; what became of each.
std::string mergeSwappedMidSaveThenAfter(SwapsWhenAsked& swapper, const std::string& path) {
  swapMidSave = &swapper;
  sharedFileSync = swapOnceAtTheFlush;
  const std::string midSave = mergeOnce(path, 1500);
  sharedFileSync = ::fsync;
  return midSave + ", then " + mergeOnce(path, 1600);
}

// The game as a player starts, places a score and quits, in the folder game with HOME; the
// table at start, then what stderr said.
std::string playOnce(const std::string& game, const std::string& home) {
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("XDG_DATA_HOME");
  ::umask(022);
  if (::chdir(game.c_str()) != 0) return "cannot enter the game folder";
  return capturingStderr([] {
    const bool box = !loadHighScores();
    if (box) resetHighScores();
    std::string start = std::string(box ? "box " : "") + scoresOf(highScoreTable, Score);
    const int16_t letters[kLetters] = {1, 2, 3};
    recordHighScore(Score, 0, 5000, letters);
    saveHighScores();
    return start;
  });
}

class HostileSharers : public SharedScores {
 protected:
  // The group's folder "shared" (root's, of the players' group, folderMode) holding a score
  // file of the given owner with table; the path of the file.
  std::string groupFolderWith(mode_t folderMode, const Bytes& table, uid_t fileOwner) {
    folderAt("shared", 0755);
    fileAt("shared/HIGHSCORE.DAT", table, 0664);
    giveTo("shared", 0, kPlayersGroup);
    giveTo("shared/HIGHSCORE.DAT", fileOwner, kPlayersGroup);
    asPlayer([] { return std::string(); });
    EXPECT_EQ(::chmod(at("shared").c_str(), folderMode), 0);  // chown drops setgid
    return at("shared/HIGHSCORE.DAT");
  }
};
}  // namespace

// A member of the group swaps the folder the save goes through for their link to a folder the
// saver may write (the player's own, or root's as /etc is). Swapped in the middle of a save,
// after its walk, the folder held open keeps the save where it was going, and the next save
// refuses the link by name. Swapped again and again while saves run, whatever the scheduler
// makes of it, no save ever lands anywhere else, and the file left is whole.
TEST_F(HostileSharers, AFolderSwappedForALinkMidSaveNeverLeadsOutside) {
  struct Case {
    const char* name;
    TestUser saver;
    uid_t victimOwner;
  };
  const Case cases[] = {
      {"a player saving", kPlayer, kOrdinaryId},
      {"root saving", TestUser{0, 0, {}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("arcade/game", 0755);
    fileAt("arcade/game/HIGHSCORE.DAT", defaultFile(), 0644);
    folderAt("victim", 0755);
    fileAt("victim/HIGHSCORE.DAT", imageOf(withScore(Score, 999)), 0644);
    linkAt("arcade/bait", at("victim"));
    giveTo("arcade", 0, kPlayersGroup);
    giveTo("arcade/bait", kOtherInGroup.uid, kOtherInGroup.gid);
    giveTo("victim", c.victimOwner, c.victimOwner);
    giveTo("victim/HIGHSCORE.DAT", c.victimOwner, c.victimOwner);
    asPlayer([] { return std::string(); });
    ASSERT_EQ(::chmod(at("arcade").c_str(), 02775), 0);
    const Bytes victimBefore = read(at("victim/HIGHSCORE.DAT"));
    const std::string path = at("arcade/game/HIGHSCORE.DAT");
    const std::string link = at("arcade/game") + " is a link that belongs to another user";

    {
      SwapsWhenAsked swapper(kOtherInGroup, at("arcade/game"), at("arcade/bait"));
      UserProcess saver(
          c.saver, [&] { return mergeSwappedMidSaveThenAfter(swapper, path); }, false);
      EXPECT_EQ(saver.result(), "saved, then failed: " + link);
    }
    // The folder the first save walked to is named bait now, and holds its score.
    ASSERT_TRUE(fs::is_symlink(at("arcade/game")));
    EXPECT_EQ(scoreFileOf(at("arcade/bait/HIGHSCORE.DAT")), "1500 1 1");

    auto swapper = swapping(kOtherInGroup, at("arcade/game"), at("arcade/bait"));
    UserProcess saver(
        c.saver,
        [&] {
          std::set<std::string> outcomes;
          for (uint32_t round = 0; round < 300; ++round) {
            outcomes.insert(mergeOnce(path, 1000 + round));
            outcomes.insert(described(saveHighScoresTo(path.c_str(), withScore(Score, 2))));
          }
          std::string all;
          for (const std::string& outcome : outcomes) all += outcome + "\n";
          return all;
        },
        false);
    const std::string outcomes = saver.result();
    swapper->stop();

    EXPECT_EQ(read(at("victim/HIGHSCORE.DAT")), victimBefore);
    std::vector<std::string> victim;
    for (const std::string& path : listing())
      if (path.starts_with("victim")) victim.push_back(path);
    EXPECT_EQ(victim, (std::vector<std::string>{"victim", "victim/HIGHSCORE.DAT"}));
    // Each save either went where it should or refused the link by name; how many of each
    // is the scheduler's business.
    for (std::size_t from = 0, end; (end = outcomes.find('\n', from)) != std::string::npos;
         from = end + 1) {
      const std::string outcome = outcomes.substr(from, end - from);
      EXPECT_TRUE(outcome == "saved" || outcome == "failed: " + link) << outcome;
    }
    EXPECT_TRUE(outcomes.ends_with('\n')) << "the saver did not finish: " << outcomes;
    // Whichever name the folder ended under, its file is whole.
    const bool folderAtGame = !fs::is_symlink(at("arcade/game"));
    EXPECT_NE(
        scoreFileOf(at(folderAtGame ? "arcade/game/HIGHSCORE.DAT" : "arcade/bait/HIGHSCORE.DAT")),
        "bad");
  }
}

// A member of the group swaps the shared file for a pipe of theirs, in a sticky folder where
// the save has to rewrite the file in place. Swapped in the middle of a save, the save sees that
// the file it locked is no longer the one at the name, looks again and says the name is no
// regular file, writing neither. Swapped again and again while saves run, no save ever waits
// on the pipe, each one saves or says so, and the file left is whole.
TEST_F(HostileSharers, APipeSwappedInNeverHoldsASaveUp) {
  folderAt("shared", 0755);
  fileAt("shared/HIGHSCORE.DAT", defaultFile(), 0664);
  ASSERT_EQ(::mkfifo(at("shared/pipe").c_str(), 0664), 0);
  ASSERT_EQ(::chmod(at("shared/pipe").c_str(), 0664), 0);  // a pipe the player may open to write
  giveTo("shared", 0, kPlayersGroup);
  giveTo("shared/HIGHSCORE.DAT", kOtherInGroup.uid, kPlayersGroup);
  giveTo("shared/pipe", kOtherInGroup.uid, kPlayersGroup);
  asPlayer([] { return std::string(); });
  ASSERT_EQ(::chmod(at("shared").c_str(), 03775), 0);
  const std::string path = at("shared/HIGHSCORE.DAT");

  {
    SwapsWhenAsked swapper(kOtherInGroup, path, at("shared/pipe"));
    UserProcess saver(
        kPlayerInGroup, [&] { return mergeSwappedMidSaveThenAfter(swapper, path); }, false);
    EXPECT_EQ(saver.result(), "failed: not a regular file, then failed: not a regular file");
  }
  ASSERT_FALSE(fs::is_regular_file(fs::symlink_status(path)));
  EXPECT_EQ(scoreFileOf(at("shared/pipe")), "1 1 1");

  auto swapper = swapping(kOtherInGroup, path, at("shared/pipe"));
  UserProcess saver(
      kPlayerInGroup,
      [&] {
        std::set<std::string> outcomes;
        for (uint32_t round = 0; round < 300; ++round)
          outcomes.insert(mergeOnce(path, 1000 + round));
        std::string all;
        for (const std::string& outcome : outcomes) all += outcome + "\n";
        return all;
      },
      false);
  const std::string outcomes = saver.result();
  swapper->stop();

  std::set<std::string> allowed = {
      "saved", "failed: not a regular file",
      "failed: another program changed the file right after the save: not a regular file",
      "failed: " + std::string(kChangedMeanwhile)};
  for (std::size_t from = 0, end; (end = outcomes.find('\n', from)) != std::string::npos;
       from = end + 1)
    EXPECT_TRUE(allowed.contains(outcomes.substr(from, end - from))) << outcomes;
  EXPECT_TRUE(outcomes.ends_with('\n')) << "the saver did not finish: " << outcomes;
  // Whichever name the file ended under, it is whole.
  const bool fileAtName = fs::is_regular_file(fs::symlink_status(path));
  EXPECT_NE(scoreFileOf(fileAtName ? path : at("shared/pipe")), "bad");
}

// The owner of the shared file holds a lease on it: another player's save fails at once with
// its line instead of waiting out the kernel's lease break, and leaves the file as it was.
TEST_F(HostileSharers, ALeaseFailsTheSaveAtOnce) {
  for (int lease : {F_RDLCK, F_WRLCK}) {
    SCOPED_TRACE(lease == F_RDLCK ? "a read lease" : "a write lease");
    TearDown();
    SetUp();
    const std::string path =
        groupFolderWith(02775, imageOf(withScore(Score, 300)), kOtherInGroup.uid);

    UserProcess holder(
        kOtherInGroup,
        [&] {
          std::signal(SIGIO, SIG_IGN);  // the break's notice; the holder never lets go
          const int fd = ::open(path.c_str(), O_RDONLY);
          const bool held = fd >= 0 && ::fcntl(fd, F_SETLEASE, lease) == 0;
          writeAll(1, held ? "held\n" : "not held: " + std::string(std::strerror(errno)) + "\n");
          for (;;) ::pause();
          return std::string();
        },
        false);
    ASSERT_EQ(holder.firstLine(), "held");

    const std::string result = asUser(kPlayerInGroup, [&] { return mergeTold(path, 500); });
    holder.stop();
    EXPECT_EQ(result,
              "failed: another program holds the file (a lease): try again later, not sure");
    EXPECT_EQ(scoreFileOf(path), "300 1 1");
    EXPECT_EQ(listing(), (std::vector<std::string>{"shared", "shared/HIGHSCORE.DAT"}));
  }
}

// Savers at the same instant, in the process of each: the first pauses at its flush, holding the
// lock, until every other one waits for the lock (or, where one could not take it, has saved);
// each waiter then goes on once the save before it is done. So each save finds the lock held
// by the one before it, whatever the scheduler does.
namespace {
std::vector<std::unique_ptr<UserProcess>>* othersToLetIn = nullptr;
int queuedUp = -1;      // a waiter says "w" here at its first wait, "f" once saved
int previousDone = -1;  // a waiter's first wait ends when the save before it is done
void pauseAsUsual() {
  timespec pause{0, 10'000'000};
  ::nanosleep(&pause, nullptr);
}
void waitForThePreviousSave() {
  sharedFileLockWait = pauseAsUsual;
  writeAll(queuedUp, "w");
  char token = 0;
  if (::read(previousDone, &token, 1) != 1) ::_exit(6);
}
int letTheOthersQueueUp(int fd) {
  sharedFileSync = ::fsync;
  for (auto& other : *othersToLetIn) other->release();
  for (std::size_t n = 0; n < othersToLetIn->size(); ++n) {
    char token = 0;
    if (::read(queuedUp, &token, 1) != 1) ::_exit(7);
  }
  return ::fsync(fd);
}

bool onDiskAt(const std::string& path, uint32_t score) {
  HighScoreTable table{};
  if (!loadHighScoresFrom(path.c_str(), table)) return false;
  for (const HighScoreEntry& entry : table.entries[Score])
    if (entry.score == score && entry.letters[0] == 2 && entry.letters[1] == 2 &&
        entry.letters[2] == 2)
      return true;
  return false;
}

// One user's copy of the game that merges a new score each time the test sends one, and
// answers with told()'s words on a line.
class RoundSaver {
 public:
  RoundSaver(const TestUser& user, const std::string& path) {
    if (::pipe(go) != 0 || ::pipe(reply) != 0) return;
    std::fflush(nullptr);
    child = ::fork();
    if (child != 0) {
      ::close(go[0]);
      ::close(reply[1]);
      return;
    }
    ::close(go[1]);
    ::close(reply[0]);
    if (!becomeUser(user)) ::_exit(2);
    // The lock is held for a save's own work only: a disk's flush would only slow the rounds.
    sharedFileSync = [](int) { return 0; };
    for (uint32_t score = 0; ::read(go[0], &score, sizeof score) == sizeof score;) {
      ::alarm(kHangSeconds);  // a save that hangs shows as no answer
      writeAll(reply[1], mergeTold(path, score) + "\n");
    }
    ::_exit(0);
  }
  // Between rounds the copy only waits (other savers forked later hold its pipe open too).
  ~RoundSaver() {
    if (child > 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    ::close(go[1]);
    ::close(reply[0]);
  }
  RoundSaver(const RoundSaver&) = delete;
  RoundSaver& operator=(const RoundSaver&) = delete;

  bool save(uint32_t score) { return ::write(go[1], &score, sizeof score) == sizeof score; }
  std::string answer() {
    std::string line;
    char c = 0;
    while (::read(reply[0], &c, 1) == 1 && c != '\n') line += c;
    return line.empty() ? "no answer" : line;
  }

 private:
  int go[2] = {-1, -1};
  int reply[2] = {-1, -1};
  pid_t child = -1;
};
}  // namespace

// Players of a group save at the same instant into the group's folder, which some of them may
// not open to read (a folder others may only pass through, or one only root may list): every
// saver takes the same lock, on the file. Let in while the first save holds it, each save waits
// its turn and every entry is in, each save sure of it. At the same instant, round after round,
// whatever the scheduler does, every entry ends in the file or its saver was told it may not
// stay (the game then keeps it elsewhere): none is lost without a word.
TEST_F(HostileSharers, SaversAtTheSameInstantLoseNothingUnsaid) {
  const TestUser root{0, 0, {}};
  struct Case {
    const char* name;
    mode_t folderMode;
    std::vector<TestUser> savers;
  };
  const Case cases[] = {
      {"members list it, others only pass through", 02771, {kPlayerInGroup, kOther}},
      {"the same, three savers", 02771, {kOther, kPlayerInGroup, kOtherInGroup}},
      {"only root lists it", 02730, {root, kPlayerInGroup}},
      {"the same, three savers", 02730, {kPlayerInGroup, root, kOtherInGroup}},
  };
  constexpr uint32_t kRounds = 300;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + std::string(", ") + std::to_string(c.savers.size()) + " savers");
    TearDown();
    SetUp();
    const std::string path = groupFolderWith(c.folderMode, defaultFile(), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);  // those outside the group rewrite it in place

    {
      SCOPED_TRACE("each let in while the one before holds the lock");
      int queue[2];
      ASSERT_EQ(::pipe(queue), 0);
      std::vector<std::array<int, 2>> done(c.savers.size());
      for (auto& pipe : done) ASSERT_EQ(::pipe(pipe.data()), 0);
      std::vector<std::unique_ptr<UserProcess>> others;
      for (std::size_t i = 1; i < c.savers.size(); ++i)
        others.push_back(std::make_unique<UserProcess>(
            c.savers[i],
            [&, i] {
              queuedUp = queue[1];
              previousDone = done[i - 1][0];
              sharedFileLockWait = waitForThePreviousSave;
              const std::string result = mergeTold(path, uint32_t(200 + i));
              writeAll(queue[1], "f");
              writeAll(done[i][1], "d");
              return result;
            },
            true));
      UserProcess first(
          c.savers[0],
          [&] {
            othersToLetIn = &others;
            queuedUp = queue[0];
            sharedFileSync = letTheOthersQueueUp;
            const std::string result = mergeTold(path, 200);
            writeAll(done[0][1], "d");
            return result;
          },
          false);
      EXPECT_EQ(first.result(), "saved");
      for (auto& other : others) EXPECT_EQ(other->result(), "saved");
      for (int fd : {queue[0], queue[1]}) ::close(fd);
      for (auto& pipe : done)
        for (int fd : pipe) ::close(fd);
      for (std::size_t i = 0; i < c.savers.size(); ++i)
        EXPECT_TRUE(onDiskAt(path, uint32_t(200 + i))) << 200 + i << " in " << scoreFileOf(path);
    }

    std::vector<std::unique_ptr<RoundSaver>> savers;
    for (const TestUser& user : c.savers)
      savers.push_back(std::make_unique<RoundSaver>(user, path));
    int lost = 0, told = 0, entries = 0;
    std::string firstLoss;
    for (uint32_t round = 0; round < kRounds; ++round) {
      write(path, defaultFile());
      const uint32_t base = 1000 + round * 4;
      for (std::size_t i = 0; i < savers.size(); ++i)
        ASSERT_TRUE(savers[i]->save(base + uint32_t(i)));
      std::vector<std::string> answers;
      for (auto& saver : savers) answers.push_back(saver->answer());
      const std::string after = scoreFileOf(path);
      ASSERT_NE(after, "bad") << "round " << round;
      for (std::size_t i = 0; i < savers.size(); ++i) {
        ++entries;
        const bool sure = answers[i] == "saved";
        const bool onDisk = onDiskAt(path, base + uint32_t(i));
        told += !sure;
        if (sure && !onDisk && lost++ == 0)
          firstLoss = "round " + std::to_string(round) + ": saver " + std::to_string(i) +
                      " was sure, the file holds " + after;
        EXPECT_TRUE(sure || answers[i].ends_with(", not sure")) << answers[i];
      }
    }
    savers.clear();
    EXPECT_EQ(lost, 0) << lost << " of " << entries << " entries lost unsaid (" << told
                       << " told); first " << firstLoss;
  }
}

// What another program left at the name right after a save's bytes took its place (the
// folder's flush is where it acts) is what the save says, its entry not sure; the next save
// puts the entry in, once.
namespace {
std::string changedFile;
enum class Change { Garbage, AnotherTable, Removed } change;
int changeRightAfterTheSave(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    sharedFileSync = ::fsync;
    if (change == Change::Garbage) {
      // A member writing into the file in place, as its group bits let them.
      const int file = ::open(changedFile.c_str(), O_WRONLY);
      const Bytes garbage(94, 0x5A);
      if (file < 0 || ::pwrite(file, garbage.data(), garbage.size(), 0) != 94) ::_exit(8);
      ::close(file);
    } else if (change == Change::AnotherTable) {
      const std::string theirs = changedFile + ".theirs";
      const Bytes table = defaultFile();
      std::ofstream(theirs, std::ios::binary)
          .write(reinterpret_cast<const char*>(table.data()), std::streamsize(table.size()));
      ::rename(theirs.c_str(), changedFile.c_str());
    } else {
      ::unlink(changedFile.c_str());
    }
  }
  return ::fsync(fd);
}
}  // namespace

TEST_F(HostileSharers, WhatAnotherProgramLeftRightAfterTheSaveIsSaid) {
  struct Case {
    const char* name;
    Change change;
    std::string said;
  };
  const Case cases[] = {
      {"garbage written in place", Change::Garbage,
       "another program wrote into the file at the same moment: it holds no score table now"},
      {"another table renamed over it", Change::AnotherTable,
       "another save replaced the file at the same moment; 1 new entry is not in it yet"},
      {"the file removed", Change::Removed,
       "another program removed the file right after the save"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    const std::string path = groupFolderWith(02775, defaultFile(), 0);
    const std::string said = asUser(kPlayerInGroup, [&] {
      changedFile = path;
      change = c.change;
      sharedFileSync = changeRightAfterTheSave;
      const std::string first = mergeTold(path, 5000);
      sharedFileSync = ::fsync;
      return first + " | " + mergeTold(path, 5000);
    });
    EXPECT_EQ(said, "failed: " + c.said + ", not sure | saved");
    EXPECT_EQ(scoreFileOf(path), "5000 1 1");
  }
}

// The flush of the save's temporary says the disk is full, as delayed allocation reports it; the
// rewrite in place that follows needs no new room and flushes as ever.
namespace {
int fullForNewFiles(int) {
  sharedFileSync = ::fsync;
  errno = ENOSPC;
  return -1;
}
}  // namespace

// A save takes every way the folder and the file allow: another's file the player may not write
// is replaced by rename where the folder lets it; where no new file fits, the old one is
// rewritten in place. What a file's owner forbids (a frozen file, a sticky folder) fails with its
// reason, the entry not sure, so the game keeps it elsewhere.
TEST_F(HostileSharers, ASaveTakesEveryWayTheFolderAllows) {
  struct Case {
    const char* name;
    mode_t folderMode;
    uid_t folderOwner;
    gid_t folderGroup;
    uid_t fileOwner;
    gid_t fileGroup;
    mode_t fileMode;
    TestUser saver;
    bool diskFull;
    std::string said;  // told()'s words, then how the file was written
    std::string scoresAfter;
    uid_t ownerAfter;
    mode_t modeAfter;
  };
  const uid_t player = kOrdinaryId;
  const Case cases[] = {
      {"another member's 0644 file in a group folder", 02775, 0, kPlayersGroup, kOtherInGroup.uid,
       kPlayersGroup, 0644, kPlayerInGroup, false, "saved; renamed", "500 1 1", player, 0644},
      {"root's file in the player's own folder", 0755, player, player, 0, 0, 0644, kPlayer, false,
       "saved; renamed", "500 1 1", player, 0644},
      {"a full disk", 0755, player, player, player, player, 0644, kPlayer, true, "saved; in place",
       "500 1 1", player, 0644},
      {"frozen by another member", 02775, 0, kPlayersGroup, kOtherInGroup.uid, kPlayersGroup, 0444,
       kPlayerInGroup, false,
       "failed: the file is read-only (its owner froze it), not sure; in place", "1 1 1",
       kOtherInGroup.uid, 0444},
      {"another member's 0644 file in a sticky group folder", 03775, 0, kPlayersGroup,
       kOtherInGroup.uid, kPlayersGroup, 0644, kPlayerInGroup, false,
       "failed: Operation not permitted, not sure; in place", "1 1 1", kOtherInGroup.uid, 0644},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("shared", 0755);
    fileAt("shared/HIGHSCORE.DAT", defaultFile(), c.fileMode);
    giveTo("shared", c.folderOwner, c.folderGroup);
    giveTo("shared/HIGHSCORE.DAT", c.fileOwner, c.fileGroup);
    asPlayer([] { return std::string(); });
    ASSERT_EQ(::chmod(at("shared").c_str(), c.folderMode), 0);  // chown drops setgid
    const std::string path = at("shared/HIGHSCORE.DAT");
    const ino_t before = statOf(path).st_ino;

    const std::string said = asUser(c.saver, [&] {
      if (c.diskFull) sharedFileSync = fullForNewFiles;
      return mergeTold(path, 500);
    });
    EXPECT_EQ(said + (statOf(path).st_ino == before ? "; in place" : "; renamed"), c.said);
    EXPECT_EQ(scoreFileOf(path), c.scoresAfter);
    EXPECT_EQ(statOf(path).st_uid, c.ownerAfter);
    EXPECT_EQ(statOf(path).st_gid, c.fileGroup == 0 ? player : c.fileGroup);
    EXPECT_EQ(statOf(path).st_mode & 07777, c.modeAfter);
    EXPECT_EQ(listing(), (std::vector<std::string>{"shared", "shared/HIGHSCORE.DAT"}));
  }
}

// The first save in a folder its group may write makes a file every member can save over,
// whatever the player's umask; a folder of the player's own keeps the umask's mode.
TEST_F(HostileSharers, ANewFileInAGroupsFolderIsTheGroups) {
  struct Case {
    const char* name;
    mode_t folderMode;
    uid_t folderOwner;
    mode_t modeAfter;
    gid_t groupAfter;
    bool otherMaySave;
  };
  const Case cases[] = {
      {"a setgid group folder", 02775, kOther.uid, 0664, kPlayersGroup, true},
      {"a group folder without setgid", 0775, kOther.uid, 0664, kPlayersGroup, true},
      {"the player's own folder", 0755, kOrdinaryId, 0644, kOrdinaryId, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("shared", 0755);
    giveTo("shared", c.folderOwner, kPlayersGroup);
    asPlayer([] { return std::string(); });
    ASSERT_EQ(::chmod(at("shared").c_str(), c.folderMode), 0);
    const std::string path = at("shared/HIGHSCORE.DAT");

    EXPECT_EQ(asUser(kPlayerInGroup, [&] { return mergeOnce(path, 500); }), "saved");
    EXPECT_EQ(statOf(path).st_mode & 07777, c.modeAfter);
    EXPECT_EQ(statOf(path).st_gid, c.groupAfter);
    if (c.otherMaySave) {
      EXPECT_EQ(asUser(kOtherInGroup, [&] { return mergeOnce(path, 800); }), "saved");
      EXPECT_EQ(scoreFileOf(path), "800 500 1");
    }
  }
}

// What the game says when a save cannot be made, and where it now saves instead of failing:
// one line per failed save (the placement's and the quit's, and the reset's after a box).
TEST_F(HostileSharers, NoEntryVanishesWithoutAWord) {
  struct Case {
    const char* name;
    std::function<void(HostileSharers&)> lay;  // lays game/HIGHSCORE.DAT
    mode_t gameMode;
    TestUser player;
    std::string home;   // "@" is the scratch folder
    std::string start;  // the table at start
    std::string line;   // each line said, "@" the scratch folder; "" when all was saved
    int lines;
    std::string scoresAfter;  // game/HIGHSCORE.DAT then, "bad" for no table
    // The start's line when the table could not be loaded (its reason), "" for none.
    std::string loadReason = {};
    // The entry went to the player's own folder: each save that carried it says where.
    bool kept = false;
  };
  const std::string notSaved = "zeph: the high scores were not saved to @/game/HIGHSCORE.DAT: ";
  const std::string nowhere = "zeph: the high scores were not saved: ";
  // A default the player cannot write: the scores go to HOME.
  auto rootsDefault = [](HostileSharers& t) {
    t.fileAt("game/HIGHSCORE.DAT", defaultFile(), 0644);
    t.giveTo("game", 0, 0);
    t.giveTo("game/HIGHSCORE.DAT", 0, 0);
  };
  auto othersFile = [](mode_t mode, const Bytes& bytes) {
    return [mode, bytes](HostileSharers& t) {
      t.fileAt("game/HIGHSCORE.DAT", bytes, mode);
      t.giveTo("game", 0, kPlayersGroup);
      t.giveTo("game/HIGHSCORE.DAT", kOther.uid, kPlayersGroup);
    };
  };
  const Case cases[] = {
      {"a pipe at the name",
       [](HostileSharers& t) { ASSERT_EQ(::mkfifo(t.at("game/HIGHSCORE.DAT").c_str(), 0666), 0); },
       0755, kPlayer, "@/home", "box 1 1 1", notSaved + "not a regular file", 3, "bad",
       "not a regular file", true},
      {"frozen by another member of the group", othersFile(0444, defaultFile()), 02775,
       kPlayerInGroup, "@/home", "1 1 1", notSaved + "the file is read-only (its owner froze it)",
       2, "1 1 1", "", true},
      {"writable but not readable: not damaged, never replaced",
       othersFile(0620, imageOf(withScore(Score, 300))), 02775, kPlayerInGroup, "@/home",
       "box 1 1 1", notSaved + "unreadable: permission denied", 3, "300 1 1",
       "unreadable: permission denied", true},
      {"the owner's hard link in a sticky group folder: rewritten in place",
       [&](HostileSharers& t) {
         othersFile(0664, defaultFile())(t);
         ASSERT_EQ(::link(t.at("game/HIGHSCORE.DAT").c_str(), t.at("game/backup.dat").c_str()), 0);
         t.giveTo("game/backup.dat", kOther.uid, kPlayersGroup);
       },
       03775, kPlayerInGroup, "@/home", "1 1 1", "", 0, "5000 1 1"},
      {"HOME relative", rootsDefault, 0755, kPlayer, "home/x", "1 1 1",
       nowhere + "no home folder (HOME is not an absolute path: home/x)", 2, "1 1 1"},
      {"HOME at the root", rootsDefault, 0755, kPlayer, "/", "1 1 1",
       nowhere + "/ belongs to another user, and the player has no home folder of their own", 2,
       "1 1 1"},
      {"HOME at another player's home",
       [&](HostileSharers& t) {
         rootsDefault(t);
         t.giveTo("home", kOther.uid, kOther.gid);
       },
       0755, kPlayer, "@/home", "1 1 1",
       nowhere + "@/home belongs to another user, and the player has no home folder of their own",
       2, "1 1 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("game", 0755);
    folderAt("home", 0755);
    c.lay(*this);
    asPlayer([] { return std::string(); });
    ASSERT_EQ(::chmod(at("game").c_str(), c.gameMode), 0);  // chown drops setgid
    const std::string home = c.home.starts_with("@") ? folder + c.home.substr(1) : c.home;
    const std::string game = at("game");
    auto homeListing = [&] {
      std::vector<std::string> paths;
      for (const std::string& path : listing())
        if (path.starts_with("home")) paths.push_back(path);
      return paths;
    };
    const std::vector<std::string> homeBefore = homeListing();

    const std::string played = asUser(c.player, [&] { return playOnce(game, home); });

    std::string line = c.line;
    for (std::size_t found; (found = line.find('@')) != std::string::npos;)
      line.replace(found, 1, folder);
    const std::string keptIn = home + "/.local/share/zeph/kept-scores";
    std::string expected = c.start + "|";
    if (!c.loadReason.empty())
      expected += "zeph: the high scores could not be loaded from " + game +
                  "/HIGHSCORE.DAT: " + c.loadReason + "\n";
    // After a box, the first save is the reset's, before any entry.
    const int plain = c.start.starts_with("box") ? 1 : 0;
    for (int n = 0; n < c.lines; ++n) {
      expected += line;
      if (c.kept && n >= plain)
        expected += "; 1 new entry is kept in " + keptIn + " until a save can take it";
      expected += "\n";
    }
    EXPECT_EQ(played, expected);
    EXPECT_EQ(played.find("//"), std::string::npos);
    EXPECT_EQ(scoreFileOf(at("game/HIGHSCORE.DAT")), c.scoresAfter);
    if (fs::exists(at("game/backup.dat"))) {
      EXPECT_EQ(read(at("game/backup.dat")), read(at("game/HIGHSCORE.DAT")));
    }
    std::vector<std::string> homeAfter = homeBefore;
    if (c.kept) {
      for (const char* made : {"home/.local", "home/.local/share", "home/.local/share/zeph",
                               "home/.local/share/zeph/kept-scores"})
        homeAfter.push_back(made);
    }
    EXPECT_EQ(homeListing(), homeAfter) << "nothing made in HOME but the kept entry";
  }
}

// Root playing with HOME at a player's home keeps its scores in its own home: nothing is made
// in the player's, whose own saves go on working.
TEST_F(HostileSharers, RootWithAPlayersHomeSavesInItsOwn) {
  folderAt("game", 0755);
  fileAt("game/HIGHSCORE.DAT", defaultFile(), 0444);
  folderAt("home", 0755);
  giveTo("game", 0, 0);
  giveTo("game/HIGHSCORE.DAT", 0, 0);
  asPlayer([] { return std::string(); });
  const passwd* root = ::getpwuid(0);
  ASSERT_NE(root, nullptr);
  const std::string rootHome = root->pw_dir;

  const HighScoreLocation where = locateHighScores(at("game"), at("home").c_str(), nullptr, true);
  EXPECT_EQ(where.save, (rootHome == "/" ? "" : rootHome) + "/.local/share/zeph/HIGHSCORE.DAT");
  EXPECT_EQ(where.ownBelow, rootHome);

  // A save sent into another's home all the same makes nothing there.
  const std::string own = at("home/.local/share/zeph/HIGHSCORE.DAT");
  const std::string home = at("home");
  EXPECT_EQ(asUser(kOther,
                   [&] {
                     FileInFolder end;
                     return described(walkToSharedFile(own, home, true, end));
                   }),
            "failed: " + home + " belongs to another user: no folder is made in it");
  EXPECT_EQ(listing(), (std::vector<std::string>{"game", "game/HIGHSCORE.DAT", "home"}));
}

// A read-only file system says so, with the file there or not.
TEST_F(HostileSharers, AReadOnlyFileSystemSaysSo) {
  folderAt("mount", 0755);
  const std::string mount = at("mount");
  const std::string result = asUser(TestUser{0, 0, {}}, [&] {
    // A mount of this process's own: the machine's mounts never see it.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        ::mount("zeph", mount.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
      return std::string("no mount: ") + std::strerror(errno);
    ScratchFolder::write(mount + "/HIGHSCORE.DAT", defaultFile());
    ::chmod((mount + "/HIGHSCORE.DAT").c_str(), 0666);
    if (::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
      return std::string("no mount: ") + std::strerror(errno);
    if (!becomeUser(kPlayer)) return std::string("cannot become the player");
    return mergeOnce(mount + "/HIGHSCORE.DAT", 500) + ", " + mergeOnce(mount + "/OTHER.DAT", 500);
  });
  if (result.starts_with("no mount")) GTEST_SKIP() << "this machine lets no test mount: " << result;
  EXPECT_EQ(result, "failed: Read-only file system, failed: Read-only file system");
}

// A file system with no room left for a new file still takes the entry: the old file's own
// room holds the 94 bytes, rewritten in place.
TEST_F(HostileSharers, AFullFileSystemStillTakesTheEntryInPlace) {
  folderAt("mount", 0755);
  const std::string mount = at("mount");
  const std::string result = asUser(TestUser{0, 0, {}}, [&] {
    // A mount of this process's own: the machine's mounts never see it.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        ::mount("zeph", mount.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
      return std::string("no mount: ") + std::strerror(errno);
    const std::string path = mount + "/HIGHSCORE.DAT";
    ScratchFolder::write(path, defaultFile());
    if (::chown(path.c_str(), kOrdinaryId, kOrdinaryId) != 0) return std::string("no chown");
    const int filler = ::open((mount + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::vector<char> page(4096, 'x');
    while (::write(filler, page.data(), page.size()) > 0) {
    }
    const int full = errno;
    ::close(filler);
    if (full != ENOSPC) return std::string("not full: ") + std::strerror(full);
    const ino_t before = statOf(path).st_ino;
    if (!becomeUser(kPlayer)) return std::string("cannot become the player");
    const std::string said = mergeTold(path, 500);
    return said + (statOf(path).st_ino == before ? "; in place, " : "; renamed, ") +
           scoreFileOf(path);
  });
  if (result.starts_with("no mount")) GTEST_SKIP() << "this machine lets no test mount: " << result;
  EXPECT_EQ(result, "saved; in place, 500 1 1");
}
