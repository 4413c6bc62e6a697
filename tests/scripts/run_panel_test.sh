#!/usr/bin/env bash
# scripts/run-panel with the real velmor-sim and velmorctl; the stand-in panel records which
# device folder it was given and whether a device answered there, and stays open while HOLD exists.
# Usage: run_panel_test.sh RUN_PANEL BUILD_DIR
set -euo pipefail
run_panel=$1 build=$2
work=$(mktemp -d -t velmor-run-panel-test.XXXXXX)
first=
cleanup() {
  rm -f "$work/hold"
  [ -n "$first" ] && wait "$first" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime VELMOR_STATE_DIR=$work/state DISPLAY=stand-in
unset VELMOR_DEVICE_DIR
export VELMOR_PANEL=$work/panel PANEL_LOG=$work/panel.log HOLD=$work/hold CTL=$build/cli/velmorctl
cat >"$VELMOR_PANEL" <<'PANEL'
#!/usr/bin/env bash
if "$CTL" identity >/dev/null 2>&1; then seen=device; else seen=none; fi
echo "$VELMOR_DEVICE_DIR $seen $*" >>"$PANEL_LOG"
while [ -e "$HOLD" ]; do sleep 0.05; done
PANEL
chmod +x "$VELMOR_PANEL"
touch "$PANEL_LOG"
panel_runs() { wc -l <"$PANEL_LOG"; }
wait_for_panel() {
  for _ in $(seq 200); do [ "$(panel_runs)" -ge "$1" ] && return 0; sleep 0.05; done
  return 1
}

# A run keeps its simulator while the panel is open.
touch "$HOLD"
"$run_panel" "$build" -service >"$work/first.out" 2>&1 &
first=$!
wait_for_panel 1 || { cat "$work/first.out"; fail "the first panel never opened"; exit 1; }
read -r device_dir seen mode <"$PANEL_LOG"
[ "$seen $mode" = "device -service" ] || fail "first panel: '$seen $mode'"
[[ $device_dir == "$XDG_RUNTIME_DIR"/* ]] || fail "device folder $device_dir not the run's own"

# A second run finds that simulator and opens its panel on it.
HOLD=$work/none "$run_panel" "$build" >"$work/second.out" 2>&1 || fail "second run failed"
grep -q "already serves" "$work/second.out" || { cat "$work/second.out"; fail "second run silent"; }
grep -q "^run-panel: velmor-sim did not start" "$work/second.out" && fail "second run refused"
[ "$(sed -n 2p "$PANEL_LOG")" = "$device_dir device " ] || fail "second panel: $(sed -n 2p "$PANEL_LOG")"

# The factory state cannot replace a state folder that a simulator is using.
if RESET=1 "$run_panel" "$build" >"$work/busy.out" 2>&1; then fail "reset while in use ran"; fi
grep -q "cannot reset" "$work/busy.out" || fail "reset while in use: $(cat "$work/busy.out")"
[ "$(panel_runs)" -eq 2 ] || fail "a panel opened for the refused reset"

# Closing the first panel stops its simulator and removes its device folder.
rm -f "$HOLD"
wait "$first" || fail "first run failed"
first=
[ -e "$device_dir" ] && fail "$device_dir left behind"
VELMOR_DEVICE_DIR=$device_dir "$CTL" identity >/dev/null 2>&1 && fail "the simulator still serves"

# A state the simulator refuses is reported with its reason and opens no panel; RESET=1 then
# starts from the factory state.
printf 'torn' >"$VELMOR_STATE_DIR/settings.bin"
runs=$(panel_runs)
if "$run_panel" "$build" >"$work/torn.out" 2>&1; then fail "a refused state ran"; fi
grep -q "velmor-sim did not start: .*settings.bin" "$work/torn.out" ||
  fail "no reason given: $(cat "$work/torn.out")"
grep -q "RESET=1" "$work/torn.out" || fail "the way back is not named"
grep -q "serving" "$work/torn.out" && fail "claims a simulator serves"
[ "$(panel_runs)" -eq "$runs" ] || fail "a panel opened without a simulator"
RESET=1 "$run_panel" "$build" >"$work/reset.out" 2>&1 || fail "reset run: $(cat "$work/reset.out")"
[ "$(tail -1 "$PANEL_LOG" | cut -d' ' -f2)" = device ] || fail "no device after the reset"

[ $failures -eq 0 ] && echo "run-panel ok"
exit $((failures > 0))
