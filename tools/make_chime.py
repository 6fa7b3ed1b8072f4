#!/usr/bin/env python3
"""Writes the clock's time-signal chime: three soft bell tones falling G5, E5, C5.

16-bit PCM mono at 22050 Hz, about 1.5 s. The output is the same on every run, so the
built sample.wav only changes when this script does.
"""

import argparse
import math
import struct
import wave

RATE = 22050
DURATION = 1.5
PEAK = 0.8 * 32767

# (start in seconds, fundamental in Hz, loudness)
NOTES = [
    (0.00, 783.99, 1.00),  # G5
    (0.22, 659.26, 0.90),  # E5
    (0.44, 523.25, 0.95),  # C5
]

# Bell-like partials: (ratio to the fundamental, loudness, decay per second). The upper
# partials fade faster, which is what makes a struck tone sound soft rather than buzzy.
PARTIALS = [
    (1.00, 1.00, 3.2),
    (2.00, 0.35, 5.0),
    (2.76, 0.18, 7.5),
    (4.07, 0.07, 11.0),
]

ATTACK = 0.006  # seconds; a hard start would click
FADE_OUT = 0.08


def note_sample(t, frequency, loudness):
    if t < 0:
        return 0.0
    attack = min(1.0, t / ATTACK)
    value = 0.0
    for ratio, level, decay in PARTIALS:
        value += level * math.exp(-decay * t) * math.sin(2 * math.pi * frequency * ratio * t)
    return loudness * attack * value


def render():
    count = int(RATE * DURATION)
    samples = []
    for i in range(count):
        t = i / RATE
        value = sum(note_sample(t - start, f, level) for start, f, level in NOTES)
        remaining = DURATION - t
        if remaining < FADE_OUT:
            value *= remaining / FADE_OUT
        samples.append(value)
    scale = PEAK / max(abs(s) for s in samples)
    return [int(round(s * scale)) for s in samples]


def write_wave(path, samples):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="path of the wave file to write")
    args = parser.parse_args()
    write_wave(args.output, render())


if __name__ == "__main__":
    main()
