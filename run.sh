#!/usr/bin/env bash
# Installs what is missing, builds everything, then shows records flowing
# through the router: zorlent-sim -> Router -> plenvar-tap (live per-object
# record rates for 15 s), and stops all three.
#
#   ./run.sh                 the demo with the simulator
#   ./run.sh --connect HOST  relay a real acquisition server instead (no simulator)
#   ./run.sh --keep          keep running until Ctrl-C
set -euo pipefail
cd "$(dirname "$0")"

usage() { sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; }

HOST=""
KEEP=0
while [ $# -gt 0 ]; do
  case "$1" in
    --connect) HOST=${2:?--connect needs a host}; shift 2 ;;
    --keep) KEEP=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" -j "$(nproc)"
echo "Built into $BUILD_DIR."

SIM="$BUILD_DIR/simulator/zorlent-sim"
ROUTER="$BUILD_DIR/router/Router"
TAP="$BUILD_DIR/tools/plenvar-tap"
DEMO_DIR="$BUILD_DIR/demo"
mkdir -p "$DEMO_DIR"

pids=()
cleanup() {
  trap - EXIT INT TERM
  # Newest first: the tap, then the router, then the simulator.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_for_line() {  # file text seconds
  local deadline=$((SECONDS + $3))
  until grep -q "$2" "$1" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      echo "run.sh: gave up waiting for \"$2\" in $1" >&2
      cat "$1" >&2 || true
      return 1
    fi
    sleep 0.2
  done
}

if [ -z "$HOST" ]; then
  HOST=127.0.0.1
  "$SIM" > "$DEMO_DIR/zorlent-sim.out" 2>&1 &
  pids+=($!)
  echo "zorlent-sim: streaming synthetic records on port 26100 (output in $DEMO_DIR/zorlent-sim.out)"
fi

start_router() {  # extra Router options...
  "$ROUTER" "$@" --connect "$HOST" --log-dir "$DEMO_DIR" > "$DEMO_DIR/router.out" 2>&1 &
  pids+=($!)
}

# With a display the router shows its window (connected at start, as if
# "Connect To Server" had been confirmed); otherwise, or when this build has
# no window, it runs headless.
router_window=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  start_router
  sleep 1
  if kill -0 "${pids[-1]}" 2>/dev/null; then
    router_window=1
  else
    unset 'pids[-1]'
    pids=("${pids[@]}")
  fi
fi
if [ "$router_window" -eq 0 ]; then
  start_router --headless
fi
echo "Router: relaying $HOST to port 26200 (logs in $DEMO_DIR)"
if [ "$router_window" -eq 1 ]; then
  wait_for_line "$DEMO_DIR/Router Plenvar Client Log File.txt" "Message Client successfully initialized" 20
else
  wait_for_line "$DEMO_DIR/router.out" "is up" 20
fi

TAP_ARGS=(--router --open-all --rate)
if [ "$KEEP" -eq 0 ]; then
  TAP_ARGS+=(--seconds 15)
fi
echo "plenvar-tap: records per second of every object, received through the router"
"$TAP" "${TAP_ARGS[@]}" 127.0.0.1 &
pids+=($!)
tap_index=$((${#pids[@]} - 1))
wait "${pids[tap_index]}" || true
unset "pids[tap_index]"
pids=("${pids[@]}")
echo "Stopping the router and the simulator."
