#!/usr/bin/python3
"""Checks a screenshot for the clock's strip.

    check_strip.py SHOT.png [--left X] [--top Y] [--default-colours]

Without --default-colours it only asks whether the strip at X, Y (default 293, 0, where a
fresh clock stands) has been painted: a bevel around an area with text in it. With it, the
strip must show what a clock with the stored settings left at their defaults shows: date,
time and seconds bar in yellow on the back colour the day's colour schedule gives for the
minute the screenshot was taken. Exit code 0 when the strip passes, 1 when not.
"""

import argparse
import collections
import os
import sys
import time

from PIL import Image

WIDTH, HEIGHT = 102, 21
YELLOW = (255, 255, 0)
# Back colours at 00:00, 06:00, 12:00 and 18:00 as 0x00BBGGRR; the schedule blends between them.
DEFAULT_BACKS = [0x000000, 0xFF0000, 0xFF00FF, 0x0000FF]
DATE_BOX = (3, 1, 56, 14)
TIME_BOX = (56, 1, 102, 16)
BAR_BOX = (4, 15, 52, 17)


def scheduled_back(hour, minute):
    """The back colour of the default schedule at hh:mm, as (r, g, b)."""
    minute_of_day = hour * 60 + minute
    start, end = DEFAULT_BACKS[minute_of_day // 360], DEFAULT_BACKS[(minute_of_day // 360 + 1) % 4]
    weight = minute_of_day % 360
    return tuple(((start >> shift & 255) * (360 - weight) + (end >> shift & 255) * weight) // 360
                 for shift in (0, 8, 16))


def counts(strip, box):
    return collections.Counter(strip.crop(box).getdata())


def painted(strip):
    """A one-pixel frame of two colours around an inside with more than one colour in it."""
    top = {strip.getpixel((x, 0)) for x in range(WIDTH - 1)}
    bottom = {strip.getpixel((x, HEIGHT - 1)) for x in range(1, WIDTH)}
    inside = counts(strip, (2, 2, WIDTH - 2, HEIGHT - 2)).most_common()
    problems = []
    if len(top) != 1 or len(bottom) != 1 or top == bottom:
        problems.append(f"no bevel (top row {sorted(top)[:3]}, bottom row {sorted(bottom)[:3]})")
    if len(inside) < 2 or inside[1][1] < 20:
        problems.append(f"nothing drawn inside (colours {inside[:3]})")
    return problems


def default_colours(strip, taken):
    problems = []
    back = counts(strip, (2, 2, WIDTH - 2, HEIGHT - 2)).most_common(1)[0][0]
    # The screenshot may have caught the strip just before the minute of its file time.
    minutes = {time.localtime(taken - lag)[3:5] for lag in (0, 60)}
    expected = {scheduled_back(hour, minute) for hour, minute in minutes}
    if back not in expected:
        problems.append(f"back colour {back}, the schedule gives {sorted(expected)}")
    for name, box, least in (("date", DATE_BOX, 40), ("time", TIME_BOX, 30),
                             ("seconds bar", BAR_BOX, 80)):
        yellow = counts(strip, box)[YELLOW]
        if yellow < least:
            problems.append(f"{name}: {yellow} yellow pixels, expected at least {least}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("screenshot")
    parser.add_argument("--left", type=int, default=293)
    parser.add_argument("--top", type=int, default=0)
    parser.add_argument("--default-colours", action="store_true")
    args = parser.parse_args()

    shot = Image.open(args.screenshot).convert("RGB")
    strip = shot.crop((args.left, args.top, args.left + WIDTH, args.top + HEIGHT))
    problems = painted(strip)
    if not problems and args.default_colours:
        problems = default_colours(strip, os.path.getmtime(args.screenshot))
    for problem in problems:
        print(f"check_strip: {args.screenshot} at {args.left},{args.top}: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
