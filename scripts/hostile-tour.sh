#!/usr/bin/env bash
# The headless tour against a service that means harm: the demo service over
# a hostile variant of its data (kl-hostile-data: pictures whose headers
# claim 16384 x 16384, page bodies with file: pictures and links, a 10 MB
# title). Builds the release programs, runs the tour under GNU time and
# prints its elapsed time and peak memory. The tour's pictures go to
# build/hostile-tour (or $KL_TOUR_DIR). It fails when the tour does, or when
# the program's peak resident memory reaches 100 MB (100000 kB as GNU time
# counts; $KL_HOSTILE_PEAK_KB sets another bound, a whole number of kB).
# docs/PERFORMANCE.md has the figures and where the memory goes. The tour
# replaces its own pictures of an earlier run; other files in the folder
# stay. An argument, or a bound that is no whole number, is a usage error
# (exit 2) before anything is built or run. Ctrl+C, or a SIGTERM or SIGHUP to
# the script, ends the build under way, or the tour after the step under way
# as one signal ends the program alone; the script then ends with 128 + the
# signal, as it does at once for a signal between them. Should the script be
# killed outright (SIGKILL), what it started ends all the same and its
# temporary folder goes.
#
#   scripts/hostile-tour.sh
#
# With $KL_PROGRAMS_DIR the programs (kestrowline, kl-demo-service,
# kl-hostile-data) are taken from that folder as built there: nothing is
# installed or built.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/demo-service.sh
. scripts/demo-service.sh
# shellcheck source=scripts/steps.sh
. scripts/steps.sh

usage() {
  echo "hostile-tour.sh: $1" >&2
  echo "usage: [KL_HOSTILE_PEAK_KB=N] scripts/hostile-tour.sh" >&2
  exit 2
}
if [ $# -gt 0 ]; then usage "takes no arguments, not $1"; fi
limit=${KL_HOSTILE_PEAK_KB:-100000}
# Within what the shell's test compares.
if [[ ! "$limit" =~ ^[1-9][0-9]{0,17}$ ]]; then
  usage "KL_HOSTILE_PEAK_KB takes a whole number of kB from 1 to 999999999999999999, not \"$limit\""
fi
steps_init

if [ -n "${KL_PROGRAMS_DIR:-}" ]; then
  programs=$KL_PROGRAMS_DIR
  need_programs kestrowline kl-demo-service kl-hostile-data
else
  scripts/install-deps.sh
  run_step cmake --preset release >/dev/null
  run_step cmake --build --preset release --target kestrowline kl-demo-service kl-hostile-data
  programs=build/release
fi

# The data, the service's state, the program's home and GNU time's figures.
work=
tour_pid=  # the tour, started and not yet waited for
service_pid=
# shellcheck disable=SC2317  # reached through the trap
stop() {
  for pid in $tour_pid $service_pid; do stop_step "$pid"; done
  if [ -n "$work" ]; then rm -rf "$work"; fi
}
trap stop EXIT
keep_folder work

run_step "$programs/kl-hostile-data" "$work/data" >/dev/null
start_demo_service "$work/info" --data "$work/data" --state "$work/state" >/dev/null
info() { demo_info "$work/info" "$1"; }
KL_SURVEY_HOST=$(info KL_SURVEY_HOST)
export KL_SURVEY_HOST

folder=${KL_TOUR_DIR:-build/hostile-tour}
mkdir -p "$folder"
status=0
# The program takes a second SIGTERM as a call to end at once.
KL_HOME="$work/home" start_step --again TERM /usr/bin/time -v -o "$work/time" "$programs/kestrowline" \
  --service "$(info KL_DEMO_ENDPOINT)" --stat-report "$(info KL_DEMO_STAT_URL)" --tour "$folder" \
  --tour-login "$(info KL_DEMO_USER):$(info KL_DEMO_PASSWORD)" 2>"$folder/kestrowline.log"
tour_pid=$started
wait_step "$tour_pid" || status=$?
tour_pid=
if [ "$signalled" -ne 0 ]; then exit "$signalled"; fi
grep -E "Elapsed \(wall clock\)|Maximum resident set size" "$work/time" | sed 's/^\s*/hostile-tour.sh: /'
peak=$(sed -n 's/^\s*Maximum resident set size (kbytes): //p' "$work/time")
if [ -z "$peak" ] || [ "$peak" -ge "$limit" ]; then
  echo "hostile-tour.sh: the peak resident memory (${peak:-unknown} kB) is not under ${limit} kB" >&2
  [ "$status" -ne 0 ] || status=1
fi
exit $status
