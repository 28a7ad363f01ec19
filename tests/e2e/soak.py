"""Soak test: the real program played at random for minutes, restarted each time it quits.

Each run checks the exit code, that resident memory stays flat, that HIGHSCORE.DAT is a
valid table and that no message box appeared. The seed makes the key sequence replayable.
"""

import argparse
import os
import random
import subprocess
import sys
import threading
import time

from zephe2e import (DEFAULT_TABLE, Game, Screenshot, picture_shown, same_colour, table_bytes,
                     table_entries)

# Memory is left to settle for this long after the window opens: the first menu, the first
# game and the first track allocate what later visits reuse (pictures, mixer buffers, the
# decoder), and the allocator grows its arenas once.
WARM_UP_SECONDS = 15.0
# Growth allowed after the warm-up, between the median of its first and of its last
# samples. The program holds steady here: runs of two minutes end within a few kB of where
# they settled. 1 MB leaves the allocator room to keep a freed picture or decoder buffer,
# and is passed within a run's first ten visits by a screen that leaks one picture (100 to
# 150 kB at 16 bits) a visit, or by a track that leaks its decoder.
RSS_GROWTH_LIMIT_KB = 1024
SAMPLE_SECONDS = 0.25

# Window at the display's corner; a full-screen 640x480 mode is centred on the 1024x768 display.
ORIGINS = ((0, 0), (192, 144))
KEYS_IN_GAME = ["Left", "Right", "Up", "Down", "space", "space", "space"]
# Share of runs that choose full screen on the options screen.
FULL_SCREEN_SHARE = 0.3


class SoakFailure(Exception):
    pass


def check_table(data):
    """What the file format and the game's own insertion guarantee about HIGHSCORE.DAT."""
    if data is None:
        return "HIGHSCORE.DAT is missing"
    if len(data) != 94:
        return "HIGHSCORE.DAT holds %d bytes, not 94" % len(data)
    entries = table_entries(data)
    expected = table_bytes(entries)
    if data != expected:
        return "HIGHSCORE.DAT checksum %r, its entries sum to %r" % (data[90:], expected[90:])
    for k, (letters, _) in enumerate(entries):
        if not all(0 <= letter <= 26 for letter in letters):
            return "HIGHSCORE.DAT entry %d has letters %r outside 0..26" % (k, letters)
    # From the default table on, every score is inserted above the first smaller one.
    for mode in range(3):
        scores = [entries[3 * mode + rank][1] for rank in range(3)]
        if scores != sorted(scores, reverse=True):
            return "HIGHSCORE.DAT mode %d scores out of order: %r" % (mode, scores)
    return None


class RssSampler(threading.Thread):
    """VmRSS of one process, every SAMPLE_SECONDS, as (seconds since start, kB)."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid = pid
        self.samples = []
        self.started = time.time()
        self.stopping = threading.Event()

    def run(self):
        path = "/proc/%d/status" % self.pid
        while not self.stopping.is_set():
            try:
                with open(path) as f:
                    for line in f:
                        if line.startswith("VmRSS:"):
                            self.samples.append((time.time() - self.started,
                                                 int(line.split()[1])))
                            break
            except OSError:
                return  # the process is gone
            self.stopping.wait(SAMPLE_SECONDS)

    def stop(self):
        self.stopping.set()
        self.join(5)


def median(values):
    ordered = sorted(values)
    return ordered[len(ordered) // 2]


def rss_growth(samples):
    """(baseline kB, final kB, peak kB) after the warm-up, or None for a run too short."""
    settled = [kb for t, kb in samples if t >= WARM_UP_SECONDS]
    if len(settled) < 20:
        return None
    edge = max(5, len(settled) // 10)
    return median(settled[:edge]), median(settled[-edge:]), max(settled)


def rss_series(samples, every=4.0):
    """The samples thinned to one every few seconds, for a failure message."""
    shown, next_at = [], 0.0
    for t, kb in samples:
        if t >= next_at:
            shown.append("%.0fs:%.1fMB" % (t, kb / 1024))
            next_at = t + every
    return " ".join(shown)


class Player:
    """Random keys for one program run, steered by what the screen shows."""

    def __init__(self, game, rng, log):
        self.game, self.rng, self.log = game, rng, log
        self.menu = game.bitmap("menu.bmp")
        self.loader = game.bitmap("LOADER.BMP")
        self.entry = game.bitmap("highscore.bmp")
        self.playfield = game.bitmap("playfield.bmp")
        self.counts = {}

    def count(self, what):
        self.counts[what] = self.counts.get(what, 0) + 1

    def press(self, name, hold=None, after=None):
        self.log.append(name)
        hold = self.rng.uniform(0.03, 0.3) if hold is None else hold
        after = self.rng.uniform(0.05, 0.25) if after is None else after
        self.game.key(name, hold, after)

    # --- what is on screen ------------------------------------------------------------
    def screen(self):
        """('options'|'menu'|'game'|'entry'|'viewer'|None, menu cursor or None)."""
        data = subprocess.run(["xwd", "-root", "-silent"], env=self.game.env,
                              stdout=subprocess.PIPE, timeout=30).stdout
        if not data:
            return None, None
        shot = Screenshot(data, ORIGINS[0])
        half = self.menu.width // 2
        for origin in ORIGINS:
            shot.origin = origin
            # The panel right of the board: only its few numbers change.
            panel = [same_colour(shot.pixel(x, y), self.playfield.pixel(x, y))
                     for y in range(2, 238, 8) for x in range(164, 318, 8)]
            if sum(panel) > 0.75 * len(panel):
                return "game", None
            w = self.loader.width
            if picture_shown(shot, self.loader, 0, 64, w, 32, (320 - w) // 2, 35) > 0.85:
                return "options", None
            w = self.entry.width
            if picture_shown(shot, self.entry, 0, 0, w, 32, (320 - w) // 2, 20) > 0.85:
                return "entry", None
            quit_row = max(picture_shown(shot, self.menu, sx, 128, half, 32, 16, 144)
                           for sx in (0, half))
            if quit_row > 0.85:
                for row in range(5):
                    if picture_shown(shot, self.menu, 0, 32 * row, half, 32, 16,
                                     16 + 32 * row) > 0.85:
                        return "menu", row
                return "menu", None
            if picture_shown(shot, self.menu, 0, 96, half, 32, 16, 16) > 0.85:
                return "viewer", None
        return None, None

    # --- one screen's worth of keys -----------------------------------------------------
    def options(self, quitting):
        self.count("options")
        if quitting:
            self.press("Escape")
            return
        row = 0
        for _ in range(self.rng.randrange(0, 5)):
            # Music or effects stay on in most runs: they are what the sound layer exercises.
            key = self.rng.choice(["m", "s", "j", "j", "Up", "Down", "Up", "Down"])
            if key in ("Up", "Down"):
                row ^= 1
            self.press(key)
        full_screen = self.rng.random() < FULL_SCREEN_SHARE
        if row != (0 if full_screen else 1):
            self.press("Down")
        self.count("full screen" if full_screen else "window")
        self.press(self.rng.choice(["Return", "space"]))

    def menu_choice(self, cursor, quitting):
        self.count("menu")
        if quitting:
            target = 4
        else:
            roll = self.rng.random()
            if roll < 0.15:
                self.count("F10")
                self.press("F10", hold=self.rng.uniform(0.03, 0.15))
                return
            if roll < 0.25:
                for _ in range(self.rng.randrange(1, 4)):
                    self.press(self.rng.choice(["Up", "Down"]))
                return
            target = self.rng.choice([0, 0, 1, 1, 2, 2, 3])
        if quitting and self.rng.random() < 0.5:
            self.count("quit")
            self.press("Escape")
            return
        if cursor is None:  # not read from the screen: from the top
            for _ in range(4):
                self.press("Up")
            cursor = 0
        for _ in range(abs(target - cursor)):
            self.press("Down" if target > cursor else "Up")
        self.count(["Collect", "Score", "TimeAttack", "viewer", "quit"][target])
        self.press(self.rng.choice(["Return", "space"]) if target < 4 else "Return")

    def play(self, quitting):
        if quitting or self.rng.random() < 0.12:
            self.press("Escape")
            return
        until = time.time() + self.rng.uniform(1.0, 5.0)
        while time.time() < until:
            self.press(self.rng.choice(KEYS_IN_GAME), hold=self.rng.uniform(0.02, 0.6),
                       after=self.rng.uniform(0.0, 0.3))

    def initials(self):
        self.count("initials")
        roll = self.rng.random()
        if roll < 0.1:
            self.press("Escape")  # clears the letters taken so far
            return
        for _ in range(self.rng.randrange(0, 6)):
            self.press(self.rng.choice(["Left", "Right"]))
        self.press(self.rng.choice(["Return", "space"]))

    def viewer(self):
        self.count("viewer pages")
        for _ in range(self.rng.randrange(0, 4)):
            self.press(self.rng.choice(["Left", "Right"]))
        self.press(self.rng.choice(["Return", "space", "Escape"]))


def one_run(game, rng, index, seconds):
    """Starts the program, plays until `seconds` have passed, quits, and checks the run."""
    disk = rng.random() < 0.25
    if disk:
        game.env["SDL_AUDIODRIVER"] = "disk"
        game.env["SDL_DISKAUDIOFILE"] = game.audio_file
    else:
        game.env["SDL_AUDIODRIVER"] = "dummy"
        game.env.pop("SDL_DISKAUDIOFILE", None)
    for stream in ("stdout", "stderr"):
        if hasattr(game, stream):
            getattr(game, stream).close()
    game.start()
    sampler = None
    log = []
    player = Player(game, rng, log)
    try:
        game.wait_for_window()
        sampler = RssSampler(game.proc.pid)
        sampler.start()
        deadline = time.time() + seconds
        unknown_since = None
        while game.proc.poll() is None:
            if game.message_box():
                raise SoakFailure("a message box appeared: %r"
                                  % game.message_text(game.message_box()))
            quitting = time.time() > deadline
            if time.time() > deadline + 90:
                raise SoakFailure("the program did not quit within 90 s of being asked")
            state, cursor = player.screen()
            if game.proc.poll() is not None:
                break
            if state is None:
                # Between screens, or a game's picture that covers the playfield.
                unknown_since = unknown_since or time.time()
                if time.time() - unknown_since > 20:
                    picture = os.path.join(os.getcwd(), "soak-unknown-screen.png")
                    game.save_png(picture)
                    raise SoakFailure("no known screen for 20 s (display saved as %s when "
                                      "ImageMagick is there)" % picture)
                time.sleep(0.2)
                continue
            unknown_since = None
            if state == "options":
                player.options(quitting)
            elif state == "menu":
                player.menu_choice(cursor, quitting)
            elif state == "game":
                player.play(quitting)
            elif state == "entry":
                player.initials()
            elif state == "viewer":
                player.viewer()
        code = game.wait_exit(20)
        if code != 0:
            raise SoakFailure("exit code %r" % code)
        problem = check_table(game.file("HIGHSCORE.DAT"))
        if problem:
            raise SoakFailure(problem)
        if game.message_box():
            raise SoakFailure("a message box is open after the program ended")
    except (SoakFailure, AssertionError) as error:
        raise SoakFailure("run %d (%s audio): %s\nlast keys: %s\nRSS: %s\noutput:\n%s"
                          % (index, "disk" if disk else "dummy", error, " ".join(log[-30:]),
                             rss_series(sampler.samples if sampler else []),
                             game.output())) from None
    finally:
        if sampler:
            sampler.stop()
        if game.proc.poll() is None:
            game.proc.kill()
            game.proc.wait(10)
        if os.path.exists(game.audio_file):
            os.remove(game.audio_file)

    samples = sampler.samples
    growth = rss_growth(samples)
    summary = ", ".join("%s %d" % item for item in sorted(player.counts.items()))
    elapsed = samples[-1][0] if samples else 0.0
    if growth is None:
        print("run %d: %.0f s, %s audio, %s; too short for the memory check"
              % (index, elapsed, "disk" if disk else "dummy", summary), flush=True)
        return None
    base, last, peak = growth
    print("run %d: %.0f s, %s audio, %s; RSS after warm-up %.1f MB -> %.1f MB "
          "(%+.0f kB, peak %.1f MB)" % (index, elapsed, "disk" if disk else "dummy", summary,
                                        base / 1024, last / 1024, last - base, peak / 1024),
          flush=True)
    if last - base > RSS_GROWTH_LIMIT_KB:
        raise SoakFailure("run %d: resident memory grew %d kB after the warm-up (limit %d kB)\n"
                          "RSS: %s" % (index, last - base, RSS_GROWTH_LIMIT_KB,
                                       rss_series(samples)))
    return base, last, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("game_dir", help="the built game folder (build/release/game)")
    parser.add_argument("--minutes", type=float, default=10.0, help="how long to play in all")
    parser.add_argument("--seed", type=int, default=None, help="replay the keys of a seed")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(2 ** 32)
    print("soak: seed %d, %g minutes (replay with --seed %d)" % (seed, args.minutes, seed),
          flush=True)
    rng = random.Random(seed)
    finish = time.time() + 60 * args.minutes
    results = []
    runs = 0
    with Game(args.game_dir, highscore=DEFAULT_TABLE) as game:
        try:
            while time.time() < finish:
                runs += 1
                left = finish - time.time()
                # Mostly long runs, so that memory has time to show a leak; the last one
                # fits what is left.
                seconds = min(left, rng.uniform(60.0, 240.0))
                if rng.random() < 0.1:
                    seconds = 0  # quit on the first screen
                results.append(one_run(game, rng, runs, seconds))
        except SoakFailure as failure:
            print("soak: FAILED, seed %d\n%s" % (seed, failure), flush=True)
            return 1
    checked = [r for r in results if r]
    if checked:
        print("soak: %d runs, every exit 0, table valid, no message box; RSS growth after "
              "warm-up %+.0f..%+.0f kB (limit %d kB), peak %.1f MB"
              % (runs, min(b - a for a, b, _ in checked), max(b - a for a, b, _ in checked),
                 RSS_GROWTH_LIMIT_KB, max(p for _, _, p in checked) / 1024), flush=True)
    else:
        print("soak: %d runs, every exit 0, table valid, no message box; none long enough "
              "for the memory check" % runs, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
