#!/bin/sh
# Runs walk.py against the program in a private X server and D-Bus session, where the
# accessibility bus and registry start on demand.
set -e
export XDG_RUNTIME_DIR="$(mktemp -d)"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 "$(dirname "$0")/walk.py" "$@"
