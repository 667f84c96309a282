#!/usr/bin/env python3
"""Discovery on a lossy network through the command-line front end.

For N simulated devices (3 services each) whose answers to each search are
spread at random over 0-1 s, runs `norvale-discovery --watch` and reports how
many devices were listed and when the last one was, first on a clean network,
then with 10% of the search answers lost (nas-sim --drop-rate 0.1). The
devices announce themselves only at the simulator's start, before the program
runs, so a device whose answers are all lost stays unlisted. Run it inside the
loopback-only namespace, optionally with another build's program beside the
same simulator:

    ../shared/tools/netns-run bench/app/search_bench.py build/bin [OTHER_BIN_DIR_FOR_THE_PROGRAM]
"""
import json
import os
import subprocess
import sys
import time

WATCH_SECONDS = 10


def start_simulator(sim_dir, count, drop_rate):
    command = [os.path.join(sim_dir, "nas-sim"), "--generate", str(count), "--services", "3",
               "--answer-spread", "1000", "--quit-on-eof"]
    if drop_rate > 0:
        command += ["--drop-rate", str(drop_rate)]
    sim = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
    for line in sim.stdout:
        if line.startswith("ready"):
            return sim
    raise SystemExit("nas-sim did not get ready")


def watch(program_dir):
    started = time.monotonic()
    proc = subprocess.Popen([os.path.join(program_dir, "norvale-discovery"), "--watch", "--timeout",
                             str(WATCH_SECONDS), "--interface", "127.0.0.1"], stdout=subprocess.PIPE,
                            text=True)
    added = []
    for line in proc.stdout:
        if json.loads(line).get("event") == "added":
            added.append(time.monotonic() - started)
    proc.wait()
    return added


def run(sim_dir, program_dir, count, drop_rate):
    sim = start_simulator(sim_dir, count, drop_rate)
    try:
        time.sleep(2)  # the start-up announcements are over
        return watch(program_dir)
    finally:
        sim.stdin.close()
        sim.wait()


def main():
    sim_dir = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    program_dir = sys.argv[2] if len(sys.argv) > 2 else sim_dir
    print(f"program {os.path.join(program_dir, 'norvale-discovery')}, {WATCH_SECONDS} s of --watch")
    print(f"{'devices':>7}  {'answers lost':>12}  {'listed':>7}  {'last listed after':>17}")
    for count in (100, 500):
        for drop_rate in (0.0, 0.1):
            added = run(sim_dir, program_dir, count, drop_rate)
            last = f"{added[-1] * 1000:.0f} ms" if added else "-"
            print(f"{count:>7}  {drop_rate * 100:>11.0f}%  {len(added):>7}  {last:>17}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
