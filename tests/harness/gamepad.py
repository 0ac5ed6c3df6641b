"""Virtual gamepads for the game: a umockdev testbed that fakes evdev devices in /dev/input for
the processes started with its environment (LD_PRELOAD of umockdev's library), pads plugged in
and out while the game runs, and their buttons, stick and d-pad.

The library's Linux driver lists /dev/input, takes a device with a gamepad button and an axis
for a pad, and asks its name and the ranges of its axes; the answers below are those of a
common pad with two sticks, two analogue triggers, a d-pad and eleven buttons.
"""
import os
import struct
import tempfile

# evdev codes (linux/input-event-codes.h)
EV_SYN, EV_KEY, EV_ABS = 0, 1, 3
ABS_X, ABS_Y, ABS_Z, ABS_RX, ABS_RY, ABS_RZ, ABS_HAT0X, ABS_HAT0Y = 0, 1, 2, 3, 4, 5, 0x10, 0x11
BUTTONS = {
    "south": 0x130, "east": 0x131, "north": 0x133, "west": 0x134, "left_shoulder": 0x136,
    "right_shoulder": 0x137, "select": 0x13a, "start": 0x13b, "mode": 0x13c, "left_thumb": 0x13d,
    "right_thumb": 0x13e,
}
STICK = (-32768, 32767, 16, 128)  # minimum, maximum, fuzz, flat
TRIGGER = (0, 255, 0, 0)
HAT = (-1, 1, 0, 0)
AXES = {ABS_X: STICK, ABS_Y: STICK, ABS_Z: TRIGGER, ABS_RX: STICK, ABS_RY: STICK, ABS_RZ: TRIGGER,
        ABS_HAT0X: HAT, ABS_HAT0Y: HAT}
NAME = b"Virtual gamepad"
KEY_BITS, ABS_BITS = 96, 8  # the bitmap sizes the driver asks for: KEY_MAX and ABS_MAX bits
NAME_SIZE = 100             # the name buffer it asks with


def _bits(codes, size):
    out = bytearray(size)
    for code in codes:
        out[code // 8] |= 1 << (code % 8)
    return bytes(out)


def _ioctl_answers(node):
    """The umockdev ioctl file for the pad at node. Each answer is as long as the buffer the
    driver asks with, or umockdev does not match it."""
    lines = ["@DEV " + node,
             "EVIOCGBIT(%d) %d %s" % (EV_KEY, KEY_BITS, _bits(BUTTONS.values(), KEY_BITS).hex()),
             "EVIOCGBIT(%d) %d %s" % (EV_ABS, ABS_BITS, _bits(AXES, ABS_BITS).hex()),
             "EVIOCGNAME %d %s" % (len(NAME) + 1, NAME.ljust(NAME_SIZE, b"\0").hex())]
    for axis, (low, high, fuzz, flat) in AXES.items():
        lines.append("EVIOCGABS(%d) 0 %s" % (axis, struct.pack("<6i", 0, low, high, fuzz, flat, 0).hex()))
    return "\n".join(lines) + "\n"


class VirtualPads:
    """A testbed for one game: give the game env(), then plug pads in before or after it starts.
    Input sent before the game listens to its pads is lost: wait for its first frame."""

    def __init__(self):
        import gi
        gi.require_version("UMockdev", "1.0")
        from gi.repository import UMockdev
        self.testbed = UMockdev.Testbed.new()
        self.root = self.testbed.get_root_dir()
        self.files = tempfile.mkdtemp(prefix="pads-")
        # The driver watches /dev/input only if it exists when the game starts, and umockdev
        # removes the folder with its last device: a file of our own keeps it.
        os.makedirs(os.path.join(self.root, "dev", "input"), exist_ok=True)
        open(os.path.join(self.root, "dev", "input", "keep"), "w").close()
        self._next = 0
        self.pads = []

    def env(self, base):
        env = dict(base)
        env["LD_PRELOAD"] = " ".join(filter(None, [env.get("LD_PRELOAD"), "libumockdev-preload.so.0"]))
        env["UMOCKDEV_DIR"] = self.root
        return env

    def plug(self):
        """A new pad, as if plugged in now. The game hears of it about a second later."""
        # A node once removed cannot be added again to the same testbed: every pad gets its own.
        number = self._next
        self._next += 1
        node = "/dev/input/event%d" % number
        syspath = "/sys/devices/virtual/input/input%d/event%d" % (number, number)
        self.testbed.add_from_string(
            "P: %s\nN: input/event%d\nE: DEVNAME=%s\nE: SUBSYSTEM=input\nA: dev=13:%d\n" % (
                syspath[len("/sys"):], number, node, 64 + number))
        answers = os.path.join(self.files, "event%d.ioctl" % number)
        with open(answers, "w") as f:
            f.write(_ioctl_answers(node))
        self.testbed.load_ioctl(node, answers)
        pad = Pad(self, node, syspath)
        self.pads.append(pad)
        return pad

    def close(self):
        """Ends every pad's script, so that the testbed's threads end too."""
        for pad in self.pads:
            pad.end_script()


class Pad:
    """One virtual pad. Its input goes to the game as a umockdev script read from a pipe, as
    it is sent: a device can be given only one script in its life."""

    def __init__(self, pads, node, syspath):
        self.pads = pads
        self.node = node
        self.syspath = syspath
        path = os.path.join(pads.files, os.path.basename(node) + ".script")
        os.mkfifo(path)
        self._script = os.open(path, os.O_RDWR)  # read and write: the opening does not wait
        pads.testbed.load_script(node, path)

    def _send(self, *events, after=0.0):
        """Sends (type, code, value) events at once, then a sync; after seconds, counted by
        umockdev from the script's previous line."""
        data = b"".join(struct.pack("<qqHHi", 0, 0, *e) for e in events + ((EV_SYN, 0, 0),))
        os.write(self._script, b"r %d " % round(after * 1000) + _script_data(data) + b"\n")

    def press(self, button):
        self._send((EV_KEY, BUTTONS[button], 1))

    def release(self, button):
        self._send((EV_KEY, BUTTONS[button], 0))

    def hold(self, button, seconds):
        """Presses the button now and releases it seconds later, the wait timed by umockdev's
        own thread: a busy harness does not make the hold longer."""
        self.press(button)
        self._send((EV_KEY, BUTTONS[button], 0), after=seconds)

    def stick(self, x, y=0.0):
        """The left stick at (x, y), each from -1 to 1."""
        self._send((EV_ABS, ABS_X, round(x * STICK[1])), (EV_ABS, ABS_Y, round(y * STICK[1])))

    def dpad(self, x, y=0):
        """The d-pad: -1, 0 or 1 on each axis."""
        self._send((EV_ABS, ABS_HAT0X, x), (EV_ABS, ABS_HAT0Y, y))

    def end_script(self):
        if self._script is not None:
            os.write(self._script, b"Q 0 -\n")
            os.close(self._script)
            self._script = None

    def unplug(self):
        self.end_script()
        self.pads.testbed.remove_device(self.syspath)


def _script_data(data):
    """Bytes as a umockdev script writes them: control bytes as ^ and the byte plus 64."""
    out = bytearray()
    for b in data:
        if b < 32:
            out += bytes((ord("^"), b + 64))
        elif b == ord("^"):
            out += b"^`"
        else:
            out.append(b)
    return bytes(out)
