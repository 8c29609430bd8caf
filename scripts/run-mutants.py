#!/usr/bin/env python3
"""Removes each guard of tests/mutants/guards.txt in turn from a scratch copy
of the tree, builds, runs the fast tests and prints the guards whose removal
no test notices (the survivors). Exits 1 when there is a survivor, when a
guard's edit no longer matches the code exactly once, or when a mutant does
not build; 0 when every guard is killed by the test its row names.

  scripts/run-mutants.py [--only NAME ...]
"""
import argparse
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
TABLE = ROOT / "tests" / "mutants" / "guards.txt"
SCRATCH = ROOT / "build" / "mutants" / "tree"
# Every test a mutant runs is bounded: a guard whose removal makes a test
# hang is killed by the bound.
TEST_SECONDS = 300
# GoogleTest's line for a failed test, before its summary repeats it.
FAILED_TEST = re.compile(r"^\[  FAILED  \] (\w+\.\w+) \(")
FAST_TESTS = {
    "native": [("build/native/tests/native/unit_tests", []),
               ("build/native/tests/e2e/e2e_tests", [])],
    "windows-x64": [("cmake/wine-run.sh", ["build/wineprefix", "wine64", "build/windows-x64/tests/e2e/e2e_tests.exe"])],
}


def read_table():
    guards, guard = [], None
    for number, line in enumerate(TABLE.read_text().splitlines(), 1):
        if line.startswith("## "):
            guard = {"name": line[3:].strip(), "line": number}
            guards.append(guard)
        elif guard is not None and ": " in line and not line.startswith("#"):
            key, value = line.split(": ", 1)
            guard[key.strip()] = value
    for guard in guards:
        missing = [key for key in ("file", "find", "replace", "build", "killed-by") if key not in guard]
        if missing:
            sys.exit(f"guards.txt:{guard['line']}: {guard['name']} lacks {', '.join(missing)}")
    return guards


def copy_tree():
    files = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                           check=True, capture_output=True).stdout.decode().split("\0")
    for name in filter(None, files):
        source, target = ROOT / name, SCRATCH / name
        if not source.is_file():
            continue
        if not target.exists() or target.read_bytes() != source.read_bytes():
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(source, target)  # a new time, so the build sees it


def build(preset):
    if not (SCRATCH / "build" / preset / "build.ninja").exists():
        subprocess.run(["cmake", "--preset", preset], cwd=SCRATCH, check=True, stdout=subprocess.DEVNULL)
    targets = ["unit_tests", "e2e_tests"] if preset == "native" else ["e2e_tests"]
    result = subprocess.run(["cmake", "--build", "--preset", preset, "--target", *targets], cwd=SCRATCH,
                            capture_output=True, text=True)
    return result.returncode == 0, result.stdout[-2000:] + result.stderr[-2000:]


def failing_tests(preset):
    """The names of the failing tests, or a line saying what went wrong."""
    failed = []
    for program, arguments in FAST_TESTS[preset]:
        # The sanitizer settings the native test preset gives its tests.
        env = dict(os.environ, ASAN_OPTIONS="allocator_may_return_null=1:max_allocation_size_mb=2048:detect_leaks=1",
                   WINEDEBUG="-all")
        try:
            result = subprocess.run([str(SCRATCH / program), *arguments], cwd=SCRATCH, env=env, capture_output=True,
                                    text=True, timeout=TEST_SECONDS, errors="replace")
        except subprocess.TimeoutExpired:
            failed.append(f"{pathlib.Path(program).name}: timed out")
            continue
        names = [match.group(1) for match in map(FAILED_TEST.match, result.stdout.splitlines()) if match]
        failed += sorted(set(names))
        if result.returncode != 0 and not names:
            failed.append(f"{pathlib.Path(program).name}: exit {result.returncode}")
    return failed


def say(line):
    print(line, flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", nargs="*", default=None)
    options = parser.parse_args()
    # Ended from outside, it still puts back the guard it removed.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    guards = [g for g in read_table() if options.only is None or g["name"] in options.only]
    started = time.monotonic()
    SCRATCH.mkdir(parents=True, exist_ok=True)
    copy_tree()
    presets = sorted({g["build"] for g in guards})
    for preset in presets:
        built, log = build(preset)
        baseline = failing_tests(preset) if built else ["does not build"]
        if baseline:
            sys.exit(f"the unmutated tree fails on {preset}: {baseline}\n{log if not built else ''}")
    problems = 0
    for guard in guards:
        path = SCRATCH / guard["file"]
        original = path.read_text()
        find = guard["find"].replace("\\n", "\n")
        if original.count(find) != 1:
            say(f"STALE     {guard['name']}: its edit matches {guard['file']} {original.count(find)} times")
            problems += 1
            continue
        path.write_text(original.replace(find, guard["replace"].replace("\\n", "\n")))
        try:
            built, log = build(guard["build"])
            failed = failing_tests(guard["build"]) if built else None
        finally:
            path.write_text(original)
        if failed is None:
            say(f"NO BUILD  {guard['name']}\n{log}")
            problems += 1
        elif not failed:
            say(f"SURVIVED  {guard['name']} ({guard['file']})")
            problems += 1
        elif not any(name.startswith(guard["killed-by"]) for name in failed):
            say(f"KILLED    {guard['name']}, but not by {guard['killed-by']}: {', '.join(failed[:4])}")
            problems += 1
        else:
            say(f"killed    {guard['name']} by {', '.join(failed[:3])}")
    for preset in presets:
        build(preset)  # leaves the scratch build unmutated
    minutes = (time.monotonic() - started) / 60
    say(f"{len(guards)} guards, {problems} survivors or problems, {minutes:.1f} minutes")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
