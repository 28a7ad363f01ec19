"""The game's sound through a real PulseAudio server that goes away and comes back.

The test runs its own server (Debian's pulseaudio, as the ordinary user 65534 with a private
runtime folder and home, one null sink) and the game as that user under Xvfb; what the game
plays is captured from the sink's monitor with parec.
"""

import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time

from zephe2e import DEFAULT_TABLE, PLAYER, Game, Screens, run_tests

RATE = 44100
AS_PLAYER = ["setpriv", "--reuid=%d" % PLAYER, "--regid=%d" % PLAYER, "--clear-groups"]
QUIET = 30  # RMS of 16-bit samples below which the sink is taken as silent
PATIENCE = 20  # waits follow the game; this only catches one that never gets there


class SoundServer:
    """A private PulseAudio of the player's, with a null sink named zeph."""

    def __init__(self):
        self.home = tempfile.mkdtemp(prefix="zeph-pulse-")
        os.chown(self.home, PLAYER, PLAYER)
        os.chmod(self.home, 0o700)
        # No client may start a server of its own: the test decides when there is one.
        conf = os.path.join(self.home, "client.conf")
        with open(conf, "w") as f:
            f.write("autospawn = no\n")
        os.chown(conf, PLAYER, PLAYER)
        self.env = {"HOME": self.home, "XDG_RUNTIME_DIR": self.home, "PULSE_CLIENTCONFIG": conf,
                    "PATH": os.environ.get("PATH", "/usr/bin:/bin")}
        self.proc = None
        self.capture = None

    def command(self, args):
        return AS_PLAYER + ["env", "-i"] + ["%s=%s" % kv for kv in self.env.items()] + args

    def start(self):
        self.proc = subprocess.Popen(
            self.command(["pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no",
                          "--exit-idle-time=-1", "--system=no", "--disable-shm=yes",
                          "--log-level=error", "-L", "module-native-protocol-unix",
                          "-L", "module-null-sink sink_name=zeph"]),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 20
        while time.time() < deadline:
            if subprocess.run(self.command(["pactl", "info"]), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return
            if self.proc.poll() is not None:
                raise AssertionError("pulseaudio exited with %s" % self.proc.returncode)
            time.sleep(0.1)
        raise AssertionError("pulseaudio did not answer")

    def kill(self):
        self.stop_capture()
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)

    def start_capture(self):
        """Records the sink's monitor from now on; returns the file."""
        self.capture_file = os.path.join(self.home, "capture-%f.raw" % time.time())
        self.capture_out = open(self.capture_file, "wb")
        self.capture = subprocess.Popen(
            self.command(["parec", "-d", "zeph.monitor", "--format=s16le", "--rate=%d" % RATE,
                          "--channels=2", "--latency-msec=20"]),
            stdout=self.capture_out, stderr=subprocess.DEVNULL)
        self.capture_started = time.time()

    def stop_capture(self):
        if self.capture and self.capture.poll() is None:
            self.capture.send_signal(signal.SIGINT)
            try:
                self.capture.wait(5)
            except subprocess.TimeoutExpired:
                self.capture.kill()
                self.capture.wait(5)
        if self.capture:
            self.capture_out.close()
        self.capture = None

    def levels(self, window=0.1):
        """RMS of each window of what was captured."""
        with open(self.capture_file, "rb") as f:
            data = f.read()
        per = int(RATE * window) * 4
        out = []
        for at in range(0, len(data) - per + 1, per):
            samples = struct.unpack("<%dh" % (per // 2), data[at:at + per])
            out.append((sum(s * s for s in samples) / len(samples)) ** 0.5)
        return out

    def first_sound(self, window=0.1):
        """Seconds from the capture's start to the first window with sound, or None."""
        for index, level in enumerate(self.levels(window)):
            if level > QUIET:
                return index * window
        return None

    def close(self):
        self.kill()
        shutil.rmtree(self.home, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def start_game_as_player(game, server):
    """The private game copy, readable and writable by the player, started as the player."""
    command = game.player_command()
    # SDL's own choice of driver, as a player's desktop leaves it.
    game.env = {k: v for k, v in game.env.items() if not k.startswith("SDL_")}
    game.start(command=command, cwd=game.folder, env=dict(server.env))
    game.wait_for_window()
    # Past the options screen to the main menu, where the title track loops.
    screens = Screens(game)
    game.key_until("Down", lambda: screens.options_row() == 1, "the window row")
    game.key_until("Return", lambda: screens.menu_item() == 0, "the main menu")


def heard(server, game, what, listen_on=2.0):
    """Captures the sink until the game is heard, and listen_on seconds more; the seconds from
    the capture's start to the first sound."""
    server.start_capture()
    deadline = time.time() + PATIENCE
    while time.time() < deadline:
        time.sleep(0.5)
        first = server.first_sound()
        if first is not None:
            time.sleep(listen_on)
            server.stop_capture()
            return first
    server.stop_capture()
    raise AssertionError("%s\n%s" % (what, game.output()))


def test_sound_stops_with_the_server_and_comes_back_with_it(game_dir):
    with SoundServer() as server, Game(game_dir, highscore=DEFAULT_TABLE, audio=None) as game:
        server.start()
        start_game_as_player(game, server)
        heard(server, game, "no sound before the server went away")

        server.kill()
        time.sleep(2.0)
        # Silent meanwhile, and still playing: the menu answers.
        if game.proc.poll() is not None:
            raise AssertionError("the game ended without its server\n" + game.output())
        screens = Screens(game)
        game.key_until("Down", lambda: screens.menu_item() == 1, "the menu without a server")
        game.key_until("Up", lambda: screens.menu_item() == 0, "the menu without a server")

        server.start()
        back = heard(server, game, "no sound after the server came back", listen_on=3.0)
        print("  sound again %.1f s after the server answered" % back)
        levels = server.levels()[int(back * 10):]
        if sum(level > QUIET for level in levels) < 0.8 * len(levels):
            raise AssertionError("the track did not play on after it came back")
        if game.output().strip():
            raise AssertionError("the game printed: " + game.output())


def test_a_server_that_comes_after_the_game_is_heard(game_dir):
    with SoundServer() as server, Game(game_dir, highscore=DEFAULT_TABLE, audio=None) as game:
        start_game_as_player(game, server)
        time.sleep(1.0)
        server.start()
        first = heard(server, game, "the game stayed silent with a server there")
        print("  sound %.1f s after the server answered" % first)


if __name__ == "__main__":
    if os.geteuid() != 0:
        # The server and the game run as the ordinary player, which only root can become.
        print("skipped: the sound server test runs as root, as CI does")
        raise SystemExit(0)
    run_tests([
        test_sound_stops_with_the_server_and_comes_back_with_it,
        test_a_server_that_comes_after_the_game_is_heard,
    ])
