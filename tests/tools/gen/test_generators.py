# Tests of the scene generators: the MDL writer's bytes, the geometry's winding and the scenes' rules.
# Run: PYTHONPATH=tools/gen /usr/bin/python3 -m unittest discover -s tests/tools/gen
import math
import struct
import unittest

import numpy as np

import check
import geometry as G
import mdl as M
import scenes


def tiny_scene():
    sc = M.Scene(100)
    sc.cameras.append(M.Camera("Camera01", (0, 0, -10), (0, 0, 0)))
    sc.tracks.append(M.Track("Camera01", positions=[(0, (0, 0, -10)), (100, (0, 0, -12))]))
    sc.tracks.append(M.Track("Camera01.Target", positions=[(0, (0, 0, 0)), (100, (0, 0, 0))]))
    sc.lights.append(M.Light('Lamp.halo.m"halo.jpg"', (1, 2, 3)))
    box = G.box((2, 2, 2))
    sc.meshes.append(scenes.to_mesh("Box", "Wood", box, children=["Lid"]))
    sc.materials.append(M.Material("Wood", ["wood.jpg", "wood_alpha.jpg"]))
    sc.tracks.append(M.Track("Box", rotations=[(0, (0, 0, 1), 0.0, 0.0, 0.0), (57, (0, 0, 1), math.pi / 2, 0.0, 0.0)]))
    return sc


class MdlWriterTest(unittest.TestCase):
    def test_header_holds_magic_version_and_counts_in_file_order(self):
        raw = tiny_scene().to_bytes()
        self.assertEqual(raw[:5], b"MDL\x00\x03")
        # meshes, materials, tracks, frames, cameras, lights, markers
        self.assertEqual(struct.unpack_from("<7I", raw, 5), (1, 1, 3, 100, 1, 1, 0))

    def test_reader_walks_every_record_to_the_last_byte(self):
        info = check.read_mdl(tiny_scene().to_bytes())
        self.assertEqual(info["triangles"], 12)
        self.assertEqual(info["meshes"], ["Box"])
        self.assertEqual(info["textures"], {"wood.jpg", "wood_alpha.jpg"})
        self.assertEqual(info["cameras"], ["Camera01"])
        self.assertIn("camera01.target", info["tracks"])

    def test_truncated_or_padded_files_are_rejected(self):
        raw = tiny_scene().to_bytes()
        for bad in (raw[:-1], raw + b"\x00", raw[:40]):
            with self.assertRaises(ValueError):
                check.read_mdl(bad)

    def test_rotation_axis_is_stored_with_its_second_and_third_components_swapped(self):
        track = M.Track("T", rotations=[(0, (0.0, 1.0, 0.0), 0.5, 25.0, 25.0)])
        raw = track.pack()
        frame, ax, ay, az, angle, e1, e2 = struct.unpack_from("<i6f", raw, 2 + 20)
        self.assertEqual((frame, ax, ay, az), (0, 0.0, 0.0, 1.0))
        self.assertAlmostEqual(angle, 0.5, places=6)
        self.assertEqual((e1, e2), (25.0, 25.0))

    def test_bad_input_is_refused_before_it_is_written(self):
        with self.assertRaises(ValueError):
            M.Track("T", positions=[(10, (0, 0, 0)), (0, (0, 0, 0))])
        with self.assertRaises(ValueError):
            M.pstring("x" * 256)
        box = G.box((1, 1, 1))
        with self.assertRaises(ValueError):
            M.Mesh("Bad", "", box.p, box.n, box.uv, box.c, [[0, 1, len(box.p)]])
        with self.assertRaises(ValueError):
            M.Mesh("Short", "", box.p, box.n[:-1], box.uv, box.c, box.f)

    def test_vertex_colours_pack_as_rgb_with_blue_in_the_low_byte(self):
        self.assertEqual(M.colour32((1.0, 0.5, 0.0)), 0xFF8000)
        self.assertEqual(M.colour32((2.0, -1.0, 1.0)), 0xFF00FF)


class GeometryTest(unittest.TestCase):
    def assertFacesFront(self, part):
        a, b, c = (part.p[part.f[:, k]] for k in range(3))
        cross = np.cross(b - a, c - a)
        normal = part.n[part.f].sum(axis=1)
        dots = np.einsum("ij,ij->i", cross, normal)
        real = np.linalg.norm(cross, axis=1) > 1e-9
        self.assertTrue(np.all(dots[real] * G.FRONT_SIGN > 0))

    def test_every_primitive_is_wound_to_face_the_way_its_normals_point(self):
        for part in (G.sphere(3.0), G.box((1, 2, 3)), G.torus(5, 1), G.cylinder(1, 4),
                     G.dome(10, inside=True), G.heightfield(10, 10, 4, 4, lambda x, z: x * 0.1 + z * z * 0.01),
                     G.rod((0, 0, 0), (3, 4, 5), 0.5), G.quad([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)])):
            self.assertFacesFront(part)

    def test_a_mirror_image_stays_wound_to_face_outwards(self):
        self.assertFacesFront(G.sphere(2.0).moved((0, 5, 0)).mirrored_y(1.0))
        mirrored = G.box((1, 1, 1), (0, 3, 0)).mirrored_y(1.0)
        self.assertAlmostEqual(mirrored.p[:, 1].max(), -0.5)

    def test_aligned_turns_up_onto_any_direction(self):
        for d in ((1, 0, 0), (0, -1, 0), (0.3, 0.4, -0.5), (0, 1, 0)):
            part = G.aligned(G.Part(np.array([[0.0, 1.0, 0.0]]), np.array([[0.0, 1.0, 0.0]])), d)
            expected = np.asarray(d, dtype=float) / np.linalg.norm(d)
            np.testing.assert_allclose(part.p[0], expected, atol=1e-9)

    def test_baked_colours_stay_within_0_and_1(self):
        part = G.bake(G.sphere(1.0), (1.0, 1.0, 1.0), sun_rgb=(3, 3, 3))
        self.assertGreaterEqual(part.c.min(), 0.0)
        self.assertLessEqual(part.c.max(), 1.0)
        self.assertGreater(part.c[:, 0].max() - part.c[:, 0].min(), 0.5)  # lit and shaded sides differ


class MirrorTest(unittest.TestCase):
    def test_a_reflected_turn_is_the_reflection_of_the_turn(self):
        # Turning the reflected point with the reflected key must land on the reflection of the
        # turned point, whatever the axis.
        flip, p = np.diag([1.0, -1.0, 1.0]), np.array([0.3, -1.2, 2.0])
        for axis in ((0, 1, 0), (1, 0, 0), (0, 0, 1), (0.3, -0.8, 0.5)):
            sc = M.Scene(10)
            sc.tracks.append(M.Track("T", rotations=[(0, axis, 0.7, 25.0, 25.0)]))
            _, mirrored_axis, angle, e1, e2 = M.mirrored_top_to_bottom(sc).tracks[0].rotations[0]
            self.assertEqual((angle, e1, e2), (0.7, 25.0, 25.0))
            np.testing.assert_allclose((p @ flip) @ G.rotation(mirrored_axis, angle),
                                       (p @ G.rotation(axis, 0.7)) @ flip, atol=1e-12)

    def test_reflecting_twice_gives_back_every_record(self):
        sc = tiny_scene()
        sc.markers.append(M.Marker("Spot", 7, (1.0, 2.0, 3.0)))
        sc.tracks[0].rolls = [(0, 0.25), (100, -0.5)]
        for scene in (sc, scenes.station()):
            self.assertEqual(M.mirrored_top_to_bottom(M.mirrored_top_to_bottom(scene)).to_bytes(), scene.to_bytes())


class ScenesTest(unittest.TestCase):
    def test_scenes_are_the_same_bytes_every_time(self):
        for name, build in scenes.SCENES.items():
            self.assertEqual(build().to_bytes(), build().to_bytes(), name)

    def test_morph_targets_share_the_source_topology_and_pivot(self):
        sc = scenes.station()
        morphs = [m for m in sc.meshes if m.name.startswith("Core.")]
        self.assertEqual(len(morphs), 5)
        for m in morphs[1:]:
            self.assertEqual(len(m.positions), len(morphs[0].positions))
            self.assertEqual(m.pivot, morphs[0].pivot)
            np.testing.assert_array_equal(m.faces, morphs[0].faces)
        # Only one mesh name holds the morph prefix besides the sequence itself.
        self.assertFalse([m for m in sc.meshes if "Core" in m.name and not m.name.startswith("Core.Morph")])

    def test_children_turn_about_their_parents_pivot(self):
        for sc in (scenes.observatory(), scenes.station()):
            by_name = {m.name: m for m in sc.meshes}
            parents = [m for m in sc.meshes if m.children]
            self.assertTrue(parents)
            for parent in parents:
                for child in parent.children:
                    self.assertEqual(by_name[child].pivot, parent.pivot, child)

    def test_the_meteor_strikes_three_bars_into_its_shot(self):
        sc = scenes.crater()
        track = next(t for t in sc.tracks if t.name == "Meteor.NoDynaLight")
        rest = track.positions[-1][1]
        landed = [f for f, p in track.positions if np.allclose(p, rest)]
        self.assertEqual(landed[0], 190)  # 5.76 s: bar 11 of the soundtrack when the shot opens on bar 8


if __name__ == "__main__":
    unittest.main()
