#!/usr/bin/env python3
"""Decoding speed of zirvak-cli against Debian's own decoders of FLAC, Vorbis, Opus and WavPack.

For each benchmark file (two minutes of real music: FLAC at 16 and at 24 bits, Ogg Vorbis at
oggenc's -q 5, Opus at opusenc's default, WavPack lossless, hybrid and hybrid with its
correction file), runs `zirvak-cli decode FILE /dev/null` and the reference decoder writing to
/dev/null as well (`flac -d`, `oggdec`, `opusdec`, `wvunpack`), alternately, five times each,
and prints the median ratio of our user CPU time to the tool's (below 1.0: faster than the
tool). The goal beside each: no more than a tenth slower (1.10), for WavPack no slower (1.00).

    python3 bench/compare_with_reference_decoders.py [--check] [--runs N]

--check makes the exit status say whether every file met the goal.
"""
import argparse
import os
import sys

from bench_timing import CLI, bench_files, compare, cpu_model, tool_version

GOAL = 1.10
WAVPACK_GOAL = 1.00


def flac_decode(path):
    # To stdout, which is /dev/null: given -o, flac would also copy the input's time stamp
    # and permissions onto the output file.
    return ["flac", "--decode", "--silent", "--stdout", path]


def oggdec(path):
    return ["oggdec", "--quiet", "--output", "/dev/null", path]


def opusdec(path):
    return ["opusdec", "--quiet", path, "/dev/null"]


def wvunpack(path):
    return ["wvunpack", "-q", "-y", path, "-o", "/dev/null"]


# File, what it is, and the reference decoder's command for it.
FILES = [
    ("music-16.flac", "FLAC 16-bit stereo 44.1 kHz", flac_decode),
    ("music-24.flac", "FLAC 24-bit stereo 44.1 kHz", flac_decode),
    ("music-q5.ogg", "Ogg Vorbis, oggenc -q 5", oggdec),
    ("music.opus", "Ogg Opus, opusenc default", opusdec),
    ("music.wv", "WavPack lossless, default", wvunpack),
    ("music-hh.wv", "WavPack lossless, -hh", wvunpack),
    ("music-hybrid.wv", "WavPack hybrid 4 bits, alone", wvunpack),
    ("music-hybrid-c.wv", "WavPack hybrid with .wvc", wvunpack),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    files_dir = bench_files()
    print(f"CPU: {cpu_model()}")
    for command in (["flac", "--version"], ["oggdec", "--version"], ["opusdec", "--version"],
                    ["wvunpack", "--version"]):
        print(f"  {tool_version(command)}")
    print(f"{'file':17} {'what':29} {'tool':8} {'zirvak (s)':>11} {'tool (s)':>9} {'ratio':>7} "
          f"{'goal':>6}")
    missed = []
    for name, what, tool in FILES:
        path = os.path.join(files_dir, name)
        peer = tool(path)
        ours, theirs, ratio = compare([CLI, "decode", path, "/dev/null"], peer, args.runs)
        goal = WAVPACK_GOAL if peer[0] == "wvunpack" else GOAL
        if ratio > goal:
            missed.append(name)
        print(f"{name:17} {what:29} {peer[0]:8} {ours:11.3f} {theirs:9.3f} {ratio:7.2f} "
              f"{goal:6.2f}")
    print("every goal met" if not missed else "goals missed: " + ", ".join(missed))
    return 1 if args.check and missed else 0


if __name__ == "__main__":
    sys.exit(main())
