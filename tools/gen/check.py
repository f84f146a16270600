# Checks a generated data folder against the conventions the player relies on.
import os
import re
import struct
import sys

from PIL import Image

FILE_KEYS = {"Texture", "AlphaTexture", "BlurryMap", "AlphaBlurMap", "OrigMap", "AlphaMap",
              "TextureFile", "EnvMapFile", "TextureMap", "MDLFile"}


def fail(msg):
    print("check: " + msg)
    return 1


def check_png(path):
    with open(path, "rb") as f:
        head = f.read(33)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return fail("%s is not a PNG" % path)
    _, _, depth, kind = struct.unpack(">IIBB", head[16:26])
    if depth != 8 or kind != 2:
        return fail("%s must be 8-bit RGB (depth %d, colour type %d)" % (path, depth, kind))
    return 0


def check_jpeg(path):
    im = Image.open(path)
    if im.format != "JPEG" or im.mode not in ("RGB", "L") or im.info.get("progressive"):
        return fail("%s must be a baseline colour or grey JPEG" % path)
    return 0


class Reader:
    def __init__(self, raw):
        self.raw, self.at = raw, 0

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.at + size > len(self.raw):
            raise ValueError("truncated at byte %d" % self.at)
        values = struct.unpack_from(fmt, self.raw, self.at)
        self.at += size
        return values

    def text(self):
        (n,) = self.take("<B")
        (data,) = self.take("<%ds" % n)
        return data.decode("ascii")


def read_mdl(raw):
    """Walks an MDL scene file record by record; returns names, textures and the triangle count."""
    r = Reader(raw)
    if r.take("<3sBB") != (b"MDL", 0, 3):
        raise ValueError("not an MDL 3.0 file")
    meshes, materials, tracks, frames, cameras, lights, markers = r.take("<7I")
    info = {"frames": frames, "triangles": 0, "meshes": [], "materials": [], "used": set(), "textures": set(),
            "tracks": [], "cameras": [], "lights": []}
    for _ in range(cameras):
        info["cameras"].append(r.text())
        r.take("<8f")
    for _ in range(lights):
        info["lights"].append(r.text())
        r.take("<7f")
    for _ in range(meshes):
        name, material = r.text(), r.text()
        v, f = r.take("<II")
        r.take("<%df" % (6 * v))
        faces = r.take("<" + "3I3f" * f)
        if f and max(max(faces[k * 6:k * 6 + 3]) for k in range(f)) >= v:
            raise ValueError("%s: face index beyond its %d vertices" % (name, v))
        r.take("<" + "2fI" * v)
        r.take("<3f")
        (children,) = r.take("<I")
        for _ in range(children):
            r.text()
        info["meshes"].append(name)
        info["triangles"] += f
        if material:
            info["used"].add(material)
    for _ in range(markers):
        r.text()
        r.take("<I3f")
    for _ in range(materials):
        info["materials"].append(r.text())
        (count,) = r.take("<I")
        for _ in range(count):
            info["textures"].add(r.text())
        r.take("<9fBI")
    for _ in range(tracks):
        name = r.text()
        counts = r.take("<5I")
        for count, fmt in zip(counts, ("i3f", "if", "if", "i6f", "i3f")):
            keys = [r.take("<" + fmt) for _ in range(count)]
            if [k[0] for k in keys] != sorted(k[0] for k in keys):
                raise ValueError("%s: keys out of frame order" % name)
        info["tracks"].append(name.lower())
    if r.at != len(raw):
        raise ValueError("%d bytes left after the last track" % (len(raw) - r.at))
    return info


def check_mdl(path, files):
    name = os.path.basename(path)
    try:
        with open(path, "rb") as f:
            info = read_mdl(f.read())
    except ValueError as e:
        return fail("%s: %s" % (name, e))
    errors = 0
    if info["triangles"] >= 20000:
        errors += fail("%s: %d triangles, the budget is 20000" % (name, info["triangles"]))
    for material in info["materials"]:
        if material not in info["used"]:
            errors += fail("%s: material %s is used by no mesh" % (name, material))
    for texture in sorted(info["textures"]):
        if texture.lower() not in files:
            errors += fail("%s: texture %s is missing" % (name, texture))
    for light in info["lights"]:
        m = re.search(r'\.m"([^"]*)"', light)
        if m and m.group(1).lower() not in files:
            errors += fail("%s: light %s names a missing texture" % (name, light))
    for camera in info["cameras"]:
        if camera.lower() not in info["tracks"] or camera.lower() + ".target" not in info["tracks"]:
            errors += fail("%s: camera %s lacks its tracks" % (name, camera))
    return errors


def script_files(script):
    names = set()
    for line in script.split("\r\n"):
        m = re.match(r'\s*(\w+)\s+"([^"]*)"', line)
        if not m:
            continue
        key, value = m.groups()
        if key in FILE_KEYS or key in ("LOADINGIMG", "MUSICSTREAM"):
            names.add(value)
        elif key == "TextMapList":
            names.update(n.strip() for n in re.split(r"[,\t]", value) if n.strip())
    return names


def main(d):
    errors = 0
    files = sorted(os.listdir(d))
    for name in files:
        if name != name.lower():
            errors += fail("%s: archive names are lower case" % name)
        path = os.path.join(d, name)
        if name.endswith(".png"):
            errors += check_png(path)
        elif name.endswith(".jpg"):
            errors += check_jpeg(path)
        elif name.endswith(".mdl"):
            errors += check_mdl(path, files)
    with open(os.path.join(d, "script.txt"), "rb") as f:
        raw = f.read()
    if b"\n" in raw.replace(b"\r\n", b""):
        errors += fail("script.txt must end every line with CR LF")
    script = raw.decode("ascii")
    for name in sorted(script_files(script) | {"white.jpg", "font1.png", "vireointro.png", "chromic.jpg"}):
        if name.lower() not in files:
            errors += fail("script or player needs %s, which is missing" % name)
    with Image.open(os.path.join(d, "vireointro.png")) as im:
        if im.size != (256, 114):
            errors += fail("vireointro.png should be 256 x 114")
    for name in ("glyphs.jpg", "glyphs_a.png", "glyphs_blur.jpg", "glyphs_blur_a.png"):
        with Image.open(os.path.join(d, name)) as im:
            if im.size != (512, 512):
                errors += fail("%s must be 512 x 512" % name)
    total = sum(os.path.getsize(os.path.join(d, n)) for n in files)
    if total > 8 * 1024 * 1024:
        errors += fail("data is %d bytes, more than the archive's 8 MB" % total)
    return errors


if __name__ == "__main__":
    sys.exit(1 if main(sys.argv[1]) else 0)
