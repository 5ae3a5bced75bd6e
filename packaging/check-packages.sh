#!/usr/bin/env bash
# Builds the Debian packages and tries them as a site would: lintian, install
# with dpkg, every piece run as installed (korvo, the back office as its unit
# runs it, a host built against libscribane-dev), an upgrade over the installed
# version, then remove and purge.
#
#   packaging/check-packages.sh [BUILD_FOLDER]      (as root; default build)
#
# It installs the packages on this machine and removes them again, so it
# refuses to run where any of them, or /var/lib/korvane, is already there:
# a real installation is never touched. Whatever happens, the exit trap
# stops the server it started and purges what it installed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
PACKAGES=(korvane-backoffice scribane-pad libscribane-dev libscribane1 korvo)
STATE=/var/lib/korvane
CONF=/etc/korvane/backoffice.conf
UNIT=/lib/systemd/system/korvane-backoffice.service

step() { echo "== $*"; }
fail() { echo "check-packages: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || fail "run as root (it installs and removes packages)"
  exec sudo --preserve-env=CMAKE_ARGS "$0" "$@"
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }
for p in "${PACKAGES[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -qv 'not-installed'; then
    fail "$p is already installed here; this check installs and purges its own copy (dpkg -P $p first)"
  fi
done
[ -e "$STATE" ] && fail "$STATE exists: a back office's data may be there; move it away first"

# Tools of the check itself (the build's own come from scripts/install-deps.sh).
tools=(lintian systemd curl pkgconf adduser init-system-helpers util-linux sqlite3)
missing=()
for p in "${tools[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  step "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=300 update -qq
  apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d /tmp/korvane-packages.XXXXXX)
chmod 0755 "$work"
server_pid=
cleanup() {
  status=$?
  set +e
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill -TERM "$server_pid"; sleep 2; kill -KILL "$server_pid" 2>/dev/null
  fi
  for p in "${PACKAGES[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -qv 'not-installed'; then
      dpkg -P "$p" >/dev/null 2>&1
    fi
  done
  rm -rf "$STATE" "$work"
  [ $status -eq 0 ] || echo "check-packages: FAILED (the packages were purged again)" >&2
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step "building the packages"
make --no-print-directory package BUILD="$BUILD"
debs=()
for p in "${PACKAGES[@]}"; do
  deb=$(ls "$BUILD"/packages/"${p}"_*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || fail "no package $p in $BUILD/packages"
  debs+=("$deb")
done
version=$(dpkg-deb -f "${debs[0]}" Version)

step "lintian"
# lintian warns about running as root; the packages are only read.
lintian --fail-on error --display-level ">=warning" "${debs[@]}" 2>&1 \
  | grep -v 'running with root privileges' || true
lintian --fail-on error -q "${debs[@]}" >/dev/null 2>&1 || fail "lintian found errors"

step "installing"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg -i "${debs[@]}"; then
  apt-get -o DPkg::Lock::Timeout=300 -f install -y -qq --no-install-recommends
fi
for p in "${PACKAGES[@]}"; do installed "$p" || fail "$p did not install"; done

step "korvo and korvane-backoffice as installed"
[ "$(QT_QPA_PLATFORM=offscreen korvo --version)" = "$version" ] || fail "korvo --version is not $version"
[ "$(korvane-backoffice --version)" = "korvane-backoffice $version" ] ||
  fail "korvane-backoffice --version is not $version"
# The first screen from the installed program: its translations come out of
# the program onto the device.
QT_QPA_PLATFORM=offscreen timeout 60 korvo --root "$work/device" --screenshot "$work/korvo.png" >/dev/null
[ -s "$work/korvo.png" ] && [ -s "$work/device/Program Files/Korvo/ZIRPA_English.txt" ] ||
  fail "the installed korvo did not show its first screen"
[ -f /usr/share/applications/korvo.desktop ] && [ -f /usr/share/icons/hicolor/scalable/apps/korvo.svg ] ||
  fail "korvo's desktop entry or icon is missing"
man -w korvo korvane-backoffice scribane-pad >/dev/null || fail "a manual page is missing"

step "a host built against libscribane-dev"
cat > "$work/host.cpp" <<'EOF'
#include <scribane/scribane.h>
#include <cstdio>

// Registers the installed control and creates it, as every host does.
int main(int argc, char** argv) {
    if (argc != 2 || scribane::registerServer(argv[1]) != S_OK) {
        std::fprintf(stderr, "cannot register the control\n");
        return 1;
    }
    IDispatch* ink = nullptr;
    if (scribane::createInstance("Scribane.InkControl", IID_IDispatch,
                                 reinterpret_cast<void**>(&ink)) != S_OK || !ink) {
        std::fprintf(stderr, "cannot create the control\n");
        return 1;
    }
    ink->Release();
    return 0;
}
EOF
# shellcheck disable=SC2046
g++ -std=c++20 -o "$work/host-pkgconfig" "$work/host.cpp" $(pkg-config --cflags --libs scribane)
module=$(pkg-config --variable=module scribane)
[ -f "$module" ] || fail "pkg-config's module $module is not installed"
SCRIBANE_REGISTRY="$work/registry" QT_QPA_PLATFORM=offscreen "$work/host-pkgconfig" "$module"
mkdir -p "$work/cmake-host"
cp "$work/host.cpp" "$work/cmake-host/"
cat > "$work/cmake-host/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(host CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(scribane REQUIRED)
add_executable(host host.cpp)
target_link_libraries(host PRIVATE scribane::headers)
file(WRITE ${CMAKE_BINARY_DIR}/module "${scribane_MODULE}")
EOF
cmake -S "$work/cmake-host" -B "$work/cmake-host/build" >/dev/null
cmake --build "$work/cmake-host/build" >/dev/null
SCRIBANE_REGISTRY="$work/registry2" QT_QPA_PLATFORM=offscreen \
  "$work/cmake-host/build/host" "$(cat "$work/cmake-host/build/module")"

step "the unit"
systemd-analyze verify "$UNIT"
systemd-analyze security --offline=true --no-pager "$UNIT" | tail -n 1 ||
  echo "(systemd-analyze security could not score the unit file here)"

# The server as the unit runs it: its user, no new privileges, no
# capabilities, the installed configuration; only the port is a free loopback
# one, so that a back office already on 8080 is left alone.
free_port() {
  local p
  for _ in $(seq 1 50); do
    p=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "$p"; return; fi
  done
  fail "no free loopback port"
}
conf() { sed -n "s/^[[:space:]]*$1[[:space:]]*=[[:space:]]*//p" "$CONF" | tail -n 1; }
start_server() {
  port=$(free_port)
  # The unit's own command line, with the address overridden.
  read -r -a command <<< "$(sed -n 's/^ExecStart=//p' "$UNIT")"
  command+=(--listen "127.0.0.1:$port")
  user=$(sed -n 's/^User=//p' "$UNIT")
  (cd "$STATE" && exec setpriv --reuid="$user" --regid="$user" --init-groups --no-new-privs \
    --inh-caps=-all --bounding-set=-all "${command[@]}") 2>"$work/server.log" &
  server_pid=$!
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return
    kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.log" >&2; fail "the server did not start"; }
    sleep 0.1
  done
  fail "the server did not listen on 127.0.0.1:$port within 10 s"
}
stop_server() {
  kill -TERM "$server_pid"
  for _ in $(seq 1 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$server_pid" 2>/dev/null && fail "the server did not stop within 10 s of SIGTERM"
  wait "$server_pid" || fail "the server stopped with status $? after SIGTERM"
  server_pid=
  grep -q 'event=stopped' "$work/server.log" || fail "the server's log has no event=stopped"
}
settings_answer() {
  local header request
  header='<?xml version="1.0" encoding="UTF-8" standalone="yes"?><QVRServiceHeader xmlns="http://korvane.local/webservice/generated/xmlbindings/QVRServiceHeader"><messageID xmlns="">ID001</messageID><transactionType xmlns="">Update</transactionType><function xmlns="">KORVANESETTINGS</function><application xmlns="">QVR Korvane</application><customer xmlns="">check</customer><webuser xmlns="">WEBUSER</webuser></QVRServiceHeader>'
  request='<?xml version="1.0" encoding="UTF-8" standalone="yes"?><KorvaneSettingsRequest xmlns="http://korvane.local/webservice/generated/xmlbindings/KorvaneSettingsRequest"><PlantCode xmlns="">1000</PlantCode><PDACode xmlns="">HH01</PDACode></KorvaneSettingsRequest>'
  escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'; }
  printf '%s' "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><ns0:processRequest xmlns:ns0=\"urn:QVR\"><String_1>$(printf '%s' "$header" | escape)</String_1><String_2>$(printf '%s' "$request" | escape)</String_2></ns0:processRequest></soap:Body></soap:Envelope>" \
    > "$work/settings.xml"
  curl -sS --max-time 20 -o "$work/answer.xml" -w '%{http_code}' -H 'Content-Type: text/xml; charset=utf-8' \
    -H 'SOAPAction: ""' --data-binary "@$work/settings.xml" \
    "http://127.0.0.1:$port/$(conf path)/QVRGenericWebService"
}

step "the back office as its unit runs it"
start_server
status=$(settings_answer)
# An empty database knows no handheld: the answer is the settings message's
# refusal, from the database the configuration names.
[ "$status" = 200 ] && grep -q 'KorvaneSettingsResponse' "$work/answer.xml" ||
  { cat "$work/answer.xml" >&2; fail "the settings message got HTTP $status without an answer"; }
stop_server
database=$(conf db)
[ "$(stat -c %U "$database")" = korvane ] || fail "$database is not the service user's"
[ -d "$(conf print-dir)" ] || fail "the print folder $(conf print-dir) is missing"

if [ -d /run/systemd/system ]; then
  step "the service under systemd"
  for _ in $(seq 1 100); do
    systemctl is-active --quiet korvane-backoffice && break
    sleep 0.1
  done
  systemctl is-active --quiet korvane-backoffice || fail "the service is not running: journalctl -u korvane-backoffice"
  port=$(conf listen); port=${port##*:}
  [ "$(settings_answer)" = 200 ] || fail "the service does not answer on 127.0.0.1:$port"
  systemd-analyze security --no-pager korvane-backoffice | tail -n 1
fi

step "a database newer than the program is refused"
install -d -o korvane -g korvane "$work/newer-db"
cp "$database" "$work/newer-db/office.db"
sqlite3 "$work/newer-db/office.db" "UPDATE schema_version SET version = version + 1"
chown korvane: "$work/newer-db/office.db"
refused=(korvane-backoffice serve --config "$CONF" --db "$work/newer-db/office.db"
  --listen 127.0.0.1:0)
if setpriv --reuid=korvane --regid=korvane --init-groups "${refused[@]}" 2>"$work/refused.log"; then
  fail "a database of a newer schema was served"
fi
grep -q 'newer than this program' "$work/refused.log" || fail "no clear message for a newer database"
cat "$work/refused.log"

step "an upgrade keeps the database and the configuration"
sum=$(sha256sum < "$database")
echo "# changed by the site" >> "$CONF"
newer="$work/newer"
dpkg-deb -R "${debs[0]}" "$newer"
sed -i "s/^Version: .*/Version: $version.1/" "$newer/DEBIAN/control"
dpkg-deb -b "$newer" "$work/korvane-backoffice-newer.deb" >/dev/null
dpkg -i --force-confold "$work/korvane-backoffice-newer.deb" >/dev/null
[ "$(dpkg-query -W -f='${Version}' korvane-backoffice)" = "$version.1" ] || fail "the upgrade did not install"
[ "$(sha256sum < "$database")" = "$sum" ] || fail "the upgrade changed the database"
grep -q '^# changed by the site' "$CONF" || fail "the upgrade replaced the site's configuration"
start_server
[ "$(settings_answer)" = 200 ] || fail "the upgraded server did not answer"
stop_server

step "remove keeps $STATE, purge deletes it"
dpkg -r "${PACKAGES[@]}" >/dev/null
[ -f "$database" ] || fail "remove deleted the database"
dpkg -P korvane-backoffice >/dev/null
[ ! -e "$STATE" ] || fail "purge left $STATE"
[ ! -e "$CONF" ] || fail "purge left $CONF"
step "the packages are sound"
