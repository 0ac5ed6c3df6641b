#!/usr/bin/python3
"""Runs one command under a private X server of the harness and ends the server after it:

    tests/harness/run_under_x.py [--size WxH] [--displays "N M ..."] -- COMMAND [ARG...]

The command's exit status is this program's. Displays default to PLATFORMER_TEST_DISPLAYS,
else the harness's own range."""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from harness.xserver import XServer  # noqa: E402


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", default="800x800", help="screen size, WxH (default 800x800)")
    parser.add_argument("--displays", default=None, help="display numbers to try, space-separated")
    parser.add_argument("--log-dir", default=None, help="where Xvfb's log goes")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args(argv)
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command to run")
    width, height = (int(n) for n in args.size.lower().split("x"))
    displays = args.displays.split() if args.displays else None
    with XServer(width, height, log_dir=args.log_dir, displays=displays) as server:
        print("run_under_x: Xvfb on %s (pid %d)" % (server.name, server.pid), file=sys.stderr)
        return subprocess.call(command, env=server.env())


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
