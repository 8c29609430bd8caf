#!/usr/bin/env bash
# fake-terminal.sh -e PROGRAM ARG...: stands in for the terminal emulator
# Double Commander starts for a command that runs in a terminal (xterm's
# "-e" form, with the host's own parameters). It runs the command with
# nothing to read and appends to the file named by PIXDIM_TERMINAL_LOG a
# line "++", what the command printed, and a line "--" of its own.
[ "$1" = -e ] && shift
echo "++" >> "$PIXDIM_TERMINAL_LOG"
"$@" < /dev/null >> "$PIXDIM_TERMINAL_LOG" 2>&1
printf '\n--\n' >> "$PIXDIM_TERMINAL_LOG"
