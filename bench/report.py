"""Runs the measurements behind docs/performance.md and prints each against its target.

Called by scripts/bench after the Release build: the kernel benchmarks (each kernel's
throughput as a ratio to memcpy of the same bytes in the same run), whole runs on the
instant test device against the floor of the same reads and file writes, and peak memory.
A missed target is reported, not failed: these are measurements, not tests.
"""

import json
import os
import pathlib
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

OUTPUT_BYTES_PER_SECOND = 11025
FRAMES_PER_SECOND = 44100

# Kernel throughput as a fraction of memcpy's, at least.
KERNEL_TARGETS = {
    "ExtractNoiseBits": 0.5,
    "XorInto": 0.7,
    "RotateXorInto": 0.5,
    "CountBytes": 0.1,
}
KERNEL_REPETITIONS = 5

# (inputFiles, midFiles, seconds); a run may take at most this many times the floor.
RUN_SHAPES = [(10, 10, 10), (1, 1, 600), (100, 10, 1)]
RUN_TARGET = 2.0
RUNS_PER_SHAPE = 5

# The min-entropy assessment of 1,000,000 bits, all ten estimators, in seconds.
MIN_ENTROPY_TARGET = 0.1

# Captures stream into their bits, so memory follows the output, not the
# capture: at most two output-sized blocks (the merges' running and read
# blocks) and a fixed allowance.
MEMORY_SECONDS = [1, 60, 600, 3600]
MEMORY_SLACK = 12 * 1024 * 1024


def machine():
    model = "unknown"
    for line in pathlib.Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    memory_kib = 0
    for line in pathlib.Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            memory_kib = int(line.split()[1])
    return f"{os.cpu_count()} processors, {model}, {memory_kib / 1024 / 1024:.1f} GiB memory"


def load_average():
    return " ".join(f"{load:.2f}" for load in os.getloadavg())


def verdict(met):
    return "met" if met else "SHORT"


def run_kernels(build, out):
    json_path = out / "kernels.json"
    subprocess.run(
        [build / "quorlix_bench",
         f"--benchmark_repetitions={KERNEL_REPETITIONS}",
         "--benchmark_enable_random_interleaving=true",
         "--benchmark_report_aggregates_only=true",
         f"--benchmark_out={json_path}",
         "--benchmark_out_format=json"],
        check=True, stdout=subprocess.DEVNULL)
    medians = {}
    for entry in json.loads(json_path.read_text())["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            name, size = entry["run_name"].rsplit("/", 1)
            medians[(name, int(size))] = entry["bytes_per_second"]

    print(f"Kernels: median of {KERNEL_REPETITIONS} interleaved repetitions, CPU time,"
          " ratio to memcpy of the same number of bytes")
    print(f"  {'kernel':<26}{'bytes':>10}{'GB/s':>9}{'memcpy':>9}{'ratio':>8}  target")
    for (name, size), rate in sorted(medians.items()):
        if name == "Memcpy":
            continue
        ratio = rate / medians[("Memcpy", size)]
        target = KERNEL_TARGETS.get(name)
        goal = f">= {target}  {verdict(ratio >= target)}" if target is not None else ""
        print(f"  {name:<26}{size:>10}{rate / 1e9:>9.2f}"
              f"{medians[('Memcpy', size)] / 1e9:>9.2f}{ratio:>8.3f}  {goal}")
    print()


def device_home(root, infile):
    home = root / "home"
    home.mkdir(exist_ok=True)
    (home / ".asoundrc").write_text(
        'pcm.!default { type file; slave.pcm "null"; file "/dev/null"; '
        f'infile "{infile}"; format "raw" }}\n')
    return home


def timed(command, env=None):
    """Wall time and processor time (user and system) of one run of command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    result = subprocess.run(command, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if result.returncode != 0 or result.stderr:
        sys.exit(f"bench: {command[0]} failed ({result.returncode}): {result.stderr.strip()}")
    processor = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, processor


def fresh_folder(root):
    folder = root / "out"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir()
    return folder


def run_whole_runs(build, root):
    longest = max(i * m * s for i, m, s in RUN_SHAPES)
    noise = root / "noise.raw"
    subprocess.run([build / "quorlix-noise", "1", str(longest), noise], check=True)
    env = dict(os.environ, HOME=str(device_home(root, noise)))

    print(f"Whole runs on the instant test device: median of {RUNS_PER_SHAPE} interleaved runs;"
          " the floor reads the same PCM bytes and writes the same files;"
          " device read is the same bytes through the test device alone")
    print(f"  {'shape':<12}{'tool s':>9}{'floor s':>9}{'ratio':>8}  target{'':<14}"
          f"{'tool cpu s':>11}{'floor cpu s':>12}{'cpu ratio':>10}{'device read s':>14}")
    for inputs, mids, seconds in RUN_SHAPES:
        tool, floor, device = [], [], []
        numbers = [str(inputs), str(mids), str(seconds)]
        frames = inputs * mids * seconds * FRAMES_PER_SECOND
        for _ in range(RUNS_PER_SHAPE):
            tool.append(timed([build / "quorlix", fresh_folder(root), *numbers], env))
            floor.append(timed([build / "quorlix_run_floor", noise, fresh_folder(root), *numbers]))
            device.append(timed(["arecord", "-q", "-D", "default", "-f", "S16_LE", "-c", "2",
                                 "-r", str(FRAMES_PER_SECOND), "-t", "raw", "-s", str(frames),
                                 "/dev/null"], env))
        wall = [statistics.median(t[0] for t in runs) for runs in (tool, floor, device)]
        cpu = [statistics.median(t[1] for t in runs) for runs in (tool, floor)]
        ratio = wall[0] / wall[1]
        print(f"  {f'{inputs}x{mids}x{seconds}':<12}{wall[0]:>9.3f}{wall[1]:>9.3f}{ratio:>8.2f}"
              f"  <= {RUN_TARGET}  {verdict(ratio <= RUN_TARGET):<8}"
              f"{cpu[0]:>11.3f}{cpu[1]:>12.3f}{cpu[0] / cpu[1]:>10.2f}{wall[2]:>14.3f}")
    print()


def peak_memory(build, root):
    env = dict(os.environ, HOME=str(device_home(root, "/dev/urandom")))
    print("Peak memory of 2x2 runs (maximum resident set size from /usr/bin/time -v);"
          " target 2 x outputSize + 12 MiB")
    print(f"  {'seconds':>7}{'peak bytes':>14}{'target bytes':>14}")
    for seconds in MEMORY_SECONDS:
        result = subprocess.run(
            ["/usr/bin/time", "-v", build / "quorlix", fresh_folder(root), "2", "2", str(seconds)],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
        peak_kib = next(int(line.split(":")[1]) for line in result.stderr.splitlines()
                        if "Maximum resident set size" in line)
        peak = peak_kib * 1024
        target = 2 * seconds * OUTPUT_BYTES_PER_SECOND + MEMORY_SLACK
        print(f"  {seconds:>7}{peak:>14}{target:>14}  {verdict(peak <= target)}")
    print()


def run_min_entropy(build, out):
    json_path = out / "min_entropy.json"
    subprocess.run(
        [build / "quorlix_min_entropy_bench",
         f"--benchmark_repetitions={KERNEL_REPETITIONS}",
         "--benchmark_report_aggregates_only=true",
         f"--benchmark_out={json_path}",
         "--benchmark_out_format=json"],
        check=True, stdout=subprocess.DEVNULL)
    medians = {}
    peak = 0
    for entry in json.loads(json_path.read_text())["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            seconds = entry["real_time"] / 1000  # reported in milliseconds
            medians[entry["run_name"].split("/")[0]] = (seconds, entry["cpu_time"] / 1000)
            peak = max(peak, entry.get("peak_bytes", 0))
    wall, cpu = medians["EstimateMinEntropy"]
    read = medians["ReadBits"][0]
    print(f"Min-entropy of 1,000,000 bits, all ten estimators: median of {KERNEL_REPETITIONS},"
          " wall time (CPU time of the calling thread beside it)")
    print(f"  {wall:.4f} s wall, {cpu:.4f} s CPU; reading the bits {read * 1e6:.1f} us,"
          f" ratio {wall / read:.0f}; target {MIN_ENTROPY_TARGET} s: {verdict(wall <= MIN_ENTROPY_TARGET)}")
    for name, (family_wall, family_cpu) in medians.items():
        if name not in ("EstimateMinEntropy", "ReadBits"):
            print(f"  {name:<34}{family_cpu * 1000:>8.1f} ms CPU")
    print(f"  growth of the peak resident set on the first run: {peak / 1e6:.1f} MB")
    print()


def main():
    build = pathlib.Path(sys.argv[1]).resolve()
    out = build / "bench"
    out.mkdir(exist_ok=True)
    print(f"Machine: {machine()}")
    print(f"Load average at the start: {load_average()}")
    print()
    run_kernels(build, out)
    run_min_entropy(build, out)
    with tempfile.TemporaryDirectory(prefix="quorlix-bench-") as scratch:
        root = pathlib.Path(scratch)
        run_whole_runs(build, root)
        peak_memory(build, root)
    print(f"Load average at the end: {load_average()}")


if __name__ == "__main__":
    main()
