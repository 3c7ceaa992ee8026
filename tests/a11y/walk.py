#!/usr/bin/python3
"""Walks Vellumin's windows as a screen reader sees them, through AT-SPI: the home screen and
each of the six pages of the main window. Every control a user can act on, and every progress
bar, must have a name and a role; list rows are read by their text, the side label of the page
as static text. Needs an X display and a D-Bus session (run.sh provides both).

usage: walk.py VELLUMIN_BINARY
"""

import os
import re
import signal
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
import pyatspi  # noqa: E402
from gi.repository import Atspi  # noqa: E402

# Roles that tell a screen reader nothing about what a control is.
NO_ROLE = {pyatspi.ROLE_INVALID, pyatspi.ROLE_UNKNOWN, pyatspi.ROLE_FILLER, pyatspi.ROLE_PANEL,
           pyatspi.ROLE_REDUNDANT_OBJECT}
# Parts of a table, judged with their table.
TABLE_PARTS = {pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_TABLE_COLUMN_HEADER,
               pyatspi.ROLE_TABLE_ROW_HEADER}

HOME_BUTTONS = ["Drive Info", "S.M.A.R.T. Status", "Diagnostic Scan", "Secure Erase",
                "Firmware Update", "Trim Detect and Enable", "System Clone", "About"]
# Feature button and side label of each page.
PAGES = [("Drive Info", "Drive"), ("S.M.A.R.T. Status", "S.M.A.R.T."), ("Diagnostic Scan", "Scan"),
         ("Secure Erase", "Erase"), ("Firmware Update", "Update"), ("Trim Detect and Enable", "TRIM")]
MAIN_BUTTONS = [name for name, _ in PAGES] + ["Home", "About", "Refresh"]
PERCENT = re.compile(r"^\d{1,3}\.\d\d %$")

failures = []


class Stuck(Exception):
    pass


def wait_for(what, find, timeout=15.0):
    end = time.monotonic() + timeout
    while True:
        try:
            found = find()
        except Exception:  # a window torn down while it is read
            found = None
        if found:
            return found
        if time.monotonic() > end:
            raise Stuck(f"timed out waiting for {what}")
        time.sleep(0.1)


def states(acc):
    return acc.getState()


def showing(acc):
    return states(acc).contains(pyatspi.STATE_SHOWING)


def actions(acc):
    try:
        action = acc.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def descendants(acc):
    """The showing descendants of acc, tables not entered."""
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is None or not showing(child):
            continue
        yield child
        if child.getRole() != pyatspi.ROLE_TABLE:
            yield from descendants(child)


def find(window, role, name):
    for acc in descendants(window):
        if acc.getRole() == role and acc.name == name:
            return acc
    return None


def press(window, name):
    button = wait_for(f"a button named {name!r}",
                      lambda: find(window, pyatspi.ROLE_PUSH_BUTTON, name), timeout=5)
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press"))


def check_table(table, where):
    if not table.name.strip():
        failures.append(f"{where}: a list without a name")
    grid = table.queryTable()
    for row in range(grid.nRows):
        texts = [grid.getAccessibleAt(row, column).name.strip() for column in range(grid.nColumns)]
        if not any(texts):
            failures.append(f"{where}: row {row} of the list {table.name!r} reads as nothing")


def check(window, where):
    """Every actionable control and progress bar shown in window has a name and a role."""
    seen = 0
    for acc in descendants(window):
        role = acc.getRole()
        if role in TABLE_PARTS:
            continue
        if role == pyatspi.ROLE_TABLE:
            check_table(acc, where)
        actionable = (states(acc).contains(pyatspi.STATE_FOCUSABLE) or actions(acc)
                      or role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_TABLE))
        if not actionable:
            continue
        seen += 1
        label = f"{where}: {acc.getRoleName()} {acc.name!r}"
        if role in NO_ROLE:
            failures.append(f"{label} has no role a screen reader can use")
        if not acc.name.strip():
            failures.append(f"{label} has no name")
    if seen == 0:
        failures.append(f"{where}: no control found at all")


def expect(window, where, role, names):
    for name in names:
        if find(window, role, name) is None:
            failures.append(f"{where}: no {Atspi.role_get_name(role)} named {name!r}")


def shown_window(app, test):
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is not None and showing(window) and test(window):
            return window
    return None


def main():
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    program = subprocess.Popen([sys.argv[1], "--simulate"], env=env)
    try:
        def the_app():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.get_process_id() == program.pid:
                    return app
            return None

        app = wait_for("the program on the accessibility bus", the_app)
        app.set_cache_mask(Atspi.Cache.NONE)

        home = wait_for("the home screen", lambda: shown_window(app, lambda w: sum(
            acc.getRole() == pyatspi.ROLE_PUSH_BUTTON for acc in descendants(w)) >= 8))
        check(home, "home screen")
        expect(home, "home screen", pyatspi.ROLE_PUSH_BUTTON, HOME_BUTTONS)

        press(home, "Drive Info")
        main_window = wait_for("the main window", lambda: shown_window(
            app, lambda w: find(w, pyatspi.ROLE_TABLE, "Drives")))
        drives = find(main_window, pyatspi.ROLE_TABLE, "Drives").queryTable()
        for row in range(drives.nRows):
            if not drives.getAccessibleAt(row, 0).name.strip():
                failures.append(f"drive list: row {row} has no drive text")

        for number, (button, side_label) in enumerate(PAGES, start=1):
            where = f"page {number}"
            press(main_window, button)
            wait_for(f"the side label of {where}",
                     lambda: find(main_window, pyatspi.ROLE_LABEL, side_label))
            if number == 3:
                press(main_window, "Quick Scan")
                wait_for("the scan's progress bar to read its percentage", lambda: any(
                    acc.getRole() == pyatspi.ROLE_PROGRESS_BAR and PERCENT.match(acc.name)
                    for acc in descendants(main_window)))
                wait_for("the scan to end", lambda: states(find(
                    main_window, pyatspi.ROLE_PUSH_BUTTON, "Quick Scan")).contains(
                        pyatspi.STATE_ENABLED))
            check(main_window, where)
            expect(main_window, where, pyatspi.ROLE_PUSH_BUTTON, MAIN_BUTTONS)
            expect(main_window, where, pyatspi.ROLE_DIALOG, [button])  # the page itself
            # The page's own feature button reads as pressed, as it is drawn.
            for other, _ in PAGES:
                pressed = states(find(main_window, pyatspi.ROLE_PUSH_BUTTON, other)).contains(
                    pyatspi.STATE_PRESSED)
                if pressed != (other == button):
                    failures.append(f"{where}: {other!r} reads as "
                                    f"{'pressed' if pressed else 'not pressed'}")
            print(f"walk.py: {where} checked")
    except Stuck as stuck:
        failures.append(str(stuck))
    finally:
        program.send_signal(signal.SIGTERM)
        program.wait(timeout=10)

    for failure in failures:
        print("walk.py:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
