#!/usr/bin/env python3
"""End-to-end scenarios: kavelo-dsp --demo on Xvfb, driven by xdotool, read
back with kavelo-cli --demo in the same fresh home.

    e2e_scenarios.py SCENARIO --app ... --cli ... --probe ... --layouts ...
                     --xvfb ... --xdotool ...
    e2e_scenarios.py --list      (the scenarios' names, one a line)

Exit status 0 passed, 1 failed, 77 skipped (no display could start).
"""

import argparse
import base64
import configparser
import os
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import SKIP, Failure, Session, Skipped  # noqa: E402

FACTORY_MAIN_VOLUME = 28
OUTPUTS = 8


def expect(condition, message):
    if not condition:
        raise Failure(message)


def expect_outputs(state, field, expected):
    """Every output's `field` as read back: `expected` maps output index to value,
    the others keep the factory value 0."""
    actual = [channel[field] for channel in state["channels"]]
    wanted = [expected.get(i, 0) for i in range(OUTPUTS)]
    expect(actual == wanted, "outputs' %s read back %s, expected %s" % (field, actual, wanted))


def type_into(s, app, control, text):
    """Clicks into an edit, replaces its text and presses Enter."""
    s.click(app, control)
    s.key("ctrl+a")
    s.type(text)
    s.key("Return")


def open_menu(s, app, button):
    mark = s.watcher.mark()
    s.click(app, button)
    return s.wait_popup(mark)


def scene_name(encoded):
    return base64.b64decode(encoded).decode("utf-16-le").split("\0", 1)[0]


def connect(s):
    """The application connects to the demo amplifier on start; what it leaves
    behind reads back."""
    expect(not os.path.exists(s.state_file), "the fresh home already holds a state file")
    app = s.start_app()
    found = s.xdotool("search", "--name", "^Kavelo DSP Audio$").split()
    expect(str(app.window) in found, "no window titled 'Kavelo DSP Audio' (found %s)" % found)
    s.close_app(app)
    expect(os.path.exists(s.state_file), "the application left no demo amplifier state")
    state = s.dump()
    expect(state["model_name"] == "TRQ5.40AMP", "model read back: %r" % state["model_name"])
    expect(state["mainVolume"] == FACTORY_MAIN_VOLUME,
           "main volume read back %r, factory is %d" % (state["mainVolume"],
                                                          FACTORY_MAIN_VOLUME))
    expect(len(state["channels"]) == OUTPUTS, "%d outputs read back" % len(state["channels"]))
    expect_outputs(state, "gain", {})


def keyboard_edit(s):
    """Output volumes typed into their edits reach the amplifier, each on its own output."""
    app = s.start_app()
    type_into(s, app, "edit_ch_volume_2", "-12")
    type_into(s, app, "edit_ch_volume_5", "-4")
    s.close_app(app)
    expect_outputs(s.dump(), "gain", {2: -12, 5: -4})


def mouse_edit(s):
    """Clicked MUTE buttons: one output's and the main volume's."""
    app = s.start_app()
    s.click(app, "ch_mute_3")
    s.click(app, "main_mute")
    s.close_app(app)
    state = s.dump()
    expect_outputs(state, "mute", {3: 1})
    expect(state["mainVolumeMute"] == 1, "main mute read back %r" % state["mainVolumeMute"])
    expect(state["mainVolume"] == FACTORY_MAIN_VOLUME, "main volume changed by its mute")


def scene_save(s):
    """Presets menu, Save As Preset, the next slot chosen by keyboard, a name
    typed: the amplifier stores the scene under that name, with the live
    settings of the moment."""
    app = s.start_app()
    type_into(s, app, "edit_ch_volume_1", "-9")
    open_menu(s, app, "btn_scene")
    mark = s.watcher.mark()
    s.key("Down", "Down", "Return")  # the second item: Save As Preset
    scenes = s.wait_window("scenewnd", mark)
    s.xdotool("windowfocus", "--sync", scenes)
    s.key("Down", "Return")  # from the current scene (1) to scene 2
    names = s.wait_window("namemsgwnd", mark)
    s.xdotool("windowfocus", "--sync", names)
    mark = s.watcher.mark()
    s.type("Stage 1")
    s.key("Return")
    done = s.wait_window("msgwnd", mark)  # the box telling the scene was saved
    s.xdotool("windowfocus", "--sync", done)
    s.key("Return")
    s.wait_gone(done)
    s.xdotool("windowfocus", "--sync", scenes)
    s.key("Escape")
    s.wait_gone(scenes)
    s.close_app(app)
    whole = s.dump(whole=True)
    stored = [scene_name(n) for n in whole["sceneName"]]
    expect(stored == [""] + ["Stage 1"] + [""] * (len(stored) - 2),
           "scene names read back: %s" % stored)
    gains = [c["gain"] for c in whole["sceneArray"][1]["channels"]]
    expect(gains == [0, -9] + [0] * (OUTPUTS - 2), "scene 2's output volumes: %s" % gains)


def language(s):
    """Settings menu, Language, Russian: the choice is stored and survives a restart."""
    app = s.start_app()
    first = open_menu(s, app, "btn_option")
    mark = s.watcher.mark()
    s.key("Down", "Down", "Down", "Right")  # the third item: Language
    s.wait_popup(mark)
    s.key("Down", "Down", "Return")  # English, Chinese, Russian
    s.wait_gone(first)
    s.close_app(app)
    expect(stored_language(s) == 2, "stored language %r, Russian is 2" % stored_language(s))
    app = s.start_app()
    s.close_app(app)
    expect(stored_language(s) == 2, "after a restart the stored language is %r"
           % stored_language(s))


def stored_language(s):
    config = configparser.ConfigParser()
    if not config.read(s.config_file):
        return None
    return config.getint("config", "lan", fallback=None)


def escape_and_close(s):
    """Esc in the main window leaves the application running (a volume typed
    after it still reaches the amplifier); the title bar's close control ends it."""
    app = s.start_app()
    s.click(app, "edit_ch_volume_0")
    s.key("Escape", "Escape")
    type_into(s, app, "edit_ch_volume_0", "-6")
    expect(s.is_running(app), "kavelo-dsp quit on Esc")
    s.close_app(app)
    expect_outputs(s.dump(), "gain", {0: -6})


SCENARIOS = {
    "connect": connect,
    "keyboard_edit": keyboard_edit,
    "mouse_edit": mouse_edit,
    "scene_save": scene_save,
    "language": language,
    "escape_and_close": escape_and_close,
}


def main():
    if sys.argv[1:] == ["--list"]:
        print("\n".join(SCENARIOS))
        return 0
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    for option in ("app", "cli", "probe", "layouts", "xvfb", "xdotool"):
        parser.add_argument("--" + option, required=True)
    args = parser.parse_args()
    session = None
    try:
        session = Session(args)
        SCENARIOS[args.scenario](session)
    except Skipped as e:
        print("SKIPPED: %s" % e)
        return SKIP
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        if session:
            session.close()
    print("PASSED: %s" % args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
