#!/usr/bin/env bash
# Installs, with apt-get, every Debian package the project needs, and only
# what is missing. This is the one list of our dependencies. With --fuzz it
# adds what the fuzz targets need. While another package operation holds
# apt's lock (an installation, the package lists' update, the system's own
# upgrades), the update and the installation each wait for it up to 5
# minutes, saying so; then they fail naming it.
set -euo pipefail

PACKAGES=(
  # toolchain and test frameworks
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # foundation stand-in: digests
  nettle-dev
  # service access
  libcurl4-openssl-dev zlib1g-dev libxml2-dev libxml2-utils
  # benchmarks of the service codec: the JSON readers we compare with
  rapidjson-dev nlohmann-json3-dev
  # data libraries and their peers in tests; Python's plistlib reads and
  # writes the Mervio SDK's records and keyed archives in tests
  libsqlite3-dev sqlite3 libminizip-dev zip unzip python3
  # case-insensitive column names: Unicode case mapping
  libglib2.0-dev
  # drawing, text, images, window; the emoji font is where text falls back
  # for emoji the Chinese font has not
  libpango1.0-dev libcairo2-dev fonts-wqy-microhei fonts-noto-color-emoji libjpeg-dev libpng-dev libsdl2-dev
  xvfb xauth
  # GNU time: the hostile tour's peak memory
  time
)
# The fuzz targets (scripts/fuzz.sh) are built with clang and its libFuzzer.
if [ "${1:-}" = "--fuzz" ]; then
  PACKAGES+=(clang libclang-rt-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# apt-get with these arguments, waiting for apt's lock as above. apt-get
# fails at once on a lock another process holds, and says so among its
# errors, which are read in English for that and shown once it has ended.
apt_get() {
  local deadline status errors said=0
  deadline=$(($(date +%s) + 300))
  while :; do
    status=0
    { errors=$($SUDO env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>&1 1>&3 3>&-); } 3>&1 || status=$?
    if [ "$status" -ne 0 ] &&
       grep -qE '^E: (Could not get lock|Unable to lock|Unable to acquire the dpkg frontend lock)' <<<"$errors"; then
      if [ "$(date +%s)" -ge "$deadline" ]; then
        printf '%s\n' "$errors" >&2
        echo "install-deps: apt's lock is still held after 5 minutes: another package operation is under way (apt-get $1)" >&2
        return "$status"
      fi
      if [ "$said" -eq 0 ]; then
        printf '%s\n' "$errors" >&2
        echo "install-deps: another package operation holds apt's lock; waiting for it (apt-get $1, up to 5 minutes)" >&2
        said=1
      fi
      sleep 2
      continue
    fi
    if [ -n "$errors" ]; then printf '%s\n' "$errors" >&2; fi
    return "$status"
  done
}

apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
