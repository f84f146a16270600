# Tests of the production's water pictures and ring placements: what the player's layers need of
# them to read on screen.
# Run: PYTHONPATH=tools/gen /usr/bin/python3 -m unittest discover -s tests/tools/gen
import unittest

import numpy as np

import images
import script


def drawn_ring(params):
    """Centre and half-sizes of each square a ring layer draws, with the layer's own arithmetic: the
    quad's corners (+-1) are scaled and offset once at Init, then copy k (1..NBCercles) is the stored
    quad times the horizontal step, plus the offset, plus k steps."""
    p = dict(params)
    n, xs, ys, xo, yo = p["NBCercles"], p["XScale"], p["YScale"], p["XOffset"], p["YOffset"]
    h = max(1, n // 2)
    sx, sy = xs / h * 0.5, ys / h * 0.5
    out = []
    for k in range(1, n + 1):
        x0, x1 = ((c * xs + xo) * sx + xo + k * sx for c in (-1.0, 1.0))
        y0, y1 = ((c * ys + yo) * sx + yo + k * sy for c in (-1.0, 1.0))
        out.append(((x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2))
    return out


class ProductionTest(unittest.TestCase):
    def test_a_ring_is_one_round_copy_of_the_asked_radius_at_the_asked_centre(self):
        for radius, cx, cy in ((0.5, 0.0, 0.0), (2.0, 0.3, -0.4), (0.25, -0.1, -0.2), (1.15, 1.0, 0.5)):
            with self.subTest(radius=radius, cx=cx, cy=cy):
                (drawn,) = drawn_ring(script.ring(1.0, radius, cx, cy).params)
                np.testing.assert_allclose(drawn, (cx, cy, radius, radius), atol=1e-9)
        for layer in script.production():
            if layer.kind == "CerclesLayer":
                self.assertEqual(dict(layer.params)["NBCercles"], 1, "a chain of rings at %.2f s" % layer.start)

    def test_water_words_keep_inside_the_grid_and_its_sky_wraps_without_a_seam(self):
        for word in images.WATER_WORDS:
            m = images.water_word(word)
            self.assertEqual(m.shape, (64, 64), word)  # one value per grid point, none skipped
            self.assertGreater(m.max(), 0.7, word)
            # The water's rim lies off screen: the lettering keeps clear of it.
            for edge in (m[:, :3], m[:, -3:], m[:16], m[-16:]):
                self.assertLess(edge.max(), 0.02, word)
        env = images.water_env()
        self.assertLess(max(np.abs(env[:, 0] - env[:, -1]).max(), np.abs(env[0] - env[-1]).max()), 0.05)
        self.assertGreater(env[:64, :64].mean() - env[-64:, -64:].mean(), 0.2)  # a slope's tilt shows


if __name__ == "__main__":
    unittest.main()
