"""The real program with one file of its data folder damaged at a time, in every way a disk, a
copy or a stray link damages one: a pipe, an endless device, a folder, a sparse giant, a file
the player may not read, a cut run-length picture, sound files that are not what their names
say. It never hangs and never grows: a picture gets the start-up box, a sound stays silent with
one line naming it, and a stop signal ends it at every point of its start."""

import os
import shutil
import signal
import struct
import time

from test_game import choose
from zephe2e import DEFAULT_TABLE, Game, Screens, run_tests

PATIENCE = 20  # only catches a hang; how long it took is printed
GIANT = 1 << 30
# The peak memory of a damaged start may exceed a normal one by this much, no more.
MEMORY_MARGIN_KB = 8 * 1024


def check(condition, message):
    if not condition:
        raise AssertionError(message)


# --- damages ----------------------------------------------------------------------------------
def make_fifo(path):
    os.remove(path)
    os.mkfifo(path)


def link_to_zero(path):
    os.remove(path)
    os.symlink("/dev/zero", path)


def make_folder(path):
    os.remove(path)
    os.mkdir(path)


def make_giant(path):
    os.truncate(path, GIANT)  # sparse: its start is the real file's


def make_unreadable(path):
    os.chmod(path, 0)


DAMAGES = [("a pipe", make_fifo, "not a regular file"),
           ("a link to /dev/zero", link_to_zero, "not a regular file"),
           ("a folder", make_folder, "not a regular file"),
           ("a sparse giant", make_giant, "too large"),
           ("unreadable by the player", make_unreadable, "permission denied")]


def rle8_cut(path, keep=1100):
    """The picture as an 8-bit run-length BMP (colours cut to 3-3-2 bits), then cut short."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    palette = b"".join(bytes(((i & 3) * 85, ((i >> 2) & 7) * 36, (i >> 5) * 36, 0))
                       for i in range(256))
    stream = bytearray()
    for y in range(height):  # bottom-up, as stored
        row = data[offset + y * stride:offset + y * stride + width * 3]
        indexes = [(r >> 5) << 5 | (g >> 5) << 2 | b >> 6
                   for b, g, r in zip(row[0::3], row[1::3], row[2::3])]
        x = 0
        while x < width:
            run = 1
            while x + run < width and run < 255 and indexes[x + run] == indexes[x]:
                run += 1
            stream += bytes((run, indexes[x]))
            x += run
        stream += b"\x00\x00"
    stream += b"\x00\x01"
    pixels = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", pixels + len(stream), 0, 0, pixels)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(stream), 2835, 2835,
                       256, 0)
    with open(path, "wb") as f:
        f.write((header + info + palette + bytes(stream))[:keep])


# --- one start ----------------------------------------------------------------------------------
def peak_memory_kb(game):
    with open("/proc/%d/status" % game.proc.pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def start(game, what, player=False):
    """Starts the game; returns ("box", id) or ("window", id) as the first to come up."""
    env = {"HOME": game.tmp} if player else None
    game.start(game.player_command() if player else None, env=env)
    started = time.time()
    first = game.wait_for(lambda: ("box", game.message_box()) if game.message_box() else
                          ("window", game.game_window()) if game.game_window() else None,
                          PATIENCE, "a window or a box (%s)" % what)
    print("  %s: %s after %.2f s" % (what, first[0], time.time() - started))
    return first


def stop(game, what, expected=0):
    game.proc.send_signal(signal.SIGTERM)
    code = game.wait_exit(PATIENCE)
    check(code == expected, "%s: exit code %r after SIGTERM\n%s" % (what, code, game.output()))


def lines_naming(game, name):
    return [line for line in game.output().splitlines() if name in line]


_normal_peak = {}


def normal_peak(game_dir, to_menu):
    """The peak memory of an undamaged start, at the window or in the menu."""
    if to_menu not in _normal_peak:
        with Game(game_dir, highscore=DEFAULT_TABLE) as game:
            start(game, "undamaged")
            game.wait_for_window()
            if to_menu:
                screens = Screens(game)
                game.key_until("Down", lambda: screens.options_row() == 1, "the window row")
                game.key_until("Return", lambda: screens.menu_item() == 0, "the menu")
            _normal_peak[to_menu] = peak_memory_kb(game)
            stop(game, "undamaged")
    return _normal_peak[to_menu]


def check_memory(game, game_dir, what, to_menu=False):
    peak, normal = peak_memory_kb(game), normal_peak(game_dir, to_menu)
    check(peak <= normal + MEMORY_MARGIN_KB,
          "%s: peak memory %d KB, an undamaged start %d KB" % (what, peak, normal))


# --- the tests ------------------------------------------------------------------------------------
def test_a_damaged_picture_gets_the_box_at_once(game_dir):
    damages = DAMAGES + [("a cut run-length picture", rle8_cut, None)]
    for name in ("BG.bmp", "LOADER.BMP"):
        for how, damage, _ in damages:
            what = "%s %s" % (name, how)
            with Game(game_dir, highscore=DEFAULT_TABLE) as game:
                damage(os.path.join(game.folder, name))
                first = start(game, what, player=damage is make_unreadable)
                check(first[0] == "box", "%s: the window opened without the box" % what)
                check_memory(game, game_dir, what)
                check("Missing or damaged game files:\n" + name in game.output(),
                      "%s is not named:\n%s" % (what, game.output()))
                game.dismiss_message_box()
                check(game.wait_exit(PATIENCE) == 1, "%s: exit code after the box" % what)


def test_a_damaged_sound_is_named_once_and_the_game_plays_on(game_dir):
    mp3 = os.path.join(game_dir, "LV07.MP3")  # the smallest track: within an effect's size
    with open(mp3, "rb") as f:
        track = f.read()

    def as_track(path):  # an MP3 under an effect's name
        shutil.copy(mp3, path)

    def junk(path):
        with open(path, "wb") as f:
            f.write(os.urandom(50000))

    def half(path):
        with open(path, "wb") as f:
            f.write(track[:len(track) // 2])

    cases = [(n, h, d, r) for n in ("hs-menu.wav", "TITLE.MP3") for h, d, r in DAMAGES]
    cases += [("hs-menu.wav", "an MP3 under its name", as_track, "damaged"),
              ("TITLE.MP3", "junk", junk, "damaged"),
              ("TITLE.MP3", "cut in half", half, "damaged")]
    for name, how, damage, reason in cases:
        what = "%s %s" % (name, how)
        with Game(game_dir, highscore=DEFAULT_TABLE) as game:
            damage(os.path.join(game.folder, name))
            first = start(game, what, player=damage is make_unreadable)
            check(first[0] == "window", "%s: a box came up\n%s" % (what, game.output()))
            game.wait_for_window()
            screens = Screens(game)
            game.key_until("Down", lambda: screens.options_row() == 1, "the window row")
            # The menu opens the title track, Enter there sounds the effect; twice, so that a
            # second failure of the same file would show.
            game.key_until("Return", lambda: screens.menu_item() == 0, "the menu")
            for _ in range(2):
                choose(game, 3)  # the high score viewer
                game.wait_for(lambda: screens.viewer_page() == 0, PATIENCE, "the viewer")
                game.key_until("Escape", lambda: screens.menu_item() == 0, "the menu again")
            check_memory(game, game_dir, what, to_menu=True)
            stop(game, what)
            named = lines_naming(game, name)
            check(len(named) == 1 and reason in named[0],
                  "%s: expected one line naming it (%s):\n%s" % (what, reason, game.output()))
            check("libmpg123" not in game.output() and "Xing" not in game.output(),
                  "%s: the decoder spoke:\n%s" % (what, game.output()))


def test_a_damaged_window_icon_never_stops_the_start(game_dir):
    for how, damage, _ in DAMAGES:
        what = "ICON.PAM " + how
        with Game(game_dir, highscore=DEFAULT_TABLE) as game:
            damage(os.path.join(game.folder, "ICON.PAM"))
            first = start(game, what, player=damage is make_unreadable)
            check(first[0] == "window", "%s: a box came up\n%s" % (what, game.output()))
            check_memory(game, game_dir, what)
            stop(game, what)


def test_a_stop_signal_ends_the_start_at_every_point(game_dir):
    """SIGTERM a moment after the start, at delays spread over the whole start-up, with every
    file sound and with a picture that brings the box."""
    delays = [0.0, 0.01, 0.03, 0.06, 0.1, 0.15, 0.2, 0.3, 0.45, 0.6, 0.8, 1.0, 1.5, 2.5]
    for damaged in (None, "BG.bmp"):
        for delay in delays:
            what = "SIGTERM after %.2f s%s" % (delay, ", BG.bmp a pipe" if damaged else "")
            with Game(game_dir, highscore=DEFAULT_TABLE) as game:
                if damaged:
                    make_fifo(os.path.join(game.folder, damaged))
                game.start()
                time.sleep(delay)
                game.proc.send_signal(signal.SIGTERM)
                code = game.wait_exit(PATIENCE)
                check(code is not None, "%s: still running\n%s" % (what, game.output()))
                check(code in (0, 1, -signal.SIGTERM), "%s: exit code %r\n%s"
                      % (what, code, game.output()))
                check(not game.message_box(), "%s: the box outlived the game" % what)


if __name__ == "__main__":
    run_tests([
        test_a_damaged_picture_gets_the_box_at_once,
        test_a_damaged_sound_is_named_once_and_the_game_plays_on,
        test_a_damaged_window_icon_never_stops_the_start,
        test_a_stop_signal_ends_the_start_at_every_point,
    ])
