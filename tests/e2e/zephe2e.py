"""End-to-end harness: the real zeph binary in a private game folder under Xvfb.

Keys go in through xdotool, frames come out of xwd, sound out of SDL's disk driver.
"""

import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

FRAME_W, FRAME_H = 320, 240


def _run(args, env=None, check=False):
    return subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, check=check, timeout=30)


class Xvfb:
    """A private virtual display, numbered by the server itself.

    -noreset: by default the server resets when its last client leaves, and a game that
    connects just after a message box closed would see its connection reset.
    """

    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-noreset"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait(10)


class Screenshot:
    """The root window as read by xwd, addressed in frame (320x240) coordinates."""

    def __init__(self, data, origin):
        header = struct.unpack(">25I", data[:100])
        header_size, _, _, depth, width, height = header[:6]
        self.byte_order, bits_per_pixel, self.line_bytes = header[7], header[11], header[12]
        ncolors = header[19]
        # Xvfb's 24-bit visual comes packed (24 bits a pixel) or in 32-bit words.
        if depth != 24 or bits_per_pixel not in (24, 32):
            raise RuntimeError("expected a 24-bit visual, got %d/%d" % (depth, bits_per_pixel))
        self.stride = bits_per_pixel // 8
        self.width, self.height = width, height
        self.pixels = data[header_size + 12 * ncolors:]
        self.origin = origin

    def window_pixel(self, x, y):
        offset = y * self.line_bytes + self.stride * x
        b = self.pixels[offset:offset + 4]
        if self.byte_order == 0:  # LSBFirst: B G R x
            return (b[2], b[1], b[0])
        return (b[1], b[2], b[3])

    def pixel(self, x, y):
        """Frame pixel (x, y): the window shows the 320x240 frame stretched 2x."""
        return self.window_pixel(self.origin[0] + 2 * x, self.origin[1] + 2 * y)

    def region_colors(self, x0, y0, x1, y1, step=2):
        return {self.pixel(x, y) for y in range(y0, y1, step) for x in range(x0, x1, step)}


class Bitmap:
    """A 24-bit BMP from the game folder, to know what a picture looks like on screen."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        offset, = struct.unpack_from("<I", data, 10)
        self.width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
        if bits != 24:
            raise RuntimeError("%s: expected 24 bits per pixel" % path)
        self.height = abs(height)
        self.bottom_up = height > 0
        self.stride = (self.width * 3 + 3) & ~3
        self.data, self.offset = data, offset

    def pixel(self, x, y):
        row = self.height - 1 - y if self.bottom_up else y
        i = self.offset + row * self.stride + 3 * x
        b, g, r = self.data[i:i + 3]
        return (r, g, b)


# Rows (top first, bit 7 the left pixel) of the glyphs of Allegro's built-in 8x8 font that the
# tests read, as textout draws them.
FONT_GLYPHS = {
    " ": (0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00),
    "E": (0xFE, 0x62, 0x68, 0x78, 0x68, 0x62, 0xFE, 0x00),
    "a": (0x00, 0x00, 0x78, 0x0C, 0x7C, 0xCC, 0x76, 0x00),
    "b": (0xE0, 0x60, 0x60, 0x7C, 0x66, 0x66, 0xDC, 0x00),
    "c": (0x00, 0x00, 0x78, 0xCC, 0xC0, 0xCC, 0x78, 0x00),
    "e": (0x00, 0x00, 0x78, 0xCC, 0xFC, 0xC0, 0x78, 0x00),
    "i": (0x30, 0x00, 0x70, 0x30, 0x30, 0x30, 0x78, 0x00),
    "l": (0x70, 0x30, 0x30, 0x30, 0x30, 0x30, 0x78, 0x00),
    "m": (0x00, 0x00, 0xCC, 0xFE, 0xFE, 0xD6, 0xD6, 0x00),
    "n": (0x00, 0x00, 0xB8, 0xCC, 0xCC, 0xCC, 0xCC, 0x00),
    "s": (0x00, 0x00, 0x7C, 0xC0, 0x70, 0x1C, 0xF8, 0x00),
    "u": (0x00, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0x76, 0x00),
}


def text_pixels(text, x, y):
    """The frame pixels that textout with Allegro's font sets for `text` drawn at (x, y)."""
    pixels = set()
    for index, char in enumerate(text):
        for row, bits in enumerate(FONT_GLYPHS[char]):
            for column in range(8):
                if bits & (0x80 >> column):
                    pixels.add((x + 8 * index + column, y + row))
    return pixels


# HIGHSCORE.DAT with the default tables: nine entries "..." scoring 1, and their checksum.
DEFAULT_TABLE = bytes([0, 0, 0, 0, 0, 0, 1, 0, 0, 0]) * 9 + bytes([0x1B, 0, 0, 0])


def table_bytes(entries):
    """HIGHSCORE.DAT for nine (letters, score) entries in file order."""
    data = b""
    total = 0
    for k, (letters, score) in enumerate(entries):
        data += struct.pack("<hhhI", *letters, score)
        total += 7 * sum(letters) + k // 3 + 2 * score
    return data + struct.pack("<I", total % 2**32)


def table_entries(data):
    """The nine (letters, score) entries of a HIGHSCORE.DAT image, in file order."""
    return [(struct.unpack_from("<hhh", data, 10 * k),
             struct.unpack_from("<I", data, 10 * k + 6)[0]) for k in range(9)]


def same_colour(a, b, tolerance=12):
    """Equal within what the 16-bit frame keeps of a colour."""
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def picture_shown(shot, bitmap, sx, sy, w, h, dx, dy):
    """Share of the picture's opaque pixels (magenta is the mask) that the frame shows at
    (dx, dy): near 1 when that part of the picture is on screen."""
    hits = total = 0
    for y in range(0, h, 2):
        for x in range(0, w, 2):
            pixel = bitmap.pixel(sx + x, sy + y)
            if pixel == (255, 0, 255):
                continue
            total += 1
            hits += same_colour(shot.pixel(dx + x, dy + y), pixel)
    return hits / max(total, 1)


PLAYER = 65534  # an ordinary user: CI runs as root, the game must work for a player


class Screens:
    """What the frame shows, read from the game's own pictures."""

    def __init__(self, game):
        self.game = game
        self.loader = game.bitmap("LOADER.BMP")
        self.gamepad = game.bitmap("GAMEPAD.BMP")
        self.menu = game.bitmap("menu.bmp")
        self.blocks = game.bitmap("blocks.bmp")
        self.playfield = game.bitmap("playfield.bmp")
        self.alpha = game.bitmap("alpha.bmp")

    def _shown(self, bitmap, sx, sy, w, h, dx, dy, shot=None):
        return picture_shown(shot or self.game.screenshot(), bitmap, sx, sy, w, h, dx, dy) > 0.9

    def options_row(self):
        """The highlighted row of the options screen: 0 full screen, 1 window, or None."""
        shot = self.game.screenshot()
        half = self.loader.width // 2
        rows = [r for r in range(2)
                if self._shown(self.loader, 0, 32 * r, half, 32, (320 - half) // 2, 100 + 32 * r,
                               shot)]
        return rows[0] if len(rows) == 1 else None

    def pad_state(self):
        """"on" or "off" as the options screen's gamepad line says, or None."""
        shot = self.game.screenshot()
        w = self.gamepad.width
        for state, row in (("on", 1), ("off", 2)):
            if self._shown(self.gamepad, 0, 32 * row, w, 32, 101, 206, shot):
                return state
        return None

    def menu_item(self):
        shot = self.game.screenshot()
        half = self.menu.width // 2
        items = [i for i in range(5)
                 if self._shown(self.menu, 0, 32 * i, half, 32, 16, 16 + 32 * i, shot)]
        return items[0] if len(items) == 1 else None

    def viewer_page(self):
        """The table the viewer shows (its heading is the menu's High Scores row), or None."""
        shot = self.game.screenshot()
        half = self.menu.width // 2
        if not self._shown(self.menu, 0, 96, half, 32, 16, 16, shot):
            return None
        pages = [p for p in range(3) if self._shown(self.menu, 0, 32 * p, half, 32, 16, 48, shot)]
        return pages[0] if len(pages) == 1 else None

    def _glyph_at(self, shot, x, y):
        """The highlighted glyph of alpha.bmp drawn at (x, y), or None."""
        scores = [picture_shown(shot, self.alpha, 32 * g, 0, 32, 32, x, y)
                  for g in range(self.alpha.width // 32)]
        best = max(range(len(scores)), key=lambda g: scores[g])
        return best if scores[best] > 0.9 else None

    def initials(self):
        """(letters taken, glyph under the cursor) of the initials entry."""
        shot = self.game.screenshot()
        taken = [self._glyph_at(shot, 112 + 32 * slot, 112) for slot in range(3)]
        return (tuple(g for g in taken if g is not None), self._glyph_at(shot, 144, 160))

    def in_game(self):
        shot = self.game.screenshot()
        return all(same_colour(shot.pixel(x, y), self.playfield.pixel(x, y))
                   for x, y in [(10, 10), (80, 100), (300, 120), (200, 230)])

    def column(self):
        return (self.cannon() or (None, None))[0]

    def colour(self):
        return (self.cannon() or (None, None))[1]

    def cannon(self):
        """(column, colour) of the cannon, or None before play."""
        shot = self.game.screenshot()
        for column in range(5):
            for colour in range(4):
                if self._shown(self.blocks, 32, 32 * colour, 32, 32, 32 * column, 206, shot):
                    return (column, colour)
        return None


class Game:
    """One run of zeph in a private copy of the game folder."""

    def __init__(self, game_dir, highscore=None, remove=(), env=None, display=True,
                 audio="dummy"):
        self.tmp = tempfile.mkdtemp(prefix="zeph-e2e-")
        self.folder = os.path.join(self.tmp, "game")
        # Without a game folder the caller starts an installed game (start's command).
        if game_dir is not None:
            shutil.copytree(game_dir, self.folder)
            hs = os.path.join(self.folder, "HIGHSCORE.DAT")
            if os.path.exists(hs):
                os.remove(hs)
            if highscore is not None:
                with open(hs, "wb") as f:
                    f.write(highscore)
            for name in remove:
                os.remove(os.path.join(self.folder, name))
        self.xvfb = Xvfb() if display else None
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("SDL_")}
        self.env.pop("DISPLAY", None)
        if self.xvfb:
            self.env["DISPLAY"] = self.xvfb.display
        self.audio_file = os.path.join(self.tmp, "audio.raw")
        if audio == "disk":
            self.env["SDL_AUDIODRIVER"] = "disk"
            self.env["SDL_DISKAUDIOFILE"] = self.audio_file
        elif audio:
            self.env["SDL_AUDIODRIVER"] = audio
        self.env.update(env or {})
        self.proc = None
        self.window = None

    # --- process -------------------------------------------------------------------------
    def start(self, command=None, cwd=None, env=None):
        """Starts the private copy, or command (a launcher, perhaps run as another user);
        env adds to the program's environment only, not to the helpers' (xdotool, xwd)."""
        self.stdout = open(os.path.join(self.tmp, "stdout"), "w")
        self.stderr = open(os.path.join(self.tmp, "stderr"), "w")
        # Started from another directory: the game must find its files beside itself.
        self.started = time.time()
        self.proc = subprocess.Popen(command or [os.path.join(self.folder, "zeph")],
                                     env=dict(self.env, **(env or {})), cwd=cwd or self.tmp,
                                     stdout=self.stdout, stderr=self.stderr)
        return self

    def player_command(self, uid=PLAYER):
        """The private copy handed to an ordinary player (its folder theirs, the way to it
        open), and the command that starts it as them."""
        os.chmod(self.tmp, 0o755)
        for folder, _, names in os.walk(self.folder):
            os.lchown(folder, uid, uid)
            for name in names:
                os.lchown(os.path.join(folder, name), uid, uid)
        return ["setpriv", "--reuid=%d" % uid, "--regid=%d" % uid, "--clear-groups",
                os.path.join(self.folder, "zeph")]

    def wait_exit(self, timeout=20):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        self.stdout.flush()
        self.stderr.flush()
        with open(os.path.join(self.tmp, "stdout")) as out, \
                open(os.path.join(self.tmp, "stderr")) as err:
            return out.read() + err.read()

    def close(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)
        if self.xvfb:
            self.xvfb.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def bitmap(self, name):
        return Bitmap(os.path.join(self.folder, name))

    def file(self, name):
        path = os.path.join(self.folder, name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    # --- windows -------------------------------------------------------------------------
    def _search(self, *args):
        result = _run(["xdotool", "search"] + list(args), env=self.env)
        return [int(w) for w in result.stdout.split()]

    def wait_for(self, predicate, timeout=15, what="condition"):
        deadline = time.time() + timeout
        while time.time() < deadline:
            value = predicate()
            if value:
                return value
            if self.proc and self.proc.poll() is not None:
                raise AssertionError("zeph exited with %s while waiting for %s\n%s"
                                     % (self.proc.returncode, what, self.output()))
            time.sleep(0.1)
        raise AssertionError("timed out waiting for " + what + "\n" + self.output())

    def message_box(self):
        boxes = self._search("--onlyvisible", "--class", "Xmessage")
        return boxes[0] if boxes else None

    def message_text(self, box):
        return _run(["xdotool", "getwindowname", str(box)], env=self.env).stdout.strip()

    def dismiss_message_box(self, timeout=15):
        box = self.wait_for(self.message_box, timeout, "a message box")
        _run(["xdotool", "key", "--window", str(box), "Return"], env=self.env)
        self.wait_for(lambda: not self.message_box(), 10, "the message box to close")
        return box

    def game_window(self):
        windows = self._search("--onlyvisible", "--name", "^Zeph v1.1$")
        return windows[0] if windows else None

    def wait_for_window(self, timeout=15):
        self.window = self.wait_for(self.game_window, timeout, "the game window")
        _run(["xdotool", "mousemove", "--window", str(self.window), "320", "240"],
             env=self.env)
        return self.window

    def window_geometry(self):
        out = _run(["xdotool", "getwindowgeometry", "--shell", str(self.window)],
                   env=self.env).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return (int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                int(values["HEIGHT"]))

    # --- input ---------------------------------------------------------------------------
    def key(self, name, hold=0.1, after=0.1):
        """Holds a key long enough for a 60 Hz reader to see it."""
        _run(["xdotool", "keydown", name], env=self.env)
        time.sleep(hold)
        _run(["xdotool", "keyup", name], env=self.env)
        time.sleep(after)

    def key_until(self, name, done, what, timeout=15):
        """Holds a key until done() says the screen took it, then lets go: a front-end screen
        acts once however long a key is held, and a busy machine may miss a short press."""
        _run(["xdotool", "keydown", name], env=self.env)
        try:
            self.wait_for(done, timeout, what)
        finally:
            _run(["xdotool", "keyup", name], env=self.env)
            time.sleep(0.15)  # the release must be seen before the next press

    def keys(self, *names, hold=0.1, after=0.15):
        for name in names:
            self.key(name, hold, after)

    # --- output --------------------------------------------------------------------------
    def screenshot(self):
        data = subprocess.run(["xwd", "-root", "-silent"], env=self.env,
                              stdout=subprocess.PIPE, check=True, timeout=30).stdout
        x, y, _, _ = self.window_geometry()
        return Screenshot(data, (x, y))

    def save_png(self, path):
        """For a person to look at; needs ImageMagick, silently skipped without it."""
        xwd = subprocess.run(["xwd", "-root", "-silent"], env=self.env,
                             stdout=subprocess.PIPE, timeout=30).stdout
        if shutil.which("convert"):
            subprocess.run(["convert", "xwd:-", path], input=xwd, timeout=30)

    def seconds(self):
        """Seconds since the program started."""
        return time.time() - self.started

    def audio_mark(self):
        """Where the audio capture stands now, in seconds of sound.

        SDL's disk driver runs a little slower than the clock, so sound is placed by how
        much of it has been written, not by the time that has passed.
        """
        return os.path.getsize(self.audio_file) / (4 * 44100)

    def audio_level(self, start, end):
        """RMS of the captured output between two audio marks."""
        with open(self.audio_file, "rb") as f:
            f.seek(4 * int(44100 * start))
            data = f.read(4 * int(44100 * (end - start)))
        count = len(data) // 2
        if count == 0:
            raise AssertionError("no audio captured between %.1f and %.1f s" % (start, end))
        # The game opens the mixer in the machine's own byte order, and the disk driver
        # writes what the mixer gives it.
        samples = struct.unpack("=%dh" % count, data[:2 * count])
        return (sum(s * s for s in samples) / count) ** 0.5

    def audio_bytes(self, start, end=None):
        """The captured output (16-bit stereo frames) between two audio marks."""
        with open(self.audio_file, "rb") as f:
            f.seek(4 * int(44100 * start))
            data = f.read() if end is None else f.read(4 * int(44100 * (end - start)))
        return data[:len(data) // 4 * 4]

    def first_sound(self, start):
        """Audio mark of the first frame after `start` that is not digital silence, or None."""
        data = self.audio_bytes(start)
        silent = len(data) - len(data.lstrip(b"\0"))
        if silent == len(data):
            return None
        return start + silent // 4 / 44100

    def find_audio(self, frames, start, end):
        """Audio mark where the captured output between two marks holds exactly these frames
        (bytes of audio_bytes), or None."""
        data = self.audio_bytes(start, end)
        offset = data.find(frames)
        while offset >= 0 and offset % 4:
            offset = data.find(frames, offset + 1)
        return None if offset < 0 else start + offset / (4 * 44100)

    def audio_levels(self, window_seconds=0.1):
        """RMS of each window of the captured output (44.1 kHz, 16-bit stereo)."""
        with open(self.audio_file, "rb") as f:
            data = f.read()
        frame = 4
        per_window = int(44100 * window_seconds)
        levels = []
        count = len(data) // frame
        samples = struct.unpack("=%dh" % (count * 2), data[:count * frame])  # native order
        for start in range(0, count - per_window + 1, per_window):
            chunk = samples[2 * start:2 * (start + per_window)]
            levels.append((sum(s * s for s in chunk) / len(chunk)) ** 0.5)
        return levels


def run_tests(tests):
    """Runs test functions given the game folder from argv; prints an 'N passed, N failed' line."""
    game_dir = sys.argv[1]
    passed = failed = 0
    for test in tests:
        started = time.time()
        try:
            test(game_dir)
            passed += 1
            print("PASS %s (%.1f s)" % (test.__name__, time.time() - started), flush=True)
        except Exception as error:  # report every failure, run the rest
            failed += 1
            print("FAIL %s: %s" % (test.__name__, error), flush=True)
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)
