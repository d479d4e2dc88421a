# shellcheck shell=bash
# Sourced by the scripts that start the release demo service for a program
# run (run.sh, hostile-tour.sh), from the source tree's top folder; the
# service is $programs/kl-demo-service when the script sets programs.
#
#   start_demo_service INFO_FILE [kl-demo-service options ...]
#   endpoint=$(demo_info INFO_FILE KL_DEMO_ENDPOINT)
#
# start_demo_service starts it in the background (its id in service_pid) and
# returns once it answers and has written its endpoint and demo member to
# INFO_FILE; it ends the calling script when the service does not start. The
# service runs in a session of its own: Ctrl+C on the terminal does not end
# it under a program still using it; the calling script stops it.

start_demo_service() {
  local info=$1
  shift
  setsid "${programs:-build/release}/kl-demo-service" "$@" --info-file "$info" &
  service_pid=$!
  for _ in $(seq 1 200); do
    [ -s "$info" ] && return 0
    if ! kill -0 "$service_pid" 2>/dev/null; then
      echo "$(basename "$0"): the demo service did not start" >&2
      exit 1
    fi
    sleep 0.05
  done
  echo "$(basename "$0"): the demo service did not answer in time" >&2
  exit 1
}

# The value of one KEY=VALUE line of the info file.
demo_info() { grep "^$2=" "$1" | cut -d= -f2-; }
