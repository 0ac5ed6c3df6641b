"""However its standard streams are set up, the game keeps drawing and answering keys:
Escape ends it with status 0, and it has nothing to say on standard error."""
import fcntl
import os
import subprocess
import time

import pytest

from looks import FRAME_RATE, escape_ends_game


def stdout_closed(path, cleanup):
    return dict(stdout=None), None


def all_streams_closed(path, cleanup):
    return dict(stdin=None, stdout=None, stderr=None), None


def stdout_full_pipe(path, cleanup):
    # The test holds the read end and never reads, so the pipe never breaks; it starts 4,000
    # bytes full of 4,096, so a game that waited for room would stop after a dozen lines.
    r, w = os.pipe()
    fcntl.fcntl(w, fcntl.F_SETPIPE_SZ, 4096)
    os.write(w, b"x" * 4000)
    cleanup.append(lambda: os.close(r))
    cleanup.append(lambda: os.close(w))
    return dict(stdout=w), None


def stdout_reader_leaves(path, cleanup):
    out = open(os.path.join(path, "stdout"), "wb")
    reader = subprocess.Popen(["head", "-n", "1"], stdin=subprocess.PIPE, stdout=out)
    out.close()
    cleanup.append(lambda: reader.poll() is None and reader.kill())

    def gone():
        # Once the reader has its line and is gone, let the game write into the broken pipe.
        if reader.poll() is None:
            return False
        time.sleep(0.5)
        return True
    return dict(stdout=reader.stdin), gone


STREAM_CASES = [
    pytest.param(stdout_closed, id="stdout_closed"),
    pytest.param(all_streams_closed, id="all_streams_closed"),
    pytest.param(stdout_full_pipe, id="stdout_full_pipe"),
    pytest.param(stdout_reader_leaves, id="stdout_reader_leaves"),
]


@pytest.mark.parametrize("streams", STREAM_CASES)
def test_escape_ends_game_whatever_its_streams(streams, play, folder):
    path = folder("streams")
    cleanup = []
    try:
        options, settled = streams(path, cleanup)
        game, window = play(path=path, **options)
        if hasattr(options["stdout"], "close"):
            options["stdout"].close()  # the game has its own copy: the reader must see it leave
        if settled is None:
            time.sleep(1)  # a second of frames written into the stream
        else:
            deadline = time.monotonic() + 10
            while not settled():
                assert time.monotonic() < deadline, "the stream did not settle within 10 s"
                assert game.running(), game.ended_note()
                time.sleep(0.1)
        escape_ends_game(window, game, 5)
        if options.get("stderr", "file") == "file":
            assert game.stderr() == ""
        if streams is stdout_reader_leaves:
            lines = game.stdout_lines()
            assert len(lines) == 1 and FRAME_RATE.match(lines[0]), \
                "the reader's one line is not a frame rate: %r" % game.stdout()[:100]
    finally:
        for step in reversed(cleanup):
            step()
