#!/usr/bin/env bash
# The fault-injection run: velqorctl against velqor-sim --chaos, which spoils a few percent
# of its replies at random (late, withheld, truncated, bad CRC, stray bytes before or after,
# split, from another slave, exception) and stamps each request's number into the pulse
# counter. Every value velqorctl reports as good must carry the number of the very request
# that asked for it, and no reply with a fault that spoils it may be reported as good.
# Prints the figures; exit status 1 when a check failed.
#
#   tests/chaos.sh --build-dir build                         1,000 monitor reads, serial
#   tests/chaos.sh --build-dir build --exchanges 10000 --lines "serial tcp" \
#                  --commands "monitor read write output"    the long run (docs/robustness.md)
#
# Options: --exchanges N (about how many requests, default 1000), --seed S (default 1),
# --percent P (each fault's chance, default 2), --timeout MS (velqorctl's, default 100;
# late replies come 1.2 times as late), --lines "serial tcp", --commands "monitor read
# write output" (one after another in turns; monitor reads 20 at a time).
set -euo pipefail

build_dir=build
exchanges=1000
seed=1
percent=2
timeout=100
lines=serial
commands=monitor
while [ "$#" -gt 0 ]; do
    case "$1" in
        --build-dir) build_dir="$2"; shift 2 ;;
        --exchanges) exchanges="$2"; shift 2 ;;
        --seed) seed="$2"; shift 2 ;;
        --percent) percent="$2"; shift 2 ;;
        --timeout) timeout="$2"; shift 2 ;;
        --lines) lines="$2"; shift 2 ;;
        --commands) commands="$2"; shift 2 ;;
        -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
        *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
    esac
done
ctl=$(realpath "$build_dir/velqorctl")
sim=$(realpath "$build_dir/tools/velqor-sim")
late=$((timeout * 6 / 5))

work=$(mktemp -d /tmp/velqor-chaos.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

status=0
for line in $lines; do
    dir="$work/$line"
    mkdir -p "$dir"
    socat pty,raw,echo=0,link="$dir/COM1" pty,raw,echo=0,link="$dir/module" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 200); do [ -e "$dir/COM1" ] && [ -e "$dir/module" ] && break; sleep 0.05; done
    "$sim" --device "$dir/module" --chaos "$seed:$percent:$late" > "$dir/sim.log" 2>&1 &
    sim_pid=$!
    pids+=("$sim_pid")
    for _ in $(seq 200); do grep -q '^ready' "$dir/sim.log" && break; sleep 0.05; done
    port="$dir/COM1"
    tcp_port=$((20000 + RANDOM % 20000))
    [ "$line" = tcp ] && port="tcp://127.0.0.1:$tcp_port"
    # A transparent serial server for one run: the RTU frames between one TCP connection
    # and the module's line. Bytes that came while no client was connected are dropped
    # first, as such servers do.
    bridge() {
        timeout 0.05 cat "$dir/COM1" > /dev/null 2>&1 || true
        socat tcp-listen:"$tcp_port",bind=127.0.0.1,reuseaddr file:"$dir/COM1",raw,echo=0 2>/dev/null &
        bridge_pid=$!
        for _ in $(seq 200); do ss -ltn | grep -q "127.0.0.1:$tcp_port " && return; sleep 0.01; done
    }

    # Each run: the command, the module's request count before it, its exit status, its output.
    asked() { sed -n 's/^count //p' "$dir/sim.log" | tail -n 1 | grep . || echo 0; }
    n=0
    : > "$dir/runs"
    : > "$dir/rss"
    while [ "$(asked)" -lt "$exchanges" ]; do
        for command in $commands; do
            n=$((n + 1))
            out="$dir/out.$n"
            base=$(asked)
            case "$command" in
                monitor) args=(monitor --json --interval 0 --count 20) ;;
                read) args=(read --json) ;;
                write) args=(write --set pwm_duty=$((n % 1000 / 10)).$((n % 10))) ;;
                output) args=(output "$([ $((n % 2)) = 0 ] && echo on || echo off)") ;;
            esac
            rc=0
            [ "$line" = tcp ] && bridge
            /usr/bin/time -a -f %M -o "$dir/rss" "$ctl" --port "$port" --timeout "$timeout" "${args[@]}" > "$out" 2>&1 || rc=$?
            [ "$line" = tcp ] && { kill "$bridge_pid" 2>/dev/null; wait "$bridge_pid" 2>/dev/null; } || true
            echo "$command $base $rc $out" >> "$dir/runs"
            # A reply withheld past the end of a run still comes: let it come before the next
            # run opens the line, as a user who runs again after a failure does.
            [ "$rc" = 0 ] || sleep "$(awk "BEGIN {print $late / 1000 + 0.05}")"
        done
    done
    sleep "$(awk "BEGIN {print $late / 1000 + 0.1}")"
    sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$sim_pid/status" > "$dir/sim.rss" || true
    kill "${pids[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
    pids=()

    # The verdict: the module's log gives each request's fault; the runs give what velqorctl said.
    awk -v line="$line" -v ctl_rss="$(sort -n "$dir/rss" | tail -n 1)" -v sim_rss="$(cat "$dir/sim.rss" 2>/dev/null || echo ?)" '
        function spoils(f) { return f ~ /^(delay|silent|truncate|bad-crc|as-slave|exception)/ }
        function check(request, value) {
            if (value != request) { wrong++; print line ": request " request " reported good with the value of request " value > "/dev/stderr" }
            else if (spoils(fault[request])) { falseGood++; print line ": request " request " (" fault[request] ") reported good" > "/dev/stderr" }
            else good++
        }
        FILENAME ~ /sim.log$/ {
            if ($1 == "count") { current = $2; fault[current] = "none"; asked = current }
            else if ($1 == "fault" && current) { sub(/^fault /, ""); fault[current] = $0; kinds[$0]++ }
            next
        }
        FILENAME ~ /runs$/ { run[++runs] = $0; next }
        END {
            for (r = 1; r <= runs; r++) {
                split(run[r], f, " "); command = f[1]; base = f[2]; rc = f[3]; out = f[4]
                if (command == "monitor") {
                    i = 0
                    while ((getline text < out) > 0) {
                        i++
                        if (text ~ /^\{/) { match(text, /"pulse_count":[0-9]+/); check(base + i, substr(text, RSTART + 14, RLENGTH - 14)) }
                        else if (text ~ /^velqorctl: monitor /) failures++
                    }
                    close(out)
                } else if (command == "read") {
                    value = ""
                    while ((getline text < out) > 0) if (text ~ /"pulse_count"/) { gsub(/[^0-9]/, "", text); value = text }
                    close(out)
                    if (rc == 0) check(base + 1, value); else failures++
                } else {
                    last = (r < runs) ? substr(run[r + 1], index(run[r + 1], " ") + 1) + 0 : asked
                    if (rc == 0) {
                        for (q = base + 1; q <= last; q++)
                            if (spoils(fault[q])) { falseGood++; print line ": " command " succeeded over request " q " (" fault[q] ")" > "/dev/stderr" }
                        done++
                    } else failures++
                }
            }
            for (q = 1; q <= asked; q++) if (spoils(fault[q])) spoiled++
            printf "%s: %d exchanges in %d runs, %d values good and checked, %d writes and switches reported done, %d failures reported, %d replies spoilt on purpose; wrong values %d, spoilt replies reported good %d; max RSS velqorctl %s KiB, velqor-sim %s KiB\n",
                line, asked, runs, good, done, failures, spoiled, wrong + 0, falseGood + 0, ctl_rss, sim_rss
            printf "%s: faults:", line; for (k in kinds) printf " %s x%d;", k, kinds[k]; printf "\n"
            exit (wrong + falseGood > 0)
        }' "$dir/sim.log" "$dir/runs" || status=1
done
exit "$status"
