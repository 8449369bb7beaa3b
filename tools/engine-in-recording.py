#!/usr/bin/env python3
"""Finds the engine's hum in a recording of a flight by OpenAL Soft's wave writer.

Usage: engine-in-recording.py RECORDING.wav HELD_FROM HELD_TO

HELD_FROM and HELD_TO are the recording's sizes in bytes when W went down and when it came
up: the wave writer mixes in real time, so they mark that stretch in the mix. The hum is
the engine's 70 Hz fundamental, played 1.3 times as fast at full thrust. In each quarter
second its level is compared with the mix's level 30 Hz either side, where the engine has
nothing of its own; rocks and hits sound at all three. Prints the numbers; fails unless the
hum is loud through most of the stretch W was held and not there before it.
"""
import array
import math
import struct
import sys

HUM_HZ = 70.0 * 1.3
BESIDE_HZ = (HUM_HZ - 30.0, HUM_HZ + 30.0)
WINDOW_SECONDS = 0.25
LOUD = 0.02  # amplitude, full scale 1: the hum is several times that
CLEAR = 4.0  # the hum at least this many times the mix beside it


def read_wave(path):
    """The 16-bit frames as mono floats, the rate, and where the frames start in the file."""
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit(f"{path} is no wave file")
    at = 12
    channels = rate = bits = None
    while at + 8 <= len(data):
        tag = data[at:at + 4]
        size = struct.unpack_from("<I", data, at + 4)[0]
        if tag == b"fmt ":
            channels, rate = struct.unpack_from("<HI", data, at + 10)
            bits = struct.unpack_from("<H", data, at + 22)[0]
        elif tag == b"data":
            start = at + 8
            break
        at += 8 + size + (size & 1)
    else:
        sys.exit(f"{path} has no data")
    if bits != 16:
        sys.exit(f"{path} has {bits}-bit samples, not 16")
    # The data's size in its header is only right once the device has closed: read to the end.
    frames = (len(data) - start) // (2 * channels)
    samples = array.array("h", data[start:start + frames * 2 * channels])
    if sys.byteorder != "little":
        samples.byteswap()
    mono = [sum(samples[i:i + channels]) / (32768.0 * channels) for i in range(0, len(samples), channels)]
    return mono, rate, start, 2 * channels


def level(samples, hz, rate):
    """Amplitude of the `hz` component (Goertzel)."""
    coefficient = 2.0 * math.cos(2.0 * math.pi * hz / rate)
    previous = before = 0.0
    for sample in samples:
        previous, before = sample + coefficient * previous - before, previous
    power = previous * previous + before * before - coefficient * previous * before
    return 2.0 * math.sqrt(max(0.0, power)) / len(samples)


def main():
    path, held_from, held_to = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    mono, rate, start, frame_bytes = read_wave(path)
    seconds = lambda size: max(0, size - start) // frame_bytes / rate
    w_down, w_up, end = seconds(held_from), seconds(held_to), len(mono) / rate

    window = int(WINDOW_SECONDS * rate)
    hums = []  # (start second, hum level, hums clearly)
    for first in range(0, len(mono) - window + 1, window):
        part = mono[first:first + window]
        hum = level(part, HUM_HZ, rate)
        beside = max(level(part, hz, rate) for hz in BESIDE_HZ)
        hums.append((first / rate, hum, hum > LOUD and hum > CLEAR * beside))

    # Half a second after W goes down for the key to reach the game; the win, which ends
    # the hum, comes a moment before the name is asked and W comes up.
    before = [h for h in hums if h[0] + WINDOW_SECONDS <= w_down]
    held = [h for h in hums if w_down + 0.5 <= h[0] and h[0] + WINDOW_SECONDS <= w_up]
    if not before or not held:
        sys.exit(f"the recording ({end:.1f} s) does not cover before and while W was held "
                 f"({w_down:.1f} s to {w_up:.1f} s)")
    humming = [h for h in held if h[2]]
    last_hum = max((h[0] + WINDOW_SECONDS for h in hums if h[2]), default=0.0)
    mean = lambda stretch: sum(h[1] for h in stretch) / len(stretch)
    print(f"{end:.1f} s recorded at {rate} Hz; W held {w_down:.1f} s to {w_up:.1f} s; "
          f"{HUM_HZ:.0f} Hz hum {mean(held):.3f} while held (clear in {len(humming)} of {len(held)} quarter "
          f"seconds, the last ending at {last_hum:.1f} s), {mean(before):.4f} before "
          f"(clear in {sum(h[2] for h in before)} of {len(before)})")
    ok = len(humming) >= 0.75 * len(held) and not any(h[2] for h in before) and last_hum <= w_up + 0.5
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
