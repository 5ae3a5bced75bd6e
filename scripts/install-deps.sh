#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the fuzzers need.
# Does nothing when everything is already there, so `make test` stays fast on a
# warm machine. On a bare Debian 12 without make, run this script first (as
# root, or as a user who may use sudo): it installs make with the compilers.
set -euo pipefail

packages=(
  build-essential make cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libpugixml-dev libcpp-httplib-dev
  libsqlite3-dev libcairo2-dev libcli11-dev sqlite3
  # The back office's ready and watchdog notifications to systemd; the Debian
  # packages (`make package`: file lets CPack compute their dependencies).
  libsystemd-dev file
  # The back office's dashboard: Argon2id passwords, HTTPS through the HTTP
  # library's OpenSSL support, and its browser test.
  libsodium-dev libssl-dev
  # The back office on PostgreSQL: the client libraries (libpq for its
  # pipeline mode), and the server the tests start a throw-away cluster of.
  libpqxx-dev libpq-dev postgresql
  chromium chromium-driver python3-selenium
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-liberation fontconfig
  # korvo under Xvfb with real key events: the X server, the key sender, a
  # window manager, xprop, the screenshots of a failed step, the driver.
  xvfb xdotool openbox x11-utils imagemagick python3 qt6-qpa-plugins
  # The fuzz entries: clang with libFuzzer and the sanitizer runtimes, and
  # llvm-symbolizer for readable stack traces.
  clang libclang-rt-14-dev llvm
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run this script as root (or install sudo) to install them: scripts/install-deps.sh" >&2
    exit 1
  fi
  run_as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -qq
"${run_as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
