#!/usr/bin/env bash
# `make run`: starts the reference back office with the demonstration
# warehouse on a free loopback port, points the demonstration device at it
# when that device has no server of its own yet, runs korvo, and stops the
# back office when korvo exits. With SITE_DB (and PLANT, HANDHELD) it serves
# a site's own database instead, and the device works for that plant. With
# DB=postgresql://user@host:port/dbname the back office keeps the
# demonstration warehouse in that PostgreSQL database (seeded when empty).
set -euo pipefail

build=${1:-build}
device=${2:-$build/device}
office="$build/backoffice/korvane-backoffice"
korvo="$build/shell/korvo"
portfile="$build/backoffice.port"
settings="$device/Program Files/Korvo/Korvo.properties"

site_db=${SITE_DB:-}
want_plant=${PLANT:-1000}
database=${site_db:-${DB:-$build/backoffice-demo.db}}
demo=(--demo)
if [ -n "$site_db" ]; then
  case "$site_db" in
  postgres://* | postgresql://*) ;;
  *) [ -f "$site_db" ] || { echo "No database $site_db: import the site's files into it first" >&2; exit 1; } ;;
  esac
  demo=()
fi

mkdir -p "$device/Program Files/Korvo"
rm -f "$portfile"
"$office" --db "$database" "${demo[@]}" --listen 127.0.0.1:0 \
  --port-file "$portfile" --print-dir "$build/prints" 2>>"$build/backoffice.log" &
office_pid=$!
stop_office() {
  kill -TERM "$office_pid" 2>/dev/null || true
  wait "$office_pid" 2>/dev/null || true
}
trap stop_office EXIT

for _ in $(seq 100); do
  [ -s "$portfile" ] && break
  if ! kill -0 "$office_pid" 2>/dev/null; then
    echo "The back office did not start; see $build/backoffice.log" >&2
    exit 1
  fi
  sleep 0.1
done
port=$(cat "$portfile")
what="with the demonstration warehouse"
[ -z "$site_db" ] || what="of $site_db"
echo "Back office $what: http://127.0.0.1:$port/qvrgenericwebservice/QVRGenericWebService"
echo "  database $database, printed notes in $build/prints, log in $build/backoffice.log"
echo "Supervisor dashboard: http://127.0.0.1:$port/dashboard"

# The device settings: ten key=value lines in this order. A device without a
# server gets the demonstration plant; one that `make run` set up before only
# gets the new port; a device a user pointed elsewhere is left alone.
value() { [ -f "$settings" ] && sed -n "s/^$1=//p" "$settings" | head -n 1 | tr -d '\r' || true; }
host=$(value HostIP)
plant=$(value PlantCode)
if [ -z "$host" ] || { [ "$host" = "127.0.0.1" ] && { [ "$plant" = "1000" ] || [ "$plant" = "$want_plant" ]; }; }; then
  storage=$(value Storagelocation); storage=${storage:-\\}
  language=$(value Language); language=${language:-English}
  keyboard=$(value ShowScreenKeyboard); keyboard=${keyboard:-N}
  handheld=${HANDHELD:-$(value PDA)}
  [ -n "$handheld" ] && { [ -n "$host" ] || [ -n "${HANDHELD:-}" ]; } || handheld=HH01
  path=$(value WarPath)
  viewby=$(value ViewBy); viewby=${viewby:-DELIVERY}
  mode=$(value OperatingMode); mode=${mode:-ROUTEMODE}
  printf '%s\n' "Storagelocation=$storage" "Language=$language" "ShowScreenKeyboard=$keyboard" \
    "PlantCode=$want_plant" "PDA=$handheld" "HostIP=127.0.0.1" "PortNumber=$port" "WarPath=$path" \
    "ViewBy=$viewby" "OperatingMode=$mode" > "$settings"
  echo "  the demonstration device is plant $want_plant, handheld $handheld (settings password 639)"
else
  echo "  the device talks to $host (its own settings); the demonstration back office is not used"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$korvo" --root "$device"
else
  echo "No display found: starting on the offscreen platform, picture in $build/korvo-screen.png"
  QT_QPA_PLATFORM=offscreen "$korvo" --root "$device" --screenshot "$build/korvo-screen.png"
fi
