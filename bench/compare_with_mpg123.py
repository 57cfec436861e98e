#!/usr/bin/env python3
"""Decoding speed of zirvak-cli against mpg123, measured side by side in one run.

For each benchmark file (real music at 128 and 320 kbit/s CBR, VBR and Layer II at 192 kbit/s;
the synthetic two-minute piece at 128 and 320 kbit/s), runs `zirvak-cli decode FILE /dev/null`
and `mpg123 -q -t FILE` alternately, five times each, and prints the median ratio of our user
CPU time to mpg123's (below 1.0: faster than mpg123). Then the per-stage profile of Layer III
decoding from the Google Benchmark program.

    python3 bench/compare_with_mpg123.py [--check] [--runs N]

ZIRVAK_DECODER_PATH (generic, sse2, avx2) is passed on to zirvak-cli and the benchmarks, so
one path can be measured on its own. The goals are 0.8 on the AVX2 path and 1.0 on SSE2, for
the real music at 128 and 320 kbit/s and Layer II. --check makes the exit status say whether
every file with a goal met it.
"""
import argparse
import os
import platform
import subprocess
import sys

from bench_timing import BUILD, CLI, bench_files, compare, cpu_model

BENCH = os.path.join(BUILD, "bench/zirvak_bench")

# File, what it is, and whether it has a goal (the others are reported only).
FILES = [
    ("music-128.mp3", "music, Layer III 128 kbit/s", True),
    ("music-320.mp3", "music, Layer III 320 kbit/s", True),
    ("music-vbr.mp3", "music, Layer III VBR -V 2", False),
    ("music-l2-192.mp2", "music, Layer II 192 kbit/s", True),
    ("bench-128.mp3", "synthetic, 128 kbit/s", False),
    ("bench-320.mp3", "synthetic, 320 kbit/s", False),
]

# The ratio to reach by path: a fifth faster than mpg123 on AVX2, at least as fast on the SSE2
# baseline every x86-64 has; the plain path is the reference and has no goal.
GOALS = {"avx2": 0.8, "sse2": 1.0}


def decoder_path():
    """The path zirvak-cli takes: the one ZIRVAK_DECODER_PATH asks for, else the best."""
    asked = os.environ.get("ZIRVAK_DECODER_PATH")
    if asked:
        return asked
    try:
        with open("/proc/cpuinfo") as f:
            flags = next((line for line in f if line.startswith("flags")), "").split()
    except OSError:
        flags = []
    if "avx2" in flags:
        return "avx2"
    return "sse2" if platform.machine() in ("x86_64", "AMD64") else "generic"


def stage_profile():
    if not os.path.exists(BENCH):
        return
    result = subprocess.run([BENCH, "--benchmark_filter=Stage", "--benchmark_min_time=0.2"],
                            capture_output=True, text=True)
    print()
    print("Layer III stages, one granule of real music (Google Benchmark):")
    for line in result.stdout.splitlines():
        if line.startswith("BM_") or line.startswith("Benchmark") or line.startswith("---"):
            print("  " + line)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    files_dir = bench_files()
    print(f"CPU: {cpu_model()}; decoder path: {decoder_path()}; mpg123: "
          + subprocess.run(["mpg123", "--version"], capture_output=True, text=True)
          .stdout.strip())
    print(f"{'file':18} {'what':30} {'zirvak (s)':>11} {'mpg123 (s)':>11} {'ratio':>7} {'goal':>6}")
    missed = []
    path_goal = GOALS.get(decoder_path())
    for name, what, has_goal in FILES:
        goal = path_goal if has_goal else None
        path = os.path.join(files_dir, name)
        ours, peer, ratio = compare([CLI, "decode", path, "/dev/null"],
                                    ["mpg123", "-q", "-t", path], args.runs)
        if goal is not None and ratio > goal:
            missed.append(name)
        print(f"{name:18} {what:30} {ours:11.3f} {peer:11.3f} {ratio:7.2f} "
              f"{'' if goal is None else f'{goal:.2f}':>6}")
    print("every goal met" if not missed else "goals missed: " + ", ".join(missed))
    stage_profile()
    return 1 if args.check and missed else 0


if __name__ == "__main__":
    sys.exit(main())
