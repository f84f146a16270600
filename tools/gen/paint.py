# Procedural painting helpers: fractal noise, blur, stars, streaks and lettering, all on float arrays.
import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
SANS_BOLD = FONT_DIR + "DejaVuSans-Bold.ttf"
SANS = FONT_DIR + "DejaVuSans.ttf"
MONO_BOLD = FONT_DIR + "DejaVuSansMono-Bold.ttf"
MONO = FONT_DIR + "DejaVuSansMono.ttf"


def rng(seed):
    return np.random.default_rng(seed)


def fractal_noise(h, w, beta, seed, octave_floor=1.0):
    """Tileable 1/f^beta noise scaled to 0..1."""
    r = rng(seed)
    white = r.standard_normal((h, w))
    fy = np.fft.fftfreq(h)[:, None] * h
    fx = np.fft.fftfreq(w)[None, :] * w
    f = np.sqrt(fx * fx + fy * fy)
    f[0, 0] = 1.0
    spectrum = np.fft.fft2(white) / np.maximum(f, octave_floor) ** beta
    spectrum[0, 0] = 0.0
    n = np.real(np.fft.ifft2(spectrum))
    n -= n.min()
    return n / n.max()


def blur(img, sigma):
    """Gaussian blur through the spectrum, with reflected borders so nothing wraps around."""
    img = np.asarray(img, dtype=np.float64)
    if sigma <= 0:
        return img.copy()
    if img.ndim == 3:
        return np.stack([blur(img[:, :, c], sigma) for c in range(img.shape[2])], axis=-1)
    pad = int(3 * sigma) + 1
    p = np.pad(img, pad, mode="reflect")
    h, w = p.shape
    fy = np.fft.fftfreq(h)[:, None]
    fx = np.fft.fftfreq(w)[None, :]
    g = np.exp(-2.0 * (np.pi * sigma) ** 2 * (fx * fx + fy * fy))
    out = np.real(np.fft.ifft2(np.fft.fft2(p) * g))
    return out[pad:pad + img.shape[0], pad:pad + img.shape[1]]


def resize(img, w, h):
    """Lanczos resampling of a float image (grey or RGB) through 32-bit float channels."""
    img = np.asarray(img, dtype=np.float32)
    if img.ndim == 3:
        return np.stack([resize(img[:, :, c], w, h) for c in range(img.shape[2])], axis=-1)
    return np.asarray(Image.fromarray(img, "F").resize((w, h), Image.LANCZOS), dtype=np.float64)


def grid(h, w):
    y, x = np.mgrid[0:h, 0:w]
    return x.astype(np.float64), y.astype(np.float64)


def colour(img_grey, rgb):
    return img_grey[:, :, None] * np.asarray(rgb, dtype=np.float64)[None, None, :]


def gradient(h, w, stops):
    """Vertical gradient through (position 0..1, (r, g, b)) stops."""
    pos = np.linspace(0.0, 1.0, h)
    out = np.zeros((h, w, 3))
    ps = [s[0] for s in stops]
    for c in range(3):
        col = np.interp(pos, ps, [s[1][c] for s in stops])
        out[:, :, c] = col[:, None]
    return out


def star_field(h, w, count, seed, size=0.8, brightness=1.0):
    """Stars of power-law brightness and slightly varied colour, as an RGB float image."""
    r = rng(seed)
    pts = np.zeros((h, w, 3))
    ys = r.integers(0, h, count)
    xs = r.integers(0, w, count)
    mag = r.pareto(2.2, count) * 0.25 + 0.08
    tint = r.uniform(-1.0, 1.0, count)
    cols = np.stack([1.0 + 0.25 * tint, 1.0 + 0.05 * np.abs(tint), 1.0 - 0.25 * tint], axis=-1)
    np.add.at(pts, (ys, xs), cols * mag[:, None])
    glow = blur(pts, size) * (2 * np.pi * size * size)
    halo = blur(pts, size * 4) * (2 * np.pi * size * size) * 0.6
    return np.clip((glow + halo) * brightness, 0.0, None)


def flare(h, w, cx, cy, radius, rgb, streak=4.0):
    """A bright point with a soft halo and a horizontal and vertical spike."""
    x, y = grid(h, w)
    dx, dy = (x - cx) / radius, (y - cy) / radius
    core = np.exp(-(dx * dx + dy * dy) * 4.0)
    halo = 1.0 / (1.0 + (dx * dx + dy * dy) * 6.0) * 0.35
    spikes = (np.exp(-np.abs(dy) * 18.0) * np.exp(-np.abs(dx) / streak)
              + np.exp(-np.abs(dx) * 18.0) * np.exp(-np.abs(dy) / 1.5)) * 0.5
    return colour(core + halo + spikes, rgb)


def segment_glow(h, w, x0, y0, x1, y1, width, fade_tail=True):
    """Intensity of a glowing segment from tail (x0, y0) to head (x1, y1)."""
    x, y = grid(h, w)
    vx, vy = x1 - x0, y1 - y0
    length2 = vx * vx + vy * vy
    t = np.clip(((x - x0) * vx + (y - y0) * vy) / length2, 0.0, 1.0)
    px, py = x0 + t * vx - x, y0 + t * vy - y
    d2 = px * px + py * py
    along = t ** 2 if fade_tail else 1.0
    return np.exp(-d2 / (width * width)) * along


def text_mask(text, font_path, size, w, h, cx=None, cy=None, supersample=4, stroke=0):
    """Coverage (0..1) of text rendered with a DejaVu font, centred at (cx, cy) in a w x h image."""
    s = supersample
    img = Image.new("L", (w * s, h * s), 0)
    draw = ImageDraw.Draw(img)
    font = ImageFont.truetype(font_path, size * s)
    cx = w / 2 if cx is None else cx
    cy = h / 2 if cy is None else cy
    draw.text((cx * s, cy * s), text, fill=255, font=font, anchor="mm", stroke_width=stroke * s,
              stroke_fill=255)
    small = img.resize((w, h), Image.BOX)
    return np.asarray(small, dtype=np.float64) / 255.0


def screen(*layers):
    """Screen blend of RGB float images in 0..1."""
    out = np.zeros_like(layers[0])
    for l in layers:
        out = 1.0 - (1.0 - out) * (1.0 - np.clip(l, 0.0, 1.0))
    return out


def tone(img, exposure=1.0):
    """Soft exposure curve that keeps highlights from clipping hard."""
    return 1.0 - np.exp(-np.clip(img, 0.0, None) * exposure)


def fullscreen(img640x480, size=512):
    """A 4:3 picture stored on a square texture; the screen stretches it back to 4:3."""
    return resize(img640x480, size, size)
