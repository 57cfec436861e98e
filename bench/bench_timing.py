"""What the side-by-side speed comparisons share: where the programs and the benchmark files
are, the user CPU time of a command, and the median ratio of two commands run alternately."""
import os
import platform
import resource
import statistics
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build/release")
CLI = os.environ.get("ZIRVAK_CLI", os.path.join(BUILD, "src/cli/zirvak-cli"))


def bench_files():
    """The folder of the benchmark files, made first where they are missing."""
    return subprocess.run(
        [os.path.join(ROOT, "bench/make_bench_files.sh"), os.path.join(ROOT, "build/bench-files")],
        check=True, capture_output=True, text=True).stdout.strip()


def user_seconds(command):
    """The user CPU time of running `command` to its end, its output thrown away."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime - before


def compare(ours, peer, runs):
    """Runs `ours` and `peer` alternately, `runs` times each, so that both meet the same load
    on the machine. Returns the medians of their user CPU times and the median of the per-pair
    ratios ours / peer (below 1.0: ours is faster)."""
    ours_times, peer_times, ratios = [], [], []
    for _ in range(runs):
        ours_times.append(user_seconds(ours))
        peer_times.append(user_seconds(peer))
        ratios.append(ours_times[-1] / max(peer_times[-1], 1e-6))
    return (statistics.median(ours_times), statistics.median(peer_times),
            statistics.median(ratios))


def tool_version(command):
    """The first line a tool prints for its version."""
    result = subprocess.run(command, capture_output=True, text=True)
    lines = (result.stdout or result.stderr).strip().splitlines()
    return lines[0] if lines else "unknown"


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"
