#!/bin/sh
# vellumin-cli.exe os against Wine's own answer, with the prefix set to each Windows version:
# the version record says 6.2 from Windows 8 on (the program declares no later system), so
# 8.1 and 10 are told apart by WMI's Win32_OperatingSystem.Version.
# Usage: os_versions.sh WINE vellumin-cli.exe PREFIX
set -u
wine=$1 cli=$2
export WINEPREFIX=$3 WINEDEBUG=-all
failed=0 passed=0
check() {
    version=$1 expected=$2
    "$wine" winecfg /v "$version" || { echo "winecfg /v $version failed"; exit 1; }
    actual=$("$wine" "$cli" os | tr -d '\r')
    if [ "$actual" = "$(printf '%s' "$expected")" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'prefix %s:\n  expected %s\n  printed  %s\n' "$version" "$expected" "$actual"
    fi
}
check win7 'Operating System: Windows 7 Service Pack 1
TRIM offered: yes'
check win8 'Operating System: Windows 8 
TRIM offered: yes'
check win81 'Operating System: Windows 8.1 
TRIM offered: yes'
check win10 'Operating System: Unknown OS
TRIM offered: no'
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
