"""The front end through the real program: options, menu, initials entry, saved table."""

import time

from zephe2e import (DEFAULT_TABLE, Game, Screens, picture_shown, run_tests, same_colour,
                     table_bytes)
from test_game import check, choose, to_menu

WHITE = (255, 255, 255)


def white_in(shot, x0, y0, x1, y1):
    return any(shot.pixel(x, y) == WHITE for y in range(y0, y1) for x in range(x0, x1))


def test_option_switches_show_their_notices_and_full_screen_runs_the_menu(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE).start() as game:
        game.wait_for_window()
        time.sleep(0.3)
        notices = [(3, 11), (13, 21), (23, 31)]  # gamepad, music, sound lines
        before = game.screenshot()
        check(not any(white_in(before, 5, a, 120, b) for a, b in notices),
              "a notice shows before any switch")
        game.keys("j", "m", "s")
        after = game.screenshot()
        for (a, b), name in zip(notices, ("gamepad", "music", "sound")):
            check(white_in(after, 5, a, 120, b), "no %s notice after its switch" % name)

        game.key("Return")  # row 0: full screen (or back to the window if refused)
        menu = game.bitmap("menu.bmp")

        def menu_on_screen():
            # The menu's own picture (the highlighted COLLECT row at (16, 16)), which the
            # options screen never shows. A full-screen 640x480 mode on this display is
            # centred; a window sits at the corner.
            shot = game.screenshot()
            for origin in ((0, 0), (192, 144)):
                shot.origin = origin
                if picture_shown(shot, menu, 0, 0, menu.width // 2, 32, 16, 16) > 0.9:
                    return True
            return False

        game.wait_for(menu_on_screen, timeout=5, what="the main menu after the switch")
        game.key("Escape")
        check(game.wait_exit() == 0, "exit code")


def test_each_mode_and_the_viewer_open_from_the_menu_and_come_back(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE).start() as game:
        to_menu(game)
        time.sleep(0.3)
        menu = game.bitmap("menu.bmp")
        half = menu.width // 2
        playfield = game.bitmap("playfield.bmp")

        def menu_shown():
            # The highlighted COLLECT row at (16, 16): the cursor starts at the top each time.
            return picture_shown(game.screenshot(), menu, 0, 0, half, 32, 16, 16) > 0.9

        def game_shown():
            shot = game.screenshot()
            return all(same_colour(shot.pixel(x, y), playfield.pixel(x, y))
                       for x, y in [(10, 10), (80, 100), (300, 120), (200, 230)])

        def viewer_shown():
            shot = game.screenshot()
            return (picture_shown(shot, menu, 0, 96, half, 32, 16, 16) > 0.9 and
                    picture_shown(shot, menu, 0, 0, half, 32, 16, 48) > 0.9)

        # Screens are awaited, not slept on: a loaded machine may take a while to draw them.
        game.wait_for(menu_shown, timeout=20, what="the menu")
        for mode in range(3):
            choose(game, mode)
            game.wait_for(game_shown, timeout=20, what="the game screen of mode %d" % mode)
            # Leaves the game at once, no score offered.
            game.key_until("Escape", menu_shown, "the menu after mode %d" % mode)

        choose(game, 3)  # the viewer, on the Collect page
        game.wait_for(viewer_shown, timeout=20, what="the viewer's heading on the Collect page")
        game.key_until("Escape", menu_shown, "the menu after the viewer")
        choose(game, 4)  # Quit
        check(game.wait_exit() == 0, "exit code")
        check(game.file("HIGHSCORE.DAT") == DEFAULT_TABLE, "the table changed")


def test_f10_takes_three_letters_that_reach_the_file_at_once(game_dir):
    default = ((0, 0, 0), 1)
    expected = table_bytes([default] * 3 + [((1, 2, 3), 50000), default, default] + [default] * 3)
    # Quit normally, or lose the session without any quit: the entry is in the file either way.
    for ending in ("quit", "killed"):
        with Game(game_dir, highscore=DEFAULT_TABLE).start() as game:
            to_menu(game)
            screens = Screens(game)
            # A Score result of 50000 beats every default entry: the initials entry.
            game.key_until("F10", lambda: screens.initials() == ((), 0), "the initials entry")
            # A, B, C: each Right moves one glyph from the dot, each Return takes the letter.
            for letter in (1, 2, 3):
                game.key_until("Right", lambda: screens.initials()[1] == letter,
                               "Right to letter %d" % letter)
                taken = (lambda: screens.menu_item() == 0) if letter == 3 else \
                    (lambda: len(screens.initials()[0]) == letter)
                game.key_until("Return", taken, "Return to take letter %d" % letter)
            check(game.file("HIGHSCORE.DAT") == expected,
                  "the entry is not saved as soon as its letters were taken: %r"
                  % game.file("HIGHSCORE.DAT"))
            if ending == "quit":
                time.sleep(0.3)
                game.key("Escape")  # the menu again: Esc quits
                check(game.wait_exit() == 0, "exit code")
            else:
                game.proc.kill()
                game.proc.wait(10)
            check(game.file("HIGHSCORE.DAT") == expected,
                  "table after %s: %r" % (ending, game.file("HIGHSCORE.DAT")))


if __name__ == "__main__":
    run_tests([
        test_option_switches_show_their_notices_and_full_screen_runs_the_menu,
        test_each_mode_and_the_viewer_open_from_the_menu_and_come_back,
        test_f10_takes_three_letters_that_reach_the_file_at_once,
    ])
