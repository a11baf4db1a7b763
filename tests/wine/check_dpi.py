#!/usr/bin/env python3
"""Measures the ticker strip in a screenshot of the Wine desktop (binary PPM) taken
while the test movie of tests/wine/panel shows: its lime stage and the dark text
the movie draws on it.

  check_dpi.py SHOT.ppm   prints "stage TOP HEIGHT LEFT RIGHT ink HEIGHT"

The ink height is the number of rows, from the first to the last, that hold a dark
pixel of the movie's text: it grows with the font the stage makes at the DPI.
Exit status 0 when a stage with text was found, 1 when not.
"""
import sys

from check_strip import Shot, band

LIME = (0x00, 0xFF, 0x00)


def measure(shot):
    rows = band(shot.rows_with(LIME, 300))
    if not rows:
        return None, "no lime stage"
    xs = shot.columns(rows, lambda p: p == LIME)
    left, right = xs[0], xs[-1]
    # Dark: the text's ink, its anti-aliased edges left out (they are half lime).
    inked = [y for y in rows if any(max(p) < 100 for p in shot.row(y)[left:right + 1])]
    if not inked:
        return None, f"stage at rows {rows[0]}-{rows[-1]} shows no text"
    return (rows[0], len(rows), left, right, inked[-1] - inked[0] + 1), None


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    found, why = measure(Shot(sys.argv[1]))
    if not found:
        print(why)
        sys.exit(1)
    top, height, left, right, ink = found
    print(f"stage {top} {height} {left} {right} ink {ink}")


if __name__ == "__main__":
    main()
