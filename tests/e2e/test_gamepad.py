"""The gamepad through Allegro's own Linux joystick driver: a pad presented as the kernel's
joydev presents one (fakepad.py), read by the real program on every screen, pulled out and
plugged in while the game runs."""

import os
import time

from fakepad import AXIS_MAX, AXIS_MIN, FakePad
from test_game import block_colour, check, to_menu
from zephe2e import DEFAULT_TABLE, Game, Screens, run_tests, table_bytes

UP, DOWN, LEFT, RIGHT = (0, AXIS_MIN), (0, AXIS_MAX), (AXIS_MIN, 0), (AXIS_MAX, 0)
AUDIBLE = 300  # RMS of 16-bit samples, as in test_game
SILENT = 30
LONGEST_SHOT_SOUND = 1.1  # Death.Wav, the longest effect a shot in Score plays, lasts 1.0 s


def start_with_pad(game, plugged=True, **shape):
    """The game started with a pad of the given shape plugged in (or none yet)."""
    pad = FakePad(os.path.join(game.tmp, "pad"))
    if plugged:
        pad.plug(**shape)
    game.start(env=pad.env())
    game.wait_for_window()
    return pad


# Waits follow the game: each lasts until the screen shows what is awaited, and the timeout
# only catches a game that never gets there, however busy the machine.
PATIENCE = 20


def wait_until(game, read, expected, what, timeout=PATIENCE):
    game.wait_for(lambda: read() == expected, timeout, what)


def hold_until(game, pad, control, done, what, timeout=PATIENCE):
    """Holds a button (a number) or the stick (a direction) until done() says the screen took
    it, then lets go. The front end acts once however long an input is held, and a busy
    machine may not see a short press at all."""
    if isinstance(control, int):
        pad.button(control, True)
    else:
        pad.stick(*control)
    try:
        game.wait_for(done, timeout, what)
    finally:
        if isinstance(control, int):
            pad.button(control, False)
        else:
            pad.stick(0, 0)
        time.sleep(0.15)  # the release must be seen before the next press


def push_until(game, pad, direction, read, expected, what, timeout=PATIENCE):
    """Short pushes of the stick until the screen reads `expected`; direction may depend on
    the reading. In a game a push held past ten ticks moves twice, so pushes stay short and
    one that a busy machine lost or doubled is made good by the next; a pad just plugged in
    is waited for the same way."""
    deadline = time.time() + timeout
    while True:
        now = read()
        if now == expected:
            return
        if time.time() > deadline:
            raise AssertionError("timed out waiting for %s (the screen reads %r)\n%s"
                                 % (what, now, game.output()))
        pad.push(*(direction(now) if callable(direction) else direction))


def choose(game, screens, item):
    """The menu item chosen, its game started."""
    for step in range(1, item + 1):
        game.key_until("Down", lambda: screens.menu_item() == step, "menu item %d" % step)
    game.key_until("Return", lambda: screens.menu_item() is None, "the game of item %d" % item)


def key_push_until(game, read, expected, what, timeout=PATIENCE):
    """Short presses of Left or Right until the column read is expected; a press a busy
    machine lost or doubled is made good by the next."""
    deadline = time.time() + timeout
    while (now := read()) != expected:
        if time.time() > deadline:
            raise AssertionError("timed out waiting for %s (the screen reads %r)\n%s"
                                 % (what, now, game.output()))
        game.key("Left" if now is None or now > expected else "Right", hold=0.05, after=0.2)


def towards(target, right=RIGHT, left=LEFT):
    """The stick direction that brings the cannon's column to target."""
    return lambda column: right if column is None or column < target else left


def test_the_pad_chooses_the_window_moves_through_the_menu_and_starts_each_mode(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE) as game:
        pad = start_with_pad(game)
        screens = Screens(game)
        wait_until(game, screens.pad_state, "on", "the options screen with the pad on")
        check(screens.options_row() == 0, "the options screen starts on full screen")
        hold_until(game, pad, DOWN, lambda: screens.options_row() == 1,
                   "the stick to pick the window row")
        hold_until(game, pad, 3, lambda: screens.menu_item() == 0, "a button to choose it")

        def move_to(item):
            hold_until(game, pad, DOWN, lambda: screens.menu_item() == item,
                       "the stick down to menu item %d" % item)

        for mode in range(3):
            for item in range(1, mode + 1):
                move_to(item)
            hold_until(game, pad, mode, screens.in_game,  # any button chooses
                       "the game of mode %d after a pad button" % mode)
            game.key_until("Escape", lambda: screens.menu_item() == 0,
                           "the menu after mode %d" % mode)

        for item in range(1, 4):
            move_to(item)
        hold_until(game, pad, 0, lambda: screens.viewer_page() == 0, "the viewer")
        hold_until(game, pad, RIGHT, lambda: screens.viewer_page() == 1,
                   "the stick to turn the viewer's page")
        hold_until(game, pad, 0, lambda: screens.menu_item() == 0, "the menu after the viewer")
        for item in range(1, 5):
            move_to(item)
        hold_until(game, pad, 1, lambda: game.proc.poll() is not None, "Quit by the pad")
        check(game.wait_exit() == 0, "exit code after Quit with the pad")


def test_in_a_game_the_stick_aims_the_cannon_a_button_fires_then_initials(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE) as game:
        pad = start_with_pad(game)
        screens = Screens(game)
        to_menu(game)
        choose(game, screens, 2)  # TimeAttack: the board is full from the first tick of play
        wait_until(game, screens.cannon, (0, 0), "play, the cannon under column 0")

        push_until(game, pad, towards(1), screens.column, 1, "the stick to move the cannon")
        push_until(game, pad, UP, lambda: screens.colour() not in (None, 0), True,
                   "the stick to change the colour up")
        # The lowest block of column 1 (row 5 of the full board) is the target: the cannon
        # takes its colour, going down through the colours.
        target = block_colour(game, game.screenshot(), 5, 1)
        check(target is not None, "no block at the bottom of column 1")
        push_until(game, pad, DOWN, screens.colour, target, "the stick to change the colour down")
        check(screens.column() == 1, "the cannon left column 1")
        hold_until(game, pad, 2, lambda: block_colour(game, game.screenshot(), 5, 1) != target,
                   "the button's shot to destroy the block")

        game.key_until("Escape", lambda: screens.menu_item() == 0, "the menu")
        # A score that enters the table: the initials entry.
        game.key_until("F10", lambda: screens.initials() == ((), 0), "the initials entry")
        for letter in (1, 2, 3):  # A, B, C: one glyph right of the last, then taken
            hold_until(game, pad, RIGHT, lambda: screens.initials()[1] == letter,
                       "the stick to move to letter %d" % letter)
            taken = (lambda: screens.menu_item() == 0) if letter == 3 else \
                (lambda: len(screens.initials()[0]) == letter)
            hold_until(game, pad, 0, taken, "a button to take letter %d" % letter)
        game.key("Escape")
        check(game.wait_exit() == 0, "exit code")
        default = ((0, 0, 0), 1)
        expected = [default] * 3 + [((1, 2, 3), 50000), default, default] + [default] * 3
        check(game.file("HIGHSCORE.DAT") == table_bytes(expected),
              "letters entered with the pad: %r" % game.file("HIGHSCORE.DAT"))


def test_j_switches_the_pad_off_and_on_and_a_pad_put_back_keeps_it_off(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE) as game:
        pad = start_with_pad(game)
        screens = Screens(game)
        wait_until(game, screens.pad_state, "on", "the pad on at start")
        game.key_until("j", lambda: screens.pad_state() == "off", "J to switch the pad off")
        pad.push(*DOWN, hold=0.3)
        pad.press(0, hold=0.3)
        check(screens.options_row() == 0, "a switched-off pad moved the row or chose it")

        pad.pull()
        pad.plug()
        time.sleep(1.5)  # found by now, and kept off
        check(screens.pad_state() == "off", "a pad put back switched itself on after J")
        pad.push(*DOWN, hold=0.3)
        check(screens.options_row() == 0, "a pad put back after J moved the row")

        game.key_until("j", lambda: screens.pad_state() == "on", "J to switch the pad on again")
        hold_until(game, pad, DOWN, lambda: screens.options_row() == 1,
                   "the pad put back to move the row once switched on")
        game.key("Escape")
        check(game.wait_exit() == 0, "exit code after Esc")


def test_a_pad_plugged_in_later_is_found_and_works_again_after_a_pull(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE) as game:
        pad = start_with_pad(game, plugged=False)
        screens = Screens(game)
        wait_until(game, screens.pad_state, "off", "the pad off without one")
        plugged = time.time()
        pad.plug()
        wait_until(game, screens.pad_state, "on", "a pad plugged in to be found")
        # How soon is a figure for the reader; a loaded machine may take longer.
        print("  the pad plugged in was found after %.1f s" % (time.time() - plugged))
        hold_until(game, pad, DOWN, lambda: screens.options_row() == 1,
                   "the stick of the pad plugged in")
        hold_until(game, pad, 0, lambda: screens.menu_item() == 0, "the menu after its button")

        pad.pull()
        game.key_until("Down", lambda: screens.menu_item() == 1, "the keyboard after the pull")
        pad.plug()
        push_until(game, pad, DOWN, screens.menu_item, 2, "the stick of the pad put back")
        for item in (3, 4):
            hold_until(game, pad, DOWN, lambda: screens.menu_item() == item,
                       "the pad put back to move to item %d" % item)
        hold_until(game, pad, 0, lambda: game.proc.poll() is not None, "Quit by the pad")
        check(game.wait_exit() == 0, "exit code after Quit with the pad put back")


def test_a_pad_pulled_out_mid_game_lets_go_of_the_fire_and_stick_it_held(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE, audio="disk") as game:
        pad = start_with_pad(game)
        screens = Screens(game)
        to_menu(game, "m")  # music off: the capture holds the effects alone
        choose(game, screens, 1)  # Score: the board starts empty
        wait_until(game, screens.cannon, (0, 0), "play, the cannon under column 0")

        # Fire and right held until the cannon moves; then the pad is pulled out.
        before = game.audio_mark()
        pad.button(0, True)
        pad.stick(*RIGHT)
        game.wait_for(lambda: screens.column() not in (None, 0), PATIENCE, "the held stick to move")
        pad.pull()
        pulled = game.audio_mark()
        time.sleep(0.2)
        column = screens.column()
        check(column is not None and column < 4, "the cannon ran to column %s" % column)
        time.sleep(LONGEST_SHOT_SOUND + 2.0)
        check(game.audio_level(before, pulled + 0.3) > AUDIBLE, "the held fire never shot")
        after = game.audio_level(pulled + LONGEST_SHOT_SOUND, pulled + LONGEST_SHOT_SOUND + 2.0)
        check(after < SILENT, "the pulled-out pad kept firing (RMS %.0f)" % after)
        check(screens.column() == column, "the pulled-out pad kept moving the cannon")

        # In play a held key repeats: short presses, each checked, until the cannon moved one.
        key_push_until(game, screens.column, column - 1, "the keyboard after the pull")
        game.key_until("Escape", lambda: screens.menu_item() == 0, "the menu")
        game.key_until("Down", lambda: screens.menu_item() == 1,
                       "the menu to take keys after the pull")
        game.key("Escape")
        check(game.wait_exit() == 0, "exit code after Esc")


def test_odd_pads_give_what_they_have_and_hold_nothing(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE, audio="disk") as game:
        # A wheel: one axis, no buttons; moved by its axis at both extremes.
        pad = start_with_pad(game, axes=1, buttons=0)
        screens = Screens(game)
        to_menu(game, "m")
        choose(game, screens, 1)
        wait_until(game, screens.cannon, (0, 0), "play, the cannon under column 0")
        extremes = ((32767, 0), (-32768, 0))
        for column in (1, 0):
            push_until(game, pad, towards(column, *extremes), screens.column, column,
                       "the single axis to move the cannon to column %d" % column)
        time.sleep(0.5)
        check(screens.cannon() == (0, 0), "the single axis left something held")

        # More buttons than Allegro keeps (32): the ones past them do nothing.
        pad.pull()
        pad.plug(axes=2, buttons=40)
        push_until(game, pad, UP, screens.colour, 1, "the second pad's stick")
        quiet = game.audio_mark()
        pad.press(35, hold=0.3, after=0.5)
        kept = game.audio_mark()
        check(game.audio_level(quiet, kept) < SILENT, "a button past Allegro's 32 fired")
        pad.press(31, hold=0.3, after=0.5)
        check(game.audio_level(kept, game.audio_mark()) > AUDIBLE, "button 31 did not fire")

        # More buttons than a byte's sign allows (Allegro counts them as none): the stick alone.
        pad.pull()
        pad.plug(axes=2, buttons=200)
        push_until(game, pad, towards(1), screens.column, 1, "the third pad's stick")
        quiet = game.audio_mark()
        pad.press(0, hold=0.3, after=0.5)
        check(game.audio_level(quiet, game.audio_mark()) < SILENT,
              "a button of a pad Allegro counts none of fired")
        time.sleep(0.5)
        check(screens.cannon() == (1, 1), "an odd pad left something held")
        game.keys("Escape", "Escape")
        check(game.wait_exit() == 0, "exit code")


if __name__ == "__main__":
    run_tests([
        test_the_pad_chooses_the_window_moves_through_the_menu_and_starts_each_mode,
        test_in_a_game_the_stick_aims_the_cannon_a_button_fires_then_initials,
        test_j_switches_the_pad_off_and_on_and_a_pad_put_back_keeps_it_off,
        test_a_pad_plugged_in_later_is_found_and_works_again_after_a_pull,
        test_a_pad_pulled_out_mid_game_lets_go_of_the_fire_and_stick_it_held,
        test_odd_pads_give_what_they_have_and_hold_nothing,
    ])
