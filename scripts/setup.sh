#!/usr/bin/env bash
# Installs the Debian packages Rowcaster builds, runs and tests with, when some are missing.
# Needs root (or sudo) only when something has to be installed.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config make
  qt6-base-dev libgl-dev qt6-l10n-tools
  libicu-dev libsqlite3-dev sqlite3
  libfreexl-dev libgsf-1-dev libexpat1-dev mdbtools-dev mdbtools libxlsxwriter-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  yaz libyaz-dev idzebra-2.0 libmarc-record-perl libencode-hanextra-perl time bc python3
  fonts-noto-cjk
  xvfb xauth openbox
  dpkg-dev file qt6-translations-l10n nlohmann-json3-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
  echo "setup: missing packages ${missing[*]}, and this is not a Debian/Ubuntu system; install them by hand." >&2
  exit 1
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo=sudo; else
    echo "setup: missing packages ${missing[*]}; run as root to install them." >&2
    exit 1
  fi
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
