# Installs the build into a scratch prefix and checks what a desktop gets: programs, desktop
# entry, icons in every hicolor size, and a manual page that man renders and that covers
# every option of --help.
# Usage: install_check.py BUILD_DIR PREFIX
import os
import re
import shutil
import struct
import subprocess
import sys

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG"
    return struct.unpack(">II", head[16:24])


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


def main(build, prefix):
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    shutil.rmtree(prefix, ignore_errors=True)
    done = run(["cmake", "--install", build, "--prefix", prefix])
    if done.returncode != 0:
        print(done.stdout, done.stderr)
        return 1

    for program in ("starfall", "pakwriter"):
        path = os.path.join(prefix, "bin", program)
        check(os.access(path, os.X_OK), "bin/%s is not an executable" % program)
    version = run([os.path.join(prefix, "bin", "starfall"), "--version"])
    check(version.returncode == 0 and "starfall" in version.stdout, "installed starfall --version fails")

    desktop = os.path.join(prefix, "share", "applications", "starfall.desktop")
    check(os.path.isfile(desktop), "no desktop entry")
    if os.path.isfile(desktop):
        valid = run(["desktop-file-validate", desktop])
        check(valid.returncode == 0 and not valid.stdout.strip(),
              "desktop-file-validate: " + valid.stdout + valid.stderr)
        entry = open(desktop).read()
        check("\nExec=starfall\n" in entry and "\nIcon=starfall\n" in entry, "entry does not run starfall with its icon")

    for size in SIZES:
        icon = os.path.join(prefix, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps", "starfall.png")
        check(os.path.isfile(icon) and png_size(icon) == (size, size), "icon %d missing or of the wrong size" % size)

    page = os.path.join(prefix, "share", "man", "man6", "starfall.6")
    check(os.path.isfile(page), "no manual page")
    if os.path.isfile(page):
        env = dict(os.environ, MANWIDTH="100", MANPAGER="cat", PAGER="cat", LC_ALL="C.UTF-8")
        shown = run(["man", "-l", page], env=env)
        check(shown.returncode == 0, "man -l fails: " + shown.stderr)
        text = re.sub(".\b", "", shown.stdout)  # no overstrike
        for section in ("NAME", "SYNOPSIS", "OPTIONS", "KEYS", "EXIT STATUS", "FILES"):
            check(re.search("^" + section + "$", text, re.M) is not None, "manual page lacks " + section)
        check(not shown.stderr.strip(), "man warns: " + shown.stderr)
        warnings = run(["groff", "-man", "-ww", "-z", page])
        check(not warnings.stderr.strip(), "groff warns: " + warnings.stderr)
        usage = run([os.path.join(prefix, "bin", "starfall"), "--help"]).stdout
        options = re.findall(r"^  (--[a-z-]+)", usage, re.M)
        check(len(options) > 10, "no options found in --help")
        for option in options:
            check(option in text, "manual page does not describe " + option)
        for key in ("Escape", "F12", "F1"):
            check(key in text, "manual page does not name the key " + key)

    for failure in failures:
        print("FAIL:", failure)
    print("%d checks failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
