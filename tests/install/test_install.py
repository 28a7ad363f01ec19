"""Installing Zeph like a desktop game: scripts/install into a prefix, the installed launcher
started by an ordinary player under Xvfb, the desktop files checked by their validators, the
removal, and the Debian package with its maintainer scripts.

Usage: test_install.py BUILD_DIR (a configured release build with the assets).
"""

import gzip
import os
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

from zephe2e import DEFAULT_TABLE, Game, run_tests, table_bytes, table_entries  # noqa: E402

SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
APP_ID = "io.github.zephgame.zeph"
PLAYER = 65534  # nobody: the CI runs as root, the game must work for an ordinary player
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ASSET_SUFFIXES = (".bmp", ".wav", ".mp3")


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def run(args, env=None, cwd=None, timeout=600):
    return subprocess.run(args, env=env, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, timeout=timeout)


def scratch(prefix):
    """A folder an ordinary user may pass through (mkdtemp's are 0700 for root)."""
    folder = tempfile.mkdtemp(prefix=prefix)
    os.chmod(folder, 0o755)
    return folder


def install(build_dir, prefix, *extra):
    env = dict(os.environ, ZEPH_BUILD_DIR=build_dir)
    result = run([os.path.join(SOURCE, "scripts", "install")] + list(extra) + [prefix], env=env)
    return result


def install_ok(build_dir, prefix, *extra):
    result = install(build_dir, prefix, *extra)
    check(result.returncode == 0, "scripts/install %s failed:\n%s" % (" ".join(extra),
                                                                     result.stdout[-3000:]))
    return result.stdout


def read(path):
    with open(path, "rb") as f:
        return f.read()


def files_under(root):
    """Every file and link below root, relative to it."""
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def game_assets(build_dir):
    folder = os.path.join(build_dir, "game")
    return {n for n in os.listdir(folder) if n.lower().endswith(ASSET_SUFFIXES)}


def valid_score_file(data):
    """94 bytes whose stored checksum is the one the game computes for the nine entries."""
    if data is None or len(data) != 94:
        return False
    return table_bytes(table_entries(data)) == data


# --- PNG, read back to the pixels --------------------------------------------------------------
def read_png(path):
    """(width, height, rows of RGBA bytes) of an 8-bit RGBA PNG; raises on anything else."""
    data = read(path)
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "%s: not a PNG" % path)
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack_from(">I", data, pos + 8 + length)
        check(zlib.crc32(kind + body) == crc, "%s: damaged %r chunk" % (path, kind))
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    check((depth, colour, interlace) == (8, 6, 0), "%s: not 8-bit RGBA: %r" % (path, header))
    raw, stride, rows, prev, at = zlib.decompress(idat), width * 4, [], bytearray(width * 4), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for x in range(stride):
            a = line[x - 4] if x >= 4 else 0
            b, c = prev[x], (prev[x - 4] if x >= 4 else 0)
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, rows


def quadrant_colour(rows, size, qx, qy):
    """Mean colour of the opaque pixels of one quarter of the icon."""
    total, count = [0, 0, 0], 0
    half = size // 2
    for y in range(qy * half, (qy + 1) * half):
        for x in range(qx * half, (qx + 1) * half):
            r, g, b, a = rows[y][4 * x:4 * x + 4]
            if a == 255:
                total = [total[0] + r, total[1] + g, total[2] + b]
                count += 1
    return tuple(t / count for t in total) if count else None, count / (half * half)


# The icon's blocks in reading order, each told by which channels lead.
BLOCKS = [("red", lambda r, g, b: r > 1.5 * g and r > 1.5 * b),
          ("green", lambda r, g, b: g > 1.3 * r and g > 1.3 * b),
          ("blue", lambda r, g, b: b > 1.3 * r and b > 1.3 * g),
          ("yellow", lambda r, g, b: r > 1.5 * b and g > 1.5 * b)]


# --- the game started from the installed launcher, as a player -----------------------------------
def player_home():
    home = os.path.join(scratch("zeph-home-"), "home")
    os.mkdir(home, 0o700)
    os.chown(home, PLAYER, PLAYER)
    return home


def start_as_player(command, cwd, home):
    env = {"HOME": home, "USER": "nobody", "LOGNAME": "nobody"}
    game = Game(None, env=env)
    for name in [k for k in game.env if k.startswith("XDG_")]:
        del game.env[name]
    setpriv = ["setpriv", "--reuid=%d" % PLAYER, "--regid=%d" % PLAYER, "--clear-groups"]
    return game.start(setpriv + [command], cwd=cwd)


def play_and_quit(game, what):
    """No message box before the window; Esc on the options screen quits with 0."""
    first = game.wait_for(lambda: ("box", game.message_box()) if game.message_box()
                          else ("window", game.game_window()) if game.game_window() else None,
                          20, "a window or a message box (%s)" % what)
    if first[0] == "box":
        raise AssertionError("%s: a message box %r came up\n%s"
                             % (what, game.message_text(first[1]), game.output()))
    game.wait_for_window()
    game.key("Escape")
    code = game.wait_exit()
    check(code == 0, "%s: exit code %r after Esc\n%s" % (what, code, game.output()))
    check("Error" not in game.output(), "%s: an error was reported:\n%s" % (what, game.output()))


def test_the_launcher_starts_the_installed_game_for_a_player(build_dir):
    root = scratch("zeph-install-")
    prefix = os.path.join(root, "prefix")
    home = player_home()
    try:
        install_ok(build_dir, prefix)
        launcher = os.path.join(prefix, "bin", "zeph")
        beside = os.path.join(prefix, "lib", "zeph", "HIGHSCORE.DAT")
        players = os.path.join(home, ".local", "share", "zeph", "HIGHSCORE.DAT")
        # A link to the launcher in the player's own folder, started from yet another one.
        links = os.path.join(home, "bin")
        os.mkdir(links)
        os.symlink(launcher, os.path.join(links, "zeph"))
        os.chown(links, PLAYER, PLAYER)
        os.lchown(os.path.join(links, "zeph"), PLAYER, PLAYER)
        starts = [("first start from /", launcher, "/"),
                  ("second start", launcher, "/"),
                  ("start through a link", os.path.join(links, "zeph"), home)]
        for what, command, cwd in starts:
            with start_as_player(command, cwd, home) as game:
                play_and_quit(game, what)
            data = read(players) if os.path.exists(players) else None
            check(valid_score_file(data),
                  "%s: the player's file %s is missing or invalid: %r" % (what, players, data))
            check(data == DEFAULT_TABLE, "%s: the player's tables are not the defaults" % what)
            check(read(beside) == DEFAULT_TABLE,
                  "%s: the installed score file changed" % what)
    finally:
        shutil.rmtree(root, ignore_errors=True)
        shutil.rmtree(os.path.dirname(home), ignore_errors=True)


# --- what the install puts where, and its validators --------------------------------------------
def test_the_install_holds_the_game_folder_and_valid_desktop_files(build_dir):
    prefix = os.path.join(scratch("zeph-install-"), "prefix")
    try:
        install_ok(build_dir, prefix)
        game = os.path.join(prefix, "lib", "zeph")
        installed = set(os.listdir(game))
        expected = game_assets(build_dir) | {"zeph", "HIGHSCORE.DAT", "HIGHSCORE.DAT.default",
                                             "install-manifest.txt"}
        check(installed == expected, "game folder: missing %s, unexpected %s"
              % (sorted(expected - installed), sorted(installed - expected)))
        for program in (os.path.join(game, "zeph"), os.path.join(prefix, "bin", "zeph")):
            check(os.stat(program).st_mode & stat.S_IXOTH, program + " is not executable")
        check(read(os.path.join(game, "HIGHSCORE.DAT")) == DEFAULT_TABLE, "default score file")
        check(b"MIT License" in read(os.path.join(prefix, "share", "doc", "zeph", "LICENSE")),
              "the license is not installed")

        desktop = os.path.join(prefix, "share", "applications", APP_ID + ".desktop")
        result = run(["desktop-file-validate", desktop])
        check(result.returncode == 0 and not result.stdout.strip(),
              "desktop-file-validate:\n" + result.stdout)
        entry = dict(line.split("=", 1) for line in read(desktop).decode().splitlines()
                     if "=" in line)
        check(entry["Exec"] == '"%s/bin/zeph"' % prefix, "Exec: " + entry["Exec"])
        check(entry["Icon"] == APP_ID, "Icon: " + entry["Icon"])
        categories = entry["Categories"].split(";")
        check("Game" in categories and ("ArcadeGame" in categories or "BlocksGame" in categories),
              "Categories: " + entry["Categories"])

        metainfo = os.path.join(prefix, "share", "metainfo", APP_ID + ".metainfo.xml")
        result = run(["appstreamcli", "validate", "--no-net", "--pedantic", metainfo])
        problems = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:")]
        check(result.returncode == 0 and not problems, "appstreamcli validate:\n" + result.stdout)
        text = read(metainfo).decode()
        for needed in ("<id>%s</id>" % APP_ID, '<launchable type="desktop-id">%s.desktop' % APP_ID,
                       "<project_license>MIT</project_license>", '<release version="1.1" date="'):
            check(needed in text, "metainfo lacks " + needed)

        manual = os.path.join(prefix, "share", "man", "man6", "zeph.6.gz")
        env = dict(os.environ, MANWIDTH="80", MANPAGER="cat", LC_ALL="C.UTF-8")
        result = subprocess.run(["man", "--warnings", "-l", manual], env=env, text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        check(result.returncode == 0 and not result.stderr.strip(),
              "man --warnings:\n" + result.stderr)
        for needed in ("EXIT STATUS", "HIGHSCORE.DAT", "~/.local/share/zeph", "TimeAttack", "Esc"):
            check(needed in result.stdout, "the manual page does not mention " + needed)
        source = gzip.decompress(read(manual))
        result = subprocess.run(["groff", "-man", "-ww", "-z"], input=source, timeout=60,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        check(result.returncode == 0 and not result.stderr, "groff: %s" % result.stderr.decode())

        for size in ICON_SIZES:
            path = os.path.join(prefix, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps",
                                APP_ID + ".png")
            width, height, rows = read_png(path)
            check((width, height) == (size, size), "%s is %dx%d" % (path, width, height))
            check(rows[0][3] == 0 and rows[-1][-1] == 0, "%d px: corners not transparent" % size)
            for k, (name, leads) in enumerate(BLOCKS):
                colour, cover = quadrant_colour(rows, size, k % 2, k // 2)
                check(colour and cover > 0.5 and leads(*colour),
                      "%d px: no %s block in its quarter (%r, %.0f%% opaque)"
                      % (size, name, colour, 100 * cover))
    finally:
        shutil.rmtree(os.path.dirname(prefix), ignore_errors=True)


# --- removal -------------------------------------------------------------------------------------
def test_uninstall_keeps_the_players_scores_and_nothing_else(build_dir):
    played = table_bytes([((1, 2, 3), 50000)] + [((0, 0, 0), 1)] * 8)
    # (what, the score file beside the program before removal, what must stay of it)
    cases = [("nobody played beside the program", None, None),
             ("a player's scores beside the program", played, played)]
    for what, scores, kept in cases:
        prefix = os.path.join(scratch("zeph-install-"), "prefix")
        try:
            # Someone else's file in a shared folder must outlive the removal.
            others = os.path.join(prefix, "share", "applications")
            os.makedirs(others)
            with open(os.path.join(others, "other.desktop"), "w") as f:
                f.write("[Desktop Entry]\n")
            install_ok(build_dir, prefix)
            beside = os.path.join(prefix, "lib", "zeph", "HIGHSCORE.DAT")
            if scores is not None:
                with open(beside, "wb") as f:
                    f.write(scores)
            # A second install over the first never replaces the scores.
            install_ok(build_dir, prefix)
            check(read(beside) == (scores or DEFAULT_TABLE), "%s: reinstall changed the scores"
                  % what)
            install_ok(build_dir, prefix, "--uninstall")
            left = files_under(prefix)
            expected = {"share/applications/other.desktop"}
            if kept is not None:
                expected.add("lib/zeph/HIGHSCORE.DAT")
            check(left == expected, "%s: left behind %s, expected %s" % (what, sorted(left),
                                                                       sorted(expected)))
            if kept is not None:
                check(read(beside) == kept, "%s: the scores changed" % what)
            # Folders the install made and left empty are gone.
            empty = [d for d, subdirs, names in os.walk(prefix) if not subdirs and not names]
            check(empty == [], "%s: empty folders left: %s" % (what, empty))
            again = install(build_dir, prefix, "--uninstall")
            check(again.returncode != 0 and "no Zeph install" in again.stdout,
                  "%s: a second removal should say there is nothing to remove:\n%s"
                  % (what, again.stdout))
        finally:
            shutil.rmtree(os.path.dirname(prefix), ignore_errors=True)


# --- the Debian package --------------------------------------------------------------------------
_package = {}


def build_package(build_dir):
    """scripts/package once per run, into a scratch folder; returns the .deb's path."""
    if "deb" not in _package:
        folder = scratch("zeph-package-")
        env = dict(os.environ, ZEPH_BUILD_DIR=build_dir)
        result = run([os.path.join(SOURCE, "scripts", "package"), folder], env=env)
        check(result.returncode == 0, "scripts/package failed:\n" + result.stdout[-3000:])
        debs = [n for n in os.listdir(folder) if n.startswith("zeph_") and n.endswith(".deb")]
        check(len(debs) == 1, "expected one package in %s, found %s" % (folder, debs))
        _package["folder"], _package["deb"] = folder, os.path.join(folder, debs[0])
    return _package["deb"]


def test_the_package_carries_the_game_its_desktop_files_and_its_dependencies(build_dir):
    deb = build_package(build_dir)
    listing = run(["dpkg-deb", "-c", deb]).stdout.splitlines()
    entries = {}
    for line in listing:
        fields = line.split(None, 5)
        entries[fields[5].split(" -> ")[0].lstrip(".")] = (fields[0], fields[1])
    files = {path for path, (mode, _) in entries.items() if not mode.startswith("d")}
    game = "/usr/lib/games/zeph/"
    expected = {game + name for name in game_assets(build_dir) | {"zeph", "HIGHSCORE.DAT.default"}}
    expected |= {"/usr/games/zeph", "/usr/share/applications/%s.desktop" % APP_ID,
                 "/usr/share/metainfo/%s.metainfo.xml" % APP_ID, "/usr/share/man/man6/zeph.6.gz",
                 "/usr/share/doc/zeph/copyright"}
    expected |= {"/usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, APP_ID) for s in ICON_SIZES}
    check(files == expected, "package files: missing %s, unexpected %s"
          % (sorted(expected - files), sorted(files - expected)))
    for path in ("/usr/games/zeph", game + "zeph"):
        check(entries[path] == ("-rwxr-xr-x", "root/root"), "%s: %r" % (path, entries[path]))
    check(all(owner == "root/root" for _, owner in entries.values()), "files not owned by root")

    def field(name):
        return run(["dpkg-deb", "-f", deb, name]).stdout.strip()
    depends = [d.strip().split(" ")[0] for d in field("Depends").split(",")]
    for needed in ("x11-utils", "liballegro4.4", "libsdl2-mixer-2.0-0", "libc6"):
        check(needed in depends, "Depends lacks %s: %s" % (needed, field("Depends")))
    check(field("Section") == "games", "Section: " + field("Section"))
    check(field("Maintainer").startswith("Zeph Team"), "Maintainer: " + field("Maintainer"))
    check(field("Package") == "zeph" and field("Version") == "1.1", "package name or version")
    check(len(field("Description").splitlines()) > 3, "no long description")

    root = scratch("zeph-unpacked-")
    try:
        run(["dpkg-deb", "-x", deb, root])
        copyright_text = read(os.path.join(root, "usr/share/doc/zeph/copyright")).decode()
        for needed in ("License: MIT", "Permission is hereby granted", "2026 the Zeph team"):
            check(needed in copyright_text, "copyright lacks " + needed)
        check(read(os.path.join(root, game[1:], "HIGHSCORE.DAT.default")) == DEFAULT_TABLE,
              "the packaged default score file")
        entry = read(os.path.join(root, "usr/share/applications", APP_ID + ".desktop")).decode()
        check("\nExec=zeph\n" in entry, "the package's Exec line:\n" + entry)
        result = run(["desktop-file-validate",
                      os.path.join(root, "usr/share/applications", APP_ID + ".desktop")])
        check(result.returncode == 0 and not result.stdout.strip(), result.stdout)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def test_maintainer_scripts_keep_scores_and_leave_nothing_behind(build_dir):
    deb = build_package(build_dir)
    played = table_bytes([((4, 5, 6), 777)] + [((0, 0, 0), 1)] * 8)
    # (what, score file before, dpkg's steps, score file after the steps; None: absent).
    # "files" stands for dpkg unpacking or removing the package's own files.
    cases = [
        ("first install", None, ["unpack", "postinst configure"], DEFAULT_TABLE),
        ("upgrade over played scores", played,
         ["unpack", "prerm upgrade", "unpack", "postinst configure"], played),
        ("remove with the defaults", None,
         ["unpack", "postinst configure", "prerm remove", "remove files", "postrm remove"], None),
        ("remove with played scores", played,
         ["unpack", "postinst configure", "prerm remove", "remove files", "postrm remove"],
         played),
        ("purge with played scores", played,
         ["unpack", "postinst configure", "prerm remove", "remove files", "postrm remove",
          "postrm purge"], None),
        ("failed removal rolled back", None,
         ["unpack", "postinst configure", "prerm remove", "postinst abort-remove"], DEFAULT_TABLE),
    ]
    control = scratch("zeph-control-")
    try:
        run(["dpkg-deb", "-e", deb, control])
        packaged = [line.split(None, 5)[5].lstrip(".") for line in
                    run(["dpkg-deb", "-c", deb]).stdout.splitlines() if not line.startswith("d")]
        for what, before, steps, after in cases:
            root = scratch("zeph-root-")
            try:
                scores = os.path.join(root, "usr/lib/games/zeph/HIGHSCORE.DAT")
                if before is not None:
                    os.makedirs(os.path.dirname(scores))
                    with open(scores, "wb") as f:
                        f.write(before)
                for step in steps:
                    if step == "unpack":
                        run(["dpkg-deb", "-x", deb, root])
                    elif step == "remove files":
                        for path in packaged:
                            os.remove(root + path)
                        for folder, _, _ in sorted(os.walk(root), reverse=True):
                            if folder != root and not os.listdir(folder):
                                os.rmdir(folder)
                    else:
                        script, argument = step.split()
                        result = run(["sh", os.path.join(control, script), argument],
                                     env=dict(os.environ, DPKG_ROOT=root))
                        check(result.returncode == 0, "%s: %s failed:\n%s"
                              % (what, step, result.stdout))
                now = read(scores) if os.path.exists(scores) else None
                check(now == after, "%s: score file %r, expected %r" % (what, now, after))
                if after is None and "remove files" in steps:
                    check(files_under(root) == set(), "%s: left behind %s"
                          % (what, sorted(files_under(root))))
                if before is None and after is not None:  # made by postinst: players read it
                    mode = stat.S_IMODE(os.stat(scores).st_mode)
                    check(mode == 0o644, "%s: mode %o" % (what, mode))
            finally:
                shutil.rmtree(root, ignore_errors=True)
    finally:
        shutil.rmtree(control, ignore_errors=True)
        if "folder" in _package:
            shutil.rmtree(_package["folder"], ignore_errors=True)


if __name__ == "__main__":
    run_tests([
        test_the_launcher_starts_the_installed_game_for_a_player,
        test_the_install_holds_the_game_folder_and_valid_desktop_files,
        test_uninstall_keeps_the_players_scores_and_nothing_else,
        test_the_package_carries_the_game_its_desktop_files_and_its_dependencies,
        test_maintainer_scripts_keep_scores_and_leave_nothing_behind,
    ])
