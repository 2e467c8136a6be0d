#!/usr/bin/env python3
"""Times archive extraction by the engine's command-line tool and by peer tools, side by
side in one run, on three corpora, extracting into tmpfs.

Corpora (built once with Info-ZIP zip and kept in the work folder):
  small    every file below /usr/include, deflated: thousands of small text files
  large    the largest shared libraries of the machine, about 300 MiB, deflated
  stored   the same large files, stored

For each corpus and tool: the median wall time of --runs runs, its ratio to the fastest
peer, and the peak resident memory. The zlib bound inflates and checks every entry in
memory and writes nothing.

  bench/extract_bench.py --ours build/linux-release/tools/extract-archive \
                         --bound build/linux-release/bench/zlib_bound
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

PEERS = {
    "unzip": lambda a, d: ["unzip", "-qq", "-o", a, "-d", d],
    "bsdtar": lambda a, d: ["bsdtar", "-xf", a, "-C", d],
    "7z": lambda a, d: ["7z", "x", "-y", "-bd", "-bso0", "-bsp0", "-o" + d, a],
    "python3 zipfile": lambda a, d: [sys.executable, "-m", "zipfile", "-e", a, d],
}


def largest_libraries(limit_bytes):
    candidates = []
    for folder in ("/usr/lib/x86_64-linux-gnu", "/usr/lib"):
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                candidates.append((os.path.getsize(path), path))
    chosen, total = [], 0
    for size, path in sorted(candidates, reverse=True):
        if total + size > limit_bytes:
            continue
        chosen.append(path)
        total += size
    return chosen


def build_corpora(work):
    os.makedirs(work, exist_ok=True)
    corpora = {}
    small = os.path.join(work, "small.zip")
    if not os.path.exists(small):
        subprocess.run(["zip", "-q", "-r", small, "include"], cwd="/usr", check=True)
    corpora["small"] = small
    files = largest_libraries(300 << 20)
    for name, level in (("large", "-6"), ("stored", "-0")):
        path = os.path.join(work, name + ".zip")
        if not os.path.exists(path):
            subprocess.run(["zip", "-q", "-j", level, path] + files, check=True)
        corpora[name] = path
    return corpora


def timed(command, runs, dest):
    """Median seconds and the largest peak RSS (KiB) over the runs."""
    times, peaks = [], []
    for _ in range(runs):
        if dest:
            shutil.rmtree(dest, ignore_errors=True)
            os.makedirs(dest)
        start = time.perf_counter()
        result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        times.append(time.perf_counter() - start)
        if result.returncode != 0:
            raise RuntimeError(f"{command[0]} failed: {result.stderr.strip()[-400:]}")
        peaks.append(int(result.stderr.strip().splitlines()[-1]))
    return statistics.median(times), max(peaks)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ours", required=True, help="the extract-archive executable")
    parser.add_argument("--bound", help="the zlib_bound executable")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", default="/dev/shm/extract-bench")
    args = parser.parse_args()

    corpora = build_corpora(args.work)
    dest = os.path.join(args.work, "out")
    tools = {"extract-archive": lambda a, d: [os.path.abspath(args.ours), "-x", a, d]}
    tools.update({n: f for n, f in PEERS.items() if shutil.which(f("a", "d")[0])})

    print("| corpus | archive | tool | seconds | vs fastest peer | peak RSS |")
    print("|---|---|---|---|---|---|")
    for corpus, archive in corpora.items():
        results = {name: timed(make(archive, dest), args.runs, dest) for name, make in tools.items()}
        if args.bound:
            results["zlib bound"] = timed([os.path.abspath(args.bound), archive], args.runs, None)
        fastest = min(t for n, (t, _) in results.items() if n in PEERS)
        size = os.path.getsize(archive) >> 20
        for name, (seconds, peak) in results.items():
            print(f"| {corpus} | {size} MiB | {name} | {seconds:.3f} | {seconds / fastest:.2f}x "
                  f"| {peak / 1024:.1f} MiB |")
    shutil.rmtree(dest, ignore_errors=True)


if __name__ == "__main__":
    main()
