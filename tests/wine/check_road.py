#!/usr/bin/env python3
"""Looks at screenshots (binary PPM) of the news ticker strip floating at LEFT, TOP.

  check_road.py loop LEFT TOP SHOT.ppm          the ticker movie's loop is up: the
                                                channel label at the left and white
                                                headline text right of it
  check_road.py scrolls LEFT TOP A.ppm B.ppm    the ticker area differs between the two
  check_road.py logo LEFT TOP SHOT.ppm LOGO.ppm the sponsor slot shows the logo

Exit status 0 when it is so, 1 when not (with what was seen).
"""
import sys

from check_strip import Shot

WIDTH, HEIGHT = 703, 25
GRAB, SPONSOR = 10, 59
LABEL_RED = (0xC8, 0x10, 0x2E)
WHITE = (0xFF, 0xFF, 0xFF)


def region(shot, left, top, x0, x1):
    return [shot.at(x, y) for y in range(top, top + HEIGHT) for x in range(left + x0, left + x1)]


def loop(left, top, shot):
    label = region(shot, left, top, 0, 40).count(LABEL_RED)
    white = region(shot, left, top, 90, WIDTH - GRAB - SPONSOR).count(WHITE)
    seen = f"label pixels {label}, white text pixels {white}"
    return label > 200 and white > 20, seen


def scrolls(left, top, a, b):
    ra = region(a, left, top, 90, WIDTH - GRAB - SPONSOR)
    rb = region(b, left, top, 90, WIDTH - GRAB - SPONSOR)
    changed = sum(1 for p, q in zip(ra, rb) if p != q)
    return changed > 50, f"{changed} pixels of the ticker area changed"


def logo(left, top, shot, picture):
    x0 = WIDTH - GRAB - SPONSOR
    worst = 0
    total = 0
    for y in range(HEIGHT):
        for x in range(SPONSOR):
            p = shot.at(left + x0 + x, top + y)
            q = picture.at(x, y)
            d = max(abs(p[i] - q[i]) for i in range(3))
            worst = max(worst, d)
            total += d
    mean = total / (SPONSOR * HEIGHT)
    # The same JPEG decoded twice: only rounding may differ.
    return mean < 12 and picture.width == SPONSOR and picture.height == HEIGHT, f"mean difference {mean:.1f}, worst {worst}"


def main():
    args = sys.argv[1:]
    if len(args) < 4 or args[0] not in ("loop", "scrolls", "logo"):
        raise SystemExit(__doc__)
    left, top = int(args[1]), int(args[2])
    shots = [Shot(p) for p in args[3:]]
    if args[0] == "loop" and len(shots) == 1:
        ok, seen = loop(left, top, shots[0])
    elif args[0] == "scrolls" and len(shots) == 2:
        ok, seen = scrolls(left, top, *shots)
    elif args[0] == "logo" and len(shots) == 2:
        ok, seen = logo(left, top, *shots)
    else:
        raise SystemExit(__doc__)
    print(seen)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
