"""Start-up and shutdown of the real program: message boxes, the window, exit codes."""

import os
import signal
import struct

from zephe2e import DEFAULT_TABLE, Game, run_tests, text_pixels


def assert_equal(actual, expected, what):
    if actual != expected:
        raise AssertionError("%s: expected %r, got %r" % (what, expected, actual))


def open_window_and_quit(game):
    """From the options screen, Esc leaves the program."""
    game.wait_for_window()
    game.key("Escape")
    assert_equal(game.wait_exit(), 0, "exit code after Esc")


def test_first_start_shows_the_error_box_then_the_window(game_dir):
    with Game(game_dir).start() as game:
        box = game.wait_for(game.message_box, 15, "the Highscore Error box")
        assert_equal(game.message_text(box), "Error", "box title")
        if game.game_window():
            raise AssertionError("the window opened before the box was dismissed")
        assert_equal(game.file("HIGHSCORE.DAT"), None, "file before the box is dismissed")
        game.dismiss_message_box()
        game.wait_for_window()
        _, _, width, height = game.window_geometry()
        assert_equal((width, height), (640, 480), "window size")
        # The first frame is drawn: the background is a picture, not an empty window.
        shot = game.wait_for(lambda: (lambda s: s if len(s.region_colors(0, 0, 320, 240, 8)) > 8
                                      else None)(game.screenshot()), 10, "a drawn frame")
        assert shot
        assert_equal(game.file("HIGHSCORE.DAT"), DEFAULT_TABLE, "default file written at once")
        game.key("Escape")
        assert_equal(game.wait_exit(), 0, "exit code")
        assert_equal(game.file("HIGHSCORE.DAT"), DEFAULT_TABLE, "file after quitting")


def test_without_a_display_it_says_so_and_exits_1(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE, display=False).start() as game:
        assert_equal(game.wait_exit(), 1, "exit code")
        if "Cannot find a suitable graphicmode!" not in game.output():
            raise AssertionError("message missing:\n" + game.output())


def as_version5_bmp(path):
    """Rewrites a BMP with the 40-byte header as the 124-byte header many editors write."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    size, = struct.unpack_from("<I", data, 2)
    offset, = struct.unpack_from("<I", data, 10)
    struct.pack_into("<I", data, 2, size + 84)
    struct.pack_into("<I", data, 10, offset + 84)
    struct.pack_into("<I", data, 14, 124)
    with open(path, "wb") as f:
        f.write(data[:54] + bytes(84) + data[54:])


def test_a_missing_picture_is_named_and_stops_the_start(game_dir):
    hint = "go.bmp (a BMP kind the game cannot read: save it as 24-bit BMP, 40-byte header)"
    for what, change, named in (("missing", os.remove, "go.bmp\n"),
                                ("with a 124-byte header", as_version5_bmp, hint)):
        with Game(game_dir, highscore=DEFAULT_TABLE) as game:
            change(os.path.join(game.folder, "go.bmp"))
            game.start()
            game.dismiss_message_box()
            assert_equal(game.wait_exit(), 1, "exit code, go.bmp " + what)
            if "Missing or damaged game files:\n" + named not in game.output() + "\n":
                raise AssertionError("go.bmp %s is not named as expected:\n%s"
                                     % (what, game.output()))
            if game.game_window():
                raise AssertionError("a window opened although go.bmp is " + what)


def test_a_stop_signal_leaves_through_the_normal_shutdown(game_dir):
    # Extra bytes after a valid table load fine; the save at quit writes 94 bytes back,
    # which shows that the normal shutdown ran. A hang-up is a session that logged out.
    for stop, in_menu in ((signal.SIGTERM, True), (signal.SIGINT, False),
                          (signal.SIGHUP, True)):
        with Game(game_dir, highscore=DEFAULT_TABLE + b"extra").start() as game:
            game.wait_for_window()
            if in_menu:
                game.key("Return")  # the window: on to the main menu
            game.proc.send_signal(stop)
            assert_equal(game.wait_exit(), 0, "exit code after %s" % stop.name)
            assert_equal(game.file("HIGHSCORE.DAT"), DEFAULT_TABLE,
                         "file saved at shutdown after %s" % stop.name)


def test_esc_on_the_options_screen_saves_the_tables(game_dir):
    # Extra bytes after a valid table load fine and are not written back: a 94-byte file
    # after Esc shows that this way out saved the tables too.
    with Game(game_dir, highscore=DEFAULT_TABLE + b"extra").start() as game:
        open_window_and_quit(game)
        assert_equal(game.file("HIGHSCORE.DAT"), DEFAULT_TABLE, "file after Esc")


def test_no_audio_device_gives_a_silent_game(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE, audio="nosuchdriver").start() as game:
        game.wait_for_window()
        # Without a sound device music starts off, so M switches it on: the notice at (5, 15),
        # drawn in white two pixels right of and above its shadow, reads "Enable music".
        game.key("m")
        expected = text_pixels("Enable music", 7, 13)

        def white_pixels():
            shot = game.screenshot()
            found = {(x, y) for y in range(11, 23) for x in range(0, 130)
                     if shot.pixel(x, y) == (255, 255, 255)}
            return found if found == expected else None

        try:
            game.wait_for(white_pixels, 3, "the music notice")
        except AssertionError:
            raise AssertionError("the music notice does not read \"Enable music\"")
        game.key("Escape")
        assert_equal(game.wait_exit(), 0, "exit code after Esc")


def test_a_high_score_file_that_is_a_folder_does_not_crash(game_dir):
    with Game(game_dir) as game:
        os.mkdir(os.path.join(game.folder, "HIGHSCORE.DAT"))
        game.start()
        game.dismiss_message_box()
        open_window_and_quit(game)
        if not os.path.isdir(os.path.join(game.folder, "HIGHSCORE.DAT")):
            raise AssertionError("the folder was replaced")


if __name__ == "__main__":
    run_tests([
        test_first_start_shows_the_error_box_then_the_window,
        test_without_a_display_it_says_so_and_exits_1,
        test_a_missing_picture_is_named_and_stops_the_start,
        test_a_stop_signal_leaves_through_the_normal_shutdown,
        test_esc_on_the_options_screen_saves_the_tables,
        test_no_audio_device_gives_a_silent_game,
        test_a_high_score_file_that_is_a_folder_does_not_crash,
    ])
