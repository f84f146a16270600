# Paints the textures of the 3D scenes and their sprites: rock, grass, metal, hull panels, skies,
# reflection maps, trees with alpha, and the glow, spark, smoke, fly and dot sprites of the effects.
import os
import sys

import numpy as np

import paint as P
from imageio import save, to_u8

S = 256


def out(d, name, img, quality=88):
    save(os.path.join(d, name), to_u8(img), quality)


def radial(s, power=2.0):
    x, y = P.grid(s, s)
    return np.sqrt(((x - (s - 1) / 2) / (s / 2)) ** 2 + ((y - (s - 1) / 2) / (s / 2)) ** 2) ** power


def rock(seed=201):
    n = P.fractal_noise(S, S, 1.7, seed)
    fine = P.fractal_noise(S, S, 1.0, seed + 1)
    grey = 0.45 + 0.45 * n + 0.15 * (fine - 0.5)
    return np.clip(P.colour(grey, (0.78, 0.72, 0.66)), 0, 1)


def grass(seed=211):
    n = P.fractal_noise(S, S, 1.6, seed)
    fine = P.fractal_noise(S, S, 0.8, seed + 1)
    g = 0.5 + 0.4 * n + 0.2 * (fine - 0.5)
    return np.clip(P.colour(g, (0.45, 0.7, 0.4)) + P.colour(fine * 0.15, (0.3, 0.25, 0.1)), 0, 1)


def lava(seed=221):
    n = P.fractal_noise(S, S, 1.9, seed)
    cracks = np.exp(-np.abs(np.sin(n * 22.0)) * 9.0)
    crust = P.colour(0.2 + 0.2 * P.fractal_noise(S, S, 1.1, seed + 1), (0.5, 0.4, 0.35))
    return np.clip(crust + P.colour(cracks, (1.0, 0.55, 0.15)) * 1.3, 0, 1)


def panels(base, line, seed, cells=4):
    """Plates of slightly varied tone with dark seams and rivet rows."""
    x, y = P.grid(S, S)
    c = S / cells
    r = P.rng(seed)
    tone = r.uniform(0.85, 1.1, (cells, cells))
    img = P.colour(tone[(y // c).astype(int), (x // c).astype(int)], base)
    img *= (0.9 + 0.2 * P.fractal_noise(S, S, 1.2, seed + 1))[:, :, None]
    fx, fy = (x % c) / c, (y % c) / c
    seam = np.minimum(np.minimum(fx, 1 - fx), np.minimum(fy, 1 - fy))
    img *= np.clip(seam * 40.0, 0.25, 1.0)[:, :, None]
    rivet = np.exp(-(((fx * 8) % 1 - 0.5) ** 2 + ((fy - 0.07) * 8) ** 2) * 30.0)
    return np.clip(img + P.colour(rivet, line) * 0.4, 0, 1)


def stone(seed=231):
    x, y = P.grid(S, S)
    row = (y // 32).astype(int)
    fx = ((x + (row % 2) * 32) % 64) / 64.0
    fy = (y % 32) / 32.0
    joint = np.minimum(np.minimum(fx, 1 - fx) * 64, np.minimum(fy, 1 - fy) * 32)
    n = P.fractal_noise(S, S, 1.5, seed)
    g = (0.75 + 0.2 * n) * np.clip(joint / 2.0, 0.45, 1.0)
    return np.clip(P.colour(g, (0.95, 0.92, 0.86)), 0, 1)


def windows():
    """Warm lit windows on a dark wall, three in a row."""
    x, y = P.grid(S, S)
    img = P.colour(np.ones((S, S)) * 0.08, (0.5, 0.45, 0.5))
    for cx in (48, 128, 208):
        lit = (np.abs(x - cx) < 26) & (np.abs(y - 128) < 70)
        frame = (np.abs(x - cx) % 26 < 2) | (np.abs(y - 128) % 35 < 2)
        glow = np.exp(-((x - cx) / 40.0) ** 2 - ((y - 128) / 90.0) ** 2)
        img += P.colour(lit * (~frame) * (0.7 + 0.3 * glow), (1.0, 0.78, 0.45))
    return np.clip(img, 0, 1)


def night_sky(seed=241):
    """Sky dome: u around the horizon, v from the zenith (top) to the horizon (bottom)."""
    w, h = 512, 256
    sky = P.gradient(h, w, [(0.0, (0.0, 0.01, 0.05)), (0.7, (0.03, 0.05, 0.14)), (1.0, (0.12, 0.12, 0.25))])
    stars = P.star_field(h, w, 900, seed, size=0.6) * np.linspace(1.0, 0.3, h)[:, None, None]
    band = np.exp(-((np.arange(h)[:, None] - 90 - 40 * np.sin(np.arange(w)[None, :] / w * 2 * np.pi)) / 30.0) ** 2)
    milky = P.colour(band * P.fractal_noise(h, w, 1.6, seed + 1), (0.25, 0.25, 0.4))
    return np.clip(sky + P.tone(stars, 1.5) + milky, 0, 1)


def reflection(seed=251):
    """What chrome reflects: a bright horizon band between a dark sky and darker ground."""
    g = P.gradient(S, S, [(0.0, (0.05, 0.08, 0.2)), (0.45, (0.5, 0.6, 0.85)), (0.5, (1.0, 0.95, 0.85)),
                          (0.56, (0.25, 0.22, 0.25)), (1.0, (0.02, 0.02, 0.03))])
    n = P.fractal_noise(S, S, 2.0, seed)
    return np.clip(g * (0.85 + 0.3 * n)[:, :, None], 0, 1)


def tree(seed=261):
    """A conifer silhouette: colour and alpha."""
    x, y = P.grid(S, S)
    dx = np.abs(x - 127.5) / 127.5
    h = y / 255.0  # 0 at the top
    tiers = (h * 5.0) % 1.0
    width = (0.08 + 0.85 * h) * (0.65 + 0.35 * tiers)
    n = P.fractal_noise(S, S, 1.0, seed)
    crown = (dx < width * (0.85 + 0.3 * n)) & (h < 0.9)
    trunk = (dx < 0.06) & (h >= 0.85)
    alpha = np.clip((crown | trunk).astype(np.float64), 0, 1)
    alpha = np.clip(P.blur(alpha, 0.8) * 1.4, 0, 1)
    col = P.colour(0.35 + 0.4 * n * (1 - dx), (0.3, 0.55, 0.35)) * (1 - trunk[:, :, None]) \
        + P.colour(trunk * 1.0, (0.35, 0.25, 0.15))
    return np.clip(col, 0, 1), alpha


def pond(seed=271):
    """Reflectivity of the pond: brighter texels mirror more of what lies beneath the surface, and
    the rest of each texel tints it. Water gives back only part of the light, so the mirror image
    shows dimmed under a blue-grey sheen, broken by faint ripples."""
    n = P.fractal_noise(S, S, 2.0, seed)
    ripple = 0.5 + 0.5 * np.sin(radial(S, 1.0) * 40.0 + n * 3.0)
    return np.clip(P.colour(0.56 + 0.1 * ripple + 0.06 * n, (0.85, 0.93, 1.0)), 0, 1)


def world(seed=281):
    """An ocean planet's surface, wrapped around a sphere: cloud bands over blue."""
    w, h = 512, 256
    n = P.fractal_noise(h, w, 2.0, seed)
    clouds = P.fractal_noise(h, w, 1.5, seed + 1)
    lat = np.linspace(-1, 1, h)[:, None]
    land = np.clip((n - 0.55) * 6.0, 0, 1)
    base = P.colour(1 - land, (0.08, 0.22, 0.5)) + P.colour(land, (0.35, 0.4, 0.22))
    band = np.clip((clouds + 0.2 * np.sin(lat * 14.0 + n * 4.0) - 0.5) * 2.2, 0, 1)
    base = base * (1 - band[:, :, None]) + P.colour(band, (0.95, 0.97, 1.0))
    return np.clip(base, 0, 1)


def beam():
    """Light beam along a cone: bright at the source (the bottom row, where the cone starts), fading along it."""
    x, y = P.grid(S, S)
    along = y / 255.0
    along = along ** 2 * (1.0 - along ** 60)  # dark again in the last rows, which wrap onto the far end
    across = 0.6 + 0.4 * np.sin(x / 255.0 * 2 * np.pi * 6.0) ** 2
    return np.clip(P.colour(along ** 2 * across, (0.55, 0.7, 1.0)), 0, 1)


def sails(seed=291):
    x, y = P.grid(S, S)
    cell = ((x % 32 > 2) & (y % 32 > 2)).astype(np.float64)
    n = P.fractal_noise(S, S, 1.0, seed)
    return np.clip(P.colour(cell * (0.45 + 0.3 * n), (0.35, 0.45, 1.0)) + P.colour(1 - cell, (0.7, 0.7, 0.75)), 0, 1)


def chromic():
    """The glow shot's colour: a chromatic sweep that tints the blurred scene laid over it."""
    x, y = P.grid(S, S)
    t = (x + y) / (2 * S)
    col = np.stack([0.5 + 0.5 * np.cos(2 * np.pi * (t + 0.0)), 0.5 + 0.5 * np.cos(2 * np.pi * (t + 0.33)),
                    0.5 + 0.5 * np.cos(2 * np.pi * (t + 0.67))], axis=-1)
    return np.clip(0.35 + 0.65 * col, 0, 1)


# The glow quad reaches past the screen: seen from 6.5 units through a quarter turn, the
# screen shows its middle, out to RIM_SEEN of the way from its centre (7.5 units high and
# 10 wide) to the middle of each of its edges.
RIM_SEEN = 6.5 / 7.5


def rim(s=256, clear=0.55, edge=0.6):
    """The glow's alpha: clear over the middle of the screen, where the subject stands, and
    thickening towards the screen's edges to edge at the middle of each edge and more in the
    corners, where the picture still shows through: a halo round the picture rather than a patch
    over it."""
    d = radial(s, 1.0)
    return np.clip(np.clip((d - clear) / (RIM_SEEN - clear), 0, None) ** 1.5 * edge, 0, 0.85)


def sprite(core, soft, rgb, s=64):
    """A round light: the glow for additive use, and for blended use a flat colour with the glow as alpha
    (a colour darkened towards the rim would darken what lies behind it)."""
    d = radial(s, 1.0)
    g = np.exp(-(d / core) ** 2) + soft * np.exp(-(d / (core * 3.5)) ** 2)
    g *= np.clip((1.0 - d) * 4.0, 0, 1)
    return np.clip(P.colour(g, rgb), 0, 1), np.clip(g, 0, 1)


def blended_sprite(core, soft, rgb, s=64):
    _, alpha = sprite(core, soft, rgb, s)
    return np.clip(P.colour(np.ones((s, s)), rgb), 0, 1), alpha


def dot(s=64):
    """The dot screen's dot: a solid white disc with a soft rim, so that even a dot a pixel or two
    across is drawn at full strength."""
    d = radial(s, 1.0)
    return np.ones((s, s, 3)), np.clip((0.92 - d) * 10.0, 0, 1)


def smoke(seed=301):
    """A puff of soot, dark against the glowing crater it rises from. Its alpha thins out smoothly
    and is gone well inside the square, so the puff has no edge of its own."""
    s = 128
    n = P.fractal_noise(s, s, 1.6, seed)
    d = radial(s, 1.0)
    a = np.clip(1.0 - d * 1.15, 0, 1) ** 2 * (0.55 + 0.45 * n)
    return np.clip(P.colour(0.18 + 0.2 * n, (1.0, 0.9, 0.8)), 0, 1), np.clip(a, 0, 1)


def glow(seed=311):
    s = 128
    n = P.fractal_noise(s, s, 1.4, seed)
    return np.clip(P.colour(0.6 + 0.4 * n, (0.45, 0.75, 1.0)), 0, 1)


def main(d):
    out(d, "rock.jpg", rock())
    out(d, "grass.jpg", grass())
    out(d, "lava.jpg", lava())
    out(d, "metal.jpg", panels((0.55, 0.58, 0.62), (1.0, 1.0, 1.0), 321))
    out(d, "hull.jpg", panels((0.85, 0.85, 0.82), (0.3, 0.3, 0.3), 331, cells=8))
    out(d, "stone.jpg", stone())
    out(d, "windows.jpg", windows())
    out(d, "nightsky.jpg", night_sky())
    out(d, "chrome.jpg", reflection())
    col, alpha = tree()
    out(d, "tree.jpg", col)
    out(d, "tree_alpha.jpg", alpha, 95)
    out(d, "pond.jpg", pond())
    out(d, "world.jpg", world())
    out(d, "beam.jpg", beam())
    out(d, "sails.jpg", sails())
    out(d, "chromic.jpg", chromic())
    out(d, "rim.jpg", rim(), 95)
    col, _ = sprite(0.12, 0.35, (1.0, 0.85, 0.6), s=128)
    out(d, "halo.jpg", col)
    col, _ = sprite(0.4, 0.15, (1.0, 0.7, 0.35))
    out(d, "spark.jpg", col)
    col, alpha = blended_sprite(0.3, 0.2, (0.75, 1.0, 0.45))
    out(d, "fly.jpg", col)
    out(d, "fly_a.jpg", alpha, 95)
    col, alpha = dot()
    out(d, "dot.jpg", col)
    out(d, "dot_a.jpg", alpha, 95)
    col, alpha = smoke()
    out(d, "smoke.jpg", col)
    out(d, "smoke_a.jpg", alpha, 95)
    out(d, "glow.jpg", glow())


if __name__ == "__main__":
    main(sys.argv[1])
