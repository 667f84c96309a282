#!/usr/bin/env python3
"""Time to list a simulated network, side by side with other builds and a peer.

For N simulated LuNAS devices (a description and 3 service descriptions
each), starts every program in turn beside the same simulator and takes the
time from its start to its last "added" line (`norvale-discovery --watch`,
or the GUPnP 1.6 control point of bench/gupnp-watch, which prints the same
lines once a device's service descriptions are read). Each case runs 5
times; the table gives the median time to the last device listed and the
fewest devices listed in a run. Cases: 100 devices, 100 devices with 10% of
the search answers lost (nas-sim --drop-rate 0.1), 500 devices. The devices
announce themselves only at the simulator's start, before any program runs,
so a device whose answers are all lost stays unlisted. A program is stopped
as soon as it lists every device, else after WATCH_SECONDS. Run it inside
the loopback-only namespace:

    ../shared/tools/netns-run bench/app/search_bench.py build/bin [NAME=BIN_DIR ...]

The first argument holds nas-sim and the program measured ("after"); each
NAME=BIN_DIR adds another build's norvale-discovery (for example
before=/work/base/build/bin). The peer runs when build/bench/gupnp-watch
(next to the first argument's bench folder) exists. Options:
--runs N (5), --answer-spread MS (0: every device answers at once),
--cases 100,100:0.1,500 (devices[:loss] ...).
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

WATCH_SECONDS = 5


def start_simulator(sim_dir, count, drop_rate, spread):
    command = [os.path.join(sim_dir, "nas-sim"), "--generate", str(count), "--services", "3",
               "--quit-on-eof"]
    if spread > 0:
        command += ["--answer-spread", str(spread)]
    if drop_rate > 0:
        command += ["--drop-rate", str(drop_rate)]
    sim = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
    for line in sim.stdout:
        if line.startswith("ready"):
            return sim
    raise SystemExit("nas-sim did not get ready")


def watch(command, count):
    """Seconds from start to each "added" line; stops at `count` lines."""
    started = time.monotonic()
    proc = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)  # errors show on stderr
    added = []
    for line in proc.stdout:
        if '"event":"added"' in line.replace(" ", ""):
            added.append(time.monotonic() - started)
            if len(added) >= count:
                break
    proc.terminate()
    proc.wait()
    return added


def program_command(kind, path):
    if kind == "peer":
        return [path, str(WATCH_SECONDS)]
    return [path, "--watch", "--timeout", str(WATCH_SECONDS), "--interface", "127.0.0.1"]


def parse_cases(text):
    cases = []
    for item in text.split(","):
        count, _, loss = item.partition(":")
        cases.append((int(count), float(loss) if loss else 0.0))
    return cases


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bin_dir", nargs="?", default="build/bin")
    parser.add_argument("others", nargs="*", help="NAME=BIN_DIR of other builds")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--answer-spread", type=int, default=0)
    parser.add_argument("--cases", default="100,100:0.1,500")
    args = parser.parse_args()

    programs = [("after", "ours", os.path.join(args.bin_dir, "norvale-discovery"))]
    for other in args.others:
        name, _, directory = other.partition("=")
        programs.append((name, "ours", os.path.join(directory, "norvale-discovery")))
    peer = os.path.join(os.path.dirname(os.path.abspath(args.bin_dir)), "bench", "gupnp-watch")
    if os.path.exists(peer):
        programs.append(("GUPnP 1.6", "peer", peer))
    for name, _, path in programs:
        print(f"{name:>10}: {path}")
    print(f"median of {args.runs} runs, answer spread {args.answer_spread} ms,"
          f" at most {WATCH_SECONDS} s per run")
    print(f"{'devices':>7}  {'lost':>4}  " +
          "  ".join(f"{name:>22}" for name, _, _ in programs))
    for count, loss in parse_cases(args.cases):
        results = {name: [] for name, _, _ in programs}
        for _ in range(args.runs):
            sim = start_simulator(args.bin_dir, count, loss, args.answer_spread)
            try:
                time.sleep(2)  # the start-up announcements are over
                for name, kind, path in programs:
                    results[name].append(watch(program_command(kind, path), count))
            finally:
                sim.stdin.close()
                sim.wait()
        cells = []
        for name, _, _ in programs:
            runs = results[name]
            fewest = min(len(r) for r in runs)
            lasts = [r[-1] * 1000 for r in runs if r]
            median = f"{statistics.median(lasts):.0f} ms" if lasts else "-"
            cells.append(f"{median} ({fewest}/{count})")
        print(f"{count:>7}  {loss * 100:>3.0f}%  " + "  ".join(f"{c:>22}" for c in cells),
              flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
