#!/usr/bin/env python3
"""End-to-end measurement of adconverter: its own window, offscreen, reading a simulated board
over a pseudo-terminal. Writes a Markdown table (docs/performance.md by default).

    bench/e2e.py [--build build] [--records 5000000] [--seconds 10] [--out docs/performance.md]
"""
import argparse
import datetime
import os
import platform
import re
import subprocess
import sys
import tempfile
import time

BUDGET_RATE = 250_000
BUDGET_P99_MS = 30.0
BUDGET_IDLE = 1.0
BUDGET_PACED = 3.0
BUDGET_RSS_KIB = 1024
BUDGET_CORE = 5_000_000


def parse_samples(text):
    samples = []
    delays = {}
    for line in text.splitlines():
        if line.startswith("sample "):
            fields = dict(f.split("=") for f in line.split()[1:])
            samples.append({k: float(v) for k, v in fields.items()})
        elif line.startswith("delays "):
            delays = {k: float(v) for k, v in (f.split("=") for f in line.split()[1:])}
    return samples, delays


def probe(build, port, *args):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run([os.path.join(build, "bin", "adc-e2e-probe"), "--port", port, *args],
                         env=env, capture_output=True, text=True, timeout=600)
    if out.returncode != 0:
        sys.exit(f"adc-e2e-probe failed: {out.stderr}")
    return parse_samples(out.stdout)


class Simulator:
    """adc-board-sim on its own pseudo-terminal, reachable through a link."""

    def __init__(self, build, *args):
        self.dir = tempfile.mkdtemp(prefix="adc-e2e-")
        self.link = os.path.join(self.dir, "board")
        self.proc = subprocess.Popen(
            [os.path.join(build, "bin", "adc-board-sim"), "--link", self.link, *args],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.proc.stdout.readline()  # the slave path: the line is up
        deadline = time.time() + 10
        while not os.path.islink(self.link) and time.time() < deadline:
            time.sleep(0.01)

    def finish(self, timeout=120):
        try:
            _, err = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.terminate()
            _, err = self.proc.communicate()
        match = re.search(r"sent (\d+) records, accepted: int=(\d+) mcp=(\d+)", err)
        if not match:
            sys.exit(f"adc-board-sim gave no summary: {err}")
        return {"sent": int(match[1]), "int": int(match[2]), "mcp": int(match[3])}

    def stop(self):
        self.proc.terminate()
        return self.finish()


def moving_rate(samples, records):
    """Records per second between the first and the last sample of a flood in progress."""
    moving = [s for s in samples if 0 < s["count"] < records]
    if len(moving) < 2:
        return float("nan")
    return (moving[-1]["count"] - moving[0]["count"]) / (moving[-1]["t"] - moving[0]["t"])


def csv_rate(path, skip=10_000):
    """Records per second by the `seconds` column of a recording, from its row `skip` to its last."""
    with open(path, "rb") as f:
        f.readline()
        first = next(((int(c[4]), float(c[1])) for c in (l.split(b",") for l in f)
                      if int(c[4]) >= skip), None)
        f.seek(max(0, os.path.getsize(path) - 4096))
        cells = f.read().rstrip(b"\n").rsplit(b"\n", 1)[-1].split(b",")
    last = (int(cells[4]), float(cells[1]))
    if first is None or last[1] <= first[1]:
        return float("nan")
    return (last[0] - first[0]) / (last[1] - first[1])


def headless_flood(build, records, path):
    """adconverter --headless --record FILE, with no display, taking a flood of `records`."""
    sim = Simulator(build, "--mode", "int", "--rate", "max", "--count", str(records),
                    "--wait-reader")
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    out = subprocess.run([os.path.join(build, "bin", "adconverter"), "--headless", "--mode", "int",
                          "--port", sim.link, "--record", path, "--count", str(records),
                          "--duration", "120"], env=env, capture_output=True, text=True,
                         timeout=600)
    sim.finish()
    if out.returncode != 0:
        sys.exit(f"adconverter --headless failed: {out.stderr}")
    return csv_rate(path)


def processor_share(samples, skip=1.0):
    """Processor time per wall-clock time between the first sample after `skip` s and the last."""
    inside = [s for s in samples if s["t"] >= skip]
    if len(inside) < 2:
        return float("nan")
    first, last = inside[0], inside[-1]
    return 100.0 * (last["cpu"] - first["cpu"]) / (last["t"] - first["t"])


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(here, "build"))
    parser.add_argument("--records", type=int, default=5_000_000)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--out", default=os.path.join(here, "docs", "performance.md"))
    opts = parser.parse_args()
    rows = []

    # 1. A flood: as fast as the line takes it, counted by the window and by the simulator.
    sim = Simulator(opts.build, "--mode", "int", "--rate", "max", "--count", str(opts.records),
                    "--wait-reader")
    samples, delays = probe(opts.build, sim.link, "--until-count", str(opts.records),
                            "--settle", "1", "--seconds", "120")
    sent = sim.finish()
    shown = int(samples[-1]["count"]) if samples else 0
    rate = moving_rate(samples, opts.records)
    lost = sent["int"] - shown
    rows.append(("Sustained rate over a pseudo-terminal into the window (`--rate max`)",
                 f"{rate:,.0f} records/s", f"≥ {BUDGET_RATE:,} records/s",
                 rate >= BUDGET_RATE))
    rows.append(("Records counted by the window / accepted records sent",
                 f"{shown:,} / {sent['int']:,} ({lost:,} lost)", "none lost", lost == 0))
    rows.append(("Event-loop delay of a 10 ms timer under that flood, median / 99th percentile",
                 f"{delays.get('p50_ms', float('nan')):.2f} / {delays.get('p99_ms', float('nan')):.2f} ms",
                 f"99th < {BUDGET_P99_MS:.0f} ms", delays.get("p99_ms", 1e9) < BUDGET_P99_MS))
    after10k = next((s for s in samples if s["count"] >= 10_000), None)
    final = next((s for s in samples if s["count"] >= 1_000_000), None)
    if after10k and final:
        growth = final["rss_kib"] - after10k["rss_kib"]
        rows.append((f"Resident memory after {int(after10k['count']):,} and after "
                     f"{int(final['count']):,} records",
                     f"{after10k['rss_kib'] / 1024:.1f} MiB → {final['rss_kib'] / 1024:.1f} MiB "
                     f"({growth:+,.0f} KiB)", f"growth < {BUDGET_RSS_KIB} KiB",
                     growth < BUDGET_RSS_KIB))

    # 1b. The same flood recorded to a CSV file by the window, and by the headless logger.
    with tempfile.TemporaryDirectory(prefix="adc-e2e-csv-") as folder:
        csv = os.path.join(folder, "window.csv")
        sim = Simulator(opts.build, "--mode", "int", "--rate", "max", "--count",
                        str(opts.records), "--wait-reader")
        samples, _ = probe(opts.build, sim.link, "--until-count", str(opts.records), "--settle",
                           "1", "--seconds", "120", "--record", csv)
        sim.finish()
        recorded = moving_rate(samples, opts.records)
        os.remove(csv)
        headless = headless_flood(opts.build, opts.records, os.path.join(folder, "headless.csv"))
    rows.append(("Sustained rate into the window with `--record FILE`",
                 f"{recorded:,.0f} records/s ({100 * recorded / rate:.0f} % of the rate without)",
                 "≥ 80 % of the rate without", recorded >= 0.8 * rate))
    rows.append(("Sustained rate of `adconverter --headless --record FILE` (no display)",
                 f"{headless:,.0f} records/s", "≥ the window's rate", headless >= rate))

    # 2. Waiting with the port open and nothing arriving.
    master, slave = os.openpty()
    # No 10 ms timer and one sample a second here: the measurement must not be what it measures.
    quiet = ("--tick-ms", "0", "--sample-ms", "1000")
    samples, _ = probe(opts.build, os.ttyname(slave), "--seconds", str(opts.seconds), *quiet)
    os.close(master)
    os.close(slave)
    idle = processor_share(samples)
    rows.append(("Processor time while a run waits, nothing arriving",
                 f"{idle:.2f} % of a core", f"< {BUDGET_IDLE:.0f} %", idle < BUDGET_IDLE))

    # 3. A board at the pace of a 9600-baud line.
    sim = Simulator(opts.build, "--mode", "int", "--baud", "9600", "--wait-reader")
    samples, _ = probe(opts.build, sim.link, "--seconds", str(opts.seconds), *quiet)
    paced_sent = sim.stop()
    paced = processor_share(samples)
    paced_rate = samples[-1]["count"] / samples[-1]["t"] if samples else 0
    rows.append((f"Processor time at the 9600-baud pace (~{paced_rate:.0f} records/s shown)",
                 f"{paced:.2f} % of a core", f"< {BUDGET_PACED:.0f} %", paced < BUDGET_PACED))

    # 4. The core alone: framing, parsing and the run, with a display that does nothing.
    core = os.path.join(opts.build, "bin", "core_benchmark")
    core_lines = []
    if os.path.exists(core):
        out = subprocess.run([core, "--benchmark_min_time=1"], capture_output=True, text=True)
        core_lines = [l for l in out.stdout.splitlines() if l.strip()]
        match = re.search(r"^intRecords\s.*bytes_per_second=([\d.]+)M/s records/s=([\d.]+)M/s",
                          out.stdout, re.M)
        if match:
            core_rate = float(match[2]) * 1e6
            rows.insert(0, ("Core pipeline, INT records with CR LF, one core (`core_benchmark`)",
                            f"{core_rate:,.0f} records/s ({float(match[1]):.0f} MiB/s)",
                            f"≥ {BUDGET_CORE:,} records/s", core_rate >= BUDGET_CORE))

    cpu = "unknown processor"
    try:
        with open("/proc/cpuinfo") as info:
            cpu = next(l.split(":", 1)[1].strip() for l in info if l.startswith("model name"))
    except (OSError, StopIteration):
        pass
    lines = [
        "# Performance",
        "",
        f"Measured {datetime.date.today().isoformat()} by `bench/e2e.py` on {os.cpu_count()} cores "
        f"of {cpu}, {platform.system()} {platform.release()}. The program's own window runs "
        "offscreen (`adc-e2e-probe`, which clicks **INT A/D Start** and samples `TIMES_TEXT`, "
        "processor time and resident memory ten times a second) against `adc-board-sim` over a "
        "pseudo-terminal.",
        "",
        "| What | Measured | Budget | Met |",
        "|---|---|---|---|",
    ]
    for what, measured, budget, ok in rows:
        lines.append(f"| {what} | {measured} | {budget} | {'yes' if ok else '**no**'} |")
    lines.append("")
    if core_lines:
        lines += ["## Core pipeline (framing, parsing, the run; a display that does nothing)", "",
                  "`build/bin/core_benchmark`, one core:", "", "```"] + core_lines + ["```", ""]
    lines += ["Measured with `scripts/build.sh` (RelWithDebInfo) and then `bench/e2e.py`.", ""]
    os.makedirs(os.path.dirname(opts.out), exist_ok=True)
    with open(opts.out, "w") as f:
        f.write("\n".join(lines))
    print("\n".join(lines))
    return 0 if all(r[3] for r in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
