#!/usr/bin/env python3
"""Reads a screenshot of the Wine desktop (binary PPM) and finds the strip of the
content services run: the test movie's stage lime (all it got from the host was as
expected) or red (not), and the sponsor movie's orange slot of 59 pixels just left of
the 10-pixel grab handle, both 25 pixels high.

  check_content.py SHOT.ppm

Exit status 0 when the screenshot shows it, 1 when not (with what was seen).
"""
import sys

from check_strip import read_ppm

LIME = (0x00, 0xFF, 0x00)
RED = (0xFF, 0x00, 0x00)
ORANGE = (0xFF, 0x80, 0x00)


def runs(row):
    """The row as [colour, start, length] runs."""
    out = []
    for x, c in enumerate(row):
        if out and out[-1][0] == c:
            out[-1][2] += 1
        else:
            out.append([c, x, 1])
    return out


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    width, height, pixels = read_ppm(sys.argv[1])

    def row(y):
        base = y * width * 3
        return [tuple(pixels[base + 3 * x:base + 3 * x + 3]) for x in range(width)]

    def column(x):
        return [tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for y in range(height)]

    for y in range(height):
        r = runs(row(y))
        for i, (colour, start, length) in enumerate(r):
            if colour != ORANGE or i == 0:
                continue
            stage = r[i - 1]
            orange_height = sum(1 for c in column(start)[y:y + 40] if c == ORANGE)
            seen = (f"stage {'lime' if stage[0] == LIME else 'red' if stage[0] == RED else stage[0]} "
                    f"ending at x {start}, sponsor slot x {start}..{start + length - 1} ({length} wide, "
                    f"{orange_height} high)")
            # The stage's own text breaks its colour: the run just before the slot is
            # the stage's background only when the text is short of the right end.
            if stage[0] not in (LIME, RED):
                continue
            print(seen)
            ok = stage[0] == LIME and length == 59 and orange_height == 25
            sys.exit(0 if ok else 1)
    print("no sponsor slot on the screen")
    sys.exit(1)


if __name__ == "__main__":
    main()
