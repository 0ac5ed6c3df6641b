#!/usr/bin/env python3
"""Reads memcheck's XML log of one game session and sorts what it found.

usage: vg_report.py LOG.xml SOURCE_ROOT

An error or a definitely-lost block counts against the game when a frame of its stack lies
in the game's own sources (app/, objects/, resources/ under SOURCE_ROOT). Whatever the
suppressions file let through without such a frame is listed as foreign: it needs a new
suppression, not a fix in the game.

Prints a summary and, as the last line, machine-readable counts:
  COUNTS game_errors=N game_leak_records=N game_leak_blocks=N game_leak_bytes=N
         foreign_errors=N foreign_leak_records=N suppressed=N complete=0|1
"""

import os
import sys
import xml.etree.ElementTree as ET

GAME_DIRS = ("app", "objects", "resources")
LEAK_KINDS = ("Leak_DefinitelyLost",)
# Indirect and possible leaks are shown by memcheck only on request and never fail the run.
IGNORED_KINDS = ("Leak_IndirectlyLost", "Leak_PossiblyLost", "Leak_StillReachable")


def game_frame(frame, root):
    directory = frame.findtext("dir") or ""
    name = frame.findtext("file") or ""
    if not name:
        return None
    path = os.path.normpath(os.path.join(directory, name))
    rel = os.path.relpath(path, root)
    if rel.split(os.sep)[0] in GAME_DIRS:
        return "%s:%s" % (rel, frame.findtext("line") or "?")
    return None


def describe(frame):
    fn = frame.findtext("fn") or "???"
    where = frame.findtext("file")
    if where:
        return "%s (%s:%s)" % (fn, where, frame.findtext("line") or "?")
    return "%s (%s)" % (fn, os.path.basename(frame.findtext("obj") or "?"))


def main():
    log, root = sys.argv[1], os.path.realpath(sys.argv[2])
    complete = 1
    try:
        tree = ET.parse(log)
    except (ET.ParseError, OSError) as problem:
        # A killed run leaves the XML unterminated; read what is there.
        print("memcheck log is incomplete (%s); counting what it holds" % problem)
        complete = 0
        try:
            with open(log, encoding="utf-8", errors="replace") as f:
                text = f.read()
            cut = text.rfind("</error>")
            text = text[: cut + len("</error>")] if cut >= 0 else text[: text.find("<error>")]
            tree = ET.ElementTree(ET.fromstring(text + "\n</valgrindoutput>\n"))
        except (ET.ParseError, OSError, ValueError):
            print("COUNTS game_errors=0 game_leak_records=0 game_leak_blocks=0 game_leak_bytes=0 "
                  "foreign_errors=0 foreign_leak_records=0 suppressed=0 complete=0")
            return

    out = tree.getroot()
    game_errors, foreign_errors, game_leaks, foreign_leaks = [], [], [], []
    for error in out.iter("error"):
        kind = error.findtext("kind") or "?"
        if kind in IGNORED_KINDS:
            continue
        stack = error.find("stack")
        frames = list(stack.iter("frame")) if stack is not None else []
        ours = [g for g in (game_frame(f, root) for f in frames) if g]
        what = error.findtext("what") or error.findtext("xwhat/text") or kind
        entry = {
            "kind": kind,
            "what": what,
            "top": [describe(f) for f in frames[:6]],
            "ours": ours[0] if ours else None,
            "bytes": int(error.findtext("xwhat/leakedbytes") or 0),
            "blocks": int(error.findtext("xwhat/leakedblocks") or 0),
            "supp": error.findtext("suppression/rawtext") or "",
        }
        if kind in LEAK_KINDS:
            (game_leaks if ours else foreign_leaks).append(entry)
        else:
            (game_errors if ours else foreign_errors).append(entry)

    suppressed = []
    for pair in out.findall("suppcounts/pair"):
        suppressed.append((pair.findtext("name"), int(pair.findtext("count") or 0)))

    def show(title, entries, with_supp):
        if not entries:
            return
        print("%s (%d):" % (title, len(entries)))
        for e in entries:
            print("  %s: %s" % (e["kind"], e["what"]))
            if e["ours"]:
                print("    first game frame: %s" % e["ours"])
            for line in e["top"]:
                print("      at %s" % line)
            if with_supp and e["supp"]:
                print("    suppression that would cover it (only if it is not the game's):")
                for line in e["supp"].strip().splitlines():
                    print("      " + line)

    show("Memory errors in the game's code", game_errors, False)
    show("Definitely lost blocks allocated under the game's code", game_leaks, False)
    show("Errors outside the game's code not covered by platformer.supp", foreign_errors, True)
    show("Leaks outside the game's code not covered by platformer.supp", foreign_leaks, True)

    if suppressed:
        print("Suppressions used (name: times):")
        for name, count in sorted(suppressed, key=lambda p: -p[1]):
            print("  %s: %d" % (name, count))

    print("COUNTS game_errors=%d game_leak_records=%d game_leak_blocks=%d game_leak_bytes=%d "
          "foreign_errors=%d foreign_leak_records=%d suppressed=%d complete=%d" % (
              len(game_errors), len(game_leaks), sum(e["blocks"] for e in game_leaks),
              sum(e["bytes"] for e in game_leaks), len(foreign_errors), len(foreign_leaks),
              sum(c for _, c in suppressed), complete))


if __name__ == "__main__":
    main()
