# Mesh building blocks for the scenes: parametric surfaces (spheres, tubes, tori, terrain), boxes,
# transforms and baked vertex lighting, all as numpy arrays in the engine's axes (x right, y up, z ahead).
import math

import numpy as np

# The scenes cull clockwise triangles, so a face is seen from outside when its corners run
# counter-clockwise on screen: in these left-handed axes the cross product of its edges then
# points into the solid, against the outward normal.
FRONT_SIGN = -1.0


class Part:
    def __init__(self, positions=None, normals=None, uvs=None, faces=None, colours=None):
        self.p = np.zeros((0, 3)) if positions is None else np.asarray(positions, dtype=np.float64)
        self.n = np.zeros((0, 3)) if normals is None else np.asarray(normals, dtype=np.float64)
        self.uv = np.zeros((0, 2)) if uvs is None else np.asarray(uvs, dtype=np.float64)
        self.f = np.zeros((0, 3), dtype=np.int64) if faces is None else np.asarray(faces, dtype=np.int64)
        self.c = np.ones((len(self.p), 3)) if colours is None else np.asarray(colours, dtype=np.float64)

    def copy(self):
        return Part(self.p.copy(), self.n.copy(), self.uv.copy(), self.f.copy(), self.c.copy())

    def __add__(self, other):
        return Part(np.vstack([self.p, other.p]), np.vstack([self.n, other.n]), np.vstack([self.uv, other.uv]),
                    np.vstack([self.f, other.f + len(self.p)]), np.vstack([self.c, other.c]))

    def moved(self, offset):
        out = self.copy()
        out.p = out.p + np.asarray(offset, dtype=np.float64)
        return out

    def scaled(self, s):
        s = np.broadcast_to(np.asarray(s, dtype=np.float64), (3,))
        out = self.copy()
        out.p = out.p * s
        n = out.n / s
        out.n = n / np.maximum(np.linalg.norm(n, axis=1, keepdims=True), 1e-12)
        if np.prod(s) < 0:
            out.f = out.f[:, ::-1]
        return out

    def turned(self, axis, angle):
        m = rotation(axis, angle)
        out = self.copy()
        out.p, out.n = out.p @ m, out.n @ m
        return out

    def mirrored_y(self, height=0.0):
        """Mirror image below the plane y = height (for reflections in a glossy floor)."""
        out = self.scaled((1.0, -1.0, 1.0)).moved((0.0, 2.0 * height, 0.0))
        return out

    def tinted(self, rgb):
        out = self.copy()
        out.c = out.c * np.asarray(rgb, dtype=np.float64)
        return out

    def oriented(self):
        """Every face wound so that it faces the way its vertex normals point."""
        out = self.copy()
        a, b, c = (out.p[out.f[:, k]] for k in range(3))
        cross = np.cross(b - a, c - a)
        normal = out.n[out.f].sum(axis=1)
        flip = np.einsum("ij,ij->i", cross, normal) * FRONT_SIGN < 0
        out.f[flip] = out.f[flip][:, ::-1]
        return out


def combine(parts):
    out = Part()
    for part in parts:
        out = out + part
    return out


def rotation(axis, angle):
    """Row-vector rotation matrix (v @ m) about an axis through the origin."""
    x, y, z = np.asarray(axis, dtype=np.float64) / np.linalg.norm(axis)
    c, s = math.cos(angle), math.sin(angle)
    t = 1 - c
    return np.array([[t * x * x + c, t * x * y + s * z, t * x * z - s * y],
                     [t * x * y - s * z, t * y * y + c, t * y * z + s * x],
                     [t * x * z + s * y, t * y * z - s * x, t * z * z + c]])


def surface(nu, nv, fn, u_range=(0.0, 1.0), v_range=(0.0, 1.0), uv_scale=(1.0, 1.0)):
    """A grid of (nu + 1) x (nv + 1) vertices from fn(u, v) -> (positions, normals) on arrays."""
    u = np.linspace(u_range[0], u_range[1], nu + 1)
    v = np.linspace(v_range[0], v_range[1], nv + 1)
    uu, vv = np.meshgrid(u, v)
    pos, nrm = fn(uu, vv)
    pos = np.stack(pos, axis=-1).reshape(-1, 3)
    nrm = np.stack(nrm, axis=-1).reshape(-1, 3)
    nrm = nrm / np.maximum(np.linalg.norm(nrm, axis=1, keepdims=True), 1e-12)
    # Texture v runs from 0 down to -1, as the exporter writes it.
    uvs = np.stack([(uu - u_range[0]) / (u_range[1] - u_range[0]) * uv_scale[0],
                    -(vv - v_range[0]) / (v_range[1] - v_range[0]) * uv_scale[1]], axis=-1).reshape(-1, 2)
    idx = np.arange((nu + 1) * (nv + 1)).reshape(nv + 1, nu + 1)
    a, b, c, d = idx[:-1, :-1], idx[:-1, 1:], idx[1:, :-1], idx[1:, 1:]
    faces = np.concatenate([np.stack([a, b, d], -1).reshape(-1, 3), np.stack([a, d, c], -1).reshape(-1, 3)])
    return Part(pos, nrm, uvs, faces).oriented()


def sphere(r, seg=16, rings=10, uv_scale=(1.0, 1.0), squash=1.0):
    def fn(u, v):
        th, ph = u * 2 * np.pi, v * np.pi
        x, y, z = np.sin(ph) * np.cos(th), np.cos(ph), np.sin(ph) * np.sin(th)
        return (r * x, r * y * squash, r * z), (x, y / max(squash, 1e-6), z)
    return surface(seg, rings, fn, uv_scale=uv_scale)


def dome(r, seg=24, rings=8, inside=False, uv_scale=(1.0, 1.0)):
    """Upper half sphere, texture v from the horizon (image bottom) to the zenith (image top);
    inside=True faces its centre (a sky)."""
    k = -1.0 if inside else 1.0
    def fn(u, v):
        th, ph = u * 2 * np.pi, (1.0 - v) * np.pi * 0.5
        x, y, z = np.sin(ph) * np.cos(th), np.cos(ph), np.sin(ph) * np.sin(th)
        return (r * x, r * y, r * z), (k * x, k * y, k * z)
    return surface(seg, rings, fn, uv_scale=uv_scale)


def tube(r0, r1, h, seg=16, inside=False, uv_scale=(1.0, 1.0)):
    """Open cylinder or cone along y from 0 to h, radius r0 at the bottom and r1 at the top."""
    k = -1.0 if inside else 1.0
    slope = (r0 - r1) / h
    def fn(u, v):
        th = u * 2 * np.pi
        r = r0 + (r1 - r0) * v
        c, s = np.cos(th), np.sin(th)
        return (r * c, v * h, r * s), (k * c, k * slope * np.ones_like(v), k * s)
    return surface(seg, 1, fn, uv_scale=uv_scale)


def disc(r, seg=16, y=0.0, up=True, r_inner=0.0):
    def fn(u, v):
        th = u * 2 * np.pi
        rr = r_inner + (r - r_inner) * v
        one = np.ones_like(u)
        return (rr * np.cos(th), y * one, rr * np.sin(th)), (0 * one, (1.0 if up else -1.0) * one, 0 * one)
    part = surface(seg, 1, fn)
    part.uv = part.p[:, [0, 2]] / (2 * r) + [0.5, -0.5]
    return part


def cylinder(r, h, seg=16, caps=True, r_top=None):
    r_top = r if r_top is None else r_top
    part = tube(r, r_top, h, seg)
    if caps:
        part = part + disc(r, seg, 0.0, up=False) + disc(r_top, seg, h, up=True)
    return part


def torus(R, r, seg=32, sides=10, uv_scale=(4.0, 1.0)):
    """Ring in the x-z plane around the y axis."""
    def fn(u, v):
        th, ph = u * 2 * np.pi, v * 2 * np.pi
        cx, cz = np.cos(th), np.sin(th)
        nx, ny, nz = np.cos(ph) * cx, np.sin(ph), np.cos(ph) * cz
        return ((R + r * np.cos(ph)) * cx, r * ny, (R + r * np.cos(ph)) * cz), (nx, ny, nz)
    return surface(seg, sides, fn, uv_scale=uv_scale)


def box(size, centre=(0.0, 0.0, 0.0), uv_scale=1.0):
    sx, sy, sz = (s * 0.5 for s in size)
    faces = []
    for axis in range(3):
        for sign in (-1.0, 1.0):
            n = np.zeros(3)
            n[axis] = sign
            a, b = [i for i in range(3) if i != axis]
            half = np.array([sx, sy, sz])
            corners = []
            for du, dv in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
                p = np.zeros(3)
                p[axis] = sign * half[axis]
                p[a], p[b] = du * half[a], dv * half[b]
                corners.append(p)
            uv = np.array([[0, 0], [1, 0], [1, -1], [0, -1]]) * uv_scale
            faces.append(Part(np.array(corners), np.tile(n, (4, 1)), uv, np.array([[0, 1, 2], [0, 2, 3]])))
    return combine(faces).oriented().moved(centre)


def heightfield(size_x, size_z, nx, nz, height_fn, uv_scale=(4.0, 4.0), centre=(0.0, 0.0)):
    """Terrain over x-z: height_fn(x, z) -> y on arrays; normals from central differences."""
    def fn(u, v):
        x = centre[0] + (u - 0.5) * size_x
        z = centre[1] + (v - 0.5) * size_z
        y = height_fn(x, z)
        e = 0.5
        dx = (height_fn(x + e, z) - height_fn(x - e, z)) / (2 * e)
        dz = (height_fn(x, z + e) - height_fn(x, z - e)) / (2 * e)
        return (x, y, z), (-dx, np.ones_like(y), -dz)
    return surface(nx, nz, fn, uv_scale=uv_scale)


def sheet(w, h, normal_z=-1.0):
    """A flat w x h quad in the x-y plane, facing -z (towards a camera in front of it)."""
    p = np.array([[-w / 2, 0, 0], [w / 2, 0, 0], [w / 2, h, 0], [-w / 2, h, 0]], dtype=np.float64)
    n = np.tile([0.0, 0.0, normal_z], (4, 1))
    uv = np.array([[0, 0], [1, 0], [1, -1], [0, -1]], dtype=np.float64)
    return Part(p, n, uv, np.array([[0, 1, 2], [0, 2, 3]])).oriented()


def bake(part, albedo, sun=(0.4, 0.8, -0.45), sun_rgb=(1.0, 0.95, 0.85), sky_rgb=(0.25, 0.3, 0.45),
         ground_rgb=(0.08, 0.07, 0.06), occlusion=None):
    """Vertex colours = albedo x (sun lambert + sky/ground hemisphere), the light the scene would have."""
    out = part.copy()
    n = out.n
    s = np.asarray(sun, dtype=np.float64)
    s = s / np.linalg.norm(s)
    lam = np.clip(n @ s, 0.0, None)[:, None]
    hemi = (0.5 + 0.5 * n[:, 1])[:, None]
    light = lam * np.asarray(sun_rgb) + hemi * np.asarray(sky_rgb) + (1 - hemi) * np.asarray(ground_rgb)
    if occlusion is not None:
        light = light * occlusion[:, None]
    out.c = np.clip(np.asarray(albedo, dtype=np.float64) * light, 0.0, 1.0)
    return out


def aligned(part, direction):
    """The part turned so that its +y axis points along direction."""
    d = np.asarray(direction, dtype=np.float64)
    d = d / np.linalg.norm(d)
    y = np.array([0.0, 1.0, 0.0])
    axis = np.cross(y, d)
    if np.linalg.norm(axis) < 1e-9:
        return part.copy() if d[1] > 0 else part.scaled((1.0, -1.0, -1.0))
    angle = math.acos(float(np.clip(np.dot(y, d), -1.0, 1.0)))
    for a in (angle, -angle):
        if np.allclose(y @ rotation(axis, a), d, atol=1e-6):
            return part.turned(axis, a)
    raise AssertionError("no rotation maps +y onto the direction")


def rod(a, b, r0, r1=None, seg=10, caps=True):
    """A cylinder (or cone) from point a to point b."""
    a, b = np.asarray(a, dtype=np.float64), np.asarray(b, dtype=np.float64)
    length = float(np.linalg.norm(b - a))
    body = cylinder(r0, length, seg, caps, r1) if caps else tube(r0, r0 if r1 is None else r1, length, seg)
    return aligned(body, b - a).moved(a)


def quad(corners, uv=((0, 0), (1, 0), (1, -1), (0, -1))):
    """A flat four-cornered sheet; its normal follows the corners' order (right-hand rule)."""
    p = np.asarray(corners, dtype=np.float64)
    n = np.cross(p[1] - p[0], p[3] - p[0])
    n = n / np.linalg.norm(n)
    return Part(p, np.tile(n, (4, 1)), np.asarray(uv, dtype=np.float64), np.array([[0, 1, 2], [0, 2, 3]])).oriented()
