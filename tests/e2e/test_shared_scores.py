"""The real program's score file swapped for a pipe or held under a lease while it runs: the
quit-time save says so on stderr and the program leaves at once instead of freezing."""

import fcntl
import os
import signal
import time

from zephe2e import DEFAULT_TABLE, Game, run_tests

F_SETLEASE = 1024  # Linux's fcntl command; Python's module names it only in newer releases
# Far less than the kernel's 45-second lease break, far more than a quit takes.
QUIT_SECONDS = 15


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def quit_by_signal(game):
    """SIGTERM: the normal shutdown, which saves; returns the exit code and the seconds taken."""
    started = time.time()
    game.proc.send_signal(signal.SIGTERM)
    code = game.wait_exit(QUIT_SECONDS)
    return code, time.time() - started


def test_a_pipe_swapped_in_while_playing_fails_the_quit_save_at_once(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE).start() as game:
        game.wait_for_window()
        path = os.path.join(game.folder, "HIGHSCORE.DAT")
        pipe = os.path.join(game.folder, "pipe")
        os.mkfifo(pipe, 0o666)
        os.rename(pipe, path)  # no reader: a blocking open would wait for ever
        code, took = quit_by_signal(game)
        check(code == 0, "exit code %s after %.1f s (frozen on the pipe?)\n%s"
              % (code, took, game.output()))
        line = "zeph: the high scores were not saved to %s: not a regular file" % path
        check(line in game.output(), "no line naming the pipe:\n" + game.output())
        check(os.path.exists(path) and not os.path.isfile(path), "the pipe was replaced")


def test_a_lease_on_the_file_fails_the_quit_save_at_once(game_dir):
    # An ordinary player in root's game folder with a file anyone may write: the save has to
    # rewrite the file in place, the open a lease holds up. The extra bytes make the quit save
    # write: it would shorten the file to 94 bytes.
    with Game(game_dir, highscore=DEFAULT_TABLE + b"extra") as game:
        path = os.path.join(game.folder, "HIGHSCORE.DAT")
        os.chmod(game.tmp, 0o755)
        os.chmod(game.folder, 0o755)
        os.chmod(path, 0o666)
        game.start(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                    os.path.join(game.folder, "zeph")])
        game.wait_for_window()
        previous = signal.signal(signal.SIGIO, signal.SIG_IGN)  # the lease break's notice
        holder = os.open(path, os.O_RDONLY)
        try:
            fcntl.fcntl(holder, F_SETLEASE, fcntl.F_RDLCK)
            code, took = quit_by_signal(game)
        finally:
            os.close(holder)
            signal.signal(signal.SIGIO, previous)
        check(code == 0, "exit code %s after %.1f s (waiting for the lease?)\n%s"
              % (code, took, game.output()))
        check("another program holds the file (a lease)" in game.output(),
              "no line naming the lease:\n" + game.output())
        check(game.file("HIGHSCORE.DAT") == DEFAULT_TABLE + b"extra", "the leased file changed")


if __name__ == "__main__":
    run_tests([test_a_pipe_swapped_in_while_playing_fails_the_quit_save_at_once,
               test_a_lease_on_the_file_fails_the_quit_save_at_once])
