# Paints the desktop icons from the production's logo: its lettering style ("S" in the logo's
# gradient and glow) on the night sky, a falling star across it, in every hicolor size.
import os
import sys

import numpy as np
from PIL import Image

import paint as P
from images import logo, stars
from imageio import to_u8

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
MASTER = 512


def rounded_square(s, radius):
    """Coverage of a square with rounded corners, s x s."""
    x, y = P.grid(s, s)
    cx = np.clip(x + 0.5, radius, s - radius)
    cy = np.clip(y + 0.5, radius, s - radius)
    d = np.sqrt((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2)
    return np.clip(radius - d + 0.5, 0.0, 1.0)


def master():
    """The icon at 512 x 512 as RGB and alpha floats."""
    s = MASTER
    sky = P.resize(stars(), s, s)
    streak = P.segment_glow(s, s, 40, 60, 400, 250, 7.0)
    head = P.flare(s, s, 400, 250, 14, (0.9, 0.95, 1.0))
    sky = P.screen(sky * 0.9, P.colour(streak, (0.55, 0.75, 1.0)), head * 0.8)
    col, alpha = logo("S", s, s, 400, (1.0, 1.0, 1.0), (0.55, 0.75, 1.0), (0.2, 0.45, 1.0))
    rgb = col * alpha[:, :, None] + sky * (1.0 - alpha[:, :, None])
    return np.clip(rgb, 0, 1), rounded_square(s, s * 0.18)


def icon(size, rgb, alpha):
    rgba = np.concatenate([to_u8(rgb), to_u8(alpha)[:, :, None]], axis=-1)
    return Image.fromarray(rgba, "RGBA").resize((size, size), Image.LANCZOS)


def main(d):
    os.makedirs(d, exist_ok=True)
    rgb, alpha = master()
    for size in SIZES:
        icon(size, rgb, alpha).save(os.path.join(d, "starfall-%d.png" % size), optimize=False)


if __name__ == "__main__":
    main(sys.argv[1])
