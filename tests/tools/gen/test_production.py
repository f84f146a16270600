# Tests of the production's water pictures, ring placements, fireflies and glow shot: what the
# player's layers need of them to read on screen.
# Run: PYTHONPATH=tools/gen /usr/bin/python3 -m unittest discover -s tests/tools/gen
import math
import os
import unittest

import numpy as np
from PIL import Image

import images
import scenes
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


DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "data")


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

    def test_fireflies_stay_over_the_pond_for_the_whole_shot(self):
        # A fly drifts 4 units a second along a heading of components in -1..1 and rises 4 more:
        # at most 4 t sqrt(1 + 2^2 + 1) = 9.8 t from its object after t seconds. Each swarm must
        # die before that leaves the pond, and the swarms, one after another, fill the shot.
        (shot,) = [l for l in script.production() if l.name == "Observatory"]
        p = dict(shot.params)
        swarms = sorted((dict(m.params) for m in shot.children if m.kind == "Flies"), key=lambda m: m["StartTime"])
        self.assertGreater(len(swarms), 1)
        self.assertEqual(swarms[0]["StartTime"], p["StartTime"])
        covered = swarms[0]["StartTime"]
        for m in swarms:
            with self.subTest(start=m["StartTime"]):
                self.assertGreater(m.get("LifeTime", -1.0), 0.0)
                self.assertLessEqual(4.0 * m["LifeTime"] * math.sqrt(6.0), scenes.POND_R)
                self.assertLessEqual(m["StartTime"], covered)  # no gap without flies
            covered = max(covered, m["StartTime"] + m.get("LifeTime", 0.0))
        self.assertGreaterEqual(covered, p["StartTime"] + p["LifeTime"])

    def test_glow_shot_camera_sees_sunlit_planet_in_every_corner(self):
        # The glow takes the colour of its scene's picture at the corners; the glow shot plays
        # the station's first camera, which no scene player of the script asks for by name.
        sc = scenes.station()
        first = sc.cameras[0].name
        named = {dict(l.params).get("CurrentCamera") for l in script.production()}
        self.assertNotIn(first, named)
        tracks = {t.name: dict(t.positions) for t in sc.tracks}
        world = next(m for m in sc.meshes if m.name == "World")
        centre = world.positions.mean(axis=0)
        radius = np.linalg.norm(world.positions - centre, axis=1).max()
        for frame in (0, 190, 380):  # the shot lasts six bars: 11.5 s at 33 frames a second
            eye = np.array(tracks[first][frame])
            forward = np.array(tracks[first + ".Target"][frame]) - eye
            forward /= np.linalg.norm(forward)
            right = np.cross((0.0, 1.0, 0.0), forward)
            right /= np.linalg.norm(right)
            up = np.cross(forward, right)
            half = math.tan(sc.cameras[0].fov / 2)  # the field of view is the picture's height
            for sx, sy in ((-1, -1), (-1, 1), (1, -1), (1, 1)):
                with self.subTest(frame=frame, corner=(sx, sy)):
                    ray = forward + sx * half * 4 / 3 * right + sy * half * up
                    ray /= np.linalg.norm(ray)
                    b = (eye - centre) @ ray
                    disc = b * b - ((eye - centre) @ (eye - centre) - radius * radius)
                    self.assertGreater(disc, 0.0, "the corner looks past the planet")
                    hit = eye + (-b - math.sqrt(disc)) * ray
                    nearest = np.argmin(np.linalg.norm(world.positions - hit, axis=1))
                    self.assertGreater(world.colours[nearest].mean(), 0.3, "the corner sees the night side")

    def test_glow_alpha_is_clear_over_the_subject_and_a_halo_at_the_screens_edge(self):
        # The quad is 7.5 units high and 10 wide, seen from 6.5 units through a quarter turn:
        # the screen shows 6.5 / 7.5 of it each way from the middle. Read as shipped, JPEG and all.
        (glow,) = [l for l in script.production() if l.kind == "FocalMDL"]
        with Image.open(os.path.join(DATA, dict(glow.params)["AlphaMap"])) as image:
            a = np.asarray(image.convert("L"), dtype=np.float64) / 255.0
        s = a.shape[0]
        seen = 6.5 / 7.5 * s / 2

        def at(fx, fy):  # fx, fy: -1..1 across the screen
            return a[int(round((s - 1) / 2 + fy * seen)), int(round((s - 1) / 2 + fx * seen))]
        for fx, fy in ((0, 0), (0.3, 0.2), (-0.5, 0.0), (0.0, -0.5)):
            self.assertLess(at(fx, fy), 0.02, (fx, fy))
        for fx, fy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            self.assertGreater(at(fx, fy), 0.3, (fx, fy))
        self.assertLess(a.max(), 0.9)  # the picture always shows through
        row = a[s // 2, s // 2:]
        self.assertTrue(np.all(np.diff(row) > -0.02))  # thickening outwards, no ring


if __name__ == "__main__":
    unittest.main()
