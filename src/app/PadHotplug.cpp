// The pad's hot-plug. Allegro's Linux driver opens the pad once at install and, when it is
// pulled out, keeps its last state forever; so the device node is watched here: a pad in use
// every tick (a press it held would repeat), an absent or switched-off one once a second.
#include "app/PadHotplug.h"

#include <allegro.h>
#include <sys/stat.h>

#include <chrono>

#include "app/PadHotplugSeam.h"
#include "app/Settings.h"

namespace {
constexpr int64_t kSlowCheckMs = 1000;

// A node made anew (a pad plugged in again) differs in inode or change time from the old one.
struct Node {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  int64_t changedNs = 0;
  bool operator==(const Node&) const = default;
};

int installAutodetected() { return install_joystick(JOY_TYPE_AUTODETECT); }

int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

const PadSurroundings kSystem{{"/dev/input/js0", "/dev/js0"}, installAutodetected, steadyMs};

PadSurroundings surroundings = kSystem;
bool watching = false;
bool switchedOff = false;  // by J: a pad plugged in later stays off
Node openedNode;           // the node of the pad the driver has open
Node refusedNode;          // a node the driver could not take: tried again once it changes
int64_t lastCheckMs = 0;

Node findNode() {
  for (const char* path : surroundings.nodePaths) {
    struct stat info {};
    if (path && stat(path, &info) == 0)
      return {true, info.st_rdev, info.st_ino,
              int64_t{info.st_ctim.tv_sec} * 1'000'000'000 + info.st_ctim.tv_nsec};
  }
  return {};
}

void letGoOfPad() {
  // Allegro clears joy[] here: whatever the pad held when it went is released.
  remove_joystick();
  openedNode = {};
  gamepadEnabled = 0;
}

void takeUpPad(const Node& node) {
  // The driver installed last time (perhaps the "no joystick" one) must go first.
  remove_joystick();
  surroundings.installJoystick();
  if (num_joysticks == 0) {
    refusedNode = node;
    return;
  }
  openedNode = node;
  refusedNode = {};
  gamepadEnabled = switchedOff ? 0 : 1;
}
}  // namespace

void setPadSurroundings(const PadSurroundings* replacement) {
  surroundings = replacement ? *replacement : kSystem;
  if (!surroundings.installJoystick) surroundings.installJoystick = kSystem.installJoystick;
  if (!surroundings.nowMs) surroundings.nowMs = kSystem.nowMs;
}

void startGamepad() {
  surroundings.installJoystick();
  // A pad opened through a node we cannot see is never let go of: its node never changes.
  const Node node = findNode();
  openedNode = num_joysticks > 0 ? node : Node{};
  refusedNode = num_joysticks > 0 ? Node{} : node;
  gamepadEnabled = num_joysticks > 0 ? 1 : 0;
  switchedOff = false;
  watching = true;
  lastCheckMs = surroundings.nowMs();
}

void stopGamepad() {
  remove_joystick();
  watching = false;
  openedNode = refusedNode = {};
}

void keepGamepadInStep() {
  if (!watching) return;
  const bool inUse = num_joysticks > 0 && gamepadEnabled;
  const int64_t now = surroundings.nowMs();
  if (!inUse && now - lastCheckMs < kSlowCheckMs) return;
  lastCheckMs = now;

  const Node node = findNode();
  if (num_joysticks > 0) {
    if (node == openedNode) return;
    letGoOfPad();
  }
  if (node.present && node != refusedNode) takeUpPad(node);
}

void switchGamepad() {
  gamepadEnabled = gamepadEnabled ? 0 : 1;
  switchedOff = gamepadEnabled == 0;
}
