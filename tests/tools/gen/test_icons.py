# Tests of the desktop icons painted from the logo: every hicolor size, square, with round
# transparent corners around an opaque picture.
# Run: PYTHONPATH=tools/gen /usr/bin/python3 -m unittest discover -s tests/tools/gen
import tempfile
import os
import unittest

import numpy as np
from PIL import Image

import icons


class IconsTest(unittest.TestCase):
    def test_every_size_is_square_rgba_with_clear_corners_and_a_bright_opaque_letter(self):
        with tempfile.TemporaryDirectory() as d:
            icons.main(d)
            self.assertEqual(sorted(os.listdir(d)), sorted("starfall-%d.png" % s for s in icons.SIZES))
            for size in icons.SIZES:
                img = Image.open(os.path.join(d, "starfall-%d.png" % size))
                self.assertEqual(img.size, (size, size))
                self.assertEqual(img.mode, "RGBA")
                a = np.asarray(img)
                self.assertLess(a[0, 0, 3], 40, size)        # rounded corner
                self.assertEqual(a[size // 2, size // 2, 3], 255)
                # The lettering is brighter than the sky around it.
                centre = a[size // 4: 3 * size // 4, size // 4: 3 * size // 4, :3].mean()
                edge = a[size // 2, 1:size // 8 + 1, :3].mean()
                self.assertGreater(centre, edge + 20, size)

    def test_rounded_square_is_full_inside_and_empty_beyond_the_corner(self):
        m = icons.rounded_square(64, 12)
        self.assertEqual(m[32, 32], 1.0)
        self.assertEqual(m[0, 32], 1.0)
        self.assertEqual(m[0, 0], 0.0)
        self.assertTrue(np.all((m >= 0) & (m <= 1)))


if __name__ == "__main__":
    unittest.main()
