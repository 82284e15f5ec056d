#!/usr/bin/python3
"""Writes the demo's particle effects: 136-byte parameter records (the layout is in docs/demo-walkthrough.md).

Patterns of particles.bmp: 0 soft glow, 1 sparkle, 2 smoke puff, 3 flame tongue.
Directions are radians, 0 pointing down the screen, pi up; gravity pulls down when positive.
Colours are (red, green, blue, alpha) at spawn, at the middle of life and at its end.
"""
import math
import os
import struct
import sys

ADD, BLEND = 260, 1284
FOREVER = 1.0e6


def record(first, last, fx, rate, duration, life, direction, spread, speed, gravity=(0, 0), radial=(0, 0),
           tangential=(0, 0), scale=(1, 1, 1), scale_var=0.0, angle=(0, 0, 0), angle_var=0.0,
           colours=((255, 255, 255, 255),) * 3, colour_var=0.0, alpha_var=0.0, middle=0.5, newest_first=False,
           relative=False):
    b = struct.pack("<ii4xIif", first, last, fx, rate, duration)
    b += struct.pack("<ffff", life[0], life[1], direction, spread)
    b += struct.pack("<B3x", 1 if relative else 0)
    b += struct.pack("<ffffffff", speed[0], speed[1], gravity[0], gravity[1], radial[0], radial[1],
                     tangential[0], tangential[1])
    b += struct.pack("<ffff", *scale, scale_var)
    b += struct.pack("<ffff", *angle, angle_var)
    for col in colours:
        b += bytes(col)
    b += struct.pack("<fff", colour_var, alpha_var, middle)
    b += struct.pack("<B3x", 1 if newest_first else 0)
    assert len(b) == 136, len(b)
    return b


EFFECTS = {
    # the hearth: flame tongues rising and fading from gold to red
    "fire": record(3, -1, ADD, 110, FOREVER, (0.45, 0.8), math.pi, 0.9, (30, 80), gravity=(-2.5, -4.5),
                   scale=(1.0, 0.75, 0.15), scale_var=0.3, angle=(0, 0.2, -0.2), angle_var=0.5,
                   colours=((255, 210, 100, 210), (255, 120, 30, 170), (150, 30, 10, 0)), colour_var=0.25,
                   alpha_var=0.2, middle=0.35),
    # soft grey smoke that grows, turns and thins out
    "smoke": record(2, -1, BLEND, 7, FOREVER, (2.2, 3.2), math.pi, 0.5, (18, 34), gravity=(-0.4, -0.9),
                    tangential=(-0.5, 0.5), scale=(0.3, 0.75, 1.4), scale_var=0.3, angle=(0, 1.2, 2.4),
                    angle_var=0.6, colours=((176, 170, 182, 0), (150, 146, 160, 70), (130, 128, 140, 0)),
                    colour_var=0.1, alpha_var=0.3, middle=0.3),
    # a burst of sparkles where something is found
    "sparkle": record(1, -1, ADD, 90, 0.45, (0.6, 1.1), 0, 2 * math.pi, (40, 140), gravity=(1.0, 2.5),
                      scale=(0.55, 0.4, 0.05), scale_var=0.4, angle=(0, 2.0, 4.0), angle_var=0.5,
                      colours=((255, 250, 210, 255), (255, 220, 120, 230), (255, 170, 60, 0)), colour_var=0.2,
                      alpha_var=0.1, middle=0.4),
    # a slow twinkle that never ends (the title screen, the gallery's solved doors)
    "twinkle": record(1, -1, ADD, 8, FOREVER, (1.2, 2.2), math.pi, 2 * math.pi, (22, 44), scale=(0.05, 0.45, 0.02),
                      scale_var=0.5, angle=(0, 0.8, 1.6), colours=((255, 255, 230, 0), (255, 230, 160, 240),
                                                                    (255, 200, 120, 0)), colour_var=0.3, middle=0.5),
    # steam from the mended machine: quick white puffs
    "steam": record(2, -1, BLEND, 16, FOREVER, (1.0, 1.6), math.pi, 0.35, (50, 80), gravity=(-0.3, -0.6),
                    tangential=(-1, 1), scale=(0.2, 0.7, 1.3), scale_var=0.3, angle=(0, 1.0, 2.0),
                    colours=((240, 240, 250, 0), (230, 232, 240, 150), (220, 220, 230, 0)), alpha_var=0.3,
                    middle=0.25),
    # glowing motes that circle the clock at the end
    "motes": record(0, -1, ADD, 30, FOREVER, (1.5, 2.5), 0, 2 * math.pi, (20, 40), radial=(-1.5, -2.5),
                    tangential=(4, 6), scale=(0.1, 0.3, 0.05), scale_var=0.4,
                    colours=((255, 230, 160, 0), (255, 210, 120, 220), (255, 160, 80, 0)), middle=0.5),
}


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in EFFECTS.items():
        with open(os.path.join(folder, name + ".eff"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
