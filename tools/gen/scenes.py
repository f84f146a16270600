# Models the trailer's three 3D scenes in code and writes them as MDL files: the meteor's crater in a
# foggy night valley, the observatory on the hill, and the station in orbit. Everything is derived
# from fixed seeds, so two runs give the same bytes.
import math
import sys
import os

import numpy as np

import geometry as G
import mdl as M

FPS = 33                 # scene frames per second of layer time
KEY_STEP = 10            # sampled tracks hold one key every 10 frames
TRIANGLE_BUDGET = 20000  # per scene


def to_mesh(name, material, part, pivot=None, children=()):
    if pivot is None:
        pivot = (part.p.min(axis=0) + part.p.max(axis=0)) * 0.5
    return M.Mesh(name, material, part.p, part.n, part.uv, part.c, part.f, pivot, children)


def sampled(fn, frames):
    return [(f, tuple(fn(f))) for f in range(0, frames + 1, KEY_STEP)]


def smooth(x):
    x = min(max(x, 0.0), 1.0)
    return x * x * (3 - 2 * x)


def lerp(a, b, t):
    return tuple(ai + (bi - ai) * t for ai, bi in zip(a, b))


def add_camera(scene, name, eye, target, fov=0.8, fovs=(), rolls=()):
    """A camera whose eye and look-at point follow functions of the frame, sampled every 10 frames."""
    scene.cameras.append(M.Camera(name, eye(0), target(0), fov))
    scene.tracks.append(M.Track(name, positions=sampled(eye, scene.frames), fovs=list(fovs), rolls=list(rolls)))
    scene.tracks.append(M.Track(name + ".Target", positions=sampled(target, scene.frames)))


def spin_keys(frames_and_angles, axis=(0.0, 1.0, 0.0)):
    """Hand-keyed rotation: (frame, angle turned since the previous key) pairs."""
    return [(f, axis, a, 0.0, 0.0) for f, a in frames_and_angles]


def check_budget(scene, name):
    tris = scene.triangles()
    if tris >= TRIANGLE_BUDGET:
        raise SystemExit("%s: %d triangles, over the budget of %d" % (name, tris, TRIANGLE_BUDGET))
    return tris


# --- scene 1: the crater ------------------------------------------------------------------------
CRATER_FLOOR = -9.0


def valley_height(x, z):
    r = np.sqrt(x * x + z * z)
    hills = 9.0 * np.sin(x / 37.0) * np.cos(z / 29.0) + 5.0 * np.sin((x + 0.6 * z) / 23.0)
    calm = 1.0 - np.exp(-(r / 50.0) ** 2)
    bowl = 0.0016 * r * r
    crater = -13.0 * np.exp(-(r / 17.0) ** 2) + 6.0 * np.exp(-((r - 25.0) / 7.0) ** 2)
    return hills * calm + bowl + crater


def crater():
    sc = M.Scene(860)  # 26 s
    rng = np.random.default_rng(1401)
    start, rest = np.array([-170.0, 280.0, 330.0]), np.array([0.0, CRATER_FLOOR + 3.0, 0.0])
    impact = 190  # 5.76 s: three bars after the shot opens, on a downbeat

    def meteor_at(f, lift=0.0):
        if f < 30:
            p = start
        elif f < impact:
            t = (f - 30) / float(impact - 30)
            p = start + (rest - start) * (t * t * 0.4 + t * 0.6)  # gathering speed
        else:
            p = rest
        return p + np.array([0.0, lift, 0.0])

    # Cameras: a wide shot that watches the fall and then closes in; a low one on the rim for the cut.
    def eye1(f):
        t = smooth(f / 430.0)
        p = np.array(lerp((130.0, 95.0, -250.0), (55.0, 45.0, -105.0), t))
        if f > 430:
            a = (f - 430) / 430.0 * 0.9
            r = math.hypot(p[0], p[2])
            base = math.atan2(p[2], p[0])
            p = np.array([r * math.cos(base - a), p[1] - 10 * smooth((f - 430) / 430.0), r * math.sin(base - a)])
        p[1] = max(p[1], float(valley_height(p[0], p[2])) + 12.0)
        return p

    def target1(f):
        return lerp((-20.0, 60.0, 80.0), (0.0, CRATER_FLOOR + 6.0, 0.0), smooth((f - 60) / 200.0))

    def eye2(f):
        a = -1.9 + f / 860.0 * 1.1
        x, z = 40.0 * math.cos(a), 40.0 * math.sin(a)
        return (x, float(valley_height(x, z)) + 14.0, z)

    add_camera(sc, "Camera01", eye1, target1, fovs=[(0, 0.95), (300, 0.9), (600, 0.75), (860, 0.75)])
    add_camera(sc, "Camera02", eye2, lambda f: (0.0, CRATER_FLOOR + 5.0, 0.0), fov=0.9,
               rolls=[(0, 0.0), (430, 0.06), (860, 0.0)])

    # Lights: moonlight and a cold fill, the meteor's own light that rides down with it, its halo,
    # a bright planet low in the sky, the spark fountain in the crater and the valley's haze.
    sc.lights.append(M.Light("Moon.dyna", (-70.0, 150.0, -110.0), (0.8, 0.85, 1.0), 2.0))
    sc.lights.append(M.Light("Fill.dyna", (130.0, 60.0, 110.0), (0.3, 0.35, 0.55), 2.0))
    sc.lights.append(M.Light("Impact.dyna", tuple(meteor_at(0, 8.0)), (0.4, 0.14, 0.03), 2.0))
    sc.tracks.append(M.Track("Impact.dyna", positions=sampled(lambda f: meteor_at(f, 8.0), sc.frames)))
    halo = 'Meteor.halo.m"halo.jpg"'
    sc.lights.append(M.Light(halo, tuple(meteor_at(0, 5.5)), (1.0, 0.8, 0.5), 1.0))
    sc.tracks.append(M.Track(halo, positions=sampled(lambda f: meteor_at(f, 5.5), sc.frames)))
    sc.lights.append(M.Light('Evenstar.halo.m"halo.jpg"', (260.0, 210.0, 420.0), (1.0, 1.0, 1.0), 1.0))
    sc.lights.append(M.Light('Sparks.particlegensrc.c300.m"spark.jpg"', (0.0, CRATER_FLOOR + 4.0, 0.0),
                             (1.0, 0.6, 0.2), 1.0))
    sc.lights.append(M.Light("Sparks.particlegendest", (1.5, CRATER_FLOOR + 15.0, 0.5), (1.0, 0.6, 0.2), 1.0))
    sc.lights.append(M.Light("Haze.fog.s120.e900.d1", (0.0, 50.0, 0.0), (0.02, 0.025, 0.05), 0.0))

    # Meshes.
    ground = G.heightfield(420.0, 420.0, 60, 60, valley_height, uv_scale=(10.0, 10.0))
    sc.meshes.append(to_mesh("Valley", "Rock", ground.tinted((0.95, 0.95, 1.0))))
    sky = G.dome(700.0, seg=24, rings=8, inside=True).moved((0.0, -60.0, 0.0))
    sc.meshes.append(to_mesh("Sky.NoFog.NoDynaLight", "Sky", sky))
    rocks = []
    while len(rocks) < 26:
        x, z = rng.uniform(-170, 170, 2)
        if math.hypot(x, z) < 42:
            continue
        r = rng.uniform(2.0, 6.5)
        b = G.sphere(r, seg=8, rings=6, squash=rng.uniform(0.5, 0.8)).turned((0, 1, 0), rng.uniform(0, 6.28))
        rocks.append(b.moved((x, float(valley_height(x, z)) + r * 0.2, z)))
    sc.meshes.append(to_mesh("Boulders", "Rock", G.combine(rocks).tinted((0.7, 0.68, 0.66))))
    # The meteor glows by itself, so the lights do not shade it; it tumbles on hand-set keys until
    # it strikes and then rests in the crater.
    stone = G.sphere(4.0, seg=14, rings=9, squash=0.8)
    stone.c = np.tile([1.0, 0.85, 0.7], (len(stone.p), 1))
    sc.meshes.append(to_mesh("Meteor.NoDynaLight", "Lava", stone.moved(tuple(rest)), pivot=tuple(rest)))
    tilt = (0.3, 0.8, 0.5)
    sc.tracks.append(M.Track("Meteor.NoDynaLight", positions=sampled(meteor_at, sc.frames),
                             rotations=spin_keys([(0, 0.0), (50, 1.7), (110, 1.9), (165, 2.0), (230, 0.3),
                                                  (860, 0.0)], tilt)))
    # The trail is additive light behind the falling stone; once it has struck the trail sinks out of
    # sight below the ground.
    direction = (rest - start) / np.linalg.norm(rest - start)
    trail = G.rod(rest, rest - direction * 150.0, 3.2, 0.4, seg=12, caps=False)
    trail.c = np.tile([1.0, 0.7, 0.45], (len(trail.p), 1))
    sc.meshes.append(to_mesh("Trail.Alpha", "Trail", trail, pivot=tuple(rest)))
    sc.tracks.append(M.Track("Trail.Alpha", positions=sampled(
        lambda f: meteor_at(f) if f < impact - 10 else rest + np.array([0.0, -400.0, 0.0]), sc.frames)))
    vent = G.box((1.0, 1.0, 1.0), (0.0, CRATER_FLOOR + 9.0, 0.0))
    sc.meshes.append(to_mesh("SmokeVent.Hide", "", vent, pivot=(0.0, CRATER_FLOOR + 9.0, 0.0)))

    sc.materials += [M.Material("Rock", ["rock.jpg"]), M.Material("Sky", ["nightsky.jpg"]),
                     M.Material("Lava", ["lava.jpg"]), M.Material("Trail", ["beam.jpg"])]
    return sc


# --- scene 2: the observatory -------------------------------------------------------------------
HILL_TOP = 32.0
WATER = 2.0
POND_R = 24.0


def pond_centre():
    # Placed so that the low camera sees the observatory's mirror image in the water.
    eye = np.array([88.0, 9.0, -118.0])
    image = np.array([0.0, 2 * WATER - (HILL_TOP + 22.0), 0.0])
    t = (eye[1] - WATER) / (eye[1] - image[1])
    hit = eye + (image - eye) * t
    towards = (image - eye)[[0, 2]]
    towards /= np.linalg.norm(towards)
    return hit[0] + towards[0] * 12.0, hit[2] + towards[1] * 12.0


def hill_height(x, z):
    r = np.sqrt(x * x + z * z)
    hill = HILL_TOP * np.exp(-(np.maximum(r - 18.0, 0.0) / 62.0) ** 2)
    roll = 3.0 * np.sin(x / 19.0) * np.sin(z / 23.0) * (1.0 - np.exp(-(r / 30.0) ** 2))
    px, pz = pond_centre()
    d = np.sqrt((x - px) ** 2 + (z - pz) ** 2)
    w = np.exp(-(d / (POND_R + 14.0)) ** 4)
    return (hill + roll) * (1 - w) + (WATER + 0.4) * w


def observatory():
    sc = M.Scene(800)  # 24 s
    rng = np.random.default_rng(1402)
    px, pz = pond_centre()
    base = HILL_TOP
    dome_y = base + 16.0
    sun = (-0.35, 0.7, -0.6)  # moonlight from over the cameras' shoulders
    moon_rgb, sky_rgb = (0.5, 0.55, 0.75), (0.16, 0.2, 0.35)

    def lit(part, albedo):
        return G.bake(part, albedo, sun=sun, sun_rgb=moon_rgb, sky_rgb=sky_rgb, ground_rgb=(0.05, 0.05, 0.08))

    # The pond comes first in the file so that it is drawn after everything that it mirrors.
    water = G.disc(POND_R, seg=32, y=WATER).moved((px, 0.0, pz))
    water.c = np.tile([1.0, 1.0, 1.0], (len(water.p), 1))
    sc.meshes.append(to_mesh("Pond.Floor", "Pond", water))

    ground = G.heightfield(340.0, 340.0, 56, 56, hill_height, uv_scale=(9.0, 9.0))
    centroid = ground.p[ground.f].mean(axis=1)
    keep = np.hypot(centroid[:, 0] - px, centroid[:, 2] - pz) > POND_R - 2.0
    ground.f = ground.f[keep]  # the pond's basin is open: beneath the water lies only the mirror image
    sc.meshes.append(to_mesh("Hill", "Grass", lit(ground, (0.6, 0.66, 0.62))))

    tower = G.cylinder(14.0, 18.0, seg=28).moved((0.0, base - 2.0, 0.0))
    sc.meshes.append(to_mesh("Tower", "Stone", lit(tower, (0.9, 0.88, 0.85))))
    glass = G.tube(14.15, 14.15, 6.0, seg=28, uv_scale=(7.0, 1.0)).moved((0.0, base + 5.0, 0.0))
    sc.meshes.append(to_mesh("Windows.NoLight", "Windows", glass))

    # The dome turns on hand-set keys; the telescope and its beam are its children and turn with it.
    pivot = (0.0, dome_y, 0.0)
    dome = G.dome(14.6, seg=28, rings=8).moved(pivot)
    tilt = math.radians(50.0)
    tip = np.array([math.sin(tilt), math.cos(tilt), 0.0])
    mount = np.array(pivot) + (0.0, 3.0, 0.0)
    scope = G.rod(mount, mount + tip * 24.0, 2.3, seg=14)
    beam = G.rod(mount + tip * 24.0, mount + tip * 214.0, 2.0, 16.0, seg=16, caps=False)
    beam.c = np.tile([0.8, 0.85, 1.0], (len(beam.p), 1))
    sc.meshes.append(to_mesh("Dome", "Metal", lit(dome, (0.85, 0.88, 0.95)), pivot=pivot,
                             children=["Telescope.EnvMap", "Beam.Alpha"]))
    sc.meshes.append(to_mesh("Telescope.EnvMap", "Scope", lit(scope, (0.7, 0.72, 0.8)), pivot=pivot))
    sc.meshes.append(to_mesh("Beam.Alpha", "Beam", beam, pivot=pivot))
    sc.tracks.append(M.Track("Dome", rotations=spin_keys([(0, 0.0), (120, 0.0), (291, 1.1), (440, 0.9),
                                                         (560, 0.0), (688, -1.4), (800, -0.6)])))

    # The mirror image in the pond, seen through the open basin: the hill itself, its trees and, above
    # them, the tower, its windows and the dome, all reflected in the water plane. With the hill in
    # the picture the shore runs on into its reflection and the building sits upside down on it,
    # as in water, instead of hanging alone under the hill. Water gives back less light, and bluer.
    water_tint = (0.55, 0.6, 0.72)
    sc.meshes.append(to_mesh("MirrorHill", "Grass", lit(ground, (0.6, 0.66, 0.62)).tinted(water_tint).mirrored_y(WATER)))
    sc.meshes.append(to_mesh("MirrorTower", "Stone", lit(tower, (0.9, 0.88, 0.85)).tinted(water_tint).mirrored_y(WATER)))
    sc.meshes.append(to_mesh("MirrorWindows", "Windows", glass.tinted(water_tint).mirrored_y(WATER)))
    sc.meshes.append(to_mesh("MirrorDome", "Metal", lit(dome, (0.85, 0.88, 0.95)).tinted(water_tint).mirrored_y(WATER)))

    # Trees on the far slope stand against the sky; their texture's alpha cuts out their shape.
    trees = []
    for _ in range(22):
        a = rng.uniform(0.2, 2.95)
        r = rng.uniform(45.0, 95.0)
        x, z = r * math.cos(a), r * math.sin(a)
        h = rng.uniform(16.0, 28.0)
        y = float(hill_height(x, z)) - 0.5
        for turn in (0.0, math.pi / 2):
            trees.append(G.sheet(h * 0.6, h).turned((0, 1, 0), turn + a).moved((x, y, z)))
    forest = lit(G.combine(trees), (0.8, 0.85, 0.8))
    sc.meshes.append(to_mesh("Trees.AlphaMap", "Tree", forest))
    sc.meshes.append(to_mesh("MirrorTrees.AlphaMap", "Tree", forest.tinted(water_tint).mirrored_y(WATER)))

    # Reeds at the water's edge are single sheets, seen from both sides.
    reeds = []
    for _ in range(44):
        a = rng.uniform(0, 2 * math.pi)
        r = POND_R + rng.uniform(-1.0, 2.5)
        x, z = px + r * math.cos(a), pz + r * math.sin(a)
        reed = G.sheet(0.7, rng.uniform(3.0, 6.0)).turned((0, 0, 1), rng.uniform(-0.2, 0.2))
        reeds.append(reed.turned((0, 1, 0), rng.uniform(0, math.pi)).moved((x, WATER - 0.3, z)))
    reeds = G.combine(reeds)
    reeds.c = np.tile([0.3, 0.42, 0.25], (len(reeds.p), 1))  # thin blades: lit the same from either side
    sc.meshes.append(to_mesh("Reeds.NoCull", "Grass", reeds))

    # The radio dish beside the observatory faces the low camera; its waves start at its focus.
    dish_at = np.array([-48.0, 0.0, -22.0])
    dish_at[1] = float(hill_height(dish_at[0], dish_at[2]))

    def bowl(u, v):
        th, rr = u * 2 * np.pi, v * 11.0
        x, y = rr * np.cos(th), rr * np.sin(th)
        depth = rr * rr / 36.0
        n = (-x / 18.0, -y / 18.0, np.ones_like(rr))
        return (x, y, depth), (-n[0], -n[1], -n[2])
    dish = G.surface(20, 5, bowl).turned((1, 0, 0), -0.45).moved(tuple(dish_at + (0.0, 16.0, 0.0)))
    stand = G.cylinder(1.2, 14.0, seg=8).moved(tuple(dish_at))
    sc.meshes.append(to_mesh("Dish.NoCull", "Metal", lit(dish + stand, (0.9, 0.9, 0.95))))
    focus = dish_at + (0.0, 16.0 + 4.5, -8.0)
    sc.meshes.append(to_mesh("DishFocus.Hide", "", G.box((0.5, 0.5, 0.5), tuple(focus)), pivot=tuple(focus)))

    # Lamp posts up the path from the pond, each with a halo; fireflies dance over the water.
    posts = []
    for i, k in enumerate((0.25, 0.45, 0.65)):
        x, z = px * (1 - k), pz * (1 - k)
        y = float(hill_height(x, z))
        posts.append(G.cylinder(0.4, 7.0, seg=6).moved((x, y, z)))
        sc.lights.append(M.Light('Lamp%d.halo.m"halo.jpg"' % (i + 1), (x, y + 8.0, z), (1.0, 0.8, 0.5), 1.0))
    sc.meshes.append(to_mesh("Posts", "Metal", lit(G.combine(posts), (0.4, 0.4, 0.45))))
    flies = (px, WATER + 5.0, pz)
    sc.meshes.append(to_mesh("Fireflies.Hide", "", G.box((0.5, 0.5, 0.5), flies), pivot=flies))

    def eye1(f):
        a = math.radians(-125.0 + 70.0 * f / 800.0)
        r = 165.0 - 45.0 * smooth(f / 800.0)
        return (r * math.cos(a), 62.0 - 14.0 * smooth(f / 800.0), r * math.sin(a))

    def eye2(f):
        t = smooth(f / 800.0)
        return lerp((88.0, 9.0, -118.0), (80.0, 7.0, -112.0), t)

    add_camera(sc, "Camera01", eye1, lambda f: (0.0, base + 12.0, 0.0), fovs=[(0, 0.85), (800, 0.75)])
    add_camera(sc, "Camera02", eye2, lambda f: lerp((0.0, 4.0, 0.0), (0.0, 10.0, 0.0), smooth(f / 800.0)),
               fov=0.75)

    sc.materials += [M.Material("Pond", ["pond.jpg"]), M.Material("Grass", ["grass.jpg"]),
                     M.Material("Stone", ["stone.jpg"]), M.Material("Windows", ["windows.jpg"]),
                     M.Material("Metal", ["metal.jpg"]), M.Material("Scope", ["metal.jpg", "chrome.jpg"]),
                     M.Material("Beam", ["beam.jpg"]), M.Material("Tree", ["tree.jpg", "tree_alpha.jpg"])]
    return sc


# --- scene 3: the station ------------------------------------------------------------------------
CORE_AT = (0.0, -20.0, 0.0)


def blob(shape):
    """The station's core: one sphere topology, pushed into a different shape for each morph key."""
    part = G.sphere(6.5, seg=22, rings=14)
    d = part.p / 6.5
    th = np.arctan2(d[:, 2], d[:, 0])
    ph = np.arccos(np.clip(d[:, 1], -1, 1))
    if shape == 1:
        k = 1.0 + 0.35 * np.sin(5 * th) * np.sin(4 * ph)
    elif shape == 2:
        k = 1.0 + 0.3 * np.cos(3 * th + 3 * ph) + 0.25 * np.cos(2 * ph)
    elif shape == 3:
        k = 1.0 + 0.45 * np.abs(np.sin(ph * 2.0)) * np.cos(th * 2.0)
    else:
        k = np.ones(len(d))
    part.p = part.p * k[:, None]
    part.c = np.tile([1.0, 1.0, 1.0], (len(part.p), 1))
    return part.moved(CORE_AT)


def station():
    sc = M.Scene(730)  # 22 s
    sun = (0.9, 0.35, -0.5)

    def lit(part, albedo):
        return G.bake(part, albedo, sun=sun, sun_rgb=(1.0, 0.97, 0.9), sky_rgb=(0.3, 0.32, 0.4),
                      ground_rgb=(0.2, 0.26, 0.4))

    # Turned so that neither pole, where the texture gathers, faces the station.
    world = G.sphere(650.0, seg=36, rings=20, uv_scale=(2.0, 1.0)).turned((1, 0, 0), math.pi / 2).moved((0.0, -800.0, 520.0))
    sc.meshes.append(to_mesh("World", "World", lit(world, (1.0, 1.0, 1.0))))
    hub = G.sphere(10.0, seg=20, rings=12)
    sc.meshes.append(to_mesh("Hub.EnvMap", "Hull", lit(hub, (0.9, 0.9, 0.92)), pivot=(0.0, 0.0, 0.0)))
    masts = G.cylinder(1.2, 30.0, seg=8).moved((0.0, 9.0, 0.0)) + G.cylinder(0.8, 24.0, seg=6).moved((0.0, -32.0, 0.0))
    docks = G.box((4.0, 4.0, 14.0), (0.0, 0.0, -16.0)) + G.box((7.0, 7.0, 2.0), (0.0, 0.0, -23.0))
    sc.meshes.append(to_mesh("Masts", "Metal", lit(masts + docks, (0.8, 0.8, 0.85))))
    lens = G.sphere(3.5, seg=14, rings=9).moved((0.0, 42.5, 0.0))
    lens.c = np.tile([0.8, 0.9, 1.0], (len(lens.p), 1))
    sc.meshes.append(to_mesh("Lens", "Glass", lens, pivot=(0.0, 42.5, 0.0)))

    # The ring spins on hand-set keys and carries its spokes, pods and sails with it.
    ring = G.torus(48.0, 3.5, seg=56, sides=10, uv_scale=(16.0, 1.0))
    spokes, pods, sails = [], [], []
    for k in range(4):
        a = k * math.pi / 2 + math.pi / 4
        out = np.array([math.cos(a), 0.0, math.sin(a)])
        spokes.append(G.rod(out * 9.0, out * 46.0, 1.3, seg=8))
    for k in range(8):
        a = k * math.pi / 4
        pods.append(G.box((7.0, 6.0, 9.0)).turned((0, 1, 0), -a).moved((48.0 * math.cos(a), 0.0, 48.0 * math.sin(a))))
    for k in range(4):
        a = k * math.pi / 2
        out, side = np.array([math.cos(a), 0.0, math.sin(a)]), np.array([-math.sin(a), 0.0, math.cos(a)])
        corners = [out * 53 - side * 8, out * 92 - side * 8, out * 92 + side * 8, out * 53 + side * 8]
        sails.append(G.quad(corners, uv=((0, 0), (3, 0), (3, -1), (0, -1))))
    sc.meshes.append(to_mesh("Ring", "Hull", lit(ring + G.combine(pods), (1.0, 1.0, 1.0)), pivot=(0.0, 0.0, 0.0),
                             children=["Spokes", "Sails.NoCull"]))
    sc.meshes.append(to_mesh("Spokes", "Metal", lit(G.combine(spokes), (0.8, 0.8, 0.85)), pivot=(0.0, 0.0, 0.0)))
    sc.meshes.append(to_mesh("Sails.NoCull", "Sails", lit(G.combine(sails), (1.0, 1.0, 1.0)), pivot=(0.0, 0.0, 0.0)))
    sc.tracks.append(M.Track("Ring", rotations=spin_keys([(0, 0.0), (120, 0.6), (291, 0.9), (450, 0.8),
                                                         (600, 0.7), (730, 0.6)])))

    # The core morphs through three shapes and back to the first before the scene wraps.
    sc.meshes.append(to_mesh("Core.MorphSrc.f0.Loop", "Core", blob(0), pivot=CORE_AT))
    for c, (frame, shape) in enumerate(((180, 1), (360, 2), (540, 3))):
        sc.meshes.append(to_mesh("Core.MorphDest.f%d.c%d" % (frame, c), "", blob(shape), pivot=CORE_AT))
    sc.meshes.append(to_mesh("Core.MorphDest.f680.c3.e729", "", blob(0), pivot=CORE_AT))

    antenna = (0.0, -36.0, 0.0)
    sc.meshes.append(to_mesh("Antenna.Hide", "", G.box((0.5, 0.5, 0.5), antenna), pivot=antenna))
    sc.lights.append(M.Light('BeaconLow.halo.m"halo.jpg"', (0.0, -33.5, 0.0), (1.0, 0.5, 0.3), 1.0))
    sc.lights.append(M.Light('BeaconDock.halo.m"halo.jpg"', (0.0, 0.0, -25.5), (0.5, 0.8, 1.0), 1.0))

    # The glow shot plays the file's first camera: looking down past the station onto the sunlit
    # planet, so that every corner of its picture, whose colour the glow takes, is bright planet.
    # Over the shot's twelve seconds (380 frames) it sinks slowly towards the ring.
    def eye4(f):
        t = smooth(f / 380.0)
        return lerp((-40.0, 215.0, -140.0), (-30.0, 185.0, -120.0), t)

    add_camera(sc, "Camera04", eye4, lambda f: (0.0, -10.0, 0.0), fov=0.5)

    def eye1(f):
        t = smooth(f / 730.0)
        a = math.radians(-140.0 + 80.0 * t)
        r = 190.0 - 50.0 * t
        return (r * math.cos(a), 55.0 - 25.0 * t, r * math.sin(a))

    def eye2(f):
        t = f / 730.0
        a = math.radians(-105.0 + 40.0 * t)
        return (50.0 * math.cos(a), -16.0 + 6.0 * t, 50.0 * math.sin(a))

    add_camera(sc, "Camera01", eye1, lambda f: (0.0, -4.0 * smooth(f / 730.0), 0.0),
               fovs=[(0, 0.8), (730, 0.7)], rolls=[(0, 0.18), (365, 0.0), (730, -0.12)])
    add_camera(sc, "Camera02", eye2, lambda f: (0.0, -19.0, 0.0), fov=0.85)

    # The dot screen's view: from the sunlit side and a little above, the ring and the mast stand
    # against black space, so the dots draw the station's outline; over the shot's eight seconds
    # (250 frames) the camera closes in until the ring fills the picture.
    def eye3(f):
        t = smooth(f / 250.0)
        a = math.radians(-25.0 + 30.0 * t)
        r = 100.0 - 28.0 * t
        return (r * math.cos(a), 30.0 - 10.0 * t, r * math.sin(a))

    add_camera(sc, "Camera03", eye3, lambda f: (0.0, 0.0, 0.0), fov=0.9)

    sc.materials += [M.Material("World", ["world.jpg"]), M.Material("Hull", ["hull.jpg", "chrome.jpg"]),
                     M.Material("Metal", ["metal.jpg"]), M.Material("Glass", ["glow.jpg"]),
                     M.Material("Sails", ["sails.jpg"]), M.Material("Core", ["plasma.jpg"])]
    return sc


SCENES = {"crater.mdl": crater, "observatory.mdl": observatory, "station.mdl": station}
# Copies reflected top to bottom, for the dot screen, which turns its picture upside down.
MIRRORED = {"station.mdl": "station_mirror.mdl"}


def main(d):
    for name, build in SCENES.items():
        scene = build()
        check_budget(scene, name)
        scene.write(os.path.join(d, name))
        if name in MIRRORED:
            M.mirrored_top_to_bottom(scene).write(os.path.join(d, MIRRORED[name]))


if __name__ == "__main__":
    main(sys.argv[1])
