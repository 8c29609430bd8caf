#!/usr/bin/env bash
# Runs scripts/setup-machine.sh against stand-ins for apt-get, dpkg,
# dpkg-query and sudo placed first on PATH, so nothing is ever installed:
# a failed index update is passed over, a plain install that does not
# resolve is tried again from the release's suite, and a machine that has
# every package is left alone. Each stand-in logs how it was called.
set -euo pipefail

script=${1:?usage: check-setup-machine.sh path/to/setup-machine.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fakes=$work/bin
mkdir -p "$fakes"

cat >"$fakes/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_LOG"
case " $* " in
  *" update "*) exit "${FAKE_UPDATE_STATUS:-0}" ;;
  *" -t "*) exit "${FAKE_SUITE_INSTALL_STATUS:-0}" ;;
  *" install "*) exit "${FAKE_PLAIN_INSTALL_STATUS:-0}" ;;
esac
exit 1
FAKE
cat >"$fakes/dpkg" <<'FAKE'
#!/usr/bin/env bash
echo "dpkg $*" >>"$FAKE_LOG"
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
FAKE
cat >"$fakes/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
[ "${FAKE_INSTALLED:-none}" = all ] && printf 'install ok installed'
exit 0
FAKE
cat >"$fakes/sudo" <<'FAKE'
#!/usr/bin/env bash
exec "$@"
FAKE
# A machine that runs 32-bit programs: nothing to register.
cat >"$fakes/loader32" <<'FAKE'
#!/usr/bin/env bash
exit 0
FAKE
chmod +x "$fakes"/*

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Runs the script with the given stand-in settings; sets status and log.
run() {
  export FAKE_LOG=$work/log
  : >"$FAKE_LOG"
  status=0
  env "$@" PATH="$fakes:$PATH" PIXDIM_LOADER32="$fakes/loader32" \
    timeout 60 bash "$script" >"$work/out" 2>&1 || status=$?
  log=$(cat "$FAKE_LOG")
}

calls() { grep -c "$1" <<<"$log" || true; }

# The index update fails as apt-get does (exit 100): the install goes on.
run FAKE_UPDATE_STATUS=100
[ "$status" -eq 0 ] || fail "a failed update stopped the script ($status)"
[ "$(calls '^apt-get update')" -eq 1 ] || fail "update not asked once: $log"
[ "$(calls '^apt-get install .*--no-remove .*wine32:i386')" -eq 1 ] || fail "no plain install after a failed update: $log"
[ "$(calls ' -t ')" -eq 0 ] || fail "the suite was asked though the plain install worked: $log"
grep -q 'going on' "$work/out" || fail "a failed update went unmentioned"

# The plain install does not resolve: it is tried again from bookworm.
run FAKE_PLAIN_INSTALL_STATUS=100
[ "$status" -eq 0 ] || fail "the retry from the suite did not finish the script ($status)"
[ "$(calls '^apt-get install .*--no-remove -t bookworm .*googletest')" -eq 1 ] || fail "no retry with -t bookworm: $log"
[ "$(calls '^apt-get install ')" -eq 2 ] || fail "not one plain install and one retry: $log"

# Neither install resolves: the script fails.
run FAKE_PLAIN_INSTALL_STATUS=100 FAKE_SUITE_INSTALL_STATUS=100
[ "$status" -ne 0 ] || fail "a failed install was reported as success"

# Every package present: nothing is updated, installed or added.
run FAKE_INSTALLED=all FAKE_UPDATE_STATUS=100 FAKE_PLAIN_INSTALL_STATUS=100
[ "$status" -eq 0 ] || fail "a complete machine failed ($status)"
[ -z "$log" ] || fail "a complete machine was changed: $log"

[ "$failures" -eq 0 ] && echo "setup-machine.sh: all cases passed"
exit "$failures"
