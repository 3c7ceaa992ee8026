#!/bin/sh
# The real Windows backend under Wine, read-only commands only: Wine can map
# \\.\PhysicalDriveN to a disk of this machine, so nothing here may write, erase or send a
# security command (the backend withholds them under Wine as well). Each command must end by
# itself with a status of its own, never a crash or a hang.
# Usage: real_backend.sh WINE vellumin-cli.exe PREFIX
set -u
wine=$1 cli=$2
export WINEPREFIX=$3 WINEDEBUG=-all
failed=0 passed=0
out=$(timeout 120 "$wine" "$cli" list 2>&1 | tr -d '\r')
status=$?
last=$(printf '%s\n' "$out" | tail -n 1)
case "$last" in
    " No compatible device found! " | "Vellumin requires Administrator Privileges.") passed=$((passed + 1)) ;;
    *) failed=$((failed + 1)); printf 'list ended with %s (status %s):\n%s\n' "$last" "$status" "$out" ;;
esac
for command in "identify 0" "identify --raw 0" "info 0" "smart 0"; do
    # shellcheck disable=SC2086
    timeout 120 "$wine" "$cli" $command >/dev/null 2>&1
    status=$?
    case $status in
        0 | 1 | 3 | 4) passed=$((passed + 1)) ;;
        *) failed=$((failed + 1)); echo "$command: status $status (crash or hang)" ;;
    esac
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
