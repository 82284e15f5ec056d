#!/usr/bin/python3
"""Synthesises the demo's sounds and music as WAV files into a scratch folder; make_assets.sh
then adds reverb and encodes them with sox. Seeded: the same samples every run."""
import math
import os
import sys
import wave

import numpy as np

RATE = 22050
rng = np.random.default_rng(17)


def t_axis(seconds):
    return np.arange(int(seconds * RATE)) / RATE


def env(n, attack=0.005, decay=0.3, rate=RATE):
    t = np.arange(n) / rate
    a = np.clip(t / max(attack, 1e-4), 0, 1)
    return a * np.exp(-t / max(decay, 1e-4))


def tone(freq, seconds, harmonics=((1, 1.0),), decay=0.4, attack=0.004, detune=0.0):
    t = t_axis(seconds)
    s = np.zeros_like(t)
    for k, amp in harmonics:
        f = freq * k * (1 + detune * (k - 1))
        s += amp * np.sin(2 * math.pi * f * t) * np.exp(-t * (k - 1) * 1.5)
    return s * env(len(t), attack, decay)


def music_box(freq, seconds=1.2):
    # a plucked metal tine: a bright partial set that dies away
    return tone(freq, seconds, ((1, 1.0), (2.76, 0.35), (5.4, 0.12), (8.9, 0.05)), decay=0.55, attack=0.002)


def bell(freq, seconds=3.0):
    return tone(freq, seconds, ((0.5, 0.3), (1, 1.0), (2.0, 0.5), (2.4, 0.35), (3.0, 0.25), (4.2, 0.12), (5.4, 0.08)),
                decay=1.1, attack=0.002)


def pad(freq, seconds):
    t = t_axis(seconds)
    s = np.zeros_like(t)
    for d in (-0.004, 0, 0.0045):
        f = freq * (1 + d)
        s += np.sin(2 * math.pi * f * t) + 0.3 * np.sin(2 * math.pi * 2 * f * t) + 0.12 * np.sin(2 * math.pi * 3 * f * t)
    a = np.clip(t / 0.8, 0, 1) * np.clip((seconds - t) / 0.8, 0, 1)
    return s * a / 3


def noise(seconds):
    return rng.standard_normal(int(seconds * RATE))


def lowpass(x, cutoff):
    a = math.exp(-2 * math.pi * cutoff / RATE)
    y = np.empty_like(x)
    acc = 0.0
    for i, v in enumerate(x):
        acc = (1 - a) * v + a * acc
        y[i] = acc
    return y


def note(name):
    names = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}
    semis = names[name[0]] + (1 if "#" in name else 0) + (int(name[-1]) - 4) * 12
    return 440.0 * 2 ** (semis / 12)


def mix_at(buf, sound, at, gain=1.0):
    i = int(at * RATE)
    if i >= len(buf):
        return
    j = min(len(buf), i + len(sound))
    buf[i:j] += sound[:j - i] * gain


def loop_fold(buf, tail):
    """Folds the last `tail` seconds onto the start, so the track loops without a gap."""
    n = int(tail * RATE)
    body = buf[:-n].copy()
    body[:n] += buf[-n:]
    return body


def save(path, x, peak=0.8):
    x = np.asarray(x, dtype=np.float64)
    m = np.max(np.abs(x)) or 1.0
    pcm = (x / m * peak * 32767).astype(np.int16)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())


def theme():
    """The title waltz: a music box over soft chords, 3/4 at 96 beats a minute, 8 bars."""
    beat = 60 / 96
    bars = 16
    buf = np.zeros(int((bars * 3 * beat + 3) * RATE))
    chords = [("A3", "C4", "E4"), ("F3", "A3", "C4"), ("C3", "E3", "G3"), ("G3", "B3", "D4")] * 4
    melody = ["E5", "A5", "C6", "B5", "A5", "E5", "F5", "A5", "C6", "A5", "G5", "F5",
              "E5", "G5", "C6", "B5", "G5", "E5", "D5", "G5", "B5", "D6", "C6", "B5"] * 2
    for b, ch in enumerate(chords):
        for k, n in enumerate(ch):
            mix_at(buf, pad(note(n), 3 * beat + 0.6), b * 3 * beat, 0.16)
        mix_at(buf, music_box(note(ch[0]) / 2, 1.5), b * 3 * beat, 0.45)
    for i, n in enumerate(melody):
        mix_at(buf, music_box(note(n)), i * beat, 0.55 if i % 3 == 0 else 0.4)
    return loop_fold(buf, 3)


def house():
    """Quiet music for the rooms: slow pads and a far music box, 24 seconds."""
    beat = 60 / 60
    buf = np.zeros(int((24 + 4) * RATE))
    chords = [("D3", "F3", "A3"), ("A#2", "D3", "F3"), ("G2", "A#2", "D3"), ("A2", "C#3", "E3")] * 2
    for b, ch in enumerate(chords):
        for n in ch:
            mix_at(buf, pad(note(n), 3.0 + 1.2), b * 3.0, 0.22)
    line = ["A4", "F4", "D4", "E4", "F4", "D5", "C5", "A4", "G4", "A#4", "A4", "E4"]
    for i, n in enumerate(line):
        mix_at(buf, music_box(note(n), 1.6), 0.5 + i * 2.0, 0.3)
    return loop_fold(buf, 4)


def ending():
    beat = 60 / 112
    buf = np.zeros(int((16 * 4 * beat * 0.5 + 6) * RATE))
    seq = ["C5", "E5", "G5", "C6", "B5", "G5", "E5", "G5", "A5", "F5", "C5", "F5", "G5", "B5", "D6", "G6"] * 2
    chords = [("C3", "E3", "G3"), ("F3", "A3", "C4"), ("G3", "B3", "D4"), ("C3", "E3", "G3")] * 2
    for b, ch in enumerate(chords):
        for n in ch:
            mix_at(buf, pad(note(n), 8 * beat * 0.5 + 1), b * 8 * beat * 0.5, 0.18)
    for i, n in enumerate(seq):
        mix_at(buf, music_box(note(n)), i * beat * 0.5, 0.5)
    return loop_fold(buf, 4)


def click():
    x = noise(0.05) * env(int(0.05 * RATE), 0.0005, 0.008)
    x += tone(1800, 0.05, decay=0.01) * 0.6
    return lowpass(x, 5000)


def pickup():
    buf = np.zeros(int(1.4 * RATE))
    for i, n in enumerate(("E6", "G6", "B6", "E7")):
        mix_at(buf, music_box(note(n), 1.0), i * 0.07, 0.6)
    return buf


def door():
    t = t_axis(0.9)
    f = 180 + 90 * np.sin(2 * math.pi * 1.7 * t)
    creak = np.sign(np.sin(2 * math.pi * np.cumsum(f) / RATE)) * 0.25 * np.clip(t / 0.1, 0, 1) * np.clip((0.75 - t) / 0.2, 0, 1)
    creak = lowpass(creak, 1400)
    thud = lowpass(noise(0.3), 300) * env(int(0.3 * RATE), 0.002, 0.08) * 3
    buf = np.zeros(int(1.1 * RATE))
    mix_at(buf, creak, 0)
    mix_at(buf, thud, 0.75)
    return buf


def unlock():
    buf = np.zeros(int(0.6 * RATE))
    for at, f in ((0, 2400), (0.18, 1700)):
        x = tone(f, 0.2, ((1, 1), (2.3, 0.5), (3.9, 0.3)), decay=0.04) + noise(0.2) * env(int(0.2 * RATE), 0.0005, 0.01) * 0.5
        mix_at(buf, x, at)
    return buf


def locked():
    buf = np.zeros(int(0.5 * RATE))
    for k in range(4):
        x = lowpass(noise(0.06), 2500) * env(int(0.06 * RATE), 0.001, 0.015)
        mix_at(buf, x, k * 0.09)
    return buf


def page():
    x = noise(0.5)
    x = x - lowpass(x, 1500)
    return x * env(len(x), 0.08, 0.15) * np.clip(1 + 0.6 * np.sin(np.arange(len(x)) / RATE * 40), 0, 2)


def chime():
    buf = np.zeros(int(5 * RATE))
    for i, n in enumerate(("E4", "C4", "D4", "G3")):
        mix_at(buf, bell(note(n), 3.2), i * 0.8, 0.6)
    return buf


def machine():
    t = t_axis(2.2)
    hum = np.sin(2 * math.pi * 90 * t) * 0.4 + np.sin(2 * math.pi * 135 * t) * 0.2
    ticks = np.zeros_like(t)
    for k in range(int(2.2 / 0.12)):
        mix_at(ticks, lowpass(noise(0.02), 4000) * env(int(0.02 * RATE), 0.0005, 0.004), k * 0.12, 1.0)
    a = np.clip(t / 0.3, 0, 1) * np.clip((2.2 - t) / 0.4, 0, 1)
    return (hum + ticks) * a


def logo1():
    t = t_axis(2.6)
    s = sum(np.sin(2 * math.pi * note(n) * t) * g for n, g in (("C3", 0.5), ("G3", 0.4), ("C4", 0.3), ("E4", 0.2)))
    return s * np.clip(t / 1.2, 0, 1) * np.clip((2.6 - t) / 1.0, 0, 1)


def logo2():
    buf = np.zeros(int(3 * RATE))
    for i in range(6):
        tick = lowpass(noise(0.03), 3000) * env(int(0.03 * RATE), 0.0005, 0.006)
        mix_at(buf, tick, i * 0.5, 0.8 if i % 2 == 0 else 0.5)
    mix_at(buf, bell(note("G4"), 2.0), 0.2, 0.35)
    return buf


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for name, fn in (("theme", theme), ("house", house), ("ending", ending), ("click", click), ("pickup", pickup),
                     ("door", door), ("unlock", unlock), ("locked", locked), ("page", page), ("chime", chime),
                     ("machine", machine), ("logo1", logo1), ("logo2", logo2)):
        save(os.path.join(folder, name + ".wav"), fn())


if __name__ == "__main__":
    main(sys.argv[1])
