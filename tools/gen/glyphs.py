# Draws the production's lettering assets: the red-marker bitmap font sheet and the 16 x 16 cell
# glyph images (sharp and blurred, each with its alpha image) that text layers cut glyphs from.
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

import paint as P
from imageio import save, to_u8

FIRST, LAST = 33, 126  # "!" .. "~"
MARKER = (255, 0, 0)


def glyph_coverage(font, ch, width, height, ascent):
    img = Image.new("L", (width, height), 0)
    ImageDraw.Draw(img).text((0, ascent), ch, fill=255, font=font, anchor="ls")
    return np.asarray(img, dtype=np.uint8)


def font_sheet(font_path=P.SANS_BOLD, size=13):
    """Glyphs of codes 33..126 in six rows of 16 (the last of 14), each closed by a red marker
    pixel on its row's top line; a red pixel in column 0 just below the first row gives the height.
    Black is transparent; the tilde's slot is blank because it also serves as the space."""
    font = ImageFont.truetype(font_path, size)
    ascent, descent = font.getmetrics()
    h = ascent + descent
    widths = []
    for c in range(FIRST, LAST + 1):
        ch = " " if c == LAST else chr(c)
        widths.append(max(1, int(np.ceil(font.getlength(ch)))))
    rows = [list(range(i, min(i + 16, LAST - FIRST + 1))) for i in range(0, LAST - FIRST + 1, 16)]
    sheet_w = max(sum(widths[k] + 1 for k in row) for row in rows)
    sheet = np.zeros(((h + 1) * len(rows), sheet_w, 3), dtype=np.uint8)
    for r, row in enumerate(rows):
        top = r * (h + 1)
        x = 0
        for k in row:
            w = widths[k]
            if FIRST + k != LAST:
                cov = glyph_coverage(font, chr(FIRST + k), w, h, ascent)
                # Grey ramps keep the edges smooth; no glyph pixel can equal the pure-red marker.
                sheet[top:top + h, x:x + w, :] = cov[:, :, None]
            sheet[top, x + w] = MARKER
            x += w + 1
    sheet[h, 0] = MARKER
    return sheet, h, widths


def glyph_cells(font_path=P.MONO_BOLD, size=26, cell=32, per_row=16):
    """Coverage of the 512 x 512 glyph image: cell (g mod 16, g div 16) holds code 33 + g,
    centred, on a common baseline."""
    font = ImageFont.truetype(font_path, size)
    img = Image.new("L", (cell * per_row, cell * per_row), 0)
    draw = ImageDraw.Draw(img)
    for c in range(FIRST, LAST + 1):
        g = c - FIRST
        x0, y0 = (g % per_row) * cell, (g // per_row) * cell
        draw.text((x0 + cell / 2, y0 + 24), chr(c), fill=255, font=font, anchor="ms")
    return np.asarray(img, dtype=np.float64) / 255.0


def blur_cells(cov, sigma, cell=32):
    """Blurs each cell on its own so no glyph bleeds into its neighbour's rectangle."""
    out = np.zeros_like(cov)
    n = cov.shape[0] // cell
    for gy in range(n):
        for gx in range(n):
            c = cov[gy * cell:(gy + 1) * cell, gx * cell:(gx + 1) * cell]
            if c.max() == 0:
                continue
            padded = np.pad(c, 12)
            b = P.blur(padded, sigma)[12:12 + cell, 12:12 + cell]
            out[gy * cell:(gy + 1) * cell, gx * cell:(gx + 1) * cell] = b
    return out


def cell_gradient(top, bottom, size=512, cell=32):
    ramp = np.linspace(0.0, 1.0, cell)
    col = np.array(top)[None, :] * (1 - ramp[:, None]) + np.array(bottom)[None, :] * ramp[:, None]
    return np.tile(col[:, None, :], (size // cell, size, 1))


def main(d):
    sheet, _, _ = font_sheet()
    save(os.path.join(d, "font1.png"), sheet)
    cov = glyph_cells()
    # The colour images are black outside the glyphs as well, so additive drawing (which
    # ignores the alpha images) shows letters and not whole cells.
    sharp = cell_gradient((1.0, 1.0, 1.0), (0.72, 0.85, 1.0)) * cov[:, :, None]
    save(os.path.join(d, "glyphs.jpg"), to_u8(sharp), 92)
    save(os.path.join(d, "glyphs_a.png"), to_u8(cov))
    soft = np.clip(blur_cells(cov, 3.2) * 1.8, 0, 1)
    blurred = cell_gradient((0.6, 0.85, 1.0), (0.35, 0.5, 1.0)) * soft[:, :, None]
    save(os.path.join(d, "glyphs_blur.jpg"), to_u8(blurred), 92)
    save(os.path.join(d, "glyphs_blur_a.png"), to_u8(soft))


if __name__ == "__main__":
    main(sys.argv[1])
