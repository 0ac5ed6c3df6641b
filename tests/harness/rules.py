"""The game's rules as the harness needs them, read from the game's own headers, so that a
change there reaches every test and script without being written twice."""
import os
import re

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

_CONSTANT = re.compile(r"^\s*(?:static\s+)?constexpr\s+[\w:]+\s+(\w+)\s*=\s*([^;{]+);", re.M)


def _read(relative):
    with open(os.path.join(SOURCE_DIR, relative)) as f:
        return f.read()


def constants(*headers):
    """NAME -> value of the header's simple numeric constants (an expression may use the
    names defined before it)."""
    values = {}
    for header in headers:
        for name, expr in _CONSTANT.findall(_read(header)):
            expr = re.sub(r"(\d+(?:\.\d*)?)f\b", r"\1", expr.strip())
            expr = re.sub(r"\b\w+::", "", expr)
            if "." not in expr:
                expr = expr.replace("/", "//")  # C++ divides whole numbers into a whole number
            try:
                value = eval(expr, {"__builtins__": {}}, dict(values))
            except Exception:
                continue
            if isinstance(value, (int, float)):
                values[name] = int(value) if float(value).is_integer() else value
    return values


def _picture_table():
    """(name, min width, min height) of each picture, in loading order."""
    text = _read("resources/Pictures.h")
    names = dict(re.findall(r'constexpr const char\* (\w+) = "([^"]+)";', text))
    table = text[text.index("GAME_PICTURES[]"):]
    rows = re.findall(r"\{\s*(\w+)\s*,\s*\{\s*(\w+)\s*,\s*(\w+)\s*\}\s*\}", table)
    return [(names[n], _C[w], _C[h]) for n, w, h in rows]


_C = constants("app/rules.h", "objects/Cube.h", "objects/Player.h", "resources/Pictures.h")

WINDOW_SIZE = _C["WINDOW_SIZE"]
HALF_WINDOW = _C["HALF_WINDOW"]
SNOW_BURST_SIZE = _C["SNOW_BURST_SIZE"]
BLOCK_SIZE = _C["SIZE"]
FIGURE_SIZE = (_C["WIDTH"], _C["HEIGHT"])
FIGURE_START = (_C["START_X"], _C["START_Y"])
FIGURE_VIEW_BOX = (_C["FIGURE_VIEW_WIDTH"], _C["FIGURE_VIEW_HEIGHT"])
FLOOR = _C["FLOOR"]  # the world y the figure stands on when nothing is under it
POINTER_OFFSET = (_C["POINTER_OFFSET_X"], _C["POINTER_OFFSET_Y"])
RULED_LINE_SPACING = _C["RULED_LINE_SPACING"]
SKY = (_C["SKY_RED"], _C["SKY_GREEN"], _C["SKY_BLUE"])  # the colour every frame is cleared to
PICTURE_TABLE = _picture_table()
PICTURES = [name for name, _, _ in PICTURE_TABLE]
PICTURE_MAX_SIDE = _C["MAX_PICTURE_SIDE"]
MINIMUM_WINDOW_SIZE = constants("app/screen.cpp")["MINIMUM_WINDOW_SIZE"]  # the smallest window side
WINDOW_TITLE = "Platformer"
LEVEL_FILE = "LoadLevel.txt"

assert len(PICTURES) == 3, "the picture table was not found in resources/Pictures.h"
