#!/usr/bin/env bash
# Installs what is missing, builds (release: the program, the demo service and
# kl-soap), starts the demo service on a free loopback port and the program
# against it (its service and its statistics server):
#   - with a display ($DISPLAY or $WAYLAND_DISPLAY), in a desktop window; the
#     demo service keeps what is submitted (comments and the like) in
#     build/demo-state (or $KL_DEMO_STATE) from one run to the next;
#   - without one, a headless tour of the screens that writes a PNG of each
#     into build/tour (or $KL_TOUR_DIR), its log beside them, and prints
#     where they are; each tour starts the demo service from a fresh state.
# The demo service stops when this script ends.
#
#   scripts/run.sh                     the demo service and the program
#   scripts/run.sh --service URL ...   the program against another service (no demo service)
#
# Further arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."

own_service=1
for arg in "$@"; do
  case "$arg" in --service|--service=*) own_service=0 ;; esac
done

scripts/install-deps.sh
cmake --preset release >/dev/null
targets=(kestrowline kl-soap)
if [ $own_service -eq 1 ]; then targets+=(kl-demo-service); fi
cmake --build --preset release --target "${targets[@]}"

program=build/release/kestrowline
with_display=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then with_display=1; fi
folder=${KL_TOUR_DIR:-build/tour}

# The headless tour: its pictures (the tour replaces an earlier tour's) and
# the program's log in the folder. The program's own messages (its errors, a
# usage error with the usage) show on the terminal too; the pictures are named
# only when this run wrote some.
tour() {
  mkdir -p "$folder"
  local log=$folder/kestrowline.log started
  echo "run.sh: no display; touring the screens headless (the program's log: $log)"
  started=$(date +%s.%N)
  "$program" --tour "$folder" "$@" 2>"$log" &
  program_pid=$!
  wait "$program_pid" || status=$?
  # A signal to this script stops the program (the traps): wait for its end.
  while kill -0 "$program_pid" 2>/dev/null; do
    status=0
    wait "$program_pid" || status=$?
  done
  if [ "$status" -eq 2 ]; then
    cat "$log" >&2
  else
    grep -a '^kestrowline: ' "$log" >&2 || true
  fi
  if [ -n "$(find "$folder" -maxdepth 1 -name '[0-9][0-9]-*.png' -newermt "@$started" -print -quit)" ]; then
    echo "run.sh: the screens' pictures are in $(cd "$folder" && pwd)"
  else
    echo "run.sh: the tour wrote no pictures (exit status $status)"
  fi
}

status=0
program_pid=
if [ $own_service -eq 0 ]; then
  if [ $with_display -eq 1 ]; then exec "$program" "$@"; fi
  trap 'kill "$program_pid" 2>/dev/null || true' INT TERM
  tour "$@"
  exit $status
fi

# The demo service, stopped on the way out however this script ends.
# The program runs in the background too, so that a signal to this script
# reaches the traps at once and stops both.
work=$(mktemp -d)
service_pid=
# shellcheck disable=SC2317  # reached through the trap
stop() {
  for pid in $program_pid $service_pid; do
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ $with_display -eq 1 ]; then
  state=${KL_DEMO_STATE:-build/demo-state}
else
  state=$work/state
fi
# shellcheck source=scripts/demo-service.sh
. scripts/demo-service.sh
start_demo_service "$work/info" --state "$state"
info() { demo_info "$work/info" "$1"; }
endpoint=$(info KL_DEMO_ENDPOINT)
# The program's usage statistics go to the demo service too, never elsewhere.
stat_url=$(info KL_DEMO_STAT_URL)
login="$(info KL_DEMO_USER):$(info KL_DEMO_PASSWORD)"
# The opinion survey's page is the demo service's too.
KL_SURVEY_HOST=$(info KL_SURVEY_HOST)
export KL_SURVEY_HOST

if [ $with_display -eq 1 ]; then
  echo "run.sh: the program is in its window; log in as $(info KL_DEMO_USER) / $(info KL_DEMO_PASSWORD)"
  echo "run.sh: submissions are kept in $state (remove it to start afresh)"
  "$program" --service "$endpoint" --stat-report "$stat_url" "$@" &
  program_pid=$!
  wait "$program_pid" || status=$?
else
  tour --service "$endpoint" --stat-report "$stat_url" --tour-login "$login" "$@"
fi
exit $status
