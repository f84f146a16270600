# Writes the production's script: every time is computed from the soundtrack's tempo, and every
# placement from the layers' own screen arithmetic, so the picture lands on the music's beats.
import math
import sys

import tempo as T
from tempo import bar, beat

# Stacking tiers: a layer of a lower tier is drawn before (under) one of a higher tier.
BACK, PICTURE, SPRITE, FX, TEXT, FLASH = range(6)
ASPECT = 4.0 / 3.0
GLYPHS = {"Texture": "glyphs.jpg", "AlphaTexture": "glyphs_a.png",
          "BlurryMap": "glyphs_blur.jpg", "AlphaBlurMap": "glyphs_blur_a.png"}


def num(v):
    if isinstance(v, int):
        return str(v)
    text = "%.4f" % v
    return text.rstrip("0").rstrip(".") if "." in text else text


def quoted(v):
    return '"%s"' % v


class Layer:
    """A CREATE operation; children are the scene modifiers nested in a scene player's CREATE."""

    def __init__(self, kind, tier, start, params, name=None, bottom=False, children=()):
        self.kind, self.tier, self.start = kind, tier, start
        self.params, self.name, self.bottom = params, name, bottom
        self.children = list(children)

    def lines(self, indent="\t"):
        out = ['%sCREATE "%s" {' % (indent, self.kind)]
        if self.name:
            out.append('%s\tNAME "%s";' % (indent, self.name))
        if self.bottom:
            out.append("%s\tINSERT Bottom;" % indent)
        for key, value in self.params:
            text = quoted(value) if isinstance(value, str) else num(value)
            out.append("%s\t%s %s;" % (indent, key, text))
        for child in self.children:
            out.extend(child.lines(indent + "\t"))
        out.append("%s};" % indent)
        return out


def envelope(start, rise, stable, fall):
    return [("StartTime", start), ("RisingTime", rise), ("StableTime", stable), ("FallingTime", fall)]


# --- placement helpers: each inverts its layer's drawing arithmetic -------------------------
def gfx_place(cx, cy, half_w, half_h):
    """GFXLayer scales its stored quad by the scale at Init and again while drawing, and adds the
    offset twice, so a rest rectangle centred at (cx, cy) needs scale sqrt(2 half) and offset
    c / (1 + scale)."""
    xs, ys = math.sqrt(2 * half_w), math.sqrt(2 * half_h)
    return xs, ys, cx / (1 + xs), cy / (1 + ys)


def gfx(texture, start, rise, stable, fall, cx=0.0, cy=0.0, half_w=0.5, half_h=0.5, alpha=None,
        zoom_in=1.0, zoom_out=1.0, slide_in=(0.0, 0.0), slide_out=(0.0, 0.0), additive=False,
        tier=SPRITE):
    xs, ys, xo, yo = gfx_place(cx, cy, half_w, half_h)
    p = envelope(start, rise, stable, fall)
    if alpha:
        p.append(("AlphaTexture", alpha))
    p += [("Texture", texture), ("XScale", xs), ("YScale", ys), ("XOffset", xo), ("YOffset", yo)]
    # Start terms act at fade 0 with weight 1; end terms reach their full weight -1 at fade 0.
    if zoom_in != 1.0:
        p += [("XScaleStart", (zoom_in - 1) * xs), ("YScaleStart", (zoom_in - 1) * ys)]
    if zoom_out != 1.0:
        p += [("XScaleEnd", (1 - zoom_out) * xs), ("YScaleEnd", (1 - zoom_out) * ys)]
    if slide_in != (0.0, 0.0):
        p += [("XOffsetStart", slide_in[0]), ("YOffsetStart", slide_in[1])]
    if slide_out != (0.0, 0.0):
        p += [("XOffsetEnd", -slide_out[0]), ("YOffsetEnd", -slide_out[1])]
    if additive:
        p.append(("AlphaType", 1))
    return Layer("GFXLayer", tier, start, p)


def text(line, start, rise, stable, fall, y=0.0, size=0.24, tracking=0.02, depth_in=3.0, depth_out=0.0,
         slide_out=(0.0, 0.0), tremble=False, additive=False):
    """A line that comes into focus: centred, arriving from depth_in units behind the screen.
    The glyph advance is XScale + Tracking and the first glyph stands one advance right of
    XOffset, so the line's middle is at XOffset + (n + 1) / 2 advances."""
    adv = size + tracking
    p = envelope(start, rise, stable, fall) + [(k, v) for k, v in GLYPHS.items()]
    p += [("Text", line), ("XScale", size), ("YScale", size), ("Tracking", tracking),
          ("XOffset", -(len(line) + 1) / 2.0 * adv), ("YOffset", y), ("ZOffsetStart", depth_in)]
    if depth_out:
        p.append(("ZOffsetEnd", depth_out))
    if slide_out != (0.0, 0.0):
        p += [("XOffsetEnd", slide_out[0]), ("YOffsetEnd", slide_out[1])]
    if tremble:
        p.append(("Effect", 1))
    if additive:
        p.append(("AlphaType", 1))
    return Layer("TextLayer", TEXT, start, p)


def focal(picture, start, rise, stable, fall):
    p = envelope(start, rise, stable, fall)
    p += [("BlurryMap", picture + "_blur.jpg"), ("OrigMap", picture + ".jpg")]
    return Layer("FocalGFX", PICTURE, start, p)


def flash(start, rise=0.02, stable=0.0, fall=0.4):
    return Layer("Flash", FLASH, start, envelope(start, rise, stable, fall))


def ring(start, radius, cx=0.0, cy=0.0, rise=0.02, stable=0.0, fall=0.36):
    """One ring of the given radius, centred at (cx, cy) on the layers' plane z = 0 (seen from 5 units,
    that plane spans about +-2.07 units from the middle of the screen to its top). With NBCercles 1
    the layer takes one step of XScale / 2 each way: its quad (half-size 1) is scaled by XScale at
    Init and again by the step, so it is 2 step^2 across each way from its centre, and the centre lies
    one step beyond offset * (step + 1)."""
    step = math.sqrt(radius / 2.0)
    p = envelope(start, rise, stable, fall)
    p += [("NBCercles", 1), ("AlphaTexture", "ring_a.jpg"), ("Texture", "ring.jpg"),
          ("XScale", 2 * step), ("YScale", 2 * step), ("XOffset", (cx - step) / (step + 1)),
          ("YOffset", (cy - step) / (step + 1))]
    return Layer("CerclesLayer", FX, start, p)


def ripple(start, radii, cx=0.0, cy=0.0, every=T.SIXTEENTH):
    """Rings that grow out of one point, one more every sixteenth note, each fading as the next
    appears: a shock wave for a hit."""
    return [ring(start + k * every, r, cx, cy) for k, r in enumerate(radii)]


def bars_vertical(start, n=12, span=5.0, half_width=0.1, height=2.1, rise=0.02, stable=0.1, fall=0.35):
    """Vertical light bars across the screen.  With w = (XScale - n Tracking) / n, stripe i is
    centred at XOffset (w + 1) + i (w + Tracking) and is XScale * w wide on each side."""
    xs = span
    w = half_width / xs
    tracking = xs / n - w
    xo = -(n - 1) / 2.0 * (w + tracking) / (w + 1)
    ys = math.sqrt(height)
    p = envelope(start, rise, stable, fall)
    p += [("AlphaTexture", "bar_a.jpg"), ("Texture", "bar.jpg"), ("XScale", xs), ("YScale", ys), ("XOffset", xo), ("YOffset", 0.0),
          ("NBLines", n), ("Tracking", tracking), ("Sens", 0)]
    return Layer("LineLayer", FX, start, p)


def bars_horizontal(start, n=8, step=0.5, half_height=0.12, width=2.8, intensity=1.0,
                    rise=0.02, stable=0.1, fall=0.35):
    """Horizontal bands, n + 1 of them, each step apart, band j centred at
    YOffset (h + 1) + j step with h = YScale / n - Tracking."""
    ys = n * step
    h = half_height / ys
    tracking = step - h
    yo = -(n / 2.0) * step / (h + 1)
    xs = math.sqrt(width)
    p = envelope(start, rise, stable, fall)
    p += [("AlphaTexture", "band_a.jpg"), ("Texture", "band.jpg"), ("XScale", xs), ("YScale", ys),
          ("XOffset", 0.0), ("YOffset", yo),
          ("NBLines", n), ("Tracking", tracking), ("Sens", 1), ("IntensityMax", intensity)]
    return Layer("LineLayer", FX, start, p)


def wave(texture, start, rise, stable, fall, alpha=None, xs=7.6, ys=5.7, flicker=False, tier=PICTURE):
    p = envelope(start, rise, stable, fall)
    if flicker:
        p.append(("Effect", 1))
    if alpha:
        p.append(("AlphaTexture", alpha))
    p += [("Texture", texture), ("XScale", xs), ("YScale", ys)]
    return Layer("OnduleGFXLayer", tier, start, p)


def interference(start, rise, stable, fall, zoom=False):
    p = envelope(start, rise, stable, fall)
    p += [("AlphaType", 1), ("Texture", "noise.jpg"), ("Effect", 1 if zoom else 0)]
    return Layer("ParasitesLayer", FX, start, p)


def blob(start, rise, stable, fall, nb=3):
    p = envelope(start, rise, stable, fall)
    # The balls swing up to 11 units from the centre; set back 12 units (the camera stands at
    # z = 10) the blob stays mostly on screen.
    p += [("Texture", "plasma.jpg"), ("ZOffset", -12.0), ("NBMeta", nb)]
    return Layer("MetaballLayer", SPRITE, start, p)


# --- 3D scenes ---------------------------------------------------------------------------------
def modifier(kind, start, params, life=None):
    """A scene modifier, created inside its player's CREATE; times count from the music's start."""
    p = [("StartTime", start)] + ([("LifeTime", life)] if life is not None else [])
    return Layer(kind, None, start, p + params)


def scene(name, mdl, start, length, camera, modifiers=(), kind="MDLPlayer", extra=()):
    p = [("StartTime", start), ("LifeTime", length), ("MDLFile", mdl), ("CurrentCamera", camera),
         ("NearPlane", 1.0), ("FarPlane", 3000.0)] + list(extra)
    return Layer(kind, PICTURE, start, p, name=name, children=modifiers)


def focal_scene(mdl, start, rise, stable, fall, alpha="rim.jpg"):
    p = envelope(start, rise, stable, fall) + [("AlphaMap", alpha), ("MDLFile", mdl)]
    return Layer("FocalMDL", PICTURE, start, p)


# The water's words end two bars before the second theme, where the riser and the kick roll begin.
WATER_END = bar(38)

# Where the crater lies on the layers' plane when the star strikes it (Camera01 on bar 11).
IMPACT_ON_SCREEN = (-0.1, -0.2)

# Named scene players: (name, first bar, last bar); their cameras cut on these bars.
SHOTS = [("Crater", 8, 16), ("Observatory", 24, 32), ("Station", 40, 48)]
CUTS = [(12, "Crater", "Camera02"), (14, "Crater", "Camera01"),
        (28, "Observatory", "Camera02"), (30, "Observatory", "Camera01"),
        (44, "Station", "Camera02"), (46, "Station", "Camera01")]


def crater_shot():
    """A star falls into the glowing crater: it strikes on bar 11, then smoke and sparks rise.
    Sprites hide what is drawn after them behind their whole square, their clear corners too: the
    impact's glow, far larger than the crater, goes first, so its edges lie off the smoke; the smoke
    rises in a few thin, well spread puffs, so they seldom cover one another."""
    impact = bar(11)
    mods = [
        modifier("Smoke", impact, [("ObjetName", "SmokeVent.Hide"), ("Texture", "halo.jpg"),
                                   ("AlphaTexture", "halo.jpg"), ("NBParticle", 1), ("Effect", 2),
                                   ("LifeTimeParticules", 0.5), ("XScale", 40.0), ("YScale", 40.0)], life=beat(3)),
        modifier("Smoke", impact, [("ObjetName", "SmokeVent.Hide"), ("Texture", "smoke.jpg"),
                                   ("AlphaTexture", "smoke_a.jpg"), ("NBParticle", 14), ("LifeTimeParticules", 3.0),
                                   ("SensY", 1.2), ("AmplitudeX", 4.0), ("AmplitudeZ", 4.0), ("XScale", 3.5),
                                   ("YScale", 3.5), ("MaxIntensity", 170.0)]),
        modifier("ParticlesCollision", impact, [("ObjetName", "SmokeVent.Hide"), ("Texture", "spark.jpg"),
                                                ("NBParticules", 64), ("SensY", 1.0)]),
    ]
    return scene("Crater", "crater.mdl", bar(8), bar(8), "Camera01", mods)


# Fireflies: a fly drifts from its object at 4 units per second along a random heading, rising as
# fast, for as long as its modifier lives, so a long-lived swarm ends up far above the pond. A new
# swarm of short life rises from the water on every beat instead: three are out at a time, no fly
# ever more than 4 x 1.44 x sqrt(6) = 14 units from the pond's middle, and the odd one that strays
# past the shell blinks to a new spot.
FLIES_LIFE = beat(3)
FLIES_SHELL = (0.3, 6.0)


def fireflies(first, last, per_swarm=8):
    """Swarms of fireflies over the pond, one more on every beat from bar first until bar last."""
    params = [("ObjetName", "Fireflies.Hide"), ("Texture", "fly.jpg"), ("AlphaTexture", "fly_a.jpg"),
              ("NBFlies", per_swarm), ("XScale", 0.5), ("YScale", 0.5), ("ZoneMin", FLIES_SHELL[0]),
              ("ZoneMax", FLIES_SHELL[1])]
    beats = round((bar(last) - bar(first)) / T.BEAT)
    return [modifier("Flies", bar(first) + beat(k), params, life=FLIES_LIFE) for k in range(beats)]


def observatory_shot():
    mods = fireflies(24, 32) + [
        modifier("OndesRadio", bar(24), [("ObjetName", "DishFocus.Hide"), ("Texture", "ring.jpg"),
                                         ("AlphaTexture", "ring_a.jpg"), ("XScale", 3.0), ("YScale", 3.0)]),
    ]
    return scene("Observatory", "observatory.mdl", bar(24), bar(8), "Camera01", mods)


def station_shot():
    mods = [
        modifier("GlowEffect", bar(40), [("ObjetName", "Lens"), ("Texture", "glow.jpg"), ("TimeRatio", T.BPM / 60.0 * math.pi / 4)]),
        modifier("OndesRadio", bar(40), [("ObjetName", "Antenna.Hide"), ("Texture", "ring.jpg"),
                                         ("AlphaTexture", "ring_a.jpg"), ("XScale", 4.0), ("YScale", 4.0)]),
        modifier("ParticlesCollision", bar(40), [("ObjetName", "Antenna.Hide"), ("Texture", "spark.jpg"),
                                                 ("NBParticules", 32)]),
    ]
    return scene("Station", "station.mdl", bar(40), bar(8), "Camera01", mods)


def dots_shot(start, length):
    """The station seen as a screen of dots, before it is seen whole. The dot screen shows its
    picture upside down, so it plays the station's mirror image, which it turns upright again."""
    extra = [("TextureMap", "dot.jpg"), ("AlphaMap", "dot_a.jpg")]
    return scene(None, "station_mirror.mdl", start, length, "Camera03", kind="DotEffect", extra=extra)


def production():
    L = []
    s_intro, s_build, s_a, s_break, s_b, s_out = (bar(T.section(n)[0]) for n in
                                                  ("Intro", "Build", "Theme A", "Breakdown", "Theme B", "Outro"))

    # Intro: the star field, a waving nebula, the group and the first words.
    L.append(gfx("stars.jpg", 0.0, bar(1), s_a - bar(1) - bar(2), bar(2), zoom_in=1.6, zoom_out=1.5, tier=BACK))
    L.append(wave("nebula.jpg", bar(1), bar(3), bar(3), bar(2), alpha="soft.jpg"))
    L.append(gfx("vireo.jpg", bar(2), bar(1), bar(1), bar(0.5), half_w=0.26, half_h=0.26 * ASPECT / 2,
                 alpha="vireo_a.png", zoom_in=0.4, slide_in=(0.0, -0.15), zoom_out=1.8))
    L.append(text("PRESENTS", bar(4), bar(1), bar(0.5), bar(0.5), y=-0.2, size=0.2))
    L.append(text("A REAL-TIME TRAILER", bar(6), bar(0.75), bar(0.75), bar(0.5), size=0.2))
    L.append(text("IN SIXTY BARS", bar(7), bar(0.5), bar(0.25), bar(0.25), y=-0.5, size=0.14,
                  depth_in=1.0))

    # Build: a star falls into the crater, rings and bars on the rhythm, words of a story.
    L.append(crater_shot())
    # The star strikes the crater on bar 11: a shock wave spreads from the crater on screen.
    L += ripple(bar(11), (0.25, 0.5, 0.8, 1.15, 1.55, 2.0), cx=IMPACT_ON_SCREEN[0], cy=IMPACT_ON_SCREEN[1])
    for b in range(14, 16):
        for q in range(4):
            L.append(bars_vertical(bar(b) + beat(q), n=12 if q % 2 == 0 else 16))
    for b in (10, 12, 14):
        L.append(gfx("streak.jpg", bar(b) + beat(2), beat(2), 0.0, beat(2), cy=0.3 - 0.1 * (b - 10),
                     half_w=0.6, half_h=0.1, slide_in=(1.2, 0.0), slide_out=(-1.2, 0.0), additive=True,
                     tier=FX))
    L.append(text("EVERY STAR", bar(10), beat(2), beat(3), beat(2), y=0.4))
    L.append(text("IS A STORY", bar(12), beat(2), beat(3), beat(2), y=0.0))
    L.append(text("OF FALLING LIGHT", bar(14), beat(2), beat(3), beat(2), y=-0.4))
    for b in range(9, 16):
        L.append(flash(bar(b), fall=0.3))
    for i in range(8):  # the snare roll's second half
        L.append(flash(bar(15) + beat(2) + i * T.SIXTEENTH, rise=0.01, fall=0.1))

    # Theme A: the title over a drifting nebula, the station as dots, then the observatory on its hill.
    # The nebula makes way for plain stars while the dot screen plays, then returns behind the hill.
    L.append(gfx("nebula.jpg", s_a, beat(1), bar(4) - beat(1) - bar(0.5), bar(0.5), half_w=0.62,
                 half_h=0.62, zoom_in=1.5, tier=BACK))
    L.append(gfx("stars.jpg", bar(20), beat(1), bar(4) - beat(1), beat(2), zoom_in=1.2, tier=BACK))
    L.append(gfx("nebula.jpg", bar(24), beat(2), bar(8) - beat(2) - bar(0.75), bar(0.75), half_w=0.62,
                 half_h=0.62, zoom_in=0.8, tier=BACK))
    L.append(gfx("logo.jpg", s_a, beat(2), bar(3) - beat(2), bar(1), half_w=0.44, half_h=0.44 / 3,
                 alpha="logo_a.png", zoom_in=4.0, zoom_out=2.5, tier=TEXT))
    L.append(text("A VIREO PRODUCTION", s_a + bar(1), beat(3), bar(2) - beat(3), bar(1), y=-0.6, size=0.14,
                  depth_in=2.0, depth_out=-1.0))
    L.append(dots_shot(bar(20), bar(4)))
    L.append(text("ACROSS THE DARK", bar(22), beat(2), beat(4), beat(2), y=0.8))
    L.append(observatory_shot())
    for b in (18, 26):
        L.append(gfx("streak.jpg", bar(b), beat(2), 0.0, beat(2), cy=-0.25, half_w=0.6, half_h=0.1,
                     slide_in=(-1.2, 0.0), slide_out=(1.2, 0.0), additive=True, tier=FX))
    L.append(text("THEY FALL", bar(28), beat(2), beat(3), beat(2), y=0.35))
    L.append(text("AND SHINE", bar(30), beat(2), beat(3), beat(2), y=-0.35, tremble=True))
    for b in range(17, 32, 2):
        L.append(flash(bar(b), fall=0.35))
    L.append(interference(bar(31), bar(0.5), beat(1), beat(1)))

    # Breakdown: words pressed into water, one every bar and a half while the bells play, then
    # the stars rush in under bands rising towards the second theme.
    L.append(Layer("WaterText", BACK, s_break,
                   [("StartTime", s_break), ("LifeTime", WATER_END - s_break - 0.05), ("TextureFile", "water.jpg"),
                    ("EnvMapFile", "water_env.jpg"),
                    ("TextMapList", ", ".join("word_%s.jpg" % w for w in ("star", "fall", "light", "dust"))),
                    ("UpdateInterval", bar(1.5))], name="Water", bottom=True))
    L.append(gfx("stars.jpg", WATER_END, bar(1), s_b - WATER_END - bar(1), beat(1), zoom_in=0.4, tier=BACK))
    L.append(text("LISTEN", bar(34) + beat(2), bar(1), beat(2), bar(1), y=1.5, size=0.16, additive=True))
    for b in (38, 39):
        for q in range(4):
            k = (b - 38) * 4 + q
            L.append(bars_horizontal(bar(b) + beat(q), n=6 + k, intensity=0.3 + 0.7 * k / 7.0))
    # The kick roll of bar 39: one ring, a step wider on every eighth note, until the drop.
    for i in range(8):
        L.append(ring(bar(39) + i * beat(0.5), 0.3 + 0.2 * i, fall=0.3))
    L.append(interference(bar(39) + beat(2), beat(2), 0.0, beat(1), zoom=True))

    # Theme B: the credits over the station, the observatory in a glow, the waving title, the blob and the rhythm.
    L.append(gfx("stars.jpg", s_b, beat(1), bar(16) - beat(1) - bar(1), bar(1), zoom_in=2.0, zoom_out=1.3,
                 tier=BACK))
    L.append(station_shot())
    credits = [("CODE", "KESTREL"), ("MUSIC", "HALCYON"), ("GRAPHICS", "MERIDIAN"), ("ENGINE", "VIREO LIBRARY")]
    for i, (role, who) in enumerate(credits):
        t0 = s_b + bar(2 * i)
        L.append(text(role, t0, beat(2), beat(4), beat(2), y=0.45, size=0.16, depth_in=2.0))
        L.append(text(who, t0 + beat(1), beat(2), beat(3), beat(2), y=-0.2, size=0.26, depth_in=4.0,
                      slide_out=(0.0, -0.5)))
    L.append(focal_scene("station.mdl", bar(48), bar(1), bar(4), bar(1)))
    L.append(focal("galaxy", bar(52), bar(1), bar(2), bar(1)))
    L.append(wave("logo.jpg", bar(48), bar(2), bar(4), bar(2), alpha="logo_a.png", xs=4.2, ys=1.05,
                  tier=SPRITE))
    L.append(blob(bar(52), bar(1), bar(2), bar(1)))
    # The drop into the second theme and the crash that opens the glow shot ring out from the middle.
    for b in (40, 48):
        L += ripple(bar(b), (0.4, 0.8, 1.25, 1.75, 2.3))
    for b in range(52, 56):
        for q in range(4):
            L.append(bars_vertical(bar(b) + beat(q), n=10 + 2 * q, half_width=0.06))
    L.append(text("LOOK UP", bar(50), beat(2), beat(3), beat(2), y=-1.2, size=0.3))
    L.append(text("MAKE A WISH", bar(54), beat(2), beat(3), beat(2), y=-1.2, size=0.26, tremble=True))
    for b in range(41, 56, 2):
        L.append(flash(bar(b), fall=0.3))

    # Outro: the title once more, thanks, and fade to black before the end.
    L.append(gfx("stars.jpg", s_out, beat(1), bar(1), 113.0 - 0.3 - s_out - beat(1) - bar(1),
                 zoom_in=1.3, zoom_out=2.5, tier=BACK))
    L.append(gfx("logo.jpg", s_out, beat(2), bar(1), bar(1), half_w=0.44, half_h=0.44 / 3, cy=0.15,
                 alpha="logo_a.png", zoom_in=0.2, zoom_out=3.0, tier=TEXT))
    L.append(text("THANK YOU FOR WATCHING", s_out + bar(1), beat(3), beat(2), bar(1), y=-0.3, size=0.16))
    return L


# Section changes fire a flash of their own when they come due; the crash cymbals get the longest.
def section_blocks():
    blocks = []
    for name, first, _ in T.SECTIONS:
        ops = []
        if first in T.CRASH_BARS:
            # Created when the block fires, so its clock starts then and StartTime is 0.
            ops.append(flash(0.0, rise=0.02, stable=0.05, fall=0.6 if first in (8, 40) else 1.2))
        blocks.append((bar(first), name, ops))
    return blocks


def write(path):
    layers = sorted(production(), key=lambda l: (l.tier, l.start))
    out = [
        "// Starfall - the trailer.",
        "// Music: starfall.mp3, %g BPM in 4/4: one beat is %.2f s, one bar %.2f s; %d bars, %.1f s."
        % (T.BPM, T.BEAT, T.BAR, T.BARS, T.LENGTH),
        "// Sections (bar: name): " + ", ".join("%d: %s" % (f, n) for n, f, _ in T.SECTIONS) + ".",
        "// Crash cymbals open bars " + ", ".join(str(b) for b in T.CRASH_BARS) + ".",
        "// Written by tools/gen/script.py from the tempo; edit that, not this file.",
        "",
        'LOADINGIMG "loading.jpg";',
        'MUSICSTREAM "starfall.mp3";',
        'SHOWFPS "No";',
        'SHOWTIME "No";',
        'SHOWDESC "No";',
        'LOGSCRIPT "No";',
        'TIMESTRETCH "Yes";',
        "",
        "// Everything below is created before playback starts; StartTime counts from the music's start.",
        "TIME -1 {",
        '\tDESC "Preload";',
    ]
    for layer in layers:
        out.append("\t// %s at %.2f s (bar %.2f)" % (layer.kind, layer.start, layer.start / T.BAR))
        out.extend(layer.lines())
    out.append("};")
    for t, name, ops in section_blocks():
        out.append("")
        out.append("// Bar %d: %s" % (round(t / T.BAR), name))
        out.append("TIME %s {" % num(t))
        out.append('\tDESC "%s";' % name)
        for op in ops:
            out.extend(op.lines())
        out.append("};")
    out += ["", "// The water is named, so it stays on the stack after its window until deleted.",
            "TIME %s {" % num(WATER_END + beat(1)), '\tDELETE "Water" {', "\t};", "};"]
    for b, name, camera in CUTS:
        out += ["", "// Bar %d: cut to %s's %s." % (b, name, camera), "TIME %s {" % num(bar(b)),
                '\tUPDATE "%s" {' % name, '\t\tCurrentCamera "%s";' % camera, "\t};", "};"]
    for name, _, last in SHOTS:
        out += ["", "// %s is named for its camera cuts, so it is deleted when its shot is over." % name,
                "TIME %s {" % num(bar(last) + beat(1)), '\tDELETE "%s" {' % name, "\t};", "};"]
    out += ["", "TIME %s {" % num(T.END_TIME), '\tDESC "The end";', "\tEND;", "};", ""]
    with open(path, "wb") as f:
        f.write("\r\n".join(out).encode("ascii"))


if __name__ == "__main__":
    write(sys.argv[1])
