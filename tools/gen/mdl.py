# Writer of the engine's MDL scene files: a fixed header, then cameras, lights, meshes, markers,
# materials and tracks, little-endian and unpadded, every count given up front in the header.
import math
import struct

import numpy as np

CAMERA_KEY_EXTRA = 25.0  # the two spare values every camera rotation key carries


def pstring(text):
    raw = text.encode("ascii")
    if len(raw) > 255:
        raise ValueError("name longer than 255 bytes: %s" % text)
    return struct.pack("<B", len(raw)) + raw


def vec3(v):
    return struct.pack("<3f", *(float(c) for c in v))


def colour32(rgb):
    """0x00RRGGBB from 0..1 floats."""
    r, g, b = (int(round(min(max(c, 0.0), 1.0) * 255.0)) for c in rgb)
    return (r << 16) | (g << 8) | b


class Camera:
    def __init__(self, name, position, target, fov=math.pi / 4, roll=0.0):
        self.name, self.position, self.target, self.fov, self.roll = name, position, target, fov, roll

    def pack(self):
        return pstring(self.name) + vec3(self.position) + vec3(self.target) + struct.pack("<2f", self.fov, self.roll)


class Light:
    def __init__(self, name, position, colour=(1.0, 1.0, 1.0), range_value=1.0):
        self.name, self.position, self.colour, self.range_value = name, position, colour, range_value

    def pack(self):
        return pstring(self.name) + vec3(self.position) + vec3(self.colour) + struct.pack("<f", self.range_value)


class Mesh:
    """Positions are absolute (scene axes); the writer stores them as read and the reader makes them
    relative to the pivot. Faces are index triples; colours are 0..1 RGB per vertex."""

    def __init__(self, name, material, positions, normals, uvs, colours, faces, pivot=(0.0, 0.0, 0.0),
                 children=()):
        self.name, self.material = name, material
        self.positions = np.asarray(positions, dtype=np.float32).reshape(-1, 3)
        self.normals = np.asarray(normals, dtype=np.float32).reshape(-1, 3)
        self.uvs = np.asarray(uvs, dtype=np.float32).reshape(-1, 2)
        self.colours = np.asarray(colours, dtype=np.float64).reshape(-1, 3)
        self.faces = np.asarray(faces, dtype=np.uint32).reshape(-1, 3)
        self.pivot, self.children = tuple(pivot), list(children)
        n = len(self.positions)
        if not (len(self.normals) == len(self.uvs) == len(self.colours) == n):
            raise ValueError("%s: vertex arrays differ in length" % name)
        if n > 65536:
            raise ValueError("%s: %d vertices, more than 16-bit indices reach" % (name, n))
        if len(self.faces) and int(self.faces.max()) >= n:
            raise ValueError("%s: face index beyond the vertex count" % name)

    def face_normals(self):
        p = self.positions.astype(np.float64)
        a, b, c = p[self.faces[:, 0]], p[self.faces[:, 1]], p[self.faces[:, 2]]
        n = np.cross(b - a, c - a)
        length = np.linalg.norm(n, axis=1, keepdims=True)
        return (n / np.where(length > 0, length, 1.0)).astype(np.float32)

    def pack(self):
        out = [pstring(self.name), pstring(self.material),
               struct.pack("<II", len(self.positions), len(self.faces))]
        out.append(np.hstack([self.positions, self.normals]).astype("<f4").tobytes())
        faces = np.zeros(len(self.faces), dtype=[("i", "<u4", 3), ("n", "<f4", 3)])
        faces["i"] = self.faces
        faces["n"] = self.face_normals()
        out.append(faces.tobytes())
        attrs = np.zeros(len(self.positions), dtype=[("uv", "<f4", 2), ("c", "<u4")])
        attrs["uv"] = self.uvs
        rgb = np.clip(np.rint(self.colours * 255.0), 0, 255).astype(np.uint32)
        attrs["c"] = (rgb[:, 0] << 16) | (rgb[:, 1] << 8) | rgb[:, 2]
        out.append(attrs.tobytes())
        out.append(vec3(self.pivot))
        out.append(struct.pack("<I", len(self.children)))
        out.extend(pstring(c) for c in self.children)
        return b"".join(out)


class Marker:
    def __init__(self, name, value, position):
        self.name, self.value, self.position = name, value, position

    def pack(self):
        return pstring(self.name) + struct.pack("<I", self.value) + vec3(self.position)


class Material:
    """textures: file names in order; a name containing "alpha" is the alpha map of the one before."""

    def __init__(self, name, textures, colours=((1, 1, 1), (1, 1, 1), (0, 0, 0)), mode=2):
        self.name, self.textures, self.colours, self.mode = name, list(textures), colours, mode

    def pack(self):
        out = [pstring(self.name), struct.pack("<I", len(self.textures))]
        out.extend(pstring(t) for t in self.textures)
        out.extend(vec3(c) for c in self.colours)
        out.append(struct.pack("<BI", 0, self.mode))
        return b"".join(out)


class Track:
    """Keys as lists: positions (frame, (x, y, z)), rolls and fovs (frame, value), rotations
    (frame, axis, angle, e1, e2) each relative to the previous key, scales (frame, (x, y, z)).
    Rotation axes are given in the engine's axes (y up); the file keeps the exporter's order, with the
    second and third components swapped, and the reader swaps them back."""

    def __init__(self, name, positions=(), rolls=(), fovs=(), rotations=(), scales=()):
        self.name = name
        self.positions, self.rolls, self.fovs = list(positions), list(rolls), list(fovs)
        self.rotations, self.scales = list(rotations), list(scales)
        for keys in (self.positions, self.rolls, self.fovs, self.rotations, self.scales):
            frames = [k[0] for k in keys]
            if frames != sorted(frames) or len(set(frames)) != len(frames):
                raise ValueError("%s: keys must be in ascending frame order" % name)

    def pack(self):
        out = [pstring(self.name), struct.pack("<5I", len(self.positions), len(self.rolls), len(self.fovs),
                                               len(self.rotations), len(self.scales))]
        out.extend(struct.pack("<i3f", int(f), *map(float, p)) for f, p in self.positions)
        out.extend(struct.pack("<if", int(f), float(v)) for f, v in self.rolls)
        out.extend(struct.pack("<if", int(f), float(v)) for f, v in self.fovs)
        for f, axis, angle, e1, e2 in self.rotations:
            ax = np.asarray(axis, dtype=np.float64)
            ax = ax / np.linalg.norm(ax)
            out.append(struct.pack("<i6f", int(f), ax[0], ax[2], ax[1], float(angle), e1, e2))
        out.extend(struct.pack("<i3f", int(f), *map(float, p)) for f, p in self.scales)
        return b"".join(out)


class Scene:
    def __init__(self, frames):
        self.frames = frames
        self.cameras, self.lights, self.meshes = [], [], []
        self.markers, self.materials, self.tracks = [], [], []

    def triangles(self):
        return sum(len(m.faces) for m in self.meshes)

    def to_bytes(self):
        head = b"MDL" + struct.pack("<BB", 0, 3)
        head += struct.pack("<7I", len(self.meshes), len(self.materials), len(self.tracks), self.frames,
                            len(self.cameras), len(self.lights), len(self.markers))
        body = [head]
        for group in (self.cameras, self.lights, self.meshes, self.markers, self.materials, self.tracks):
            body.extend(item.pack() for item in group)
        return b"".join(body)

    def write(self, path):
        with open(path, "wb") as f:
            f.write(self.to_bytes())


def mirrored_top_to_bottom(scene):
    """The scene reflected in the plane y = 0, animation included: played through a view that turns
    its picture upside down, it shows the original scene upright and the right way round."""
    flip = np.array([1.0, -1.0, 1.0])

    def point(p):
        return tuple(float(c) for c in np.asarray(p, dtype=np.float64) * flip)

    out = Scene(scene.frames)
    out.markers = [Marker(m.name, m.value, point(m.position)) for m in scene.markers]
    out.materials = list(scene.materials)
    out.cameras = [Camera(c.name, point(c.position), point(c.target), c.fov, -c.roll) for c in scene.cameras]
    out.lights = [Light(l.name, point(l.position), l.colour, l.range_value) for l in scene.lights]
    for m in scene.meshes:
        # A reflection turns the winding inside out; reversing each face keeps its front outwards.
        out.meshes.append(Mesh(m.name, m.material, m.positions * flip, m.normals * flip, m.uvs, m.colours,
                               m.faces[:, ::-1], point(m.pivot), m.children))
    for t in scene.tracks:
        # Rotation axes are pseudo-vectors: reflected in y they keep their y and change the sign of x
        # and z, with the angle unchanged, so every turn is the mirror image of the original one.
        out.tracks.append(Track(t.name, positions=[(f, point(p)) for f, p in t.positions],
                                rolls=[(f, -v) for f, v in t.rolls], fovs=list(t.fovs),
                                rotations=[(f, tuple(-np.asarray(a, dtype=np.float64) * flip), angle, e1, e2)
                                           for f, a, angle, e1, e2 in t.rotations],
                                scales=list(t.scales)))
    return out
