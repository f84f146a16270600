# Checks a generated data folder against the conventions the player relies on.
import os
import re
import struct
import sys

from PIL import Image

IMAGE_KEYS = {"Texture", "AlphaTexture", "BlurryMap", "AlphaBlurMap", "OrigMap", "AlphaMap",
              "TextureFile", "EnvMapFile", "TextureMap"}


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


def script_files(script):
    names = set()
    for line in script.split("\r\n"):
        m = re.match(r'\s*(\w+)\s+"([^"]*)"', line)
        if not m:
            continue
        key, value = m.groups()
        if key in IMAGE_KEYS or key in ("LOADINGIMG", "MUSICSTREAM"):
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
    with open(os.path.join(d, "script.txt"), "rb") as f:
        raw = f.read()
    if b"\n" in raw.replace(b"\r\n", b""):
        errors += fail("script.txt must end every line with CR LF")
    script = raw.decode("ascii")
    for name in sorted(script_files(script) | {"white.jpg", "font1.png", "vireointro.png"}):
        if name.lower() not in files:
            errors += fail("script or player needs %s, which is missing" % name)
    with Image.open(os.path.join(d, "vireointro.png")) as im:
        if im.size != (256, 114):
            errors += fail("vireointro.png should be 256 x 114")
    for name in ("glyphs.jpg", "glyphs_a.png", "glyphs_blur.jpg", "glyphs_blur_a.png"):
        with Image.open(os.path.join(d, name)) as im:
            if im.size != (512, 512):
                errors += fail("%s must be 512 x 512" % name)
    return errors


if __name__ == "__main__":
    sys.exit(1 if main(sys.argv[1]) else 0)
