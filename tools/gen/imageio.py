# Deterministic writers for the production's images: 8-bit RGB PNG and JPEG (colour or grey).
import io
import struct
import zlib

import numpy as np
from PIL import Image


def to_u8(img):
    """Float image in 0..1 (H x W or H x W x 3) to clipped, rounded bytes."""
    return np.clip(np.rint(np.asarray(img, dtype=np.float64) * 255.0), 0, 255).astype(np.uint8)


def _chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(rgb):
    """PNG, colour type 2 (RGB), 8 bits, no ancillary chunks: the only kind the loader reads."""
    rgb = np.asarray(rgb)
    if rgb.ndim == 2:
        rgb = np.stack([rgb] * 3, axis=-1)
    assert rgb.dtype == np.uint8 and rgb.shape[2] == 3
    h, w, _ = rgb.shape
    raw = b"".join(b"\x00" + rgb[y].tobytes() for y in range(h))
    header = struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
            + _chunk(b"IDAT", zlib.compress(raw, 9)) + _chunk(b"IEND", b""))


def jpeg_bytes(img, quality=88):
    """Baseline JPEG; a 2-D array gives a greyscale file, H x W x 3 a colour one."""
    img = np.asarray(img)
    assert img.dtype == np.uint8
    mode = "L" if img.ndim == 2 else "RGB"
    out = io.BytesIO()
    options = {"quality": quality, "optimize": False, "progressive": False}
    if mode == "RGB":
        options["subsampling"] = 0
    Image.fromarray(img, mode).save(out, format="JPEG", **options)
    return out.getvalue()


def save(path, img, quality=88):
    """Writes img (uint8) by the file's extension."""
    data = png_bytes(img) if path.lower().endswith(".png") else jpeg_bytes(img, quality)
    with open(path, "wb") as f:
        f.write(data)
