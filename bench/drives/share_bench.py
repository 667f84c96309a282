#!/usr/bin/env python3
"""Listing and mapping shares with norvale-shares, beside the system's tools.

Starts a private smbd (root only) on 127.0.0.9 with two guest shares and a
private D-Bus session with GVfs, then times, run after run and in turn:

  listing   norvale-shares 127.0.0.9          vs  smbclient -N -L //127.0.0.9
  mapping   norvale-shares 127.0.0.9 --map    vs  gio mount -a smb://.../public smb://.../data

for every bin folder given (e.g. the build before a change and after it).
Each mapping run starts with nothing mounted and no letters; the clean-up
is not timed. Prints the median, minimum and maximum wall time of each
command and its median ratio to the peer. Run it inside the loopback-only
namespace:

    ../shared/tools/netns-run bench/drives/share_bench.py [--runs N] BIN_DIR [BIN_DIR...]
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

SERVER = "127.0.0.9"
SHARES = ("data", "public")
IN_SESSION = "NORVALE_SHARE_BENCH_IN_SESSION"
FORGET_SECONDS = 2


def start_smbd(scratch):
    shares = os.path.join(scratch, "shares")
    os.chmod(scratch, 0o755)
    for sub in ("lock", "state", "cache", "pid", "private", "ncalrpc", "log"):
        os.makedirs(os.path.join(scratch, sub))
    sections = ""
    for share in SHARES:
        path = os.path.join(shares, share)
        os.makedirs(path)
        os.chmod(path, 0o777)
        with open(os.path.join(path, "hello.txt"), "w") as out:
            out.write("hello\n")
        sections += f"[{share}]\n  path = {path}\n  guest ok = yes\n  read only = no\n"
    config = os.path.join(scratch, "smb.conf")
    with open(config, "w") as out:
        out.write(f"""[global]
  interfaces = lo 127.0.0.1/8
  bind interfaces only = yes
  disable netbios = yes
  smb ports = 445
  lock directory = {scratch}/lock
  state directory = {scratch}/state
  cache directory = {scratch}/cache
  pid directory = {scratch}/pid
  private dir = {scratch}/private
  ncalrpc dir = {scratch}/ncalrpc
  log file = {scratch}/log/%m.log
  map to guest = bad user
  load printers = no
  printing = bsd
  printcap name = /dev/null
  server role = standalone server
{sections}""")
    subprocess.run(["ip", "addr", "add", SERVER + "/8", "dev", "lo"], stderr=subprocess.DEVNULL)
    subprocess.run(["smbd", "-D", "-s", config], check=True)
    for _ in range(400):
        if subprocess.run(["smbclient", "-N", "-L", "//" + SERVER], capture_output=True).returncode == 0:
            return config
        time.sleep(0.05)
    raise SystemExit("smbd does not answer")


def stop_smbd(config):
    # smbd and the helpers it started name the configuration on their command line.
    for _ in range(60):
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) == os.getpid():
                continue
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    if config.encode() in f.read():
                        pids.append(int(entry))
            except OSError:
                pass
        if not pids:
            return
        for pid in pids:
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                pass
        time.sleep(0.05)


def timed(command, env):
    started = time.monotonic()
    result = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.monotonic() - started
    if result.returncode != 0:
        raise SystemExit(f"{' '.join(command)}: exit {result.returncode}: {result.stderr.decode()}")
    return elapsed


def unmap(drives, env):
    subprocess.run(["gio", "mount", "-u"] + [f"smb://{SERVER}/{s}" for s in SHARES], env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.rmtree(drives, ignore_errors=True)
    # Wait until GVfs has let both shares go, and until the kernel has
    # forgotten their FUSE folders (it keeps them for about a second, and a
    # mount made meanwhile shows I/O errors through them until then).
    for _ in range(100):
        listed = subprocess.run(["gio", "mount", "-l"], env=env, capture_output=True, text=True).stdout
        if f"smb://{SERVER}" not in listed.lower():
            break
        time.sleep(0.05)
    time.sleep(FORGET_SECONDS)


def report(out, name, times, peer):
    ms = [t * 1000 for t in times]
    ratio = statistics.median(times) / statistics.median(peer) if peer else 1.0
    print(f"  {name:52s} median {statistics.median(ms):7.0f} ms  "
          f"min {min(ms):6.0f}  max {max(ms):6.0f}  x{ratio:.2f}", file=out)


def bench(bins, runs, out):
    scratch = tempfile.mkdtemp(prefix="norvale-share-bench-")
    config = start_smbd(scratch)
    drives = os.path.join(scratch, "drives")
    env = dict(os.environ, NORVALE_DRIVES_DIR=drives)
    listing = {"smbclient -N -L": []}
    mapping = {"gio mount -a (2 shares)": []}
    try:
        for run in range(runs + 1):  # the first run warms up and is not counted
            samples = {"smbclient -N -L": timed(["smbclient", "-N", "-L", "//" + SERVER], env)}
            for b in bins:
                samples[f"{b}: norvale-shares"] = timed([os.path.join(b, "norvale-shares"), SERVER], env)
            unmap(drives, env)
            maps = {"gio mount -a (2 shares)":
                    timed(["gio", "mount", "-a"] + [f"smb://{SERVER}/{s}" for s in SHARES], env)}
            unmap(drives, env)
            for b in bins:
                maps[f"{b}: norvale-shares --map"] = timed(
                    [os.path.join(b, "norvale-shares"), SERVER, "--map"], env)
                unmap(drives, env)
            if run == 0:
                continue
            for key, value in samples.items():
                listing.setdefault(key, []).append(value)
            for key, value in maps.items():
                mapping.setdefault(key, []).append(value)
    finally:
        unmap(drives, env)
        stop_smbd(config)
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"runs {runs} (after one warm-up), server {SERVER}, shares {', '.join(SHARES)}", file=out)
    print("listing", file=out)
    for key, times in listing.items():
        report(out, key, times, listing["smbclient -N -L"])
    print("mapping", file=out)
    for key, times in mapping.items():
        report(out, key, times, mapping["gio mount -a (2 shares)"])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--report", help=argparse.SUPPRESS)  # where the session writes its figures
    parser.add_argument("bins", nargs="+")
    args = parser.parse_args()
    bins = [os.path.abspath(b) for b in args.bins]
    if os.geteuid() != 0:
        raise SystemExit("share_bench: smbd needs root")
    if not os.environ.get(IN_SESSION):
        # GVfs runs in a private session bus with a scratch home and runtime
        # folder; what its daemons print is dropped, the figures come back
        # through a file.
        scratch = tempfile.mkdtemp(prefix="norvale-share-session-")
        home, run = os.path.join(scratch, "home"), os.path.join(scratch, "run")
        report_file = os.path.join(scratch, "report")
        os.mkdir(home, 0o700)
        os.mkdir(run, 0o700)
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=run, **{IN_SESSION: "1"})
        code = subprocess.run(["dbus-run-session", "--", sys.executable, os.path.abspath(__file__),
                               "--runs", str(args.runs), "--report", report_file] + bins, env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        subprocess.run(["umount", "-l", os.path.join(run, "gvfs")], stderr=subprocess.DEVNULL)
        if os.path.exists(report_file):
            with open(report_file) as figures:
                sys.stdout.write(figures.read())
        shutil.rmtree(scratch, ignore_errors=True)
        sys.exit(code)
    with open(args.report, "w") as out:
        try:
            bench(bins, args.runs, out)
        except SystemExit as failure:
            print(f"share_bench: {failure}", file=out)
            raise


if __name__ == "__main__":
    main()
