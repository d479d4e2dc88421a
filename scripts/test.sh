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

# The configuration, the build and the tests each run as a step (in a
# session of their own): Ctrl+C, SIGTERM or SIGHUP ends every process of the
# step under way, then the script (128 + the signal); a second signal ends
# what is left at once (SIGKILL); should the script be killed outright
# (SIGKILL), they end all the same. The installation, which may ask for a
# password, stays on the terminal.
# shellcheck source=scripts/steps.sh
. scripts/steps.sh
steps_init

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
