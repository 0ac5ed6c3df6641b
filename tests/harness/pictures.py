"""The game's pictures for a folder the scripts start it in: copies of real ones, or plain
stand-ins of the sizes the game accepts, drawn here; and huge ones it must refuse."""
import os
import shutil
import struct
import zlib

from . import rules

# Flat colours, none of them white: white is the pictures' see-through colour.
_STAND_IN_COLOURS = [(120, 190, 240), (150, 90, 40), (120, 120, 120), (90, 160, 60), (200, 170, 80)]


def have_pictures(folder):
    return all(os.path.isfile(os.path.join(folder, name)) and os.path.getsize(os.path.join(folder, name))
               for name in rules.PICTURES)


def stand_in_size(least_w, least_h):
    """A sheet at the least size the game takes; one with no least size of its own is
    stretched over the window, so it is drawn window-sized to cost what a real one costs."""
    if (least_w, least_h) == (1, 1):
        return rules.WINDOW_SIZE, rules.WINDOW_SIZE
    return least_w, least_h


def draw_stand_ins(folder):
    """Draws each picture as flat squares of colour, as wide and high as the game needs."""
    from PIL import Image
    os.makedirs(folder, exist_ok=True)
    for k, (name, least_w, least_h) in enumerate(rules.PICTURE_TABLE):
        w, h = stand_in_size(least_w, least_h)
        image = Image.new("RGB", (w, h), _STAND_IN_COLOURS[k % len(_STAND_IN_COLOURS)])
        # A sheet of several looks gets a different colour for each square of its height.
        if w > h > 1:
            for i in range(w // h):
                colour = _STAND_IN_COLOURS[(k + i) % len(_STAND_IN_COLOURS)]
                image.paste(colour, (i * h, 0, (i + 1) * h, h))
        image.save(os.path.join(folder, name))
    return folder


def provide(into, sources):
    """Puts the pictures into folder into: copies from the first of sources that holds them
    all, else stand-ins. Says where they came from."""
    for source in sources:
        if source and have_pictures(source):
            for name in rules.PICTURES:
                shutil.copyfile(os.path.join(source, name), os.path.join(into, name))
            return "pictures from %s" % source
    draw_stand_ins(into)
    return "pictures drawn as stand-ins (none found in %s)" % " or ".join(s for s in sources if s)


def huge_png(path, width, height):
    """A real PNG of width x height pixels, one bit a pixel, all black: a few kilobytes that
    would take width x height x 4 bytes once decoded."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    pack = zlib.compressobj(9)
    row = bytes(1 + (width + 7) // 8)  # filter byte, then the pixels
    body = b"".join(pack.compress(row) for _ in range(height)) + pack.flush()
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 1, 0, 0, 0, 0))
                  + chunk(b"IDAT", body) + chunk(b"IEND", b""))
