#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan; preset "fuzz") and
# runs each for a number of seconds, one process each.
#
#   scripts/fuzz.sh [-j N] [SECONDS] [TARGET...]
#
# SECONDS defaults to 60; the targets default to every folder of fuzz/corpus/.
# -j N runs N targets at a time (default 1). Each target reads its seeds from
# fuzz/corpus/<target>/ and keeps what it finds new in build/fuzz/corpus/<target>/;
# a crash, a hang (over 1 s), a leak, a sanitizer report or an allocation over
# 2 GB stops it and leaves the input in build/fuzz/findings/<target>/. Logs are
# in build/fuzz/logs/. A finding makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."

# A usage error: the message and the usage, exit 2, nothing built or run.
usage() {
  echo "fuzz.sh: $1" >&2
  echo "usage: scripts/fuzz.sh [-j N] [SECONDS] [TARGET...]" >&2
  exit 2
}

jobs=1
if [ "${1:-}" = "-j" ]; then
  [ $# -ge 2 ] || usage "-j needs the number of targets to run at a time"
  [[ "$2" =~ ^[1-9][0-9]{0,3}$ ]] || usage "-j takes a number of targets from 1 to 9999, not \"$2\""
  jobs=$2
  shift 2
fi
seconds=60
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
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

scripts/install-deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
# The targets that write files (user defaults, zip extraction) do so in a
# temporary home per process: in memory when the machine has /dev/shm.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
mkdir -p "$out/logs" "$out/results"

run_one() {
  local name=$1
  local program="$out/fuzz/fuzz-$name"
  local log="$out/logs/$name.log"
  local options=(-max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1
                 -artifact_prefix="$out/findings/$name/")
  [ -f "fuzz/dict/$name.dict" ] && options+=(-dict="fuzz/dict/$name.dict")
  mkdir -p "$out/corpus/$name" "$out/findings/$name"
  local status=0
  "$program" "${options[@]}" "$out/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  local cov execs
  cov=$(grep -aEo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
  execs=$(grep -aEo 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || true)
  if [ "$status" -eq 0 ]; then
    printf '%-16s ok       %6s exec/s  %s  (%s s)\n' "$name" "${execs:-?}" "$cov" "$seconds" | tee "$out/results/$name"
  else
    printf '%-16s FINDING  see %s and %s\n' "$name" "$log" "$out/findings/$name/" | tee "$out/results/$name"
  fi
}

for name in "${targets[@]}"; do
  if [ ! -x "$out/fuzz/fuzz-$name" ]; then
    echo "fuzz.sh: no target $name" >&2
    exit 2
  fi
done

for name in "${targets[@]}"; do
  rm -f "$out/results/$name"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_one "$name" &
done
wait
failed=0
for name in "${targets[@]}"; do
  grep -q ' ok ' "$out/results/$name" 2>/dev/null || failed=1
done
exit $failed
