#!/usr/bin/env bash
# Installs dependencies, configures, builds (debug with ASan and UBSan) and
# runs every test through ctest. Exits non-zero on any failure. It takes no
# arguments: any is a usage error (exit 2), before anything is built or run.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
  echo "test.sh: takes no arguments, not $1 (some tests alone: ctest --preset debug -R REGEX)" >&2
  echo "usage: scripts/test.sh" >&2
  exit 2
fi

# The configuration, the build and the tests each run as a step in a session
# of their own, out of the terminal's reach: Ctrl+C there (SIGINT to its
# foreground processes), like a SIGTERM or SIGHUP to this script, comes to
# this script alone, which passes a SIGTERM to every process of the step
# (cmake and ninja, which end their compilers; ctest and the tests), waits
# until none is left and ends with 128 + the signal. A second signal ends
# what is left at once (SIGKILL). The installation, which may ask for a
# password, stays on the terminal: a signal to this script alone is taken
# once it is over.
signalled=0  # 128 + the signal that came
in_step=0    # a step is under way
step=        # its process id, which is its group's, once known
# shellcheck disable=SC2317  # reached through the traps
pass_on() {
  local again=$signalled
  signalled=$1
  if [ "$in_step" -eq 0 ]; then exit "$signalled"; fi
  if [ -n "$step" ]; then end_step "$again"; fi
}
# Ends the step's processes: with a SIGTERM, or at once after an earlier
# signal. The step's own process is named too, should it not have made its
# group yet.
end_step() {
  local sig=TERM
  if [ "$1" -ne 0 ]; then sig=KILL; fi
  kill -"$sig" -- "-$step" 2>/dev/null || true
  kill -"$sig" "$step" 2>/dev/null || true
}
trap 'pass_on 130' INT
trap 'pass_on 143' TERM
trap 'pass_on 129' HUP

# Runs a command as a step; its exit status is the step's. A signal to this
# script ends the wait early (the trap passes it on): the step's end is
# waited for again, then that of every process in its group.
run_step() {
  local status=0
  in_step=1
  setsid "$@" &
  step=$!
  # A signal that came as it started has not reached it.
  if [ "$signalled" -ne 0 ]; then end_step 0; fi
  wait "$step" || status=$?
  while kill -0 "$step" 2>/dev/null; do
    status=0
    wait "$step" || status=$?
  done
  if [ "$signalled" -ne 0 ]; then
    while kill -0 -- "-$step" 2>/dev/null; do sleep 0.1; done
    exit "$signalled"
  fi
  in_step=0
  step=
  return "$status"
}

t0=$(date +%s)
scripts/install-deps.sh
t1=$(date +%s)

run_step cmake --preset debug >/dev/null
run_step cmake --build --preset debug
t2=$(date +%s)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
# One job per core: the preset's count would oversubscribe a small machine.
run_step ctest --preset debug -j"$(nproc)" --timeout 300 || status=$?
t3=$(date +%s)

echo "test.sh: dependencies $((t1 - t0)) s, build $((t2 - t1)) s, tests $((t3 - t2)) s"
exit $status
