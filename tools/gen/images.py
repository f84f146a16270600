# Paints every picture of the production (backgrounds, pictures and their blurred twins, logos,
# alpha images, water maps) from code.
import os
import sys

import numpy as np

import paint as P
from imageio import save, to_u8

W, H = 640, 480  # design size of full-screen pictures (4:3)


def out(d, name, img, quality=88):
    save(os.path.join(d, name), to_u8(img), quality)


# --- backgrounds ---------------------------------------------------------------------------
def stars(seed=11):
    sky = P.gradient(H, W, [(0.0, (0.0, 0.0, 0.02)), (1.0, (0.01, 0.0, 0.05))])
    field = P.star_field(H, W, 1400, seed, size=0.7)
    big = sum(P.flare(H, W, x, y, r, c) for x, y, r, c in
              [(112, 96, 5, (0.8, 0.9, 1.0)), (505, 160, 4, (1.0, 0.9, 0.8)), (402, 390, 3, (0.8, 0.85, 1.0))])
    return np.clip(sky + P.tone(field + big * 0.6, 1.4), 0, 1)


def nebula(seed=21):
    n1 = P.fractal_noise(H, W, 1.9, seed)
    n2 = P.fractal_noise(H, W, 2.2, seed + 1)
    n3 = P.fractal_noise(H, W, 1.4, seed + 2)
    x, y = P.grid(H, W)
    band = np.exp(-((y - 240 - (x - 320) * 0.35) / 150.0) ** 2)  # a diagonal river of gas
    gas = np.clip((n1 - 0.35) * 2.2, 0, 1) * band
    dust = np.clip((n3 - 0.5) * 3.0, 0, 1)
    img = (P.colour(gas ** 1.5, (0.55, 0.18, 0.75)) + P.colour((gas * n2) ** 2, (1.0, 0.55, 0.3)) * 1.4
           + P.colour(np.clip(n2 - 0.55, 0, 1) * band, (0.2, 0.5, 1.0)) * 1.6)
    img *= (1.0 - 0.7 * dust)[:, :, None]
    img += P.star_field(H, W, 900, seed + 3, size=0.7) * 0.8
    img += P.flare(H, W, 420, 200, 6, (1.0, 0.85, 0.7)) * 0.7
    return P.tone(img, 1.6)


def galaxy(seed=51):
    x, y = P.grid(H, W)
    dx, dy = (x - 320) / 230.0, (y - 240) / 120.0  # tilted disc
    rr = np.sqrt(dx * dx + dy * dy) + 1e-6
    th = np.arctan2(dy, dx)
    arms = (0.5 + 0.5 * np.cos(2.0 * th - 5.5 * np.log(rr))) ** 3
    n = P.fractal_noise(H, W, 1.8, seed)
    disc = np.exp(-rr / 0.38)
    core = np.exp(-(rr / 0.12) ** 2)
    dust = (0.5 + 0.5 * np.cos(2.0 * th - 5.5 * np.log(rr) + 1.1)) ** 6 * disc
    img = (P.colour(disc * arms * (0.6 + 0.8 * n), (0.55, 0.7, 1.0)) * 1.5
           + P.colour(core, (1.0, 0.85, 0.55)) * 2.2 + P.colour(disc, (0.5, 0.4, 0.5)) * 0.4)
    img *= (1.0 - 0.6 * dust)[:, :, None]
    img += P.star_field(H, W, 900, seed + 1, size=0.7) * 0.8
    return P.tone(img, 1.4)


def loading():
    img = nebula(61) * 0.45
    img += P.colour(P.blur(P.text_mask("STARFALL", P.SANS_BOLD, 86, W, H, cy=210), 6), (0.3, 0.6, 1.0)) * 0.8
    img = P.screen(img, P.colour(P.text_mask("STARFALL", P.SANS_BOLD, 86, W, H, cy=210), (0.95, 0.97, 1.0)))
    img = P.screen(img, P.colour(P.text_mask("loading", P.SANS, 22, W, H, cy=300), (0.6, 0.7, 0.8)))
    return img


def intro_picture():
    """The start dialog's picture, 256 x 114."""
    w, h = 256, 114
    img = P.gradient(h, w, [(0.0, (0.02, 0.03, 0.1)), (1.0, (0.12, 0.05, 0.2))])
    img += P.star_field(h, w, 160, 71, size=0.6) * 0.8
    title = P.text_mask("STARFALL", P.SANS_BOLD, 34, w, h, cy=48)
    img += P.colour(P.blur(title, 3), (0.3, 0.6, 1.0)) * 0.9
    img = P.screen(img, P.colour(title, (1.0, 1.0, 1.0)))
    img = P.screen(img, P.colour(P.text_mask("a Vireo trailer", P.SANS, 12, w, h, cy=84), (0.7, 0.75, 0.9)))
    return img


# --- logos and sprites ---------------------------------------------------------------------
def logo(text, w, h, size, fill_top, fill_bottom, glow_rgb):
    """Lettering with a gradient fill and a glow: colour image and alpha image."""
    m = P.text_mask(text, P.SANS_BOLD, size, w, h)
    g = np.clip(P.blur(m, h / 14.0) * 1.8, 0, 1)
    fill = P.gradient(h, w, [(0.25, fill_top), (0.75, fill_bottom)])
    col = fill * m[:, :, None] + P.colour(np.ones_like(m), glow_rgb) * (1 - m[:, :, None])
    alpha = np.maximum(m, g * 0.75)
    return col, alpha


def streak():
    w, h = 512, 64
    x, y = P.grid(h, w)
    dy = (y - 31.5) / 31.5
    dx = (x - 255.5) / 255.5
    core = np.exp(-(dy / 0.06) ** 2) * np.exp(-(dx / 0.55) ** 2)
    soft = np.exp(-(dy / 0.35) ** 2) * np.exp(-(dx / 0.3) ** 2) * 0.5
    return P.colour(core, (0.85, 0.95, 1.0)) + P.colour(soft, (0.25, 0.5, 1.0))


def static_noise(seed=91):
    s = 256
    r = P.rng(seed)
    n = r.random((s, s)) ** 3
    lines = (0.6 + 0.4 * np.sin(np.arange(s) * np.pi / 2.0))[:, None]
    blotch = P.fractal_noise(s, s, 1.5, seed + 1)
    return np.clip(n * lines * (0.4 + blotch), 0, 1)


def ring():
    s = 128
    x, y = P.grid(s, s)
    d = np.sqrt((x - 63.5) ** 2 + (y - 63.5) ** 2) / 63.5
    band = np.exp(-((d - 0.78) / 0.07) ** 2)
    glow = np.exp(-((d - 0.78) / 0.2) ** 2) * 0.5
    dot = np.exp(-(d / 0.18) ** 2)
    a = np.clip(band + glow + dot * 0.8, 0, 1) * (d < 1.0)
    col = P.colour(np.ones_like(d), (0.55, 0.85, 1.0)) * (1 - band)[:, :, None] + P.colour(band, (1.0, 1.0, 1.0))
    return np.clip(col, 0, 1), a


def light_bar():
    w, h = 64, 256
    x, y = P.grid(h, w)
    dx = (x - 31.5) / 31.5
    dy = (y - 127.5) / 127.5
    core = np.exp(-(dx / 0.22) ** 2) * (1 - dy ** 4)
    return P.colour(core, (0.5, 0.9, 1.0)) + P.colour(np.exp(-(dx / 0.06) ** 2), (0.5, 0.2, 0.0))


def light_band():
    """A horizontal bar of light, soft across its height, for bands that pulse on the beat."""
    w, h = 256, 32
    x, y = P.grid(h, w)
    dx = (x - 127.5) / 127.5
    dy = (y - 15.5) / 15.5
    core = np.exp(-(dy / 0.75) ** 4) * (1 - dx ** 6)
    return P.colour(core, (0.55, 0.85, 1.0)) + P.colour(np.exp(-(dy / 0.12) ** 2) * (1 - dx ** 6), (0.45, 0.15, 0.0))


def plasma(seed=101):
    s = 256
    n1 = P.fractal_noise(s, s, 2.0, seed)
    n2 = P.fractal_noise(s, s, 1.6, seed + 1)
    x, y = P.grid(s, s)
    v = np.sin(n1 * 12.0) * 0.5 + 0.5
    w = np.sin(n2 * 9.0 + x / 40.0) * 0.5 + 0.5
    col = (P.colour(v, (0.2, 0.7, 1.0)) + P.colour(w * v, (1.0, 0.3, 0.8)) * 0.8
           + P.colour((1 - v) * (1 - w), (0.1, 0.05, 0.3)))
    return np.clip(col, 0, 1)


def vignette(s=256):
    x, y = P.grid(s, s)
    d = np.sqrt(((x - (s - 1) / 2) / (s / 2)) ** 2 + ((y - (s - 1) / 2) / (s / 2)) ** 2)
    return np.clip((1.0 - d) / 0.45, 0, 1) ** 1.5


# --- water ---------------------------------------------------------------------------------
def water(seed=111):
    """Deep, calm water: dark blue with faint caustics, so the reflections and the pressed words
    carry the picture."""
    s = 256
    n = P.fractal_noise(s, s, 1.8, seed)
    caustic = np.abs(np.sin(n * 30.0)) ** 0.3
    base = P.gradient(s, s, [(0.0, (0.02, 0.06, 0.16)), (1.0, (0.0, 0.02, 0.08))])
    return np.clip(base + P.colour((1 - caustic) * 0.18, (0.1, 0.35, 0.5)), 0, 1)


def water_env(seed=121):
    """What the water reflects: a night sky that brightens smoothly towards one corner. The surface
    normals shift the lookup, so a slope facing that corner shows bright and one facing away shows
    dark, and every pressed letter stands out in relief. Near the far edges the glow falls back to
    where it started, so lookups pushed past an edge wrap onto the same brightness."""
    s = 256
    x, y = P.grid(s, s)

    def rise(t):
        t = t / (s - 1.0)
        up = np.clip(t / 0.93, 0, 1)
        down = np.clip((1.0 - t) / 0.07, 0, 1)
        return np.minimum(up, down * down * (3 - 2 * down))

    glow = (rise(s - 1.0 - x) + rise(s - 1.0 - y)) * 0.5
    n = P.fractal_noise(s, s, 3.0, seed)
    return np.clip(P.colour(0.05 + 0.75 * glow ** 1.5, (0.35, 0.55, 0.85)) + P.colour(0.08 * n, (0.3, 0.4, 0.55)), 0, 1)


WATER_WORDS = ["STAR", "FALL", "LIGHT", "DUST"]


def water_word(word, side=64):
    """A word as a relief map for the water's 64 x 64 grid, which takes one value per grid point
    and no more: bold letters spaced apart inside a margin (the water's rim lies off screen), drawn
    large and shrunk by averaging, with soft shoulders so that the pressed letters slope instead of
    standing as cliffs."""
    big = side * 4
    pitch = big * 0.8 / len(word)
    size = int(big * (0.36 if len(word) <= 4 else 0.3))
    m = np.zeros((big, big))
    for k, letter in enumerate(word):
        cx = big / 2.0 + (k - (len(word) - 1) / 2.0) * pitch
        m = np.maximum(m, P.text_mask(letter, P.SANS_BOLD, size, big, big, cx=cx, cy=big / 2.0))
    small = m.reshape(side, 4, side, 4).mean(axis=(1, 3))
    return np.clip(P.blur(small, 0.7) * 1.2, 0, 1) * 0.8


def blurred(img, sigma, bloom=1.15):
    return np.clip(P.blur(img, sigma) * bloom, 0, 1)


def main(d):
    out(d, "white.jpg", np.ones((32, 32, 3)), 95)
    out(d, "loading.jpg", P.fullscreen(loading()))
    out(d, "vireointro.png", intro_picture())
    out(d, "stars.jpg", P.fullscreen(stars()))
    neb = nebula()
    out(d, "nebula.jpg", P.fullscreen(neb))
    out(d, "soft.jpg", vignette())
    pictures = {"galaxy": galaxy()}
    for name, img in pictures.items():
        out(d, name + ".jpg", P.fullscreen(img))
        out(d, name + "_blur.jpg", P.fullscreen(blurred(img, 9.0)), 80)
    col, alpha = logo("STARFALL", 512, 128, 68, (1.0, 1.0, 1.0), (0.55, 0.75, 1.0), (0.2, 0.45, 1.0))
    out(d, "logo.jpg", col)
    out(d, "logo_a.png", alpha)
    col, alpha = logo("VIREO", 256, 128, 56, (1.0, 0.95, 0.8), (1.0, 0.6, 0.3), (1.0, 0.4, 0.2))
    out(d, "vireo.jpg", col)
    out(d, "vireo_a.png", alpha)
    out(d, "streak.jpg", streak())
    out(d, "noise.jpg", static_noise(), 80)
    col, alpha = ring()
    out(d, "ring.jpg", col)
    out(d, "ring_a.jpg", alpha, 95)
    out(d, "bar.jpg", light_bar())
    out(d, "bar_a.jpg", np.clip(light_bar().max(axis=2) * 1.2, 0, 1), 95)
    out(d, "band.jpg", light_band())
    out(d, "band_a.jpg", np.clip(light_band().max(axis=2) * 1.2, 0, 1), 95)
    out(d, "plasma.jpg", plasma())
    out(d, "water.jpg", water())
    out(d, "water_env.jpg", water_env())
    for word in WATER_WORDS:
        out(d, "word_%s.jpg" % word.lower(), water_word(word), 92)


if __name__ == "__main__":
    main(sys.argv[1])
