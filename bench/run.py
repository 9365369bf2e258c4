#!/usr/bin/env python3
"""Times the agent end to end on the generated inputs, with baselines.

For each machine the agent runs in a deploy folder whose collection script is
a stub (the collected files are already in result/). Every measurement is
the median of --runs runs (15 by default), taken in rounds in which the agent
and each baseline run in turn; peak memory is the maximum resident set size
the kernel reports for the process. With --compare, the agent of another
build runs in the same rounds.

Usage: run.py BUILD_DIR INPUT_DIR [--runs N] [--compare OTHER_BUILD]
"""
import argparse
import os
import plistlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

STUB_SCRIPT = "#!/bin/sh\nexit 0\n"


MEASURE = None  # the measure helper, set in main


def run_measured(command, cwd=None):
    """Wall seconds and peak resident kilobytes of one run of a command."""
    done = subprocess.run([MEASURE] + command, cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"bench: {' '.join(command)} failed")
    seconds, peak_kb = done.stdout.split()
    return float(seconds), int(peak_kb)


def program(command, cwd=None):
    """A measurement: one run of a program, as (seconds, peak kilobytes)."""
    return lambda: run_measured(command, cwd)


def call(function):
    """A measurement: one call of a Python function, as (seconds, None)."""
    def measure():
        start = time.perf_counter()
        function()
        return time.perf_counter() - start, None
    return measure


def interleaved(measurements, runs):
    """Takes the named measurements in turn, `runs` rounds, so that a busy
    moment of the machine weighs on each of them alike. Returns the median
    seconds and the peak kilobytes of each, by name."""
    results = {name: [] for name, _ in measurements}
    for _ in range(runs):
        for name, measure in measurements:
            results[name].append(measure())
    return {name: (statistics.median(r[0] for r in rs), max((r[1] or 0) for r in rs))
            for name, rs in results.items()}


def deploy(agent, result, folder):
    os.makedirs(folder)
    shutil.copy(agent, folder)
    script = os.path.join(folder, "macInventory.sh")
    with open(script, "w") as out:
        out.write(STUB_SCRIPT)
    os.chmod(script, 0o755)
    shutil.copytree(result, os.path.join(folder, "result"))
    return folder


def agents(args, workdir, case, result):
    """The agent (and the agent of --compare) deployed on one input."""
    found = [("agent", program(["./qz-agent"], deploy(args.agent, result, os.path.join(workdir, case))))]
    if args.compare:
        folder = deploy(args.compare_agent, result, os.path.join(workdir, case + "-compared"))
        found.append(("compared", program(["./qz-agent"], folder)))
    return found


def compared_row(report, case, measured):
    if "compared" in measured:
        seconds, peak_kb = measured["compared"]
        ratio = measured["agent"][0] / seconds
        report.row(f"{case}: qz-agent of --compare", seconds, peak_kb, f"this / compared = {ratio:.2f}x")


def largest_input(result):
    return max(os.path.getsize(os.path.join(result, name)) for name in os.listdir(result))


def plistlib_load(path):
    with open(path, "rb") as source:
        plistlib.load(source)


class Report:
    def __init__(self):
        self.rows = []
        self.verdicts = []

    def row(self, case, seconds, peak_kb=None, note=""):
        self.rows.append((case, seconds, peak_kb, note))

    def check(self, name, value, limit, unit=""):
        ok = value <= limit
        self.verdicts.append(f"{'PASS' if ok else 'FAIL'}  {name}: {value:.3f}{unit} (target <= {limit:.3f}{unit})")

    def print(self):
        print(f"{'case':<48} {'median s':>10} {'peak MB':>9}  note")
        for case, seconds, peak_kb, note in self.rows:
            peak = f"{peak_kb / 1024:9.1f}" if peak_kb else " " * 9
            print(f"{case:<48} {seconds:10.4f} {peak}  {note}")
        print()
        for verdict in self.verdicts:
            print(verdict)


def bench_mac(report, args, workdir, form):
    result = os.path.join(args.inputs, f"mac-{form}", "result")
    app = os.path.join(result, "app")
    measurements = agents(args, workdir, f"mac-{form}", result)
    measurements.append(("plistlib", call(lambda: plistlib_load(app))))
    if form == "xml":
        measurements.append(("pugixml", program([args.pugixml, app])))
    plistutil = shutil.which("plistutil")
    if plistutil:
        measurements.append(("plistutil", program([plistutil, "-i", app, "-o", os.devnull])))
    measured = interleaved(measurements, args.runs)
    agent_s, agent_kb = measured["agent"]
    plistlib_s = measured["plistlib"][0]
    report.row(f"mac {form}: qz-agent end to end", agent_s, agent_kb)
    compared_row(report, f"mac {form}", measured)
    report.row(f"mac {form}: python plistlib.load", plistlib_s)
    report.check(f"mac {form}: agent / plistlib", agent_s / plistlib_s, 0.25 if form == "xml" else 0.5, "x")
    if form == "xml":
        pugi_s, pugi_kb = measured["pugixml"]
        report.row("mac xml: bare pugixml parse", pugi_s, pugi_kb)
        report.check("mac xml: agent / pugixml", agent_s / pugi_s, 2.5, "x")
    if plistutil:
        util_s = measured["plistutil"][0]
        report.row(f"mac {form}: plistutil convert", util_s, note=f"agent / plistutil = {agent_s / util_s:.2f}x")
    limit_kb = (4 * largest_input(result) + 20 * 1024 * 1024) / 1024
    report.check(f"mac {form}: peak memory", agent_kb / 1024, limit_kb / 1024, " MB")


def bench_linux(report, args, workdir):
    result = os.path.join(args.inputs, "linux", "result")
    half = os.path.join(args.inputs, "linux-half", "result")
    measurements = agents(args, workdir, "linux", result)
    if os.path.isdir(half):
        measurements += [(f"half {name}", measure) for name, measure in agents(args, workdir, "linux-half", half)]
    measured = interleaved(measurements, args.runs)
    agent_s, agent_kb = measured["agent"]
    report.row("linux: qz-agent end to end", agent_s, agent_kb)
    compared_row(report, "linux", measured)
    report.check("linux: agent end to end", agent_s, 0.3, " s")
    if os.path.isdir(half):
        half_s = measured["half agent"][0]
        report.row("linux: same machine, half the input", half_s, note=f"full / half = {agent_s / half_s:.2f} (2 is linear)")
        report.check("linux: growth from half to full input", agent_s / half_s, 2.6, "x")
    limit_kb = (4 * largest_input(result) + 20 * 1024 * 1024) / 1024
    report.check("linux: peak memory", agent_kb / 1024, limit_kb / 1024, " MB")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("inputs")
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--compare", metavar="OTHER_BUILD",
                        help="also time the agent of another build (an older tree), in the same rounds")
    args = parser.parse_args()
    args.agent = os.path.join(args.build, "src", "agent", "qz-agent")
    if args.compare:
        args.compare_agent = os.path.join(args.compare, "src", "agent", "qz-agent")
    args.pugixml = os.path.join(args.build, "bench", "pugixml-parse")
    global MEASURE
    MEASURE = os.path.abspath(os.path.join(args.build, "bench", "measure"))
    report = Report()
    with tempfile.TemporaryDirectory(prefix="qz-bench-") as workdir:
        bench_mac(report, args, workdir, "xml")
        bench_mac(report, args, workdir, "binary")
        bench_linux(report, args, workdir)
    report.print()
    return 1 if any(v.startswith("FAIL") for v in report.verdicts) else 0


if __name__ == "__main__":
    sys.exit(main())
