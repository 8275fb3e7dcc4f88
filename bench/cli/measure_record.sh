#!/usr/bin/env bash
# arv-cli record against arv-unit-sim at 2000 frames/s of the 42-byte frame (temperature,
# acceleration, angular velocity, fusion state: mask 0x0CC0) at 921600 baud, for S seconds.
# Prints arv-cli's CPU use by thread and in all, divided by the measured wall time, the
# simulated unit's apart, arv-cli's own summary (frames, TID gaps, frames missing) and the
# unit's count of bytes the host's terminal had no room for (frames lost before arv-cli).
#   bash bench/cli/measure_record.sh [seconds=60] [build folder=build]
set -euo pipefail
SECONDS_TO_RUN="${1:-60}"
BUILD="${2:-build}"
TICK=$(getconf CLK_TCK)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

"$BUILD/sim/arv-unit-sim" --model ARV273 --suffix U --rate 2000 --mask 0CC0 --baud 921600 \
    --duration $((SECONDS_TO_RUN + 10)) >"$WORK/sim.out" 2>"$WORK/sim.err" &
SIM=$!
for _ in $(seq 50); do [ -s "$WORK/sim.out" ] && break; sleep 0.1; done
DEV=$(head -1 "$WORK/sim.out")

# CPU ticks of every thread of a process: "name utime+stime" per line.
threads() { for t in /proc/"$1"/task/*; do
    echo "$(cat "$t/comm") $(awk '{print $14 + $15}' "$t/stat")"; done 2>/dev/null; }

START=$(date +%s.%N)
"$BUILD/cli/arv-cli" record --port "$DEV" --baud 921600 --out "$WORK/run.csv" \
    --duration "$SECONDS_TO_RUN" --english >"$WORK/cli.out" 2>"$WORK/cli.err" &
CLI=$!
SIM0=$(awk '{print $14 + $15}' /proc/$SIM/stat)
# The last look just before the recording ends (the threads are gone after).
sleep "$(echo "$SECONDS_TO_RUN - 0.3" | bc)"
threads $CLI >"$WORK/threads"
SIM1=$(awk '{print $14 + $15}' /proc/$SIM/stat)
LOOKED=$(date +%s.%N)
# The unit ends first, while arv-cli still reads: its count of bytes the terminal had no room
# for then covers the recording only.
kill $SIM 2>/dev/null || true
wait $SIM 2>/dev/null || true
wait $CLI || true

WALL=$(echo "$LOOKED - $START" | bc)
echo "measured $WALL s (load average $(cut -d' ' -f1-3 /proc/loadavg))"
awk -v tick="$TICK" -v wall="$WALL" '{ s = $2 / tick; total += s;
    printf "  arv-cli thread %-16s %6.2f s  %5.2f %% of a core\n", $1, s, 100 * s / wall }
    END { printf "  arv-cli in all                   %6.2f s  %5.2f %% of a core\n",
          total, 100 * total / wall }' "$WORK/threads"
echo "  arv-unit-sim (apart)              $(echo "scale=2; ($SIM1 - $SIM0) / $TICK" | bc) s"
cat "$WORK/cli.out" "$WORK/cli.err"
tail -1 "$WORK/sim.err"
