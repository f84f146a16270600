# Tests of the production's own pictures and script placements: what the player's layers need
# of them to read on screen.
# Run: PYTHONPATH=tools/gen /usr/bin/python3 -m unittest discover -s tests/tools/gen
import unittest

import numpy as np

import images
import script
import tempo as T
import textures


def drawn_ring(params):
    """The squares a ring layer draws, with the layer's own arithmetic: the quad's corners (+-1)
    are scaled by XScale/YScale and offset once at Init, then each copy k (1..NBCercles) is the
    stored quad times the horizontal step, plus the offset, plus k steps."""
    p = dict(params)
    n, xs, ys, xo, yo = p["NBCercles"], p["XScale"], p["YScale"], p["XOffset"], p["YOffset"]
    h = max(1, n // 2)
    sx, sy = xs / h * 0.5, ys / h * 0.5
    copies = []
    for k in range(1, n + 1):
        xs_ = [(c * xs + xo) * sx + xo + k * sx for c in (-1.0, 1.0)]
        ys_ = [(c * ys + yo) * sx + yo + k * sy for c in (-1.0, 1.0)]
        copies.append(((xs_[0] + xs_[1]) / 2, (ys_[0] + ys_[1]) / 2, (xs_[1] - xs_[0]) / 2, (ys_[1] - ys_[0]) / 2))
    return copies


class RingTest(unittest.TestCase):
    def test_a_ring_is_one_round_copy_of_the_asked_radius_at_the_asked_centre(self):
        # (radius, centre x, centre y): the drawn square must be radius across each way from the centre.
        for radius, cx, cy in ((0.5, 0.0, 0.0), (2.0, 0.3, -0.4), (0.25, -0.1, -0.2), (1.15, 1.0, 0.5)):
            with self.subTest(radius=radius, cx=cx, cy=cy):
                layer = script.ring(1.0, radius, cx, cy)
                copies = drawn_ring(layer.params)
                self.assertEqual(len(copies), 1)
                x, y, half_w, half_h = copies[0]
                self.assertAlmostEqual(x, cx, places=9)
                self.assertAlmostEqual(y, cy, places=9)
                self.assertAlmostEqual(half_w, radius, places=9)
                self.assertAlmostEqual(half_h, radius, places=9)

    def test_a_ripple_grows_from_one_centre_one_ring_every_sixteenth(self):
        rings = script.ripple(10.0, (0.4, 0.8, 1.6), cx=0.2, cy=-0.1)
        starts = [dict(r.params)["StartTime"] for r in rings]
        np.testing.assert_allclose(starts, [10.0, 10.12, 10.24])
        drawn = [drawn_ring(r.params)[0] for r in rings]
        for x, y, _, _ in drawn:
            self.assertAlmostEqual(x, 0.2, places=9)
            self.assertAlmostEqual(y, -0.1, places=9)
        self.assertEqual([round(d[2], 9) for d in drawn], [0.4, 0.8, 1.6])

    def test_the_production_draws_no_chain_of_rings(self):
        for layer in script.production():
            if layer.kind == "CerclesLayer":
                self.assertEqual(dict(layer.params)["NBCercles"], 1, layer.start)


class WaterTest(unittest.TestCase):
    def test_each_word_lies_on_the_grid_inside_a_margin_and_presses_in_firmly(self):
        for word in images.WATER_WORDS:
            with self.subTest(word=word):
                m = images.water_word(word)
                self.assertEqual(m.shape, (64, 64))  # one value per grid point, nothing skipped
                self.assertGreaterEqual(m.min(), 0.0)
                self.assertGreater(m.max(), 0.7)
                # The water's rim lies off screen: the lettering keeps clear of it.
                self.assertLess(m[:, :3].max(), 0.02)
                self.assertLess(m[:, -3:].max(), 0.02)
                self.assertLess(m[:16].max(), 0.02)
                self.assertLess(m[-16:].max(), 0.02)

    def test_the_reflected_sky_wraps_without_a_seam_and_brightens_towards_one_corner(self):
        env = images.water_env()
        self.assertLess(np.abs(env[:, 0] - env[:, -1]).max(), 0.05)
        self.assertLess(np.abs(env[0] - env[-1]).max(), 0.05)
        self.assertGreater(env[:64, :64].mean() - env[-64:, -64:].mean(), 0.2)

    def test_every_word_is_pressed_in_before_the_water_ends_and_the_section_keeps_its_bars(self):
        water = next(l for l in script.production() if l.kind == "WaterText")
        p = dict(water.params)
        start, life, every = p["StartTime"], p["LifeTime"], p["UpdateInterval"]
        words = p["TextMapList"].split(", ")
        # Presses come just after 0, every, 2 every ...: the last word needs (n - 1) intervals.
        self.assertLess((len(words) - 1) * every + 1.0, life)
        first, count = T.section("Breakdown")
        self.assertAlmostEqual(start, T.bar(first))
        self.assertLessEqual(start + life, T.bar(first + count - 2))


class SpriteTest(unittest.TestCase):
    def test_a_dot_is_solid_white_to_near_its_rim_and_clear_in_the_corners(self):
        col, alpha = textures.dot()
        np.testing.assert_array_equal(col, 1.0)
        d = textures.radial(alpha.shape[0], 1.0)
        self.assertGreaterEqual(alpha[d < 0.8].min(), 0.99)
        self.assertEqual(alpha[d > 0.95].max(), 0.0)

    def test_a_smoke_puff_fades_out_before_the_edges_of_its_square(self):
        _, alpha = textures.smoke()
        border = np.concatenate([alpha[0], alpha[-1], alpha[:, 0], alpha[:, -1]])
        self.assertEqual(border.max(), 0.0)
        d = textures.radial(alpha.shape[0], 1.0)
        self.assertEqual(alpha[d > 0.87].max(), 0.0)
        self.assertGreater(alpha.max(), 0.5)


if __name__ == "__main__":
    unittest.main()
