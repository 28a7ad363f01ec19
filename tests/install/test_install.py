"""Installing Zeph like a desktop game: scripts/install into a prefix, the installed launcher
started by an ordinary player under Xvfb, the desktop files checked by their validators, the
removal; the Debian package checked by lintian and hardening-check, built a second time to the
same bytes, installed with apt, played by root and by an ordinary player, and purged; and
scripts/install-deps for a user without sudo.

Usage: test_install.py BUILD_DIR (a configured release build with the assets). Runs as root.
"""

import atexit
import difflib
import gzip
import hashlib
import io
import os
import re
import shutil
import stat
import struct
import subprocess
import sys
import tarfile
import tempfile
import xml.etree.ElementTree as ElementTree
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

from zephe2e import (DEFAULT_TABLE, Bitmap, Game, picture_shown, run_tests,  # noqa: E402
                     table_bytes, table_entries)

SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
APP_ID = "io.github.zephgame.zeph"
PLAYER = 65534  # nobody: the CI runs as root, the game must work for an ordinary player
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ASSET_SUFFIXES = (".bmp", ".wav", ".mp3", ".pam")


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


def start_game(command, cwd, home, as_player, audio="dummy"):
    """The game started as root or as the ordinary player, with only HOME to go by."""
    env = {"HOME": home}
    if as_player:
        env.update(USER="nobody", LOGNAME="nobody")
        command = ["setpriv", "--reuid=%d" % PLAYER, "--regid=%d" % PLAYER,
                   "--clear-groups"] + command
    game = Game(None, env=env, audio=audio)
    for name in [k for k in game.env if k.startswith("XDG_")]:
        del game.env[name]
    return game.start(command, cwd=cwd)


# AppStream 1.0 (Debian 13) asks every component for a homepage link; Zeph has no public web
# page, and a made-up one would be worse than none. AppStream 0.16 (Debian 12) does not ask.
HOMEPAGE_MISSING = "W: %s:~: url-homepage-missing" % APP_ID


def appstream_findings(output):
    """(whether appstreamcli reported the missing homepage, every other error or warning)."""
    findings = [line.strip() for line in output.splitlines()
                if line.strip()[:2] in ("E:", "W:")]
    return HOMEPAGE_MISSING in findings, [f for f in findings if f != HOMEPAGE_MISSING]


def desktop_fields(path):
    return dict(line.split("=", 1) for line in read(path).decode().splitlines() if "=" in line)


def check_window_identity(game, icon_png, desktop_entry, what):
    """The window's WM_CLASS is the game's, the menu entry names that class, and its
    _NET_WM_ICON holds the menu icon's own pixels at every size both have (icon_png % (size,
    size) is the installed icon of a size)."""
    def xprop(*args):
        return run(["xprop", "-id", str(game.window), "-notype"] + list(args),
                   env=game.env).stdout.strip()
    wm_class = xprop("WM_CLASS")
    check(wm_class == 'WM_CLASS = "zeph", "Zeph"', "%s: %s" % (what, wm_class))
    startup = desktop_fields(desktop_entry).get("StartupWMClass")
    check(startup == "Zeph", "%s: the desktop entry's StartupWMClass is %r" % (what, startup))
    text = xprop("-f", "_NET_WM_ICON", "32c", " $0+", "_NET_WM_ICON")
    check(text.startswith("_NET_WM_ICON "), "%s: the window has no icon: %r" % (what, text[:200]))
    values = [int(v) for v in text[len("_NET_WM_ICON "):].split(",")]
    images, at = {}, 0
    while at + 2 <= len(values):
        width, height = values[at:at + 2]
        images[(width, height)] = values[at + 2:at + 2 + width * height]
        at += 2 + width * height
    compared = []
    for size in ICON_SIZES:
        if (size, size) in images:
            _, _, rows = read_png(icon_png % (size, size))
            argb = [a << 24 | r << 16 | g << 8 | b for row in rows
                    for r, g, b, a in zip(row[0::4], row[1::4], row[2::4], row[3::4])]
            check(images[(size, size)] == argb,
                  "%s: the window's %d px icon is not the menu icon" % (what, size))
            compared.append(size)
    check(len(compared) >= 4, "%s: the window's icon has the sizes %s, the menu icon's are %s"
          % (what, sorted(images), ICON_SIZES))


def play_and_quit(game, what, identity=None):
    """No message box before the window; Esc on the options screen quits with 0. identity:
    (icon_png, desktop_entry) to check the window against, as check_window_identity."""
    first = game.wait_for(lambda: ("box", game.message_box()) if game.message_box()
                          else ("window", game.game_window()) if game.game_window() else None,
                          20, "a window or a message box (%s)" % what)
    if first[0] == "box":
        raise AssertionError("%s: a message box %r came up\n%s"
                             % (what, game.message_text(first[1]), game.output()))
    game.wait_for_window()
    if identity:
        check_window_identity(game, identity[0], identity[1], what)
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
        identity = (os.path.join(prefix, "share/icons/hicolor/%dx%d/apps", APP_ID + ".png"),
                    os.path.join(prefix, "share/applications", APP_ID + ".desktop"))
        starts = [("first start from /", launcher, "/", identity),
                  ("second start", launcher, "/", None),
                  ("start through a link", os.path.join(links, "zeph"), home, None)]
        for what, command, cwd, window in starts:
            with start_game([command], cwd, home, True) as game:
                play_and_quit(game, what, window)
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
        entry = desktop_fields(desktop)
        check(entry["Exec"] == '"%s/bin/zeph"' % prefix, "Exec: " + entry["Exec"])
        check(entry.get("StartupWMClass") == "Zeph", "StartupWMClass: %r"
              % entry.get("StartupWMClass"))
        check(entry["Icon"] == APP_ID, "Icon: " + entry["Icon"])
        categories = entry["Categories"].split(";")
        check("Game" in categories and ("ArcadeGame" in categories or "BlocksGame" in categories),
              "Categories: " + entry["Categories"])

        metainfo = os.path.join(prefix, "share", "metainfo", APP_ID + ".metainfo.xml")
        result = run(["appstreamcli", "validate", "--no-net", "--pedantic", metainfo])
        known, problems = appstream_findings(result.stdout)
        check((result.returncode == 0 or known) and not problems,
              "appstreamcli validate:\n" + result.stdout)
        text = read(metainfo).decode()
        for needed in ("<id>%s</id>" % APP_ID, '<launchable type="desktop-id">%s.desktop' % APP_ID,
                       "<project_license>MIT</project_license>", '<release version="1.1" date="'):
            check(needed in text, "metainfo lacks " + needed)
        # AppStream 1.0 names the developer with an id, and no longer reads <developer_name>.
        component = ElementTree.fromstring(read(metainfo))
        developers = component.findall("developer")
        check(len(developers) == 1 and developers[0].get("id")
              and developers[0].findtext("name") and component.find("developer_name") is None,
              "metainfo's developer:\n" + text)

        manual = os.path.join(prefix, "share", "man", "man6", "zeph.6.gz")
        env = dict(os.environ, MANWIDTH="80", MANPAGER="cat", LC_ALL="C.UTF-8")
        result = subprocess.run(["man", "--warnings", "-l", manual], env=env, text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        check(result.returncode == 0 and not result.stderr.strip(),
              "man --warnings:\n" + result.stderr)
        for needed in ("EXIT STATUS", "TimeAttack", "Esc", "/usr/games/zeph",
                       "/usr/share/games/zeph/", "~/.local/share/zeph/HIGHSCORE.DAT",
                       "~/.local/bin/zeph", "~/.local/lib/zeph/"):
            check(needed in result.stdout, "the manual page does not mention " + needed)
        # whatis shows "zeph (6)" padded to 20 columns, " - ", then the NAME line's text.
        whatis = run(["lexgrog", manual]).stdout.strip()
        check(whatis.startswith(manual + ': "zeph - '), "lexgrog: " + whatis)
        line = "%-20s - %s" % ("zeph (6)", whatis.split(" - ", 1)[1].rstrip('"'))
        check(len(line) <= 80, "whatis wraps at 80 columns: " + line)
        source = gzip.decompress(read(manual))
        result = subprocess.run(["groff", "-man", "-ww", "-z"], input=source, timeout=60,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        check(result.returncode == 0 and not result.stderr, "groff: %s" % result.stderr.decode())

        icons = os.path.join(prefix, "share", "icons", "hicolor")
        svg = os.path.join(icons, "scalable", "apps", APP_ID + ".svg")
        check(ElementTree.parse(svg).getroot().tag == "{http://www.w3.org/2000/svg}svg",
              "the scalable icon is no SVG")
        rendered = os.path.join(os.path.dirname(prefix), "scalable-64.png")
        result = run(["rsvg-convert", "-w", "64", "-h", "64", "-o", rendered, svg])
        check(result.returncode == 0, "rsvg-convert:\n" + result.stdout)
        pictures = [("%d px" % size, size, os.path.join(icons, "%dx%d" % (size, size), "apps",
                                                        APP_ID + ".png")) for size in ICON_SIZES]
        for what, size, path in pictures + [("the scalable icon at 64 px", 64, rendered)]:
            width, height, rows = read_png(path)
            check((width, height) == (size, size), "%s is %dx%d" % (path, width, height))
            # A margin at every size: nothing drawn on the outermost rows and columns.
            edge = rows[0][3::4] + rows[-1][3::4] + bytes(row[3] for row in rows) + \
                bytes(row[-1] for row in rows)
            check(not any(edge), "%s: the picture touches the edge of its canvas" % what)
            for k, (name, leads) in enumerate(BLOCKS):
                colour, cover = quadrant_colour(rows, size, k % 2, k // 2)
                check(colour and cover > 0.4 and leads(*colour),
                      "%s: no %s block in its quarter (%r, %.0f%% opaque)"
                      % (what, name, colour, 100 * cover))
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
SYSTEM_DATA = "/usr/share/games/zeph"
_package = {}


def build_package(build_dir):
    """scripts/package once per run (in its own build folder), into a scratch folder; returns
    the .deb's path."""
    if "deb" not in _package:
        folder = scratch("zeph-package-")
        atexit.register(shutil.rmtree, folder, True)
        # Without a time from outside: the package takes its own from the changelog.
        env = dict(os.environ)
        env.pop("SOURCE_DATE_EPOCH", None)
        result = run([os.path.join(SOURCE, "scripts", "package"), folder], env=env)
        check(result.returncode == 0, "scripts/package failed:\n" + result.stdout[-3000:])
        debs = [n for n in os.listdir(folder) if n.startswith("zeph_") and n.endswith(".deb")]
        check(len(debs) == 1, "expected one package in %s, found %s" % (folder, debs))
        _package["deb"] = os.path.join(folder, debs[0])
    return _package["deb"]


def package_maintainer():
    """ZEPH_MAINTAINER as the package's build has it: the publisher may have set it."""
    build = os.environ.get("ZEPH_PACKAGE_BUILD_DIR", "build/package-build")
    with open(os.path.join(SOURCE, build, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("ZEPH_MAINTAINER:"):
                return line.split("=", 1)[1].strip()
    raise AssertionError("the package's build has no ZEPH_MAINTAINER")


def package_field(deb, name):
    return run(["dpkg-deb", "-f", deb, name]).stdout.strip()


def depends_names(deb):
    """The package names in Depends, alternatives included, without versions or architectures."""
    return {alternative.split("(")[0].split(":")[0].strip()
            for clause in package_field(deb, "Depends").split(",")
            for alternative in clause.split("|") if alternative.strip()}


def owning_packages(path):
    """The installed packages that hold path. Debian 12 registers most libraries under /lib and
    Debian 13 under /usr/lib (the merged /usr), so the other spelling is tried too."""
    spellings = []
    for name in (path, os.path.realpath(path)):
        spellings += [name, name[4:] if name.startswith("/usr/") else "/usr" + name]
    for name in spellings:
        result = subprocess.run(["dpkg-query", "-S", name], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True, timeout=60)
        lines = [line for line in result.stdout.splitlines() if not line.startswith("diversion")]
        if result.returncode == 0 and lines:
            return {owner.split(":")[0].strip()
                    for owner in lines[0].rsplit(": ", 1)[0].split(",")}
    return set()


def library_packages(program):
    """{soname: (path, packages that hold it)} for each shared library the program names (its
    NEEDED entries), at the path the dynamic loader finds it."""
    dynamic = run(["readelf", "-d", "-W", program]).stdout
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic)
    check(needed, "readelf names no shared library:\n" + dynamic)
    found = {}
    for line in run(["ldd", program]).stdout.splitlines():
        fields = line.split()
        if len(fields) >= 3 and fields[1] == "=>" and fields[2].startswith("/"):
            found[fields[0]] = fields[2]
    libraries = {}
    for soname in needed:
        check(soname in found, "the loader does not find %s for %s" % (soname, program))
        owners = owning_packages(found[soname])
        check(owners, "no installed package holds %s" % found[soname])
        libraries[soname] = (found[soname], owners)
    return libraries


def as_nobody(args, **kwargs):
    """args run as the ordinary player, in a folder of their own: the checkout and its build
    may lie in a home folder no one else may enter (0700, as /root is)."""
    workdir = scratch("zeph-nobody-")
    os.chown(workdir, PLAYER, PLAYER)
    try:
        return run(["setpriv", "--reuid=%d" % PLAYER, "--regid=%d" % PLAYER, "--clear-groups"]
                   + args, cwd=workdir, **kwargs)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


def test_the_package_lays_the_game_out_as_distributions_do(build_dir):
    deb = build_package(build_dir)
    entries = {}
    for line in run(["dpkg-deb", "-c", deb]).stdout.splitlines():
        fields = line.split(None, 5)
        entries[fields[5].split(" -> ")[0].lstrip(".")] = (fields[0], fields[1])
    files = {path for path, (mode, _) in entries.items() if not mode.startswith("d")}
    data = {SYSTEM_DATA + "/" + name for name in game_assets(build_dir) | {"HIGHSCORE.DAT"}}
    expected = data | {
        "/usr/games/zeph", "/usr/share/applications/%s.desktop" % APP_ID,
        "/usr/share/metainfo/%s.metainfo.xml" % APP_ID, "/usr/share/man/man6/zeph.6.gz",
        "/usr/share/doc/zeph/copyright", "/usr/share/doc/zeph/changelog.gz",
        "/usr/share/lintian/overrides/zeph",
        "/usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID}
    expected |= {"/usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, APP_ID) for s in ICON_SIZES}
    check(files == expected, "package files: missing %s, unexpected %s"
          % (sorted(expected - files), sorted(files - expected)))
    for path, (mode, owner) in entries.items():
        wanted = "rwxr-xr-x" if mode.startswith("d") or path == "/usr/games/zeph" else "rw-r--r--"
        check(mode[1:] == wanted and owner == "root/root", "%s: %s %s" % (path, mode, owner))

    # No maintainer scripts: nothing is made or removed at install time.
    control = scratch("zeph-control-")
    try:
        run(["dpkg-deb", "-e", deb, control])
        check(sorted(os.listdir(control)) == ["control", "md5sums"],
              "control archive: %s" % sorted(os.listdir(control)))
    finally:
        shutil.rmtree(control, ignore_errors=True)

    depends = depends_names(deb)
    check("x11-utils" not in depends and package_field(deb, "Recommends") == "x11-utils",
          "x11-utils: Depends %s, Recommends %r" % (depends, package_field(deb, "Recommends")))
    maintainer = package_maintainer()
    for name, value in (("Package", "zeph"), ("Version", "1.1"), ("Section", "games"),
                        ("Maintainer", maintainer)):
        check(package_field(deb, name) == value, "%s: %r" % (name, package_field(deb, name)))

    root = scratch("zeph-unpacked-")
    try:
        run(["dpkg-deb", "-x", deb, root])
        check(read(os.path.join(root, SYSTEM_DATA[1:], "HIGHSCORE.DAT")) == DEFAULT_TABLE,
              "the packaged default score table")
        copyright_text = read(os.path.join(root, "usr/share/doc/zeph/copyright")).decode()
        check(copyright_text.count("License: Expat") == 2 and "License: MIT" not in copyright_text
              and "Permission is hereby granted" in copyright_text,
              "copyright:\n" + copyright_text)
        changelog = os.path.join(root, "usr/share/doc/zeph/changelog")
        with open(changelog, "wb") as f:
            f.write(gzip.decompress(read(changelog + ".gz")))
        for name, value in (("Version", "1.1"), ("Maintainer", maintainer)):
            parsed = run(["dpkg-parsechangelog", "-l", changelog, "-S", name]).stdout.strip()
            check(parsed == value, "changelog %s: %r" % (name, parsed))
        entry = os.path.join(root, "usr/share/applications", APP_ID + ".desktop")
        result = run(["desktop-file-validate", entry])
        check(result.returncode == 0 and not result.stdout.strip(), result.stdout)
        fields = desktop_fields(entry)
        check(fields["Exec"] == "zeph" and fields["StartupWMClass"] == "Zeph",
              "the package's desktop entry: %r" % fields)

        # Depends brings every library the program loads. Names are the release's own
        # (Debian 13 renamed liballegro4.4 to liballegro4.4t64): the package that holds each
        # library on this machine is looked up, as dpkg-shlibdeps looks it up.
        program = os.path.join(root, "usr/games/zeph")
        for soname, (path, owners) in library_packages(program).items():
            check(owners & depends, "%s (%s, from %s) is not in Depends: %s"
                  % (soname, path, " or ".join(sorted(owners)), sorted(depends)))

        # Debian's hardening flags, stripped as Debian strips. Control flow protection needs
        # C start files built for it, which Debian 12 does not have. Branch protection exists
        # on arm64 only, yet Debian 13's hardening-check asks it of every architecture.
        skipped = ["--nocfprotection"]
        if "--nobranchprotection" in run(["hardening-check", "--help"]).stdout and \
                run(["dpkg", "--print-architecture"]).stdout.strip() != "arm64":
            skipped.append("--nobranchprotection")
        result = run(["hardening-check"] + skipped + [program])
        check(result.returncode == 0, "hardening-check:\n" + result.stdout)
        for feature in ("Stack protected: yes", "Fortify Source functions: yes",
                        "Read-only relocations: yes", "Immediate binding: yes"):
            check(feature in result.stdout, "hardening-check lacks %r:\n%s"
                  % (feature, result.stdout))
        sections = run(["readelf", "-S", "-W", program]).stdout.split()
        for section in (".comment", ".note", ".symtab"):
            check(section not in sections, "the program keeps its %s section" % section)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def test_lintian_reports_nothing_the_overrides_do_not_explain(build_dir):
    deb = build_package(build_dir)
    # As an ordinary user, as lintian prefers; -E and --pedantic: every tag there is.
    result = as_nobody(["lintian", "--pedantic", "-I", "-E", "--show-overrides", deb],
                       env=dict(os.environ, HOME="/tmp"))
    tags = [line for line in result.stdout.splitlines() if line[:2] in
            ("E:", "W:", "I:", "P:", "X:", "C:")]
    check(result.returncode == 0 and not tags, "lintian:\n" + result.stdout)
    root = scratch("zeph-unpacked-")
    try:
        run(["dpkg-deb", "-x", deb, root])
        # Each override the package carries follows a comment with its reason.
        lines = read(os.path.join(root, "usr/share/lintian/overrides/zeph")).decode().splitlines()
        for k, line in enumerate(lines):
            if line and not line.startswith("#"):
                check(k > 0 and lines[k - 1].startswith("#"), "override without a reason: " + line)
        overridden = [line for line in result.stdout.splitlines() if line.startswith("O:")]
        check(len(overridden) == sum(1 for line in lines if line and not line.startswith("#")),
              "every override is used, none more:\n" + result.stdout)
        # lintian's failed AppStream validation is overridden exactly where the validator, run
        # on the package as lintian runs it, finds the missing homepage and nothing else.
        validation = run(["appstreamcli", "validate-tree", "--no-net", root])
        known, problems = appstream_findings(validation.stdout)
        check(not problems, "appstreamcli validate-tree:\n" + validation.stdout)
        check(any("appstream-metadata-validation-failed" in line for line in overridden) == known,
              "the AppStream override is %s, appstreamcli validate-tree says:\n%s\nlintian:\n%s"
              % ("shipped" if any("appstream" in line for line in lines) else "missing",
                 validation.stdout, result.stdout))
    finally:
        shutil.rmtree(root, ignore_errors=True)


# --- the same package twice ---------------------------------------------------------------------
def ar_members(data):
    """(name, mtime, uid, gid, mode, contents) of each member of an ar archive, as a .deb is."""
    check(data[:8] == b"!<arch>\n", "not an ar archive")
    members, at = [], 8
    while at + 60 <= len(data):
        header = data[at:at + 60]
        size = int(header[48:58])
        members.append((header[:16].decode().strip().rstrip("/"), int(header[16:28]),
                        int(header[28:34]), int(header[34:40]), int(header[40:48], 8),
                        data[at + 60:at + 60 + size]))
        at += 60 + size + size % 2
    return members


def deb_listing(deb):
    """One line for each member of the package and of the archives inside it: name, mode,
    owner, time, size and sha256 (a link's target in place of the last)."""
    lines = []
    for name, mtime, uid, gid, mode, body in ar_members(read(deb)):
        lines.append("%s %o %d/%d %d %d %s" % (name, mode, uid, gid, mtime, len(body),
                                               hashlib.sha256(body).hexdigest()))
        if ".tar" in name:
            with tarfile.open(fileobj=io.BytesIO(body)) as tar:
                for entry in tar:
                    content = (hashlib.sha256(tar.extractfile(entry).read()).hexdigest()
                               if entry.isfile() else entry.linkname or "-")
                    lines.append("%s:%s %o %s/%s %d %d %s" % (
                        name, entry.name, entry.mode, entry.uname or entry.uid,
                        entry.gname or entry.gid, entry.mtime, entry.size, content))
    return lines


def changelog_time(deb):
    """The time of the package's changelog entry, in seconds since 1970."""
    folder = scratch("zeph-changelog-")
    try:
        run(["dpkg-deb", "-x", deb, folder])
        changelog = os.path.join(folder, "changelog")
        with open(changelog, "wb") as f:
            f.write(gzip.decompress(read(os.path.join(folder, "usr/share/doc/zeph/changelog.gz"))))
        stamp = run(["dpkg-parsechangelog", "-l", changelog, "-S", "Timestamp"]).stdout.strip()
        check(stamp.isdigit(), "the changelog has no time: %r" % stamp)
        return int(stamp)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def another_language():
    """A locale other than this run's: a real language where the machine has one."""
    def norm(name):
        return name.lower().replace("-", "")
    current = norm(os.environ.get("LC_ALL") or os.environ.get("LANG") or "C")
    names = [n for n in run(["locale", "-a"]).stdout.split() if norm(n) not in (current, "posix")]
    return next((n for n in names if not norm(n).startswith(("c", "en_"))),
                names[0] if names else "C")


def test_a_second_build_elsewhere_makes_the_same_package(build_dir):
    deb = build_package(build_dir)
    # Every time in the package is the changelog's, whenever it was built.
    released = changelog_time(deb)
    lines = deb_listing(deb)
    times = {line.split()[0]: int(line.split()[3]) for line in lines}
    late = sorted(name for name, mtime in times.items() if mtime != released)
    check(not late, "times other than the changelog's %d: %s" % (released, late[:20]))

    # A copy of the source at another path, built at another time with the strictest umask,
    # another time zone and another language.
    root = scratch("zeph-again-")
    try:
        copy = os.path.join(root, "elsewhere", "zeph-source")
        shutil.copytree(SOURCE, copy, symlinks=True,
                        ignore=lambda folder, names: [n for n in names if n in ("build", ".git")]
                        if folder == SOURCE else [])
        output = os.path.join(root, "out")
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k not in (
            "SOURCE_DATE_EPOCH", "ZEPH_PACKAGE_BUILD_DIR", "LANG", "LANGUAGE", "TZ")}
        env.update(TZ="XST-14", LANG=another_language())
        result = subprocess.run([os.path.join(copy, "scripts", "package"), output], env=env,
                                cwd=root, umask=0o077, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, timeout=900)
        check(result.returncode == 0, "the second scripts/package failed:\n"
              + result.stdout[-3000:])
        again = os.path.join(output, os.path.basename(deb))
        check(os.path.exists(again), "the second build made no %s: %s"
              % (os.path.basename(deb), sorted(os.listdir(output))))
        if read(again) != read(deb):
            differ = difflib.unified_diff(lines, deb_listing(again), "first", "second",
                                          lineterm="", n=0)
            raise AssertionError("the two packages differ (name mode owner time size sha256; "
                                 "%s):\n%s" % (env["LANG"], "\n".join(list(differ)[:60])))
    finally:
        shutil.rmtree(root, ignore_errors=True)


# --- the package installed on this machine ---------------------------------------------------
def usr_state():
    """Every path under /usr with its kind, mode, owner, size and modification time: a file
    written, replaced or removed changes it, and so does a temporary file in any folder."""
    state = {}
    for folder, subdirs, names in os.walk("/usr"):
        for name in subdirs + names:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            state[path] = (info.st_mode, info.st_uid, info.st_gid, info.st_size, info.st_mtime_ns)
    info = os.lstat("/usr")
    state["/usr"] = (info.st_mode, info.st_size, info.st_mtime_ns)
    return state


def state_changes(before, after):
    changed = sorted(p for p in before.keys() & after.keys() if before[p] != after[p])
    return "added %s, removed %s, changed %s" % (sorted(after.keys() - before.keys())[:20],
                                                 sorted(before.keys() - after.keys())[:20],
                                                 changed[:20])


def zeph_installed():
    result = run(["dpkg-query", "-W", "-f=${Status}", "zeph"])
    return result.returncode == 0 and "installed" in result.stdout.split()[-1:]


def apt(*args):
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    result = run(["apt-get", "-y", "-q"] + list(args), env=env)
    check(result.returncode == 0, "apt-get %s failed:\n%s" % (" ".join(args), result.stdout[-3000:]))


def play_the_package(what, home, as_player):
    """Starts /usr/games/zeph from / with no sound device chosen for it and checks its window;
    root plays on in full screen and quits from the menu, the player from the options screen."""
    with start_game(["/usr/games/zeph"], "/", home, as_player, audio=None) as game:
        game.wait_for_window()
        check_window_identity(game, "/usr/share/icons/hicolor/%dx%d/apps/" + APP_ID + ".png",
                              "/usr/share/applications/%s.desktop" % APP_ID, what)
        if not as_player:
            game.key("Return")  # full screen: a 640x480 mode on this display is centred
            menu = Bitmap(os.path.join(SYSTEM_DATA, "menu.bmp"))

            def menu_in_full_screen():
                shot = game.screenshot()
                shot.origin = (192, 144)
                return picture_shown(shot, menu, 0, 0, menu.width // 2, 32, 16, 16) > 0.9
            game.wait_for(menu_in_full_screen, 10, "the menu in full screen (%s)" % what)
        game.key("Escape")
        code = game.wait_exit()
        check(code == 0, "%s: exit code %r\n%s" % (what, code, game.output()))
        # Not a line: no error, and no sound library complaining about a missing device.
        check(game.output() == "", "%s printed:\n%s" % (what, game.output()))


def test_root_and_a_player_play_the_installed_package_and_purge_leaves_nothing(build_dir):
    deb = build_package(build_dir)
    check(os.geteuid() == 0, "installing the package needs root")
    check(not zeph_installed(), "a zeph package is installed on this machine: this test "
          "installs and purges its own, so it leaves that one alone and stops")
    before = usr_state()
    homes = []
    try:
        apt("install", "--no-install-recommends", deb)
        check(zeph_installed(), "apt-get did not install zeph")
        installed = usr_state()
        for what, as_player in (("root", False), ("a player", True)):
            home = player_home() if as_player else os.path.join(scratch("zeph-root-"), "home")
            if not as_player:
                os.mkdir(home, 0o700)
            homes.append(os.path.dirname(home))
            play_the_package(what, home, as_player)
            own = os.path.join(home, ".local", "share", "zeph", "HIGHSCORE.DAT")
            check(os.path.exists(own) and read(own) == DEFAULT_TABLE,
                  "%s: no default table saved in %s" % (what, own))
            check(os.stat(own).st_uid == (PLAYER if as_player else 0), "%s: owner of %s"
                  % (what, own))
            now = usr_state()
            check(now == installed, "%s playing changed /usr: %s"
                  % (what, state_changes(installed, now)))
    finally:
        if zeph_installed():
            apt("purge", "zeph")
        for home in homes:
            shutil.rmtree(home, ignore_errors=True)
    check(not zeph_installed(), "zeph is still installed after the purge")
    # Paths only: the icon and menu caches the purge's triggers rebuild are the system's own.
    after = usr_state()
    check(after.keys() == before.keys(), "the purge left /usr different: added %s, removed %s"
          % (sorted(after.keys() - before.keys()), sorted(before.keys() - after.keys())))


# --- scripts/install-deps without root or sudo --------------------------------------------------
def test_install_deps_tells_a_user_without_sudo_what_to_run_as_root(build_dir):
    """A fresh machine where nothing is installed yet, an ordinary user, and no sudo: dpkg and
    apt stand-ins report no package, and PATH holds only what the script itself calls."""
    tools = scratch("zeph-deps-")
    try:
        for name in ("bash", "grep", "id"):
            os.symlink(shutil.which(name), os.path.join(tools, name))
        for name in ("dpkg-query", "apt-cache", "apt-get"):
            with open(os.path.join(tools, name), "w") as f:
                f.write("#!/bin/sh\necho \"$0 $*\" >>%s/called\nexit 1\n" % tools)
            os.chmod(os.path.join(tools, name), 0o755)
        os.chmod(tools, 0o777)
        # A copy the player can reach: the checkout may lie in a folder closed to others.
        script = os.path.join(tools, "install-deps")
        shutil.copy(os.path.join(SOURCE, "scripts", "install-deps"), script)
        os.chmod(script, 0o755)
        result = subprocess.run(
            [shutil.which("setpriv"), "--reuid=%d" % PLAYER, "--regid=%d" % PLAYER,
             "--clear-groups", script],
            env={"PATH": tools, "HOME": "/tmp"}, cwd=tools, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, text=True, timeout=60)
        called = read(os.path.join(tools, "called")).decode()
        check(result.returncode != 0, "exit code 0 with packages missing")
        check(result.stdout == "", "stdout: %r" % result.stdout)
        lines = result.stderr.splitlines()
        command = [line.strip() for line in lines if "apt-get install" in line]
        check(len(command) == 1 and command[0].startswith("apt-get update && "),
              "no single command to run as root:\n" + result.stderr)
        for package in ("liballegro4-dev", "xvfb", "lintian"):
            check(package in lines[1].split() and package in command[0].split(),
                  "%s is not named:\n%s" % (package, result.stderr))
        check("apt-get" not in called and "sudo:" not in result.stderr,
              "it tried to install:\n" + called + result.stderr)
    finally:
        shutil.rmtree(tools, ignore_errors=True)

if __name__ == "__main__":
    run_tests([
        test_the_launcher_starts_the_installed_game_for_a_player,
        test_the_install_holds_the_game_folder_and_valid_desktop_files,
        test_uninstall_keeps_the_players_scores_and_nothing_else,
        test_the_package_lays_the_game_out_as_distributions_do,
        test_lintian_reports_nothing_the_overrides_do_not_explain,
        test_a_second_build_elsewhere_makes_the_same_package,
        test_root_and_a_player_play_the_installed_package_and_purge_leaves_nothing,
        test_install_deps_tells_a_user_without_sudo_what_to_run_as_root,
    ])
