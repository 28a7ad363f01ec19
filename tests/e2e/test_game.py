"""Games played through the real program: music and effects as heard, game over, viewer."""

import time

from zephe2e import DEFAULT_TABLE, Game, Screens, picture_shown, run_tests, same_colour

AUDIBLE = 300  # RMS of 16-bit samples; digital silence is 0
SILENT = 30


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def to_menu(game, *option_keys):
    """Options screen: the given switches (nothing on screen tells M and S), then the window;
    each key held until the screen took it, so a busy machine slows this but never fails it."""
    screens = Screens(game)
    game.wait_for_window()
    game.wait_for(lambda: screens.options_row() == 0, 20, "the options screen")
    game.keys(*option_keys)
    game.key_until("Down", lambda: screens.options_row() == 1, "the window row")
    game.key_until("Return", lambda: screens.menu_item() == 0, "the menu")


def choose(game, item, mark=None):
    """Moves the menu cursor from the top to an item and chooses it; returns when it was
    taken (by the clock, or by the audio capture when mark is given)."""
    screens = Screens(game)
    for step in range(1, item + 1):
        game.key_until("Down", lambda: screens.menu_item() == step, "menu item %d" % step)
    taken = mark() if mark else game.seconds()

    def chosen():  # Quit closes the window: then there is no screen to read
        try:
            return game.proc.poll() is not None or screens.menu_item() != item
        except Exception:
            return True

    # A short press, again only if a busy machine lost it: the viewer would take a Return
    # still held when it opens as its own.
    deadline = time.time() + 20
    while True:
        game.key("Return", after=0)
        try:
            game.wait_for(chosen, 5, "menu item %d chosen" % item)
            return taken
        except AssertionError:
            if time.time() > deadline:
                raise


def test_title_music_fades_out_and_the_level_track_follows(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE, audio="disk").start() as game:
        to_menu(game, "s")  # effects off: the capture holds music alone
        menu = game.audio_mark()
        time.sleep(2.0)
        chosen = choose(game, 1, game.audio_mark)  # Score
        time.sleep(6.0)
        game.keys("Escape", "Escape")
        check(game.wait_exit() == 0, "exit code")

        title = game.audio_level(menu + 0.3, menu + 1.8)
        check(title > AUDIBLE, "no title music (RMS %.0f)" % title)
        # The fade takes 129 ticks and the level track starts at tick 180: between them a
        # stretch of silence, found in the capture itself so that load cannot shift it.
        step = 0.05
        levels = [game.audio_level(chosen + i * step, chosen + (i + 1) * step)
                  for i in range(int(6.0 / step))]
        gap = next((i for i in range(len(levels) - 6)
                    if all(level < SILENT for level in levels[i:i + 6])), None)
        check(gap is not None, "no silence between the title and the level track")
        gap_start = gap * step
        check(1.6 < gap_start < 3.0, "the silence starts %.2f s after the choice" % gap_start)
        before = game.audio_level(chosen - 1.0, chosen)
        fading = game.audio_level(chosen + gap_start - 0.6, chosen + gap_start - 0.1)
        check(0 < fading < before / 2, "no fade: %.0f then %.0f" % (before, fading))
        level_track = game.audio_level(chosen + gap_start + 1.5, chosen + gap_start + 3.0)
        check(level_track > AUDIBLE, "no level track after the ready sequence (%.0f)"
              % level_track)


def test_a_shot_and_the_ready_sequence_sound_their_effects(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE, audio="disk").start() as game:
        to_menu(game, "m")  # music off: the capture holds effects alone
        chosen = choose(game, 1, game.audio_mark)
        time.sleep(4.5)
        shot = game.audio_mark()
        game.key("space")  # the board is still empty: a shot into an empty column
        time.sleep(1.0)
        game.keys("Escape", "Escape")
        check(game.wait_exit() == 0, "exit code")

        ready = game.audio_level(chosen + 0.95, chosen + 1.4)
        # ready-go.wav lasts 1.42 s from about 1.0 s after the choice; the quiet stretch
        # before the shot leaves a second for a slow key press or a busy machine.
        quiet = game.audio_level(shot - 1.2, shot - 0.05)
        laser = game.audio_level(shot, shot + 0.4)
        check(ready > AUDIBLE, "no ready-go at the 60th tick (RMS %.0f)" % ready)
        check(quiet < SILENT, "sound before the shot (RMS %.0f)" % quiet)
        check(laser > AUDIBLE, "the shot made no sound (RMS %.0f)" % laser)


def test_every_return_to_the_menu_restarts_the_title_music(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE, audio="disk").start() as game:
        game.wait_for_window()
        game.key("s", after=0.8)  # effects off (the switch itself still sounds, let it end)
        game.key("Down")  # the window row
        chosen = game.audio_mark()
        game.key("Return")
        time.sleep(1.2)
        returns = []
        screens = Screens(game)
        for item, what in ((3, "the viewer"), (1, "a Score game")):
            choose(game, item)  # the viewer plays its own track; a game fades the title
            time.sleep(0.5)
            left = game.audio_mark()
            game.key("Escape", hold=0.3)
            # A busy machine may take a while to bring the menu back: the title is looked for
            # from the press to a second after the menu shows.
            game.wait_for(lambda: screens.menu_item() is not None, 20, "the menu after " + what)
            time.sleep(1.0)
            returns.append((what, left, game.audio_mark()))
        game.key("Escape")
        check(game.wait_exit() == 0, "exit code")

        # The title's first half second as the first pass of the menu played it; the music is
        # the only sound, so its first frame that is not silence is where the track begins.
        start = game.first_sound(chosen)
        check(start is not None and start < chosen + 1.0, "no title music after the options")
        opening = game.audio_bytes(start, start + 0.5)
        check(opening.strip(b"\0"), "the title's opening is silent")
        for what, left, right in returns:
            found = game.find_audio(opening, left, right)
            check(found is not None,
                  "the title did not start again from its beginning after %s" % what)


def block_colour(game, shot, row, column):
    """Which of the four block sprites a board cell shows, or None."""
    blocks = game.bitmap("blocks.bmp")
    scores = []
    for colour in range(4):
        hits = total = 0
        for y in range(2, 30, 3):
            for x in range(2, 30, 3):
                sprite = blocks.pixel(x, 32 * colour + y)
                if sprite == (255, 0, 255):
                    continue
                total += 1
                hits += same_colour(shot.pixel(32 * column + x, 32 * row + y), sprite)
        scores.append(hits / max(total, 1))
    best = max(range(4), key=lambda c: scores[c])
    return best if scores[best] > 0.8 else None


def test_a_timeattack_lost_to_wrong_shots_opens_the_viewer_on_its_page(game_dir):
    with Game(game_dir, highscore=DEFAULT_TABLE).start() as game:
        to_menu(game)
        chosen = choose(game, 2)  # TimeAttack
        time.sleep(max(0.0, chosen + 3.2 - game.seconds()))
        # The board is laid out when play starts; the cannon (colour 0) sits under column 0:
        # make sure its colour is wrong for the lowest block there.
        def bottom_block():
            colour = block_colour(game, game.screenshot(), 5, 0)
            return None if colour is None else [colour]  # colour 0 is a find too

        if game.wait_for(bottom_block, 5, "the TimeAttack board") == [0]:
            game.key("Up")
        for _ in range(6):  # six misses of ten seconds empty the clock
            game.key("space", after=0.45)
        time.sleep(2.0)  # the game-over pause ignores keys for 80 ticks
        game.key("Return")  # a score of 0 enters no table: straight to the viewer
        time.sleep(0.8)

        arrows = game.bitmap("pageflip.bmp")
        half = arrows.width // 2
        top = 240 - arrows.height

        def arrows_shown():
            shot = game.screenshot()
            return (picture_shown(shot, arrows, 0, 0, half, arrows.height, 5, top) > 0.9,
                    picture_shown(shot, arrows, half, 0, half, arrows.height, 315 - half, top)
                    > 0.9)

        check(arrows_shown() == (True, False), "page 2 should show only the back arrow")
        game.key("Left")
        check(arrows_shown() == (True, True), "page 1 should show both arrows")
        game.key("Return")  # leave the viewer, back to the menu
        game.key("Escape")
        check(game.wait_exit() == 0, "exit code")
        check(game.file("HIGHSCORE.DAT") == DEFAULT_TABLE, "the table changed")


if __name__ == "__main__":
    run_tests([
        test_title_music_fades_out_and_the_level_track_follows,
        test_a_shot_and_the_ready_sequence_sound_their_effects,
        test_every_return_to_the_menu_restarts_the_title_music,
        test_a_timeattack_lost_to_wrong_shots_opens_the_viewer_on_its_page,
    ])
