#!/usr/bin/env python3
"""Decoding speed of zirvak-cli against mpg123, measured side by side in one run.

For each benchmark file (two minutes of stereo at 128 and 320 kbit/s), runs
`zirvak-cli decode FILE /dev/null` and `mpg123 -q -t FILE` alternately, five times each,
and prints the median ratio of our user CPU time to mpg123's (below 1.0: faster than mpg123).
"""
import os
import resource
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = os.environ.get("ZIRVAK_CLI", os.path.join(ROOT, "build/release/src/cli/zirvak-cli"))
RUNS = 5


def user_seconds(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime - before


def main():
    files_dir = subprocess.run(
        [os.path.join(ROOT, "bench/make_bench_files.sh"), os.path.join(ROOT, "build/bench-files")],
        check=True, capture_output=True, text=True).stdout.strip()
    worst = 0.0
    print(f"{'file':16} {'zirvak (s)':>11} {'mpg123 (s)':>11} {'ratio':>7}")
    for name in ("bench-128.mp3", "bench-320.mp3"):
        path = os.path.join(files_dir, name)
        ours, peer, ratios = [], [], []
        for _ in range(RUNS):
            ours.append(user_seconds([CLI, "decode", path, "/dev/null"]))
            peer.append(user_seconds(["mpg123", "-q", "-t", path]))
            ratios.append(ours[-1] / max(peer[-1], 1e-6))
        ratio = statistics.median(ratios)
        worst = max(worst, ratio)
        print(f"{name:16} {statistics.median(ours):11.3f} {statistics.median(peer):11.3f} "
              f"{ratio:7.2f}")
    print(f"median ratio, worst file: {worst:.2f} (required: 1.5 or less; goal: below 1.0)")
    return 0 if worst <= 1.5 else 1


if __name__ == "__main__":
    sys.exit(main())
