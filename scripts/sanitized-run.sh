#!/usr/bin/env bash
# Runs one test program of the sanitizer build. Now and then LeakSanitizer's own
# tracer dies of a segmentation fault while it stops the threads for the leak
# check at exit, after the program has finished and passed: the tool failed,
# not the program. Only then does the program run once more with the leak check
# off, so AddressSanitizer and UndefinedBehaviorSanitizer still judge it. A leak
# report, a sanitizer error or a failed test is passed on as it is.
set -u
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
err=$dir/stderr
mkfifo "$dir/pipe" || exit 1
tee "$err" <"$dir/pipe" >&2 &
copier=$!
"$@" 2>"$dir/pipe"
status=$?
wait "$copier" # the copy of stderr is complete before it is read
if [ "$status" -ne 0 ] && grep -q '^Tracer caught signal' "$err" &&
  grep -q 'LeakSanitizer has encountered a fatal error' "$err" &&
  ! grep -q 'ERROR: \(AddressSanitizer\|LeakSanitizer: detected\)\|runtime error:' "$err"; then
  echo "sanitized-run: the leak checker's tracer crashed after the run; running again without the leak check" >&2
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$@"
  status=$?
fi
exit "$status"
