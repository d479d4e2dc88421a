# shellcheck shell=bash
# Sourced by the scripts that build or run long steps (test.sh, run.sh,
# fuzz.sh, hostile-tour.sh), from the source tree's top folder: what a script
# starts ends with it, and the temporary folders it makes go with it, however
# it ends (its end, Ctrl+C, SIGTERM, SIGHUP, or SIGKILL, which it cannot
# catch).
#
#   steps_init                      once, before anything below
#   run_step CMD ...                runs CMD as a step; its exit status
#   start_step [--again SIG] CMD ...   starts it (its id in $started)
#   wait_step PID                   waits for a started step; its exit status
#   start_service CMD ...           starts a process the steps use (its id in $started)
#   stop_step PID                   ends a step or a service and waits for it
#   keep_folder VAR [TEMPLATE]      a temporary folder (as mktemp -d makes it) in VAR
#
# A step runs in a session of its own, out of the terminal's reach: Ctrl+C
# there (SIGINT to its foreground processes), like a SIGTERM or SIGHUP to the
# script, comes to the script alone, which passes a SIGTERM to every process
# of each step under way (cmake and ninja, which end their compilers; ctest
# and the tests; a program, which ends after the step of its own under way).
# A later signal passes SIG (KILL unless --again says otherwise: a program
# that takes a second SIGTERM as a call to end at once is given TERM). Once a
# signal came, `signalled` holds 128 + the signal; wait_step then waits until
# every process of the step has ended, and run_step ends the script with that
# status. A signal while no step is under way ends the script at once, unless
# the script set steps_hold=1 (it then acts on `signalled` itself). What runs
# in the foreground (the installation, which may ask for a password) stays on
# the terminal: a signal to the script alone is taken once it is over.
#
# Should the script end without ending them (SIGKILL), its keeper does: a
# process of its own, started by steps_init, that learns of each step and
# service as it starts and of each folder as it is made, and sees the script's
# end as the end of a pipe that only the script holds. It then passes a
# SIGTERM to every process of the steps and services still under way, waits
# until they have ended (a minute, then SIGKILL), and removes the folders. It
# holds the script's standard error until then, so that a reader of that sees
# its end only once nothing of the script's is left.

# The process ids of the steps under way, each with the signal a later signal
# passes to it.
declare -gA steps_again=()
# The start time of each step and service started and not yet waited for.
declare -gA steps_born=()
signalled=0       # 128 + the signal that came
steps_hold=0
steps_starting=0  # a step is being started: a signal waits for it
started=

# The start time of process $1 (in the kernel's clock ticks) in steps_time,
# empty when there is no such process: a process id is taken for the same
# process only while this stays the same.
steps_start_time() {
  local stat fields
  steps_time=
  { IFS= read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 0
  read -ra fields <<<"${stat##*) }"
  steps_time=${fields[19]}
}

# Whether a process of group $1 still runs: one that has ended but waits
# for its parent to take its status (which, orphaned, may wait a while for
# the system's first process) counts as ended.
steps_group_runs() {
  local stat pattern='^[^ZX] [0-9-]+ ([0-9]+) '
  kill -0 -- "-$1" 2>/dev/null || return 1
  for stat in /proc/[0-9]*/stat; do
    { IFS= read -r stat <"$stat"; } 2>/dev/null || continue
    if [[ "${stat##*) }" =~ $pattern ]] && [ "${BASH_REMATCH[1]}" = "$1" ]; then return 0; fi
  done
  return 1
}

# The keeper's work: messages (NUL-terminated) from the script and its steps
# until the script is gone, then the ending of what is left.
#   step PID         a step or service, leader of its process group, has started
#   ended PID        it has ended, every process of it
#   folder TEMPLATE  make a temporary folder; its name (or "!" and mktemp's
#                    reason) is the answer
# shellcheck disable=SC2317  # reached through the coprocess
steps_keeper_main() {
  set +e
  trap '' INT TERM HUP PIPE
  local message pid answer template folders=() waited
  local -A groups=()  # process group -> its leader's start time
  while IFS= read -r -d '' message; do
    case $message in
      "step "*)
        pid=${message#step }
        steps_start_time "$pid"
        groups[$pid]=$steps_time ;;
      "ended "*) unset "groups[${message#ended }]" ;;
      "folder "*)
        template=()
        if [ -n "${message#folder }" ]; then template=("${message#folder }"); fi
        if answer=$(mktemp -d "${template[@]}" 2>&1); then
          folders+=("$answer")
        else
          answer="!$answer"
        fi
        printf '%s\0' "$answer" ;;
    esac
  done
  # The script is gone. A group whose leader's number another process has
  # taken since is no longer the step's; while any process of the step is
  # left, its group's number is taken by nobody else.
  for pid in "${!groups[@]}"; do
    steps_start_time "$pid"
    if [ -n "$steps_time" ] && [ "$steps_time" != "${groups[$pid]}" ]; then
      unset "groups[$pid]"
    elif ! kill -TERM -- "-$pid" 2>/dev/null; then
      unset "groups[$pid]"
    fi
  done
  for ((waited = 0; ${#groups[@]} > 0; waited++)); do
    for pid in "${!groups[@]}"; do
      if ! steps_group_runs "$pid"; then
        unset "groups[$pid]"
      elif [ "$waited" -ge 600 ]; then
        kill -KILL -- "-$pid" 2>/dev/null
      fi
    done
    if [ ${#groups[@]} -gt 0 ]; then sleep 0.1; fi
  done
  if [ ${#folders[@]} -gt 0 ]; then rm -rf -- "${folders[@]}"; fi
}

# Starts the keeper and takes Ctrl+C, SIGTERM and SIGHUP.
steps_init() {
  coproc steps_keeper { steps_keeper_main; }
  trap 'steps_on_signal 130' INT
  trap 'steps_on_signal 143' TERM
  trap 'steps_on_signal 129' HUP
}

# shellcheck disable=SC2317  # reached through the traps
steps_on_signal() {
  local earlier=$signalled pid sig=TERM
  signalled=$1
  if [ ${#steps_again[@]} -eq 0 ]; then
    if [ "$steps_hold" -eq 0 ] && [ "$steps_starting" -eq 0 ]; then exit "$signalled"; fi
    return 0
  fi
  for pid in "${!steps_again[@]}"; do
    if [ "$earlier" -ne 0 ]; then sig=${steps_again[$pid]}; fi
    steps_signal "$sig" "$pid"
  done
}

# Whether the step or service $1 has not ended (its number not yet taken by
# another process).
steps_alive() {
  steps_start_time "$1"
  [ -n "$steps_time" ] && [ "$steps_time" = "${steps_born[$1]:-}" ]
}

# Sends signal $1 to every process of the step $2, or to the step's own
# process while it has not made its group yet: once each, as a program
# counts them. A step that has ended, its number since taken by another
# process, gets none.
steps_signal() {
  steps_start_time "$2"
  if [ -n "$steps_time" ] && [ "$steps_time" != "${steps_born[$2]:-}" ]; then return 0; fi
  kill -"$1" -- "-$2" 2>/dev/null || kill -"$1" "$2" 2>/dev/null || true
}

# Starts a command in a session of its own, its id (its group's) in
# `started`. The new process tells the keeper of itself before it becomes
# the command: the keeper sees the script's end only once it has. It is
# given the pipe to the keeper opened anew (a copy of the script's own
# would close as it starts); read and write, so that the opening never
# waits for a reader.
steps_start() {
  local keep
  exec {keep}<>"/proc/self/fd/${steps_keeper[1]}"
  # shellcheck disable=SC2016  # expanded by the new shell
  setsid "$BASH" -c 'keep=$1; shift; printf "step %s\0" "$$" >&"$keep"; exec {keep}>&-; exec "$@"' \
    step "$keep" "$@" &
  started=$!
  exec {keep}>&-
  steps_start_time "$started"
  steps_born[$started]=$steps_time
}

start_step() {
  local again=KILL
  if [ "${1:-}" = --again ]; then
    again=$2
    shift 2
  fi
  steps_starting=1
  steps_start "$@"
  steps_again[$started]=$again
  steps_starting=0
  # A signal that came as it started has not reached it.
  if [ "$signalled" -ne 0 ]; then steps_signal TERM "$started"; fi
}

start_service() {
  steps_start "$@"
}

# A signal to the script ends a wait early (the trap passes it on): the
# step's end is waited for again, then, after a signal, that of every
# process in its group.
wait_step() {
  local pid=$1 status=0
  wait "$pid" 2>/dev/null || status=$?
  while steps_alive "$pid"; do
    status=0
    wait "$pid" 2>/dev/null || status=$?
  done
  if [ "$signalled" -ne 0 ]; then
    while steps_group_runs "$pid"; do sleep 0.1; done
  fi
  unset "steps_again[$pid]" "steps_born[$pid]"
  printf 'ended %s\0' "$pid" >&"${steps_keeper[1]}"
  return "$status"
}

run_step() {
  local status=0
  start_step "$@"
  wait_step "$started" || status=$?
  if [ "$signalled" -ne 0 ]; then exit "$signalled"; fi
  return "$status"
}

stop_step() {
  local pid=$1
  steps_signal TERM "$pid"
  while steps_alive "$pid"; do wait "$pid" 2>/dev/null || true; done
  while steps_group_runs "$pid"; do sleep 0.1; done
  unset "steps_again[$pid]" "steps_born[$pid]"
  printf 'ended %s\0' "$pid" >&"${steps_keeper[1]}"
}

# The folder is made by the keeper, which removes it should the script end
# without removing it; the script removes it itself, once done with it. One
# that cannot be made ends the script with mktemp's reason (exit 1).
keep_folder() {
  local answer=
  printf 'folder %s\0' "${2:-}" >&"${steps_keeper[1]}"
  IFS= read -r -d '' answer <&"${steps_keeper[0]}" || true
  if [ "${answer:0:1}" = "!" ]; then
    echo "$(basename "$0"): ${answer:1}" >&2
    exit 1
  elif [ -z "$answer" ]; then
    echo "$(basename "$0"): cannot make a temporary folder" >&2
    exit 1
  fi
  printf -v "$1" '%s' "$answer"
}
