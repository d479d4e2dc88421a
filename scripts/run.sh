#!/usr/bin/env bash
# Installs what is missing, builds (release), starts the demo service on a
# free loopback port and the program against it (its service and its
# statistics server):
#   - with a display ($DISPLAY or $WAYLAND_DISPLAY), in a desktop window;
#   - without one, a headless tour of the screens that writes a PNG of each
#     into build/tour (or $KL_TOUR_DIR) and prints where they are.
# The demo service stops when this script ends.
#
#   scripts/run.sh                     the demo service and the program
#   scripts/run.sh --service URL ...   the program against another service (no demo service)
#
# Further arguments go to the program. The demo service keeps what is
# submitted (comments and the like) in build/demo-state (or $KL_DEMO_STATE).
set -euo pipefail
cd "$(dirname "$0")/.."

own_service=1
for arg in "$@"; do
  case "$arg" in --service|--service=*) own_service=0 ;; esac
done

scripts/install-deps.sh
cmake --preset release >/dev/null
targets=(kestrowline)
if [ $own_service -eq 1 ]; then targets+=(kl-demo-service); fi
cmake --build --preset release --target "${targets[@]}"

program=build/release/kestrowline
with_display=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then with_display=1; fi

if [ $own_service -eq 0 ]; then
  if [ $with_display -eq 1 ]; then exec "$program" "$@"; fi
  exec "$program" --tour "${KL_TOUR_DIR:-build/tour}" "$@"
fi

# The demo service, stopped on the way out however this script ends.
# The program runs in the background too, so that a signal to this script
# reaches the traps at once and stops both.
work=$(mktemp -d)
service_pid=
program_pid=
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

# shellcheck source=scripts/demo-service.sh
. scripts/demo-service.sh
start_demo_service "$work/info" --state "${KL_DEMO_STATE:-build/demo-state}"
info() { demo_info "$work/info" "$1"; }
endpoint=$(info KL_DEMO_ENDPOINT)
# The program's usage statistics go to the demo service too, never elsewhere.
stat_url=$(info KL_DEMO_STAT_URL)
login="$(info KL_DEMO_USER):$(info KL_DEMO_PASSWORD)"

status=0
if [ $with_display -eq 1 ]; then
  echo "run.sh: the program is in its window; log in as $(info KL_DEMO_USER) / $(info KL_DEMO_PASSWORD)"
  "$program" --service "$endpoint" --stat-report "$stat_url" "$@" &
  program_pid=$!
  wait "$program_pid" || status=$?
else
  folder=${KL_TOUR_DIR:-build/tour}
  mkdir -p "$folder"
  rm -f "$folder"/*.png
  echo "run.sh: no display; touring the screens headless (the program's log: $folder/kestrowline.log)"
  "$program" --service "$endpoint" --stat-report "$stat_url" --tour "$folder" --tour-login "$login" "$@" \
    2>"$folder/kestrowline.log" &
  program_pid=$!
  wait "$program_pid" || status=$?
  echo "run.sh: the screens' pictures are in $(cd "$folder" && pwd)"
fi
exit $status
