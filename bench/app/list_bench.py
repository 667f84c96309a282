#!/usr/bin/env python3
"""Discovery of many devices through the command-line front end.

Starts nas-sim with N generated devices (3 services each), runs
`norvale-discovery --watch` and reports the time from the program's start
(its first search goes out on the chain's first pass) to the first and to the
last "added" line, the rows of a following `--list --json`, and the peak RSS
of the discovery process. Run it inside the loopback-only namespace:

    ../shared/tools/netns-run bench/app/list_bench.py build/bin 500
"""
import json
import os
import resource
import subprocess
import sys
import time


def start_simulator(bin_dir, count):
    sim = subprocess.Popen([os.path.join(bin_dir, "nas-sim"), "--generate", str(count), "--services", "3",
                            "--quit-on-eof"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
    for line in sim.stdout:
        if line.startswith("ready"):
            return sim
    raise SystemExit("nas-sim did not get ready")


def watch(bin_dir, count, seconds):
    started = time.monotonic()
    proc = subprocess.Popen([os.path.join(bin_dir, "norvale-discovery"), "--watch", "--timeout", str(seconds),
                             "--interface", "127.0.0.1"], stdout=subprocess.PIPE, text=True)
    added = []
    for line in proc.stdout:
        if json.loads(line).get("event") == "added":
            added.append(time.monotonic() - started)
    proc.wait()
    peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return added, peak_kib


def main():
    bin_dir = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    sim = start_simulator(bin_dir, count)
    try:
        added, peak_kib = watch(bin_dir, count, 6)
        listed = subprocess.run([os.path.join(bin_dir, "norvale-discovery"), "--list", "--json", "--timeout", "4",
                                 "--interface", "127.0.0.1"], capture_output=True, text=True, check=True)
        rows = len(json.loads(listed.stdout))
    finally:
        sim.stdin.close()
        sim.wait()
    print(f"devices simulated        {count}")
    print(f"rows added (--watch)     {len(added)}")
    print(f"rows listed (--list)     {rows}")
    if added:
        print(f"first row after start    {added[0]*1000:.0f} ms")
        print(f"last row after start     {added[-1]*1000:.0f} ms")
    print(f"peak RSS (discovery)     {peak_kib/1024:.1f} MiB")
    return 0 if len(added) == count and rows == count else 1


if __name__ == "__main__":
    sys.exit(main())
