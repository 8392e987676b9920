#!/usr/bin/env python3
"""Publishing to an MQTT broker, measured: adconverter --headless --publish reading a simulated
board (adc-board-sim) over a pseudo-terminal, a mosquitto broker on a free loopback port and
mosquitto_sub as the subscriber, all started here and stopped again.

    bench/publish.py [--build build] [--flood 300000] [--fast 20000] [--quiet 200]

Prints, for a flood (--rate max), the 921,600-baud pace and the 9600-baud pace: records per
second the logger took and the subscriber received, records not published, the logger's
processor time per record with and without --publish, and the time from a record's `time` to
its arrival at the subscriber.
"""
import argparse
import json
import os
import re
import shutil
import socket
import subprocess
import tempfile
import threading
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Broker:
    def __init__(self, folder):
        self.port = free_port()
        config = os.path.join(folder, "mosquitto.conf")
        with open(config, "w") as f:
            f.write(("user root\n" if os.geteuid() == 0 else "")
                    + f"persistence false\nset_tcp_nodelay true\nlistener {self.port} 127.0.0.1\n"
                    "allow_anonymous true\n")
        self.process = subprocess.Popen(["/usr/sbin/mosquitto", "-c", config],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise SystemExit("mosquitto did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait()


class Subscriber:
    """mosquitto_sub printing each message's arrival time and payload, read in a thread."""

    def __init__(self, port, topic):
        self.process = subprocess.Popen(
            ["stdbuf", "-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-t", topic,
             "-F", "%U %p", "-d"], stdout=subprocess.PIPE, text=True)
        self.ready = threading.Event()
        self.records = 0
        self.first = self.last = None
        self.latencies = []
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()
        self.ready.wait(10)

    def read(self):
        for line in self.process.stdout:
            if "SUBACK" in line:
                self.ready.set()
            if not re.match(r"\d+\.\d+ [\[{]", line):
                continue
            stamp, payload = line.split(" ", 1)
            arrived = float(stamp)
            message = json.loads(payload)
            records = message if isinstance(message, list) else [message]
            self.records += len(records)
            self.first = self.first or arrived
            self.last = arrived
            last = records[-1]["time"]
            sent = time.mktime(time.strptime(last[:19], "%Y-%m-%dT%H:%M:%S")) - time.timezone
            self.latencies.append(arrived - (sent + int(last[20:23]) / 1000))

    def stop(self):
        # Until a second passes without a record: what the broker sent has all been read.
        seen = -1
        while seen != self.records:
            seen = self.records
            time.sleep(1)
        self.process.terminate()
        self.thread.join(5)


def log(build, folder, sim_args, count, url):
    """The headless logger on a board of its own; returns (summary, processor seconds)."""
    link = os.path.join(folder, f"board-{time.monotonic_ns()}")
    sim = subprocess.Popen([os.path.join(build, "bin", "adc-board-sim"), "--mode", "int",
                            "--link", link, "--wait-reader", "--count", str(count), *sim_args],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    sim.stdout.readline()
    args = [os.path.join(build, "bin", "adconverter"), "--headless", "--mode", "int", "--port",
            link, "--count", str(count)]
    if "--baud" in sim_args:
        args += ["--baud", sim_args[sim_args.index("--baud") + 1]]
    if url:
        args += ["--publish", url]
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    logger = subprocess.Popen(args, stderr=subprocess.PIPE, text=True, env=env)
    _, status, usage = os.wait4(logger.pid, 0)
    summary = logger.stderr.read()
    sim.terminate()
    sim.wait()
    return summary, usage.ru_utime + usage.ru_stime


def figures(summary):
    taken = re.search(r"(\d+) records in ([\d.]+) s \((\d+) per second\)", summary)
    published = re.search(r"(\d+) records published to \S+, (\d+) not published", summary)
    return (int(taken.group(1)), float(taken.group(2)), int(taken.group(3)),
            *(map(int, published.groups()) if published else (0, 0)))


def percentile(values, share):
    values = sorted(values)
    return values[min(len(values) - 1, int(share * len(values)))] if values else float("nan")


def measure(build, folder, broker, name, sim_args, count):
    plain, plain_cpu = log(build, folder, sim_args, count, None)
    subscriber = Subscriber(broker.port, "bench/+/records")
    published, published_cpu = log(build, folder, sim_args, count,
                                   f"mqtt://127.0.0.1:{broker.port}/bench/{name}")
    subscriber.stop()
    n0, _, rate0, _, _ = figures(plain)
    n1, _, rate1, sent, dropped = figures(published)
    span = (subscriber.last - subscriber.first) if subscriber.records > 1 else float("nan")
    print(f"## {name}: {' '.join(sim_args)}, {count} records")
    print(f"  without --publish: {rate0} records/s taken, {plain_cpu / n0 * 1e6:.2f} µs of "
          f"processor per record")
    print(f"  with --publish:    {rate1} records/s taken, {published_cpu / n1 * 1e6:.2f} µs of "
          f"processor per record")
    print(f"  taken {n1}, published {sent}, not published {dropped}; the subscriber received "
          f"{subscriber.records} ({subscriber.records / span:,.0f} records/s over {span:.2f} s)")
    lat = subscriber.latencies
    print(f"  record time to arrival: median {percentile(lat, 0.5) * 1000:.1f} ms, 99th "
          f"percentile {percentile(lat, 0.99) * 1000:.1f} ms, most {max(lat) * 1000:.1f} ms "
          f"({len(lat)} messages)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--flood", type=int, default=300_000)
    parser.add_argument("--fast", type=int, default=20_000)
    parser.add_argument("--quiet", type=int, default=200)
    options = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="adc-publish-")
    broker = Broker(folder)
    try:
        measure(options.build, folder, broker, "flood", ["--rate", "max"], options.flood)
        measure(options.build, folder, broker, "fast", ["--baud", "921600"], options.fast)
        measure(options.build, folder, broker, "quiet", ["--baud", "9600"], options.quiet)
    finally:
        broker.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
