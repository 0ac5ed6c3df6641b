"""Reading the game's picture: what each pixel is, where ink lies, where the ruled lines are."""

from .rules import SKY


def classify(rgb):
    """One letter per pixel: '.' sky, 'k' black (the ruled lines), 'w' white (snow),
    '#' anything else (the figure, blocks)."""
    r, g, b = rgb[:3]
    if abs(r - SKY[0]) <= 6 and abs(g - SKY[1]) <= 6 and abs(b - SKY[2]) <= 6:
        return "."
    if r <= 40 and g <= 40 and b <= 40:
        return "k"
    if r >= 250 and g >= 250 and b >= 250:
        return "w"
    return "#"


def _band_mask(image, ranges):
    """A mask of the pixels whose red, green and blue lie in ranges ((lo, hi) each)."""
    from PIL import ImageChops
    mask = None
    for band, (lo, hi) in zip(image.split(), ranges):
        m = band.point(lambda v, lo=lo, hi=hi: 255 if lo <= v <= hi else 0)
        mask = m if mask is None else ImageChops.multiply(mask, m)
    return mask


def _letters(image):
    """classify() of every pixel at once, as an 'L' image of letter codes: a screenshot is
    read many times a second while a case polls, too often for a loop in Python."""
    from PIL import Image
    image = image.convert("RGB")
    out = Image.new("L", image.size, ord("#"))
    out.paste(ord("."), mask=_band_mask(image, [(c - 6, c + 6) for c in SKY]))
    out.paste(ord("k"), mask=_band_mask(image, [(0, 40)] * 3))
    out.paste(ord("w"), mask=_band_mask(image, [(250, 255)] * 3))
    return out


class Shot:
    """A screenshot. Boxes are (x0, y0, x1, y1), corners included, in the shot's pixels."""

    def __init__(self, image):
        self.image = image
        self.width, self.height = image.size
        self.path = None
        self._rows = None

    def rows(self):
        """The letter map: rows()[y][x] is the letter of pixel (x, y)."""
        if self._rows is None:
            data = _letters(self.image).tobytes().decode("latin-1")
            w = self.width
            self._rows = [data[y * w:(y + 1) * w] for y in range(self.height)]
        return self._rows

    def rgb(self, x, y):
        return self.image.getpixel((x, y))[:3]

    def letter(self, x, y):
        return self.rows()[y][x]

    def _clip(self, box):
        x0, y0, x1, y1 = box
        return max(x0, 0), max(y0, 0), min(x1, self.width - 1), min(y1, self.height - 1)

    def count(self, letters, box=None):
        """Pixels in box whose letter is one of letters."""
        x0, y0, x1, y1 = self._clip(box or (0, 0, self.width - 1, self.height - 1))
        n = 0
        for row in self.rows()[y0:y1 + 1]:
            seg = row[x0:x1 + 1]
            n += sum(seg.count(c) for c in letters)
        return n

    def ink_box(self, box=None, letters="#"):
        """(left, top, right, bottom, count) of the pixels of those letters in box, or None."""
        x0, y0, x1, y1 = self._clip(box or (0, 0, self.width - 1, self.height - 1))
        left = top = right = bottom = None
        n = 0
        for y in range(y0, y1 + 1):
            seg = self.rows()[y][x0:x1 + 1]
            hits = [i for i, c in enumerate(seg) if c in letters]
            if hits:
                n += len(hits)
                if top is None:
                    top = y
                bottom = y
                lo, hi = x0 + hits[0], x0 + hits[-1]
                left = lo if left is None else min(left, lo)
                right = hi if right is None else max(right, hi)
        return None if n == 0 else (left, top, right, bottom, n)

    def around(self, box, margin=6, letters="#w"):
        """Pixels of those letters within margin outside box, but not inside it."""
        x0, y0, x1, y1 = box
        outer = (x0 - margin, y0 - margin, x1 + margin, y1 + margin)
        return self.count(letters, outer) - self.count(letters, box)

    def ruled_rows(self, x=None):
        """The rows where column x (default: the middle) is black: where the ruled lines are."""
        x = self.width // 2 if x is None else x
        return [y for y in range(self.height) if self.rows()[y][x] == "k"]

    def ruled_lines(self, x=None):
        """(top, thickness) of each black run down column x (default: the middle): the ruled
        lines of an enlarged picture are more than one row thick."""
        lines = []
        for y in self.ruled_rows(x):
            if lines and sum(lines[-1]) == y:
                lines[-1] = (lines[-1][0], lines[-1][1] + 1)
            else:
                lines.append((y, 1))
        return lines

    def describe(self, box):
        ink = self.ink_box(box)
        if ink is None:
            return "nothing drawn there"
        return "%d drawn pixels spanning (%d,%d)-(%d,%d)" % (ink[4], ink[0], ink[1], ink[2], ink[3])

    def crop(self, box):
        """The part of the shot in box (x0, y0, x1, y1), corners included."""
        x0, y0, x1, y1 = box
        return Shot(self.image.crop((x0, y0, x1 + 1, y1 + 1)))
