#!/usr/bin/env bash
# Online play as players see it, measured: two games in windows on this
# machine (under a private Xvfb), paced at 60 passes a second, playing a
# recorded battle through the test relay with a round trip and a loss rate,
# then each side's figures: round trip, rollbacks, passes that waited for the
# other side, and the bytes each way per second.
#
#   scripts/online-bench.sh [ROUND_TRIP_MS [LOSS [PASSES]]]     # 100 0.05 3600
#
# Needs the release build in build/ (tests on, for the relay) and Xvfb.
# Environment: INPUT_DELAY (each side's --input-delay; the default when unset).
set -euo pipefail
cd "$(dirname "$0")/.."
rtt=${1:-100}
loss=${2:-0.05}
passes=${3:-3600}
build=${BUILD_DIR:-build}
cmake --build "$build" -j"$(nproc)" --target tankbattle net_relay > /dev/null
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
display=:$((70 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 > /dev/null 2>&1 &
sleep 1
port=$((30000 + RANDOM % 20000))
game=(env DISPLAY="$display" TANKBATTLE_TIMING=1 "$build/tankbattle" --window --mute --threads 1
      --data "$build/data" --frames "$passes" --config "$work/none.ini"
      ${INPUT_DELAY:+--input-delay "$INPUT_DELAY"})
"$build/tools/net_relay" --listen 0 --port-file "$work/relay.port" --to "127.0.0.1:$port" \
  --delay $((rtt / 2)) --jitter $((rtt / 10)) --drop "$loss" --seed 1 --stats "$work/relay.stats" > /dev/null &
until [ -s "$work/relay.port" ]; do sleep 0.05; done
"${game[@]}" --host "$port" --replay tests/regress/coop.replay 2> "$work/host.err" &
host=$!
sleep 0.5
"${game[@]}" --join "127.0.0.1:$(cat "$work/relay.port")" --replay tests/regress/churn.replay 2> "$work/guest.err"
wait $host || true
echo "round trip $rtt ms, $loss of the datagrams lost each way, $passes passes:"
for side in host guest; do
  grep -h "tankbattle: online:\|passes in" "$work/$side.err" | sed "s/^tankbattle:/  $side:/"
  seconds=$(sed -n 's/.* passes in \([0-9.]*\) s .*/\1/p' "$work/$side.err")
  sent=$(sed -n 's/.*sent \([0-9]*\) bytes in \([0-9]*\) datagrams.*/\1 \2/p' "$work/$side.err")
  [ -n "$seconds" ] && [ -n "$sent" ] && awk -v s="$seconds" -v b="${sent% *}" -v d="${sent#* }" -v side="$side" \
    'BEGIN { printf "  %s sends %.0f bytes/s of datagrams, %.0f with IPv4 and UDP headers\n", side, b / s, (b + 28 * d) / s }'
done
