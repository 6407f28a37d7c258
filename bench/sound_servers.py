"""Times whole runs through real sound servers against the real-time bound.

Called by scripts/bench-servers. For each route (a private PulseAudio daemon
through ALSA's pulse plugin; a private PipeWire through its own plugin and
through pipewire-pulse), both server rates and each run shape, it runs the
tool several times on live noise from tests/support/sound_server.sh and
prints every wall time against totalCaptures x seconds + 1 s + 50 ms per
capture, with any warning the run printed. Not a test: on a shared machine
the times follow the load, which is printed beside them.
"""

import argparse
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
RIG = ROOT / "tests" / "support" / "sound_server.sh"

# (inputFiles, midFiles, seconds, extra arguments)
SHAPES = [(1, 1, 5, []), (2, 3, 1, []), (10, 1, 1, []), (1, 10, 1, []), (3, 3, 2, ["/LIST"])]
RATES = [44100, 48000]
ROUTES = {
    "pulseaudio": (["--pulseaudio"], "pcm.!default { type pulse }\n"),
    "pipewire": ([], "pcm.!default { type pipewire }\n"),
    "pipewire-pulse": ([], "pcm.!default { type pulse }\n"),
}
CAPTURE_ALLOWANCE = 0.05
RUN_ALLOWANCE = 1.0


def load_average():
    return " ".join(f"{load:.2f}" for load in os.getloadavg())


def bound(inputs, mids, seconds):
    captures = inputs * mids
    return captures * seconds + RUN_ALLOWANCE + CAPTURE_ALLOWANCE * captures


class Server:
    """The rig in a folder of its own; ended, with all it started, on exit."""

    def __init__(self, root, options, rate, noise):
        self.dir = root / "server"
        shutil.rmtree(self.dir, ignore_errors=True)
        self.dir.mkdir()
        self.log = open(root / "server.log", "w")
        self.process = subprocess.Popen(
            ["bash", RIG, *options, self.dir, str(rate), noise],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        ready = self.dir / "ready"
        deadline = time.monotonic() + 60
        while not ready.exists():
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.close()
                sys.exit(f"bench: the sound server did not start; see {root / 'server.log'}")
            time.sleep(0.05)
        self.environment = {}
        for line in ready.read_text().splitlines():
            name, _, value = line.partition("=")
            if name in ("XDG_RUNTIME_DIR", "PULSE_SERVER", "PULSE_CLIENTCONFIG"):
                self.environment[name] = value

    def close(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait()
        self.log.close()


def run_once(tool, home, server, shape, root):
    inputs, mids, seconds, extra = shape
    folder = root / "out"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir()
    environment = dict(os.environ, HOME=str(home), **server.environment)
    start = time.monotonic()
    result = subprocess.run([tool, folder, str(inputs), str(mids), str(seconds), *extra],
                            env=environment, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    wall = time.monotonic() - start
    problem = result.stderr.strip()
    if result.returncode != 0 and not problem:
        problem = f"exit status {result.returncode}"
    return wall, problem


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", type=pathlib.Path)
    parser.add_argument("--tool", type=pathlib.Path,
                        help="the quorlix to time (default: BUILD/quorlix)")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--routes", nargs="+", choices=ROUTES, default=list(ROUTES))
    parser.add_argument("--rates", nargs="+", type=int, choices=RATES, default=RATES)
    args = parser.parse_args()
    tool = (args.tool or args.build / "quorlix").resolve()
    noise = (args.build / "quorlix-noise").resolve()

    print(f"{tool}, {args.runs} runs per shape; bound = captures x seconds"
          f" + {RUN_ALLOWANCE:g} s + {CAPTURE_ALLOWANCE * 1000:g} ms per capture")
    print(f"  {'route':<16}{'rate':>6}  {'shape':<14}{'bound s':>8}  {'wall s':<24}"
          f"{'over':>5}  load average, problems")
    over_total = 0
    for route in args.routes:
        options, asoundrc = ROUTES[route]
        for rate in args.rates:
            with tempfile.TemporaryDirectory(prefix="quorlix-bench-") as scratch:
                root = pathlib.Path(scratch)
                home = root / "home"
                home.mkdir()
                (home / ".asoundrc").write_text(asoundrc)
                server = Server(root, options, rate, noise)
                try:
                    for shape in SHAPES:
                        load = load_average()
                        runs = [run_once(tool, home, server, shape, root) for _ in range(args.runs)]
                        limit = bound(*shape[:3])
                        over = sum(1 for wall, problem in runs if wall > limit or problem)
                        over_total += over
                        walls = " ".join(f"{wall:.2f}" for wall, _ in runs)
                        problems = sorted({problem for _, problem in runs if problem})
                        name = " ".join(str(part) for part in [*shape[:3], *shape[3]])
                        print(f"  {route:<16}{rate:>6}  {name:<14}{limit:>8.2f}  {walls:<24}"
                              f"{over:>5}  {load}" + "".join(f"; {p!r}" for p in problems),
                              flush=True)
                finally:
                    server.close()
    print(f"{over_total} runs over the bound or with a problem; load average now {load_average()}")


if __name__ == "__main__":
    main()
