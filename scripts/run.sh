#!/usr/bin/env bash
# Installs what is missing, builds (release: the program, the demo service and
# kl-soap), starts the demo service on a free loopback port and the program
# against it (its service and its statistics server):
#   - with a display ($DISPLAY or $WAYLAND_DISPLAY), in a desktop window; the
#     demo service keeps what is submitted (comments and the like) in
#     build/demo-state (or $KL_DEMO_STATE) from one run to the next; a
#     program that fails (no window could open) is reported with its status;
#   - without one, or when the options ask for a tour (--tour DIR), a
#     headless tour of the screens that writes a PNG of each into build/tour
#     (or $KL_TOUR_DIR, or DIR), its log beside them, and prints where they
#     are; each tour starts the demo service from a fresh state;
#   - with --dump-home (and no --tour), display or not, the home screen as
#     text, against the demo service from a fresh state.
# The program's options, and then the tour's folder, are checked before
# anything starts: a bad option is a usage error (exit 2), a folder that
# cannot be made or written a failure (exit 1). Ctrl+C, SIGTERM or SIGHUP ends
# the build under way, or the program as one signal does (a tour after the
# step under way), then the demo service; so does output that nobody reads
# any more (`| head`). Should the script end without stopping them (SIGKILL),
# the build ends all the same, the program gets its one SIGTERM and the demo
# service ends. The script removes only what it made itself.
#
#   scripts/run.sh                     the demo service and the program
#   scripts/run.sh --service URL ...   the program against another service (no demo service)
#
# Further arguments go to the program. With $KL_PROGRAMS_DIR the programs
# (kestrowline, kl-demo-service) are taken from that folder as built there:
# nothing is installed or built.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/demo-service.sh
. scripts/demo-service.sh
# shellcheck source=scripts/steps.sh
. scripts/steps.sh
steps_init

own_service=1
for arg in "$@"; do
  case "$arg" in --service|--service=*) own_service=0 ;; esac
done

if [ -n "${KL_PROGRAMS_DIR:-}" ]; then
  programs=$KL_PROGRAMS_DIR
  need_programs kestrowline
  if [ $own_service -eq 1 ]; then need_programs kl-demo-service; fi
else
  scripts/install-deps.sh
  run_step cmake --preset release >/dev/null
  targets=(kestrowline kl-soap)
  if [ $own_service -eq 1 ]; then targets+=(kl-demo-service); fi
  run_step cmake --build --preset release --target "${targets[@]}"
  programs=build/release
fi
program=$programs/kestrowline

# The options read as the program reads them: the options with a value that
# it takes out first (--stat-report, --service, --service-namespace), then
# the rest up to --help. What they ask for: the folder of a tour (--tour DIR,
# the last one), the home screen as text (--dump-home), the usage (--help);
# and the option at their end that has no value, if any.
asked_folder=
dumping=0
helping=0
dangling=
read_options() {
  local args=("$@") kept option i
  for option in --stat-report --service --service-namespace; do
    kept=()
    for ((i = 0; i < ${#args[@]}; i++)); do
      if [ "${args[i]}" = "$option" ]; then
        if [ $((i + 1)) -ge ${#args[@]} ]; then dangling=$option; fi
        i=$((i + 1))
      elif [[ "${args[i]}" != "$option="* ]]; then
        kept+=("${args[i]}")
      fi
    done
    args=("${kept[@]}")
  done
  for ((i = 0; i < ${#args[@]}; i++)); do
    case "${args[i]}" in
      --tour | --wait | --tour-login)
        if [ $((i + 1)) -ge ${#args[@]} ]; then
          dangling=${args[i]}
        elif [ "${args[i]}" = --tour ]; then
          asked_folder=${args[i + 1]}
        fi
        i=$((i + 1)) ;;
      --dump-home) dumping=1 ;;
      --help | -h) helping=1; break ;;
    esac
  done
}
read_options "$@"

# An asked-for usage is shown as the program shows it.
if [ $helping -eq 1 ]; then exec "$program" "$@"; fi

# Without a display, or when the options ask for one, a tour; the home screen
# as text needs no display.
with_display=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then with_display=1; fi
touring=0
if [ -n "$asked_folder" ] || { [ $with_display -eq 0 ] && [ $dumping -eq 0 ]; }; then touring=1; fi
folder=${asked_folder:-${KL_TOUR_DIR:-build/tour}}

# The options, checked by the program itself before anything starts or any
# file is written, beside those this script adds (a tour's): it reads every
# one of them up to a --help put after them, and a bad one, or one that does
# not go with the others, is a usage error with the usage (exit 2). An option
# at their end that has no value would take that --help for its value: the
# program, given them as they are, fails on it the same way.
added=()
if [ $touring -eq 1 ]; then
  added=(--tour "$folder")
  if [ $own_service -eq 1 ]; then added+=(--tour-login demo:demo); fi
fi
checked=("$@" --help)
if [ -n "$dangling" ]; then checked=("$@"); fi
"$program" "${added[@]}" "${checked[@]}" >/dev/null || exit $?

# The tour's folder, where its pictures and the program's log go.
if [ $touring -eq 1 ] && { ! mkdir -p "$folder" 2>/dev/null || [ ! -w "$folder" ]; }; then
  echo "run.sh: the tour's folder $folder cannot be made or written" >&2
  exit 1
fi

# The program runs as a step and the demo service beside it, each in a
# session of its own, out of the terminal's reach: Ctrl+C there, like a
# SIGTERM or SIGHUP to this script, passes one SIGTERM to the program for
# each signal, and the script waits for its end; the program takes a second
# as a call to end at once. A signal before the program starts ends the
# script at once. The demo service outlives the program and stops after it.
status=0
program_pid=  # the program, started and not yet waited for
service_pid=
work=

# shellcheck disable=SC2317  # reached through the trap
stop() {
  for pid in $program_pid $service_pid; do stop_step "$pid"; done
  if [ -n "$work" ]; then rm -rf "$work"; fi
}
trap stop EXIT
# A write to output that nobody reads any more fails (say) instead of ending
# the script before it stops what it started. Caught, not ignored, so that
# the programs it starts get the usual behaviour back.
trap : PIPE

# One line of this script's on its output. Once nobody reads it any more
# (`| head`), the run ends there, as a write there would end it (exit 141),
# but saying so and stopping what it started.
say() {
  if ! printf '%s\n' "$*" 2>/dev/null; then
    echo "run.sh: nobody reads its output any more; ending" >&2 || true  # stderr may be that output too
    exit 141
  fi
}

# Starts the program as a step (its id in program_pid), so that the traps
# run at once.
start_program() {
  start_step --again TERM "$program" "$@"
  program_pid=$started
}

# Waits for the program's end, its exit status in status.
wait_program() {
  status=0
  wait_step "$program_pid" || status=$?
  program_pid=
}

# The exit status: 128 + the signal when one came, else the program's.
finish() {
  if [ "$signalled" -ne 0 ]; then exit "$signalled"; fi
  exit "$status"
}

# The headless tour: its pictures (the tour replaces an earlier tour's) and
# the program's log in the folder. The program's own messages (its errors, a
# usage error with the usage) show on the terminal too; the pictures are named
# only when this run wrote some.
tour() {
  local log=$folder/kestrowline.log since
  since=$(date +%s.%N)
  start_program --tour "$folder" "$@" 2>"$log"
  wait_program
  if [ "$status" -eq 2 ]; then
    cat "$log" >&2
  else
    grep -a '^kestrowline: ' "$log" >&2 || true
  fi
  if [ -n "$(find "$folder" -maxdepth 1 -name '[0-9][0-9]-*.png' -newermt "@$since" -print -quit)" ]; then
    say "run.sh: the screens' pictures are in $(cd "$folder" && pwd)"
  else
    say "run.sh: the tour wrote no pictures (exit status $status)"
  fi
}

# What comes, said before anything starts: output that nobody reads ends the
# run here.
if [ $touring -eq 0 ]; then
  if [ $own_service -eq 0 ]; then exec "$program" "$@"; fi
  if [ $dumping -eq 1 ]; then
    say "run.sh: starting the demo service, then the program, which prints its home screen as text"
  else
    say "run.sh: starting the demo service, then the program in a window"
  fi
else
  no_display=
  if [ $with_display -eq 0 ]; then no_display="no display; "; fi
  say "run.sh: ${no_display}touring the screens headless (the program's log: $folder/kestrowline.log)"
  if [ $own_service -eq 0 ]; then
    tour "$@"
    finish
  fi
fi

# The demo service, stopped on the way out however this script ends; it ends
# by itself should this script end without stopping it (SIGKILL). A program
# in a window works on the kept state; a tour or the home screen as text on
# a fresh one, the service's own, which goes with it. The folder for the
# service's information goes once that has been read, or with the script.
service_options=()
if [ $touring -eq 0 ] && [ $dumping -eq 0 ]; then
  state=${KL_DEMO_STATE:-build/demo-state}
  service_options=(--state "$state")
fi
keep_folder work
start_demo_service "$work/info" "${service_options[@]}"
info() { demo_info "$work/info" "$1"; }
endpoint=$(info KL_DEMO_ENDPOINT)
# The program's usage statistics go to the demo service too, never elsewhere.
stat_url=$(info KL_DEMO_STAT_URL)
user=$(info KL_DEMO_USER)
password=$(info KL_DEMO_PASSWORD)
# The opinion survey's page is the demo service's too.
KL_SURVEY_HOST=$(info KL_SURVEY_HOST)
export KL_SURVEY_HOST
rm -rf "$work"
work=

if [ $touring -eq 0 ]; then
  if [ $dumping -eq 0 ]; then
    # Whether a window opens is the program's to say: it fails when none can.
    say "run.sh: in the program's window, log in as $user / $password"
    say "run.sh: submissions are kept in $state (remove it to start afresh)"
  fi
  start_program --service "$endpoint" --stat-report "$stat_url" "$@"
  wait_program
  if [ "$signalled" -eq 0 ] && [ "$status" -ne 0 ]; then
    echo "run.sh: the program failed ($(ending_of "$status"))" >&2
  fi
else
  tour --service "$endpoint" --stat-report "$stat_url" --tour-login "$user:$password" "$@"
fi
finish
