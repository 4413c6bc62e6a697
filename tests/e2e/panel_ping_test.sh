#!/usr/bin/env bash
# velmor-panel on Xvfb against velmor-sim with a slow or silent wire: through the status polls and
# an unplug and plug, the window must answer the desktop's ping (_NET_WM_PING) within 500 ms.
# Usage: panel_ping_test.sh PANEL SIM PING_WATCH [SCENARIO...]
# Scenarios: delay1000 (default: all three), drop, delay6000. LIMIT_MS=0 only reports.
set -euo pipefail
panel=$1 sim=$2 watch=$3
shift 3
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(delay1000 drop delay6000)
limit=${LIMIT_MS-500}

command -v Xvfb >/dev/null || { echo "SKIP: Xvfb not found (scripts/install-deps test)"; exit 77; }
work=$(mktemp -d -t velmor-ping-test.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0

Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -1 "$work/display") QT_QPA_PLATFORM=xcb

reads() { grep -c '(0x0A)' "$trace" 2>/dev/null || true; }
control() { "$sim" --control "$@" >/dev/null; }
# Waits up to $2 seconds for at least $1 settings reads in the trace.
wait_reads() {
  for _ in $(seq $(($2 * 10))); do [ "$(reads)" -ge "$1" ] && return 0; sleep 0.1; done
  return 1
}

run() {
  local name=$1
  export VELMOR_DEVICE_DIR=$work/$name/devices
  mkdir -p -m 700 "$VELMOR_DEVICE_DIR"
  trace=$work/$name/trace.txt
  "$sim" --state "$work/$name/state" --trace "$trace" 2>"$work/$name/sim.log" &
  local sim_pid=$!
  pids+=($sim_pid)
  for _ in $(seq 100); do control status 2>/dev/null && break; sleep 0.1; done
  "$panel" 2>"$work/$name/panel.log" &
  local panel_pid=$!
  pids+=($panel_pid)
  wait_reads 10 30 || { echo "FAIL: $name: the panel never read the settings"; return 1; }
  "$watch" "VELMOR Control" >"$work/$name/watch.out" &
  local watch_pid=$!
  pids+=($watch_pid)

  local before settle ok=0
  case $name in
    delay1000) control wire delay 1000; settle=60 ;;
    drop) control wire drop 3; settle=60 ;;
    delay6000) control wire delay 6000; settle=0 ;;
  esac
  sleep 5  # status polls on the slow wire
  control unplug
  sleep 2
  before=$(reads)
  control plug
  if [ "$settle" -gt 0 ]; then
    wait_reads $((before + 10)) "$settle" || { echo "FAIL: $name: no reconnect after the plug"; ok=1; }
  else
    sleep 15  # every request runs into the 5 s limit: nothing connects
  fi
  kill -TERM "$watch_pid"
  wait "$watch_pid" || true
  kill -TERM "$panel_pid" "$sim_pid"
  wait "$panel_pid" "$sim_pid" 2>/dev/null || true

  local result longest
  result=$(cat "$work/$name/watch.out")
  longest=$(awk '{print $2}' <<<"$result")
  echo "$name: $result"
  [ -n "$longest" ] || { echo "FAIL: $name: no measurement"; return 1; }
  if [ "$limit" -gt 0 ] && [ "$longest" -gt "$limit" ]; then
    echo "FAIL: $name: the window left a ping unanswered for ${longest} ms (limit ${limit} ms)"
    return 1
  fi
  return $ok
}

for scenario in "${scenarios[@]}"; do
  run "$scenario" || failures=$((failures + 1))
done
exit $((failures > 0))
