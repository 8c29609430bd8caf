#!/usr/bin/env bash
# run-host-test.sh PLUGIN PIXDIM_COMPARE WORK_DIR: the plugin in a real host,
# set up as the README says. Double Commander, on a virtual X display, runs
# as a plain user whose home holds the plugin, pixdim-compare and the host's
# configuration. It shows a folder of test files in a column set of the
# plugin's fields; the test copies every shown row to the clipboard and
# compares it with the expected table. Then, in a folder of pictures, the
# README's toolbar button runs pixdim-compare on the two selected files (its
# hotkey, through the host's terminal parameters), and multi-rename puts
# each picture's Dimensions into its name.
#
# Run as root, the host runs as the user "nobody" in a mount namespace of
# its own where the home is /home/alice: what a user sees, and what
# docs/doublecmd-columns.png shows (pictures.png here). Run as anyone else,
# the home is in WORK_DIR. Leaves in WORK_DIR the homes, the host's logs,
# columns.png, pictures.png and, on failure, failure.png. Every wait is
# bounded; every process it starts is ended when it exits.
set -euo pipefail
[ -f "$1" ] || { echo "FAIL: no plugin at $1" >&2; exit 1; }
[ -f "$2" ] || { echo "FAIL: no pixdim-compare at $2" >&2; exit 1; }
plugin=$(realpath "$1")
compare=$(realpath "$2")
work=$(mkdir -p "$3" && realpath "$3")
here=$(dirname "$(realpath "$0")")

readonly window_wait=30     # seconds for the host's window to show
readonly fill_wait=45       # seconds for every plugin column to fill
readonly run_wait=20        # seconds for a command or a rename to finish
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

# Every row of TABLE shown, and every row that must show a value shows one:
# the background worker that fills the plugin columns has finished.
all_filled() {  # all_filled TABLE
  read_rows || return 1
  awk -F '\t' 'NR == FNR { want[$1] = $2; rows++; next }
    { seen++; if (want[$1] != "" && $2 == "") pending++ }
    END { exit !(seen == rows && pending == 0) }' "$1" "$work/shown.tsv"
}

wait_filled() {  # wait_filled TABLE: until all_filled, or fail showing the rows
  local deadline=$((SECONDS + fill_wait))
  until all_filled "$1"; do
    if [ $SECONDS -ge $deadline ]; then
      echo "FAIL: the plugin columns did not fill within ${fill_wait}s; rows shown (-expected +shown):" >&2
      [ "${host_frozen:-no}" = no ] || echo "(the host's window is frozen: it no longer answers the clipboard)" >&2
      diff -u "$1" "$work/shown.tsv" >&2 || true
      exit 1
    fi
    sleep 1
  done
}

key() { x xdotool key --clearmodifiers "$@"; sleep 0.3; }

# Under load the host now and then loses a key pressed just after a dialog
# or a clipboard transfer; each step below checks its effect and presses
# its keys again until it shows.

# The names of the marked files, as the host copies their details.
marked() {
  x xdotool key --clearmodifiers ctrl+shift+d || return 1
  sleep 0.3
  x xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null | cut -f 1 | LC_ALL=C sort
}

find_dialog() {  # find_dialog TITLE: sets dialog to the shown window whose title starts with TITLE
  dialog=$(x xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -n 1) && [ -n "$dialog" ]
}
dialog_gone() { ! find_dialog "$1"; }

# mark_only MASK WANT: marks exactly the files MASK matches, through the
# host's mask dialog; WANT is their names, one a line.
mark_only() {
  local deadline=$((SECONDS + run_wait))
  while [ $SECONDS -lt $deadline ]; do
    key ctrl+shift+a shift+F3
    if wait_for 5 find_dialog 'Select mask'; then
      x xdotool windowactivate --sync "$dialog" && x xdotool type --delay 20 "$1" && key Return
      wait_for 5 dialog_gone 'Select mask' || key Escape
    fi
    x xdotool windowactivate --sync "$window" || true
    sleep 1
    [ "$(marked)" != "$2" ] || return 0
  done
  fail "could not mark only the files of $1"
}

wait_for() {  # wait_for SECONDS COMMAND...: like wait_until, but only says whether it happened
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

terminal_runs() { grep -c "^$1\$" "$terminal_log" || true; }  # terminal_runs ++|--
runs_beyond() { [ "$(terminal_runs "$1")" -gt "$2" ]; }

# The README's button on the marked files, through its hotkey: the host
# runs pixdim-compare in its terminal; the fake terminal logs the output.
compare_marked() {  # compare_marked EXPECTED_LINE
  local runs attempt
  runs=$(terminal_runs ++)
  for attempt in 1 2 3 4 5; do
    key ctrl+shift+p
    ! wait_for 3 runs_beyond ++ "$runs" || break
  done
  wait_until $run_wait "the compare command's end" runs_beyond -- "$runs"
  grep -qxF -- "$1" "$terminal_log" ||
    fail "the compare button printed other than '$1':"$'\n'"$(cat "$terminal_log")"
}

shows_pictures() {  # the panel lists the folder of pictures
  read_rows && [ "$(cut -f 1 "$work/shown.tsv")" = "$(cut -f 1 "$work/pictures.tsv")" ]
}
open_pictures() {
  local attempt
  for attempt in 1 2 3 4 5; do
    key shift+F1
    wait_for 3 shows_pictures && return 0
  done
  fail "the panel did not change to the pictures"
}

renamed() {  # every picture carries its Dimensions in its name
  [ "$(cd "$home_outside/Pictures" && ls | LC_ALL=C sort)" = "$(cat "$work/renamed.txt")" ]
}

cd "${work:?}" && rm -rf homes home xhome logs ./*.png ./*.tsv ./*.txt ./*.diff
mkdir -p "$work/logs" "$work/xhome"

# The host's user and home: a plain user's, whatever runs the test. The host
# titles its window "ROOT PRIVILEGES" for user id 0.
if [ "$(id -u)" -eq 0 ]; then
  home_outside=$work/homes/alice
  home=/home/alice
else
  home_outside=$work/home
  home=$home_outside
fi
mkdir -p "$home_outside/.local/share/doublecmd/plugins/pixdim" "$home_outside/.local/bin" "$home_outside/.config" \
  "$home_outside/.cache"
cp "$plugin" "$home_outside/.local/share/doublecmd/plugins/pixdim/pixdim.wdx"
cp "$compare" "$home_outside/.local/bin/pixdim-compare"
"$here/make-folder.sh" "$home_outside/Checks" "$work/expected.tsv"
"$here/make-pictures.sh" "$home_outside/Pictures" "$work/pictures.tsv"
# The names multi-rename must give: "NAME (WIDTH x HEIGHT).EXT".
awk -F '\t' '{ n = split($1, p, "."); ext = p[n]; base = substr($1, 1, length($1) - length(ext) - 1);
  printf "%s (%s).%s\n", base, $4, ext }' "$work/pictures.tsv" | LC_ALL=C sort > "$work/renamed.txt"
"$here/write-config.sh" "$home_outside/.config/doublecmd" \
  "$home/.local/share/doublecmd/plugins/pixdim/pixdim.wdx" "$home/Checks" "$home/Pictures" "$here/fake-terminal.sh"
terminal_log=$home_outside/.cache/terminal.log
: > "$terminal_log"
[ "$home" = "$home_outside" ] || chown -R 65534:65534 "$work/homes"

# Nothing the test starts sees the user's settings, caches or session
# services; the host gets its user's home, with ~/.local/bin on the PATH as
# Debian's ~/.profile puts it.
export HOME=$work/xhome XDG_CONFIG_HOME=$work/xhome/.config XDG_CACHE_HOME=$work/xhome/.cache
export XDG_DATA_HOME=$work/xhome/.local/share DBUS_SESSION_BUS_ADDRESS=disabled: NO_AT_BRIDGE=1
export LANG=C.UTF-8 LC_ALL=C.UTF-8
host_env=(env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache"
  XDG_DATA_HOME="$home/.local/share" PATH="$home/.local/bin:$PATH" PIXDIM_TERMINAL_LOG="$home/.cache/terminal.log")
host=(doublecmd --no-splash --config-dir="$home/.config/doublecmd")
if [ "$home" != "$home_outside" ]; then
  # /home of the namespace is WORK_DIR/homes; the host runs as nobody.
  host=(unshare --mount --propagation private -- sh -c \
    'mount --bind "$0" /home && exec setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"' \
    "$work/homes" "${host_env[@]}" "${host[@]}")
else
  host=("${host_env[@]}" "${host[@]}")
fi

# Xvfb picks a free display and writes its number once it accepts clients.
# The host fills plugin columns only for the rows in view: the screen holds
# every row of the folder, with room to spare.
start xvfb Xvfb -displayfd 3 -screen 0 1024x720x24 -nolisten tcp 3> "$work/logs/display"
wait_until 10 "the X server start" test -s "$work/logs/display"
display=$(cat "$work/logs/display")
export DISPLAY=":$display"
start openbox openbox
start doublecmd "${host[@]}"

find_window() { window=$(x xdotool search --onlyvisible --name '^Double Commander' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
wait_until $window_wait "the host's window showing" find_window
x xdotool windowactivate --sync "$window" || fail "cannot focus the host's window"

title=$(x xdotool getwindowname "$window")
case "$title" in *ROOT*) fail "the host's title shows root privileges: $title" ;; esac

wait_filled "$work/expected.tsv"
key ctrl+shift+a
x import -window root "$work/columns.png"
echo "panel with the plugin columns: $work/columns.png"
if ! diff -u "$work/expected.tsv" "$work/shown.tsv" > "$work/rows.diff"; then
  echo "FAIL: the host shows other values than expected (-expected +shown):" >&2
  cat "$work/rows.diff" >&2
  exit 1
fi
echo "PASS: Double Commander shows the expected Width, Height and Dimensions of $(wc -l < "$work/expected.tsv") files"

# The folder of pictures, as a user has it.
open_pictures
wait_filled "$work/pictures.tsv"
diff -u "$work/pictures.tsv" "$work/shown.tsv" >&2 || fail "the pictures show other values than expected"
key ctrl+shift+a
x import -window root "$work/pictures.png"
echo "the pictures in the host: $work/pictures.png"

mark_only 'Harbour.*' $'Harbour.bmp\nHarbour.png'
compare_marked "equal: $home/Pictures/Harbour.bmp and $home/Pictures/Harbour.png show the same pixels"
mark_only 'Harbour*.png' $'Harbour (edited).png\nHarbour.png'
compare_marked "different: $home/Pictures/Harbour (edited).png and $home/Pictures/Harbour.png"
echo "PASS: the toolbar button's hotkey runs pixdim-compare on the two selected files"

# Multi-rename on every picture, with the mask the README gives.
for attempt in 1 2 3 4 5; do
  key ctrl+a ctrl+m
  ! wait_for 5 find_dialog 'Multi-Rename' || break
done
find_dialog 'Multi-Rename' || fail "the multi-rename window did not show"
x xdotool windowactivate --sync "$dialog" || fail "cannot focus the multi-rename window"
key End shift+Home
x xdotool type --delay 20 '[N] ([=Plugin(pixdim).Dimensions{}])'
sleep 0.5
key F9
wait_until $run_wait "the renaming" renamed
key Escape
echo "PASS: multi-rename names the pictures by their Dimensions"
