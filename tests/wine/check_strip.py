#!/usr/bin/env python3
"""Reads a screenshot of the Wine desktop (binary PPM) and finds the ticker strip in it.

  check_strip.py status SHOT.ppm   the status line shows the test movie's long text
  check_strip.py movie SHOT.ppm    the strip shows the test movie's drawing; prints the
                                   left end of its headline

Exit status 0 when the screenshot shows it, 1 when not (with what was seen).
"""
import sys

STRIP_GREY = (0x42, 0x42, 0x42)  # the strip's own background around the status line
LIME = (0x00, 0xFF, 0x00)        # the test movie's stage
MAGENTA = (0xFF, 0x00, 0xFF)     # its block at the stage's left end
BLUE = (0x00, 0x00, 0xFF)        # its headline
STRIP_HEIGHT = 25


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise SystemExit(f"{path}: not an 8-bit binary PPM")
    return int(fields[1]), int(fields[2]), data[pos:]


class Shot:
    def __init__(self, path):
        self.width, self.height, self.pixels = read_ppm(path)

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def row(self, y):
        row = self.pixels[y * self.width * 3:(y + 1) * self.width * 3]
        return list(zip(row[0::3], row[1::3], row[2::3]))

    def rows_with(self, colour, at_least):
        return [y for y in range(self.height) if self.row(y).count(colour) >= at_least]

    def columns(self, rows, test):
        return sorted({x for y in rows for x, p in enumerate(self.row(y)) if test(p)})


def band(rows):
    """The longest run of consecutive rows."""
    best, run = [], []
    for y in rows:
        run = run + [y] if run and y == run[-1] + 1 else [y]
        if len(run) > len(best):
            best = run
    return best


def status(shot):
    rows = band(shot.rows_with(STRIP_GREY, 200))
    if not rows:
        return False, "no strip on the screen"
    # The status line is right-aligned: from its rightmost light column, go left over
    # gaps between letters. The host's own texts ("Connecting to Norvale...") are far
    # shorter than the test movie's line of 44 capital Ms.
    light = shot.columns(rows, lambda p: min(p) >= 200)
    if not light:
        return False, f"strip at rows {rows[0]}-{rows[-1]} shows no text"
    right = left = light[-1]
    for x in reversed(light[:-1]):
        if left - x > 10:
            break
        left = x
    width = right - left + 1
    return width >= 220, f"status text spans x {left}-{right} ({width} px) in rows {rows[0]}-{rows[-1]}"


def movie(shot):
    rows = band(shot.rows_with(LIME, 300))
    if len(rows) < STRIP_HEIGHT - 2:
        return False, f"no lime stage ({len(rows)} rows)"
    xs = shot.columns(rows, lambda p: p == LIME)
    left, right = xs[0], xs[-1]
    top = rows[0]
    magenta = [(x, y) for y in rows for x in range(left, left + 60) if shot.at(x, y) == MAGENTA]
    blue = shot.columns(rows, lambda p: p == BLUE)
    seen = (f"stage x {left}-{right}, rows {top}-{rows[-1]}; {len(magenta)} magenta pixels; "
            f"headline x {blue[0] if blue else '-'}-{blue[-1] if blue else '-'}")
    if right - left < 400:
        return False, "stage too narrow: " + seen
    # The block is 40 x 17 at 4, 4; the headline may run over some of it.
    if len(magenta) < 200:
        return False, "no magenta block: " + seen
    box = (min(x for x, _ in magenta) - left, min(y for _, y in magenta) - top,
           max(x for x, _ in magenta) - left, max(y for _, y in magenta) - top)
    if not (4 <= box[0] <= 6 and 4 <= box[1] <= 6 and box[2] <= 43 and box[3] <= 20):
        return False, f"magenta block at {box}, not at the stage's left end: " + seen
    if len(blue) < 100:
        return False, "no headline: " + seen
    print(f"headline-left {blue[0]}")
    return True, seen


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("status", "movie"):
        raise SystemExit(__doc__)
    ok, seen = {"status": status, "movie": movie}[sys.argv[1]](Shot(sys.argv[2]))
    print(seen)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
