#!/usr/bin/env bash
# check-pixdim-compare.sh COMMAND SAMPLES WORK FIXTURES VERSION:
# pixdim-compare on two files and on two folders, its output and its exit
# codes (0 equal, 1 different, 2 trouble), names that are bytes and are
# printed escaped, folders it cannot read, pairing across formats, and files
# it must not wait on. Every run is bounded, so a FIFO the command waited
# on fails the test.
set -euo pipefail
command=$(realpath "$1")
samples=$(realpath "$2")
work=$(mkdir -p "$3" && realpath "$3")
fixtures=$(realpath "$4")
version=$5
cd "$work" && { chmod -R u+rwx . 2>/dev/null || true; } && rm -rf ./* ./.[!.]*

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

# -- Usage and version, on standard output.
for option in --help -h; do
  run 0 $option
  has out.txt 'usage: pixdim-compare [--] FILE1 FILE2'
  has out.txt '--any-format'
  has out.txt 'as \xHH'
  empty err.txt
done
run 0 --version
[ "$(cat out.txt)" = "pixdim-compare $version" ] || fail "--version printed '$(cat out.txt)'"
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
has out.txt 'equal: caf\xe9.png and sunset.bmp'

# -- Two folders, paired by relative path at any depth, across formats.
mkdir -p left/sub/deep right/sub/deep
cp sunset.png left/same.png && cp sunset.bmp right/same.png
cp sunset.bmp left/sub/deep/same.bmp && cp sunset.png right/sub/deep/same.bmp
cp sunset.png "left/$latin1" && cp sunset.bmp "right/$latin1"
run 0 left right
printf 'equal: %s\n' 'caf\xe9.png' same.png sub/deep/same.bmp > want.txt
echo '3 equal, 0 different, 0 in one folder only, 0 errors' >> want.txt
diff want.txt out.txt || fail "folders of equal pictures: other lines than expected"
empty err.txt  # not a terminal: no progress line

cp sunset.png left/changed.png && cp retouched.png right/changed.png
cp sunset.png left/only-left.png
cp sunset.png right/sub/only-right.png
run 1 left right
{
  printf '%s\n' 'equal: caf\xe9.png'
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

# -- Names are printed escaped: none can add a line to the report or
# command the terminal. A name that would forge a verdict line, one that
# would return the cursor and paint over the line, a backslash, a C1
# control, and UTF-8 that stays as it is.
forged=$'c.png\nequal: b.png'
painter=$'d.png\r\e[2Kequal: d.png'
mkdir -p forge-left forge-right
for name in "$forged" "$painter"; do
  cp sunset.png "forge-left/$name" && cp retouched.png "forge-right/$name"
done
cp sunset.png 'forge-left/back\slash.png' && cp sunset.bmp 'forge-right/back\slash.png'
cp sunset.png "forge-left/$(printf 'c1-\302\233.png')" && cp sunset.bmp "forge-right/$(printf 'c1-\302\233.png')"
cp sunset.png 'forge-left/Ünïcödé-日本.png' && cp sunset.bmp 'forge-right/Ünïcödé-日本.png'
run 1 forge-left forge-right
# The lines as printed, backslashes and all, in bytewise order.
printf '%s\n' \
  'equal: back\\slash.png' \
  'different: c.png\nequal: b.png' \
  'equal: c1-\xc2\x9b.png' \
  'different: d.png\r\x1b[2Kequal: d.png' \
  'equal: Ünïcödé-日本.png' \
  '3 equal, 2 different, 0 in one folder only, 0 errors' > want.txt
diff want.txt out.txt || fail "folders with forging names: other lines than expected"
! grep -q $'[\r\e]' out.txt || fail "a carriage return or an escape reached the output"
run 1 "forge-left/$forged" "forge-right/$painter"
[ "$(grep -c '' out.txt)" -eq 1 ] || fail "two files with forging names gave more than one line: $(cat out.txt)"
has out.txt 'different: forge-left/c.png\nequal: b.png and forge-right/d.png\r\x1b[2Kequal: d.png'
run 2 "forge-left/$forged" "missing-$painter"
has err.txt 'missing-d.png\r\x1b[2Kequal: d.png: No such file or directory'
! grep -q $'[\r\e]' err.txt || fail "a carriage return or an escape reached the error output"

# Bytes that only look like UTF-8 (an overlong '/', a surrogate, a sequence
# cut short by the name's end), a tab and DEL.
odd=$(printf 'odd-\300\257-\355\240\200-\t\177-\346\227')
cp sunset.png "$odd"
run 0 "$odd" sunset.bmp
[ "$(cat out.txt)" = 'equal: odd-\xc0\xaf-\xed\xa0\x80-\t\x7f-\xe6\x97 and sunset.bmp show the same pixels' ] ||
  fail "a name of odd bytes: $(cat out.txt)"

# The bytes' reason names the file escaped too.
cp "$fixtures/deep-a.png" "$forged" && cp "$fixtures/deep-b.png" deep-b.png
run 1 "$forged" deep-b.png
[ "$(cat out.txt)" = 'different: c.png\nequal: b.png and deep-b.png (c.png\nequal: b.png has samples deeper than 8 bits, so only the same bytes count)' ] ||
  fail "the reason after a different: $(cat out.txt)"

# -- --any-format pairs a.png with a.bmp by the path without the extension;
# where that path belongs to two files in a folder (x.png and x.jpg), its
# files pair by full name only, so x.bmp is not matched to either.
mkdir -p any-left/sub any-right/sub
cp sunset.png any-left/a.png && cp sunset.bmp any-right/a.bmp
cp sunset.png any-left/sub/b.png && cp retouched.png any-right/sub/b.bmp
cp sunset.png any-left/x.png && cp sunset.png any-left/x.jpg && cp sunset.bmp any-right/x.bmp
cp sunset.png any-left/y.png && cp sunset.png any-left/y.jpg && cp sunset.bmp any-right/y.png
cp sunset.png any-left/.hidden && cp sunset.bmp any-right/.hidden
cp sunset.png any-left/z.png
run 1 --any-format any-left any-right
{
  echo 'equal: .hidden'
  echo 'equal: a.png and a.bmp'
  echo 'different: sub/b.png and sub/b.bmp'
  echo 'only in any-right: x.bmp'
  echo 'only in any-left: x.jpg'
  echo 'only in any-left: x.png'
  echo 'only in any-left: y.jpg'
  echo 'equal: y.png'
  echo 'only in any-left: z.png'
  echo '3 equal, 1 different, 5 in one folder only, 0 errors'
} > want.txt
diff want.txt out.txt || fail "--any-format: other lines than expected"
run 1 any-left any-right
has out.txt 'only in any-left: a.png'
has out.txt 'only in any-right: a.bmp'
run 2 --any-format sunset.png sunset.bmp
has err.txt 'give two folders'

# -- A folder that cannot be read is an error on its side, and the other
# side's files below it are not "only in" their folder. Root reads any
# folder, so as root these runs are made as the user nobody.
plain_user=()
[ "$(id -u)" -ne 0 ] || plain_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
run_plain() {
  local want=$1 status=0
  shift
  timeout 30 "${plain_user[@]}" "$command" "$@" > out.txt 2> err.txt || status=$?
  [ $status -eq "$want" ] || fail "pixdim-compare $* exited $status, not $want; stderr: $(cat err.txt)"
}
mkdir -p shut-left/sub shut-right/sub
cp sunset.png shut-left/same.png && cp sunset.bmp shut-right/same.png
cp sunset.png shut-left/sub/hidden.png && cp sunset.png shut-right/sub/hidden.png
cp sunset.png shut-right/sub/right-only.png
chmod 000 shut-left/sub
run_plain 2 shut-left shut-right
{
  echo 'error (folder could not be read: Permission denied): shut-left/sub'
  echo 'equal: same.png'
  echo '1 equal, 0 different, 0 in one folder only, 1 errors'
} > want.txt
diff want.txt out.txt || fail "a subfolder that cannot be read: other lines than expected"
chmod 755 shut-left/sub && chmod 000 shut-right
run_plain 2 shut-left shut-right
{
  echo 'error (folder could not be read: Permission denied): shut-right'
  echo '0 equal, 0 different, 0 in one folder only, 1 errors'
} > want.txt
diff want.txt out.txt || fail "a folder that cannot be read: other lines than expected"
chmod 755 shut-right

[ $failures -eq 0 ] || { echo "$failures checks failed" >&2; exit 1; }
echo "PASS: pixdim-compare on files and folders"
