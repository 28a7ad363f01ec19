"""The real program's score file swapped for a pipe or held under a lease while it runs: the
quit-time save says so on stderr and the program leaves at once instead of freezing. Root
playing a player's own copy with the player's HOME leaves nothing of its own in their tree."""

import fcntl
import os
import signal
import time

from zephe2e import DEFAULT_TABLE, PLAYER, Game, run_tests

F_SETLEASE = 1024  # Linux's fcntl command; Python's module names it only in newer releases
# Far less than the kernel's 45-second lease break, far more than a quit takes.
QUIT_SECONDS = 15


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def owned_paths(top):
    """Every path below top with its owner."""
    found = []
    for folder, folders, names in os.walk(top):
        for name in folders + names:
            path = os.path.join(folder, name)
            found.append((os.path.relpath(path, top), os.lstat(path).st_uid))
    return sorted(found)


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


def test_root_with_a_players_home_and_copy_keeps_its_scores_in_its_own_home(game_dir):
    """As `sudo -E` leaves it: the player's HOME, with a ~/.local/share an earlier root program
    made, and the player's own copy of the game without a score file. Root's own home is a
    private tmpfs here, listed before the program's mount namespace goes."""
    with Game(game_dir) as game:
        game.player_command()  # the copy becomes the player's
        home = os.path.join(game.tmp, "home")
        os.makedirs(os.path.join(home, ".local", "share"))
        for folder in (home, os.path.join(home, ".local")):
            os.chown(folder, PLAYER, PLAYER)
        before = owned_paths(game.folder) + owned_paths(home)
        listing = os.path.join(game.tmp, "root-home")
        script = ('mount -t tmpfs -o mode=0700 zeph-root /root && "$0"; code=$?; '
                  'find /root -mindepth 1 -printf "%P\\n" > "$1"; exit $code')
        game.start(["unshare", "--mount", "--propagation", "private", "sh", "-c", script,
                    os.path.join(game.folder, "zeph"), listing], env={"HOME": home})
        game.dismiss_message_box()  # no score file yet: the start's box, then the defaults
        game.wait_for_window()
        with open("/proc/%d/task/%d/children" % (game.proc.pid, game.proc.pid)) as f:
            program = int(f.read().split()[0])  # the shell waits to list root's home after it
        os.kill(program, signal.SIGTERM)
        code = game.wait_exit(QUIT_SECONDS)
        check(code == 0, "exit code %s\n%s" % (code, game.output()))
        after = owned_paths(game.folder) + owned_paths(home)
        check(after == before, "root changed the player's tree: %s\n%s"
              % (sorted(set(after) ^ set(before)), game.output()))
        with open(listing) as f:
            made = f.read().split()
        check(".local/share/zeph/HIGHSCORE.DAT" in made,
              "root's scores are not in its own home: %s\n%s" % (made, game.output()))


if __name__ == "__main__":
    run_tests([test_a_pipe_swapped_in_while_playing_fails_the_quit_save_at_once,
               test_a_lease_on_the_file_fails_the_quit_save_at_once,
               test_root_with_a_players_home_and_copy_keeps_its_scores_in_its_own_home])
