# shellcheck shell=bash
# Sourced by the scripts that start the release demo service for a program
# run (run.sh, hostile-tour.sh), from the source tree's top folder, with what
# else they share, after scripts/steps.sh (steps_init called); the programs
# are those of $programs when the script sets it, else of build/release.
#
#   need_programs kestrowline kl-demo-service
#   start_demo_service INFO_FILE [kl-demo-service options ...]
#   endpoint=$(demo_info INFO_FILE KL_DEMO_ENDPOINT)
#
# start_demo_service starts it in the background (its id in service_pid) and
# returns once it answers and has written its endpoint and demo member to
# INFO_FILE; it ends the calling script, saying how the service ended, when
# the service does not start. The service runs in a session of its own
# (start_service): Ctrl+C on the terminal does not end it under a program
# still using it; the calling script stops it (stop_step), and should the
# script end without stopping it (SIGKILL), the service ends by itself
# (--parent), as the script's keeper would end it too.

# The programs named are in $programs, built: else the calling script ends
# with a usage error (exit 2), before anything starts.
need_programs() {
  local name
  for name in "$@"; do
    if [ ! -f "${programs:-build/release}/$name" ] || [ ! -x "${programs:-build/release}/$name" ]; then
      echo "$(basename "$0"): no program $name in ${programs:-build/release} (\$KL_PROGRAMS_DIR)" >&2
      exit 2
    fi
  done
}

# How a process ended, from its status as `wait` gives it: "exit status N",
# or the signal that ended it.
ending_of() {
  local sig=$(($1 - 128))
  if [ "$sig" -gt 0 ] && kill -l "$sig" >/dev/null 2>&1; then
    echo "ended by SIG$(kill -l "$sig")"
  else
    echo "exit status $1"
  fi
}

start_demo_service() {
  local info=$1 parent=$BASHPID  # this shell's, not the background child's
  shift
  start_service "${programs:-build/release}/kl-demo-service" "$@" --info-file "$info" --parent "$parent"
  # shellcheck disable=SC2154  # set by start_service
  service_pid=$started
  for _ in $(seq 1 200); do
    [ -s "$info" ] && return 0
    if ! kill -0 "$service_pid" 2>/dev/null; then
      local status=0 why
      wait_step "$service_pid" || status=$?
      service_pid=
      why=$(ending_of "$status")
      # It writes its banner to the calling script's output first.
      if [ "$status" -eq $((128 + 13)) ]; then why+=", writing to an output that nobody reads any more"; fi
      echo "$(basename "$0"): the demo service did not start ($why)" >&2
      exit 1
    fi
    sleep 0.05
  done
  echo "$(basename "$0"): the demo service did not answer in time" >&2
  exit 1
}

# The value of one KEY=VALUE line of the info file.
demo_info() { grep "^$2=" "$1" | cut -d= -f2-; }
