#!/usr/bin/env python3
"""The flood a window takes with the scope open, against the same window without it: the real
program on an Xvfb screen of its own, a simulated board flooding INT records into its port as
fast as the line takes them, measured on the writer's side (as bench/e2e.py measures floods).
The two alternate, ROUNDS times; prints each round's rates and their ratio, then the median.

    bench/scope-flood.py [--build build] [--records 1000000] [--rounds 3]
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e  # noqa: E402


class WideScreen(e2e.VirtualScreen):
    """An Xvfb with room for the scope beside the window, so that nothing covers its Start."""

    def __init__(self):
        super().__init__("1920x1080x24")


def flood(build, screen, records, extra):
    def reader(link):
        return e2e.RealProgram(build, screen, link, extra=extra).close

    rate, _, _ = e2e.flood_into(build, reader, records)
    return rate


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--records", type=int, default=1_000_000)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    screen = WideScreen()
    ratios = []
    try:
        for _ in range(args.rounds):
            without = flood(args.build, screen, args.records, ())
            with_scope = flood(args.build, screen, args.records, ("--scope",))
            ratios.append(with_scope / without)
            print(f"without {without:,.0f} records/s, with --scope {with_scope:,.0f} records/s: "
                  f"{100 * ratios[-1]:.0f} % ({e2e.load_note()})", flush=True)
    finally:
        screen.close()
    ratios.sort()
    print(f"median {100 * ratios[len(ratios) // 2]:.0f} % "
          f"(lowest {100 * ratios[0]:.0f} %, highest {100 * ratios[-1]:.0f} %)")


if __name__ == "__main__":
    main()
