#!/usr/bin/env python3
"""vellumin-cli.exe under Wine against the Linux vellumin-cli on the same labs: every pair of
runs must print the same standard output and end with the same exit status.

What may differ, and is made equal before comparing (README, "Windows"): line ends (the C
runtime writes CRLF to a Windows stream), the time a command took (seconds, MB/s) and the port
of the lab's loopback update service, which each process picks anew. Four pairs run at a time."""
import argparse
import concurrent.futures
import json
import os
import re
import subprocess
import sys

TIMING_LINE = re.compile(r"^Read [0-9.]+ MB in [0-9.]+ s \([0-9.]+ MB/s\)$", re.M)
LOOPBACK = re.compile(r"127\.0\.0\.1:[0-9]+")
TIMING_KEYS = {"seconds", "eraseSeconds", "mbPerSecond"}


def normalise(text):
    text = text.replace("\r\n", "\n")
    text = TIMING_LINE.sub("Read <timing>", text)
    text = LOOPBACK.sub("127.0.0.1:<port>", text)
    try:
        document = json.loads(text)
    except ValueError:
        return text

    def mask(value):
        if isinstance(value, dict):
            return {k: "<timing>" if k in TIMING_KEYS else mask(v) for k, v in value.items()}
        if isinstance(value, list):
            return [mask(v) for v in value]
        return value

    return json.dumps(mask(document), indent=1, sort_keys=True)


def run(command, env):
    done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, env=env,
                          timeout=120)
    return done.returncode, normalise(done.stdout.decode("latin-1"))


def pairs(labs):
    """(lab, arguments) for every command of the comparison."""
    for lab in labs:
        simulate = "--simulate" if lab == "" else "--simulate=" + lab
        yield simulate, ["list"]
        yield simulate, ["os"]
        yield simulate, ["trim", "status"]
        drives = labs[lab]
        for drive in drives:
            d = str(drive)
            yield simulate, ["identify", "--raw", d]
            yield simulate, ["info", d]
            yield simulate, ["smart", d]
            yield simulate, ["erase", d, "--quick", "--rehearse", "--yes"]
            yield simulate, ["update", d]
        for drive in drives[:3]:
            yield simulate, ["scan", str(drive), "--quick"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux-cli", required=True)
    parser.add_argument("--windows-cli", required=True)
    parser.add_argument("--wine", default="wine")
    parser.add_argument("--lab", action="append", default=[],
                        help="LAB.json:DRIVE,DRIVE,... ('' for the built-in lab)")
    args = parser.parse_args()
    if not os.access(args.linux_cli, os.X_OK):
        print(f"differential: no Linux vellumin-cli at {args.linux_cli} (build the ci preset)")
        return 77
    labs = {}
    for entry in args.lab:
        path, _, drives = entry.rpartition(":")
        labs[path] = [int(d) for d in drives.split(",") if d]
    env = dict(os.environ, NO_PROXY="*", no_proxy="*")
    env.setdefault("WINEDEBUG", "-all")
    commands = [[simulate] + json_flag + arguments
                for simulate, arguments in pairs(labs) for json_flag in ([], ["--json"])]

    def compare(command):
        return command, run([args.linux_cli] + command, env), run([args.wine, args.windows_cli] + command, env)

    # A Wine start is mostly waiting: a few at a time keep the run short.
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(compare, commands))
    compared = len(results)
    failed = 0
    for command, linux, windows in results:
        if linux != windows:
            failed += 1
            print(f"DIFFERS: vellumin-cli {' '.join(command)}")
            print(f"  Linux exit {linux[0]}, Windows exit {windows[0]}")
            for a, b in zip(linux[1].splitlines(), windows[1].splitlines()):
                if a != b:
                    print(f"  Linux:   {a!r}\n  Windows: {b!r}")
                    break
    print(f"differential: {compared} command/lab pairs compared")
    print(f"{compared - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
