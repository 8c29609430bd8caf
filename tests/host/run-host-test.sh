#!/usr/bin/env bash
# run-host-test.sh PLUGIN WORK_DIR: the plugin in a real host. Double
# Commander, on a virtual X display, shows a folder of pictures in a column
# set of the plugin's fields; the test copies every shown row to the
# clipboard and compares it with the expected table. Leaves in WORK_DIR the
# folder, the host's configuration and logs, columns.png (the panel) and, on
# failure, failure.png. Every wait is bounded; every process it starts is
# ended when it exits.
set -euo pipefail
[ -f "$1" ] || { echo "FAIL: no plugin at $1" >&2; exit 1; }
plugin=$(realpath "$1")
work=$(mkdir -p "$2" && realpath "$2")
here=$(dirname "$(realpath "$0")")

readonly window_wait=30     # seconds for the host's window to show
readonly fill_wait=45       # seconds for every plugin column to fill
readonly step_limit=5       # seconds for any one X client call

# The exit handler may run amid a command whose output goes elsewhere; it
# reports on the test's own error output, kept here.
exec 9>&2
started=()
cleanup() {
  local status=$?
  if [ $status -ne 0 ] && [ -n "${DISPLAY:-}" ]; then
    timeout $step_limit import -window root "$work/failure.png" 2>/dev/null &&
      echo "screen at failure: $work/failure.png" >&9
  fi
  for pid in "${started[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${started[@]}"; do
    for _ in {1..30}; do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  exit $status
}
trap cleanup EXIT
trap 'exit 124' TERM INT HUP

fail() { echo "FAIL: $*" >&2; exit 1; }

# start NAME COMMAND...: in the background, output to logs/NAME.log. In a
# session of its own, so a signal meant for the test reaches only the test,
# which then still sees the screen before it ends what it started.
start() {
  local name=$1
  shift
  setsid "$@" > "$work/logs/$name.log" 2>&1 &
  started+=($!)
}

wait_until() {  # wait_until SECONDS WHAT COMMAND...: poll COMMAND until it succeeds
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@"; do
    [ $SECONDS -lt $deadline ] || fail "$what did not happen within its time limit"
    sleep 0.2
  done
}

x() { timeout $step_limit "$@"; }  # an X client call that cannot hang the test

# The host's rows, as the clipboard holds them after copying all of them.
# A host that does not hand over the clipboard has a frozen window.
read_rows() {
  x xdotool key --clearmodifiers ctrl+a ctrl+shift+d || return 1
  sleep 0.3
  local status=0
  x xclip -o -selection clipboard -t UTF8_STRING > "$work/clipboard.txt" 2>/dev/null || status=$?
  host_frozen=no
  [ $status -ne 124 ] || host_frozen=yes
  LC_ALL=C sort "$work/clipboard.txt" > "$work/shown.tsv"
}

# Every row shown, and every row that must show a value shows one: the
# background worker that fills the plugin columns has finished.
all_filled() {
  read_rows || return 1
  awk -F '\t' 'NR == FNR { want[$1] = $2; rows++; next }
    { seen++; if (want[$1] != "" && $2 == "") pending++ }
    END { exit !(seen == rows && pending == 0) }' "$work/expected.tsv" "$work/shown.tsv"
}

cd "${work:?}" && rm -rf folder config home logs ./*.png ./*.tsv ./*.txt ./*.diff
mkdir -p "$work/logs" "$work/home"
"$here/make-folder.sh" "$work/folder" "$work/expected.tsv"
"$here/write-config.sh" "$work/config" "$plugin" "$work/folder"

# The host sees none of the user's settings, caches or session services.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share DBUS_SESSION_BUS_ADDRESS=disabled: NO_AT_BRIDGE=1
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# Xvfb picks a free display and writes its number once it accepts clients.
# The host fills plugin columns only for the rows in view: the screen holds
# every row of the folder, with room to spare.
start xvfb Xvfb -displayfd 3 -screen 0 1024x720x24 -nolisten tcp 3> "$work/logs/display"
wait_until 10 "the X server start" test -s "$work/logs/display"
display=$(cat "$work/logs/display")
export DISPLAY=":$display"
start openbox openbox
start doublecmd doublecmd --no-splash --config-dir="$work/config"

find_window() { window=$(x xdotool search --onlyvisible --name '^Double Commander' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
wait_until $window_wait "the host's window showing" find_window
x xdotool windowactivate --sync "$window" || fail "cannot focus the host's window"

deadline=$((SECONDS + fill_wait))
until all_filled; do
  if [ $SECONDS -ge $deadline ]; then
    echo "FAIL: the plugin columns did not fill within ${fill_wait}s; rows shown (-expected +shown):" >&2
    [ "${host_frozen:-no}" = no ] || echo "(the host's window is frozen: it no longer answers the clipboard)" >&2
    diff -u "$work/expected.tsv" "$work/shown.tsv" >&2 || true
    exit 1
  fi
  sleep 1
done

x xdotool key --clearmodifiers ctrl+shift+a
sleep 0.5
x import -window root "$work/columns.png"
echo "panel with the plugin columns: $work/columns.png"

if ! diff -u "$work/expected.tsv" "$work/shown.tsv" > "$work/rows.diff"; then
  echo "FAIL: the host shows other values than expected (-expected +shown):" >&2
  cat "$work/rows.diff" >&2
  exit 1
fi
echo "PASS: Double Commander shows the expected Width, Height and Dimensions of $(wc -l < "$work/expected.tsv") files"
