#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests: `start DIR` makes a cluster in
# a temporary folder, starts it on a free loopback port and writes its URI to
# DIR/uri; `stop DIR` stops it and removes the cluster. Without a PostgreSQL
# server installed, start writes no URI and says so: the tests on PostgreSQL
# are skipped, those on SQLite run. initdb refuses root, so under root the
# cluster belongs to the unprivileged user nobody.
set -euo pipefail

action=${1:?start or stop}
dir=${2:?a folder for the URI}
mkdir -p "$dir"

as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  as_owner=(runuser -u nobody --)
fi

case "$action" in
start)
  rm -f "$dir/uri"
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
  if [ -z "$bin" ] || [ ! -x "$bin/initdb" ] || [ ! -x "$bin/pg_ctl" ]; then
    echo "no PostgreSQL server installed: the tests on PostgreSQL are skipped"
    exit 0
  fi
  # A cluster left by a run that was killed goes first.
  "$0" stop "$dir" || true
  cluster=$(mktemp -d /tmp/korvane-test-pg-XXXXXX)
  echo "$cluster" >"$dir/cluster"
  if [ ${#as_owner[@]} -gt 0 ]; then
    chown nobody "$cluster"
  fi
  chmod 700 "$cluster"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "${as_owner[@]}" "$bin/initdb" -D "$cluster/data" -U korvane -A trust -E UTF8 --no-locale \
    --no-sync >"$cluster/initdb.log" 2>&1 || { cat "$cluster/initdb.log"; exit 1; }
  # Durability is the tests' business only where they kill a back office, not
  # this server: it is thrown away, so it skips the disk waits (the benchmark
  # sets its own, KORVANE_PG_OPTIONS).
  settings=${KORVANE_PG_OPTIONS:--c fsync=off -c full_page_writes=off}
  "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $cluster -c max_connections=300 $settings" \
    start >/dev/null || { cat "$cluster/server.log"; exit 1; }
  "$bin/psql" -X -q -h 127.0.0.1 -p "$port" -U korvane -d postgres \
    -c "CREATE DATABASE korvane_test" >/dev/null
  echo "postgresql://korvane@127.0.0.1:$port/korvane_test" >"$dir/uri"
  echo "PostgreSQL for the tests: $(cat "$dir/uri")"
  ;;
stop)
  [ -f "$dir/cluster" ] || exit 0
  cluster=$(cat "$dir/cluster")
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
  if [ -n "$bin" ] && [ -f "$cluster/data/postmaster.pid" ]; then
    "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  case "$cluster" in
  /tmp/korvane-test-pg-*) rm -rf "$cluster" ;;
  esac
  rm -f "$dir/cluster" "$dir/uri"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 2
  ;;
esac
