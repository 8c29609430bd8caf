#!/usr/bin/env bash
# check-pixdim-compare.sh COMMAND SAMPLES WORK: pixdim-compare on two files
# and on two folders, its output and its exit codes (0 equal, 1 different,
# 2 trouble), names that are bytes, and files it must not wait on. Every
# run is bounded, so a FIFO the command waited on fails the test.
set -euo pipefail
command=$(realpath "$1")
samples=$(realpath "$2")
work=$(mkdir -p "$3" && realpath "$3")
cd "$work" && rm -rf ./*

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# run WANT ARGS...: runs the command on ARGS; its output goes to out.txt and
# err.txt, and its exit status must be WANT.
run() {
  local want=$1 status=0
  shift
  timeout 30 "$command" "$@" > out.txt 2> err.txt || status=$?
  [ $status -eq "$want" ] || fail "pixdim-compare $* exited $status, not $want; stderr: $(cat err.txt)"
}
has() { grep -qF -- "$2" "$1" || fail "$1 lacks '$2': $(cat "$1")"; }
empty() { [ ! -s "$1" ] || fail "$1 is not empty: $(cat "$1")"; }

# -- Usage.
run 0 --help
has out.txt 'usage: pixdim-compare [--] FILE1 FILE2'
for arguments in "" "one" "one two three" "--verbose a b"; do
  # shellcheck disable=SC2086 # the words are the arguments
  run 2 $arguments
  has err.txt 'usage: pixdim-compare'
done

# -- Two files. A BMP and a PNG of one picture show the same pixels.
cp "$samples/sunset.png" sunset.png
cp "$samples/sunset.bmp" sunset.bmp
cp "$samples/sunset-retouched.png" retouched.png
run 0 sunset.bmp sunset.png
has out.txt 'equal: sunset.bmp and sunset.png show the same pixels'
empty err.txt
run 1 sunset.png retouched.png
has out.txt 'different: sunset.png and retouched.png'
run 2 sunset.png missing.png
has err.txt 'missing.png: No such file or directory'
empty out.txt
mkfifo pipe.png
run 2 pipe.png sunset.png
has err.txt 'pipe.png: not a regular file'
run 2 sunset.png "$work"
has err.txt 'sunset.png: a file, compared with a folder'

# A name that starts with a dash after "--", and a Latin-1 name that is not
# UTF-8: both reach the system as the bytes they are.
cp sunset.png ./-dash.png
run 0 -- -dash.png sunset.bmp
latin1=$(printf 'caf\351.png')
cp sunset.png "$latin1"
run 0 "$latin1" sunset.bmp
has out.txt "equal: $latin1 and sunset.bmp"

# -- Two folders, paired by relative path at any depth, across formats.
mkdir -p left/sub/deep right/sub/deep
cp sunset.png left/same.png && cp sunset.bmp right/same.png
cp sunset.bmp left/sub/deep/same.bmp && cp sunset.png right/sub/deep/same.bmp
cp sunset.png "left/$latin1" && cp sunset.bmp "right/$latin1"
run 0 left right
printf 'equal: %s\n' "$latin1" same.png sub/deep/same.bmp > want.txt
echo '3 equal, 0 different, 0 in one folder only, 0 errors' >> want.txt
diff want.txt out.txt || fail "folders of equal pictures: other lines than expected"
empty err.txt  # not a terminal: no progress line

cp sunset.png left/changed.png && cp retouched.png right/changed.png
cp sunset.png left/only-left.png
cp sunset.png right/sub/only-right.png
run 1 left right
{
  echo "equal: $latin1"
  echo 'different: changed.png'
  echo 'only in left: only-left.png'
  echo 'equal: same.png'
  echo 'equal: sub/deep/same.bmp'
  echo 'only in right: sub/only-right.png'
  echo '3 equal, 1 different, 2 in one folder only, 0 errors'
} > want.txt
diff want.txt out.txt || fail "folders with a difference and lone files: other lines than expected"

# A pair that cannot be opened is an error, and is not waited on.
mkfifo left/sub/pipe.png right/sub/pipe.png
run 2 left right
has out.txt 'error (could not be opened): sub/pipe.png'
has out.txt '3 equal, 1 different, 2 in one folder only, 1 errors'

# A missing side.
run 2 left missing-folder
has err.txt 'missing-folder: No such file or directory'
run 2 missing-folder right
has err.txt 'missing-folder: No such file or directory'

[ $failures -eq 0 ] || { echo "$failures checks failed" >&2; exit 1; }
echo "PASS: pixdim-compare on files and folders"
