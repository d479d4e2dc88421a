#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan; preset "fuzz") and
# runs each for a number of seconds, one process each.
#
#   scripts/fuzz.sh [-j N] [SECONDS] [TARGET...]
#
# SECONDS (a whole number, 1 or more; a first argument that looks like a
# number is taken for it) defaults to 60; the targets default to every folder
# of fuzz/corpus/. -j N runs N targets at a time (default 1). Each target reads
# its seeds from fuzz/corpus/<target>/ and keeps what it finds new in
# build/fuzz/corpus/<target>/; a crash, a hang (over 1 s), a leak, a sanitizer
# report or an allocation over 2 GB stops it and leaves the input in
# build/fuzz/findings/<target>/. Logs are in build/fuzz/logs/. A finding makes
# the script fail. Ctrl+C, SIGTERM or SIGHUP ends the build under way, or the
# targets under way, which are reported as interrupted, and starts no more
# (exit 128 + the signal). Each target's temporary home goes once it has
# ended, however it ended. Should the script be killed outright (SIGKILL),
# the build or the targets end all the same and the temporary homes go.
#
# With $KL_PROGRAMS_DIR the targets (fuzz-<target>) are taken from that
# folder as built there: nothing is installed or built.
set -euo pipefail
cd "$(dirname "$0")/.."

usage_line="usage: scripts/fuzz.sh [-j N] [SECONDS] [TARGET...]"
# A usage error: the message and the usage, exit 2, nothing built or run.
usage() {
  echo "fuzz.sh: $1" >&2
  echo "$usage_line" >&2
  exit 2
}

case "${1:-}" in
  -h | --help)
    echo "$usage_line"
    exit 0
    ;;
esac
jobs=1
if [ "${1:-}" = "-j" ]; then
  [ $# -ge 2 ] || usage "-j needs the number of targets to run at a time"
  [[ "$2" =~ ^[1-9][0-9]{0,3}$ ]] || usage "-j takes a number of targets from 1 to 9999, not \"$2\""
  jobs=$2
  shift 2
fi
seconds=60
# A first argument that looks like a number (0.5, -1, 1e3, 0x10) is the
# number of seconds, right or wrong: no target is named so.
number='^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$|^[-+]?0[xX][0-9a-fA-F]+$'
if [[ "${1:-}" =~ $number ]]; then
  # libFuzzer takes 0 for no limit at all; the bound keeps within its int.
  [[ "$1" =~ ^0*[1-9][0-9]{0,8}$ ]] || usage "SECONDS takes a whole number from 1 to 999999999, not $1"
  seconds=$((10#$1))
  shift
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

# The names fuzz/CMakeLists.txt makes targets of, checked before the long
# build: a misspelt one fails at once.
known=$(sed -nE 's/^kl_fuzz_target\(([A-Za-z0-9_]+)[ )].*/\1/p' fuzz/CMakeLists.txt)
for name in "${targets[@]}"; do
  if ! grep -qxF -- "$name" <<<"$known"; then
    echo "fuzz.sh: no target $name (the targets: ${known//$'\n'/ })" >&2
    exit 2
  fi
done

# shellcheck source=scripts/steps.sh
. scripts/steps.sh
steps_init

if [ -n "${KL_PROGRAMS_DIR:-}" ]; then
  programs=$KL_PROGRAMS_DIR
else
  scripts/install-deps.sh --fuzz
  run_step cmake --preset fuzz >/dev/null
  run_step cmake --build --preset fuzz
  programs=build/fuzz/fuzz
fi
for name in "${targets[@]}"; do
  if [ ! -x "$programs/fuzz-$name" ]; then
    echo "fuzz.sh: no target $name in $programs" >&2
    exit 2
  fi
done

out=build/fuzz
# The targets that write files (user defaults, zip extraction) do so in a
# temporary home per process: in memory when the machine has /dev/shm. Each
# process makes it in a folder of its own here, removed once the process has
# ended: a finding ends a target without its own clean-up.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
mkdir -p "$out/logs" "$out/results"

declare -A running=()  # the targets under way: process id -> target
declare -A homes=()    # process id -> the folder of its temporary home
work=

# shellcheck disable=SC2317  # reached through the trap
stop() {
  for pid in "${!running[@]}"; do stop_step "$pid"; done
  if [ -n "$work" ]; then rm -rf "$work"; fi
}
trap stop EXIT
keep_folder work "${TMPDIR:-/tmp}/kl-fuzz-run-XXXXXX"
# From here a signal ends the targets under way (each a step) and starts no
# more; the run then ends once each is reported.
steps_hold=1

start_one() {
  local name=$1
  local options=(-max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1
                 -artifact_prefix="$out/findings/$name/")
  [ -f "fuzz/dict/$name.dict" ] && options+=(-dict="fuzz/dict/$name.dict")
  mkdir -p "$out/corpus/$name" "$out/findings/$name"
  rm -f "$out/results/$name"
  local home
  home=$(mktemp -d "$work/$name-XXXXXX")
  # libFuzzer takes a second signal as the first.
  TMPDIR=$home start_step --again TERM "$programs/fuzz-$name" "${options[@]}" "$out/corpus/$name" \
    "fuzz/corpus/$name" >"$out/logs/$name.log" 2>&1
  running[$started]=$name
  homes[$started]=$home
}

# Reports how the target of process `pid` ended (its exit status `status`)
# and takes it off the list.
report() {
  local pid=$1 status=$2
  local name=${running[$pid]}
  unset "running[$pid]"
  rm -rf "${homes[$pid]}"
  unset "homes[$pid]"
  local log="$out/logs/$name.log" cov execs
  cov=$(grep -aEo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
  execs=$(grep -aEo 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || true)
  # Ended by Ctrl+C, SIGTERM or SIGHUP: as fuzz/FuzzSupport.cpp ends a
  # target (128 + the signal), or as libFuzzer ends one by itself (72).
  case $status in
    0) printf '%-16s ok       %6s exec/s  %s  (%s s)\n' "$name" "${execs:-?}" "$cov" "$seconds" ;;
    72 | 129 | 130 | 143) printf '%-16s interrupted  %s  see %s\n' "$name" "$cov" "$log" ;;
    *) printf '%-16s FINDING  see %s and %s\n' "$name" "$log" "$out/findings/$name/" ;;
  esac | tee "$out/results/$name"
}

# Waits for a target to end and reports each one that has; a signal to this
# script ends the wait early (its trap ends the targets under way). What
# `wait -n` answers only says that something happened: after a signal its
# status and process may be the trap's and a target still running, and a
# target that a signal ended is no job for it any more once the shell has
# started another process (to report another target, say). A target is over
# when its process is gone; `wait PID` (in wait_step) keeps its exit status.
reap_one() {
  local pid status
  wait -n "${!running[@]}" 2>/dev/null || true
  for pid in "${!running[@]}"; do
    if ! kill -0 "$pid" 2>/dev/null; then
      status=0
      wait_step "$pid" || status=$?
      report "$pid" "$status"
    fi
  done
}

for name in "${targets[@]}"; do
  while [ "$signalled" -eq 0 ] && [ ${#running[@]} -ge "$jobs" ]; do reap_one; done
  [ "$signalled" -eq 0 ] || break
  start_one "$name"
done
while [ ${#running[@]} -gt 0 ]; do reap_one; done
[ "$signalled" -eq 0 ] || exit "$signalled"
failed=0
for name in "${targets[@]}"; do
  grep -q ' ok ' "$out/results/$name" 2>/dev/null || failed=1
done
exit $failed
