#!/usr/bin/env bash
# Installs, with apt-get, every Debian package the project needs, and only
# what is missing. This is the one list of our dependencies. With --fuzz it
# adds what the fuzz targets need.
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
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
