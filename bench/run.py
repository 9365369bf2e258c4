#!/usr/bin/env python3
"""Times the agent end to end on the generated inputs, with baselines.

For each machine the agent runs in a deploy folder whose collection script is
a stub (the collected files are already in result/). Every measurement is
the median of --runs runs (15 by default; the agent and its baseline in turn); peak memory is the maximum resident set size the
kernel reports for the process.

Usage: run.py BUILD_DIR INPUT_DIR [--runs N]
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


def median_run(command, runs, cwd=None):
    results = [run_measured(command, cwd) for _ in range(runs)]
    return statistics.median(r[0] for r in results), max(r[1] for r in results)


def median_runs_interleaved(commands, runs):
    """Runs the (command, folder) pairs in turn, `runs` rounds, so that a
    busy moment of the machine weighs on each of them alike. Returns the
    median seconds and the peak kilobytes of each."""
    results = [[] for _ in commands]
    for _ in range(runs):
        for index, (command, cwd) in enumerate(commands):
            results[index].append(run_measured(command, cwd))
    return [(statistics.median(r[0] for r in rs), max(r[1] for r in rs)) for rs in results]


def median_call(function, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def deploy(agent, result, workdir):
    folder = os.path.join(workdir, os.path.basename(os.path.dirname(result)))
    os.makedirs(folder)
    shutil.copy(agent, folder)
    script = os.path.join(folder, "macInventory.sh")
    with open(script, "w") as out:
        out.write(STUB_SCRIPT)
    os.chmod(script, 0o755)
    shutil.copytree(result, os.path.join(folder, "result"))
    return folder


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
    folder = deploy(args.agent, result, workdir)
    commands = [(["./qz-agent"], folder)]
    if form == "xml":
        commands.append(([args.pugixml, app], None))
    measured = median_runs_interleaved(commands, args.runs)
    agent_s, agent_kb = measured[0]
    plistlib_s = median_call(lambda: plistlib_load(app), args.runs)
    report.row(f"mac {form}: qz-agent end to end", agent_s, agent_kb)
    report.row(f"mac {form}: python plistlib.load", plistlib_s)
    report.check(f"mac {form}: agent / plistlib", agent_s / plistlib_s, 0.25, "x")
    if form == "xml":
        pugi_s, pugi_kb = measured[1]
        report.row("mac xml: bare pugixml parse", pugi_s, pugi_kb)
        report.check("mac xml: agent / pugixml", agent_s / pugi_s, 2.5, "x")
    plistutil = shutil.which("plistutil")
    if plistutil:
        util_s, _ = median_run([plistutil, "-i", app, "-o", os.devnull], args.runs)
        report.row(f"mac {form}: plistutil convert", util_s, note=f"agent / plistutil = {agent_s / util_s:.2f}x")
    limit_kb = (4 * largest_input(result) + 20 * 1024 * 1024) / 1024
    report.check(f"mac {form}: peak memory", agent_kb / 1024, limit_kb / 1024, " MB")


def bench_linux(report, args, workdir):
    result = os.path.join(args.inputs, "linux", "result")
    folder = deploy(args.agent, result, workdir)
    agent_s, agent_kb = median_run(["./qz-agent"], args.runs, cwd=folder)
    report.row("linux: qz-agent end to end", agent_s, agent_kb)
    report.check("linux: agent end to end", agent_s, 0.3, " s")
    half = os.path.join(args.inputs, "linux-half", "result")
    if os.path.isdir(half):
        half_folder = deploy(args.agent, half, workdir)
        half_s, _ = median_run(["./qz-agent"], args.runs, cwd=half_folder)
        report.row("linux: same machine, half the input", half_s, note=f"full / half = {agent_s / half_s:.2f} (2 is linear)")
        report.check("linux: growth from half to full input", agent_s / half_s, 2.6, "x")
    limit_kb = (4 * largest_input(result) + 20 * 1024 * 1024) / 1024
    report.check("linux: peak memory", agent_kb / 1024, limit_kb / 1024, " MB")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("inputs")
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()
    args.agent = os.path.join(args.build, "src", "agent", "qz-agent")
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
