#!/usr/bin/env bash
# Builds the .deb with CPack in the given build tree, unpacks it into a temporary root and
# checks what a user and Debian's tools would look at. Usage: check_package.sh BUILD_DIR [PREFIX]
set -euo pipefail
build=$(cd "$1" && pwd)
prefix=${2:-/usr}
if [ "$prefix" != /usr ]; then
  echo "skipped: this tree installs to $prefix; a Debian package installs to /usr" \
       "(configure with -DCMAKE_INSTALL_PREFIX=/usr, as the presets and tools/package do)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {  # check NAME COMMAND...: runs it, reports, remembers a failure
  local name=$1
  shift
  if out=$("$@" 2>&1); then
    echo "ok    $name"
  else
    echo "FAIL  $name"
    printf '%s\n' "$out" | sed 's/^/      /'
    fail=1
  fi
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"
  exit 1
}
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"
root=$work/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -f "$deb" Package Version Section Depends | sed 's/^/      /'

# No tag is overridden: errors and warnings both fail.
check "lintian: no errors or warnings" sh -c "! lintian '$deb' 2>/dev/null | grep '^[EW]:'"
depends=$(dpkg-deb -f "$deb" Depends)
check "Depends worked out from the libraries" sh -c "echo '$depends' | grep -q libqt6widgets6 && echo '$depends' | grep -q libcurl && echo '$depends' | grep -q liburing"
check "Section admin" sh -c "[ \"\$(dpkg-deb -f '$deb' Section)\" = admin ]"

desktop=$root/usr/share/applications/org.vellumin.Vellumin.desktop
check "desktop entry valid" desktop-file-validate "$desktop"
check "desktop entry starts the installed program" \
  sh -c "exec_line=\$(sed -n 's/^Exec=\\([^ ]*\\).*/\\1/p' '$desktop'); [ -x '$root/usr/bin/'\"\$exec_line\" ]"
check "AppStream metainfo valid" appstreamcli validate --no-net --pedantic \
  "$root/usr/share/metainfo/org.vellumin.Vellumin.metainfo.xml"
for page in usr/share/man/man1/vellumin.1.gz usr/share/man/man8/vellumin-cli.8.gz; do
  check "man page $(basename "$page" .gz) renders without warnings" \
    sh -c "zcat '$root/$page' | groff -man -ww -z 2>&1 | (! grep .)"
done
policy=$root/usr/share/polkit-1/actions/org.vellumin.Vellumin.policy
check "polkit policy is valid XML" xmllint --noout "$policy"
check "polkit policy names the installed program" \
  sh -c "xmllint --xpath 'string(//annotate[@key=\"org.freedesktop.policykit.exec.path\"])' '$policy' | grep -qx /usr/bin/vellumin"
# The metrics service, rated by systemd against the unpacked tree alone (nothing is loaded into
# the host's systemd). A directive systemd does not know is ignored with a warning: no hardening.
exposure=$(systemd-analyze security --offline=yes --root="$root" --threshold=40 \
             vellumin-metrics.service 2>&1) && rated=1 || rated=0
level=$(printf '%s\n' "$exposure" | sed -n 's/.*Overall exposure level for [^:]*: //p')
check "metrics service exposure ${level:-not rated}, at most 4.0" \
  sh -c '[ "$1" = 1 ] || { printf "%s\n" "$2"; exit 1; }; ! printf "%s\n" "$2" | grep -E "Unknown|ignoring|[Ff]ailed|not found"' _ "$rated" "$exposure"
for size in 16 32 48 128 256; do
  check "icon ${size}x${size}" sh -c "file '$root/usr/share/icons/hicolor/${size}x${size}/apps/org.vellumin.Vellumin.png' | grep -q '$size x $size'"
done
check "nothing from the tests or benchmarks" \
  sh -c "! find '$root' -name 'test_*' -o -name 'bench_*' -o -name '*.a' | grep ."

cli=$root/usr/bin/vellumin-cli
check "unpacked vellumin-cli --version" sh -c "'$cli' --version | grep -q 'vellumin-cli '"
check "unpacked vellumin-cli --simulate list" sh -c "'$cli' --simulate list | grep -q '^Drive 0 '"
check "unpacked vellumin --help" "$root/usr/bin/vellumin" --help

# The completion asks the unpacked program itself; complete a command, an option and a drive.
completion=$root/usr/share/bash-completion/completions/vellumin-cli
complete_line() {
  bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _vellumin_cli
    printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
}
completes() {  # completes EXPECTED WORD...: EXPECTED is among the completions of the line
  local expected=$1
  shift
  complete_line "$@" | grep -qx -- "$expected"
}
every_command_completes() {
  local c
  for c in $("$cli" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'); do
    completes "$c" "$cli" "${c%?}" || { echo "missing $c"; return 1; }
  done
}
check "completion: commands" completes smart "$cli" sm
check "completion: options" completes --full "$cli" scan --fu
check "completion: lab drive numbers" completes 13 "$cli" --simulate info 1
check "completion: security takes a drive" completes 14 "$cli" --simulate security 1
check "completion: every command of --help" every_command_completes
exit $fail
