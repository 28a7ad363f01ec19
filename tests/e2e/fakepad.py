"""A pad the tests plug in, move and pull out, seen by the game through Allegro's own Linux
joystick driver: fake_joydev.c, preloaded into the game, answers for /dev/input/js0 as the
kernel's joydev does, from the files this class writes (see that file for their layout).
"""

import os
import struct
import time

JS_EVENT_BUTTON = 0x01
JS_EVENT_AXIS = 0x02
AXIS_MIN, AXIS_MAX = -32767, 32767


def library():
    """The preload library's path, which the build gives the tests in ZEPH_FAKE_JOYDEV."""
    path = os.environ.get("ZEPH_FAKE_JOYDEV")
    if not path or not os.path.exists(path):
        raise RuntimeError("ZEPH_FAKE_JOYDEV must name the built libzeph_fake_joydev.so")
    return path


class FakePad:
    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.plugs = 0
        self.axes = self.buttons = 0
        self.library = library()

    def env(self):
        """What the game's environment needs to see this pad."""
        return {"LD_PRELOAD": self.library, "ZEPH_FAKE_JOYDEV_DIR": self.folder}

    def _path(self, name):
        return os.path.join(self.folder, name)

    def plug(self, axes=2, buttons=4, name="Zeph test pad"):
        """A pad plugged in, centred with no button down; each plug makes a new node."""
        self.plugs += 1
        self.axes, self.buttons = axes, buttons
        open(self._path("events.%d" % self.plugs), "wb").close()
        made = self._path("node.new")
        with open(made, "w") as f:
            f.write("%d %d %d %s\n" % (self.plugs, axes, buttons, name))
        os.rename(made, self._path("node"))

    def pull(self):
        """Pulled out: its reads fail with ENODEV and its node is gone."""
        os.remove(self._path("node"))

    def _event(self, kind, number, value):
        # struct js_event (time, value, type, number) as the kernel hands it out: in the
        # machine's own byte order, 8 bytes without padding.
        record = struct.pack("=IhBB", int(time.monotonic() * 1000) & 0xFFFFFFFF, value, kind,
                             number)
        # One write of the whole record: the game never reads half of one.
        with open(self._path("events.%d" % self.plugs), "ab", buffering=0) as f:
            f.write(record)

    def axis(self, number, value):
        if not 0 <= number < self.axes:
            raise ValueError("the pad has no axis %d" % number)
        self._event(JS_EVENT_AXIS, number, max(-32768, min(32767, value)))

    def button(self, number, pressed):
        if not 0 <= number < self.buttons:
            raise ValueError("the pad has no button %d" % number)
        self._event(JS_EVENT_BUTTON, number, 1 if pressed else 0)

    # Stick 0, as the game reads it: axis 0 horizontal, axis 1 vertical.
    def stick(self, x=0, y=0):
        self.axis(0, x)
        if self.axes > 1:
            self.axis(1, y)

    def press(self, number=0, hold=0.1, after=0.15):
        """A button held long enough for a 60 Hz reader to see it, then released."""
        self.button(number, True)
        time.sleep(hold)
        self.button(number, False)
        time.sleep(after)

    def push(self, x=0, y=0, hold=0.1, after=0.15):
        """The stick pushed and let go to the centre."""
        self.stick(x, y)
        time.sleep(hold)
        self.stick(0, 0)
        time.sleep(after)
