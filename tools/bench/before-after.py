#!/usr/bin/env python3
"""Compares two player binaries on the whole production, interleaved, best of N rounds.

Each round plays, for both binaries in turn (the order alternates between rounds, so neither
always runs on a warmer or cooler machine):
  * the whole production with --bench at each mode (frame rate, ratio to the empty frame, fill);
  * the same first frames at 640x480 with and without --capture (capture's share of play).
The best (highest) figure of the rounds is reported for each, as the least disturbed by the
rest of the machine.

usage: before-after.py BEFORE AFTER [--rounds N] [--modes 640x480x32,1280x960x32]
                       [--capture-frames N] [--frames N] [--work DIR]
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile


def bench(binary, mode, work, frames=None, capture=None):
    out = os.path.join(work, "bench.json")
    args = [binary, "--bench", "--quiet", "--seed", "1", "--mode", mode, "--bench-json", out]
    if frames:
        args += ["--frames", str(frames)]
    if capture:
        shutil.rmtree(capture, ignore_errors=True)
        args += ["--capture", capture]
    env = dict(os.environ, SDL_AUDIODRIVER=os.environ.get("SDL_AUDIODRIVER", "dummy"))
    run = subprocess.run(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        sys.exit(f"{' '.join(args)} failed ({run.returncode}):\n{run.stderr}")
    with open(out) as f:
        return json.load(f)


def best(values):
    return max(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--modes", default="640x480x32,1280x960x32")
    parser.add_argument("--capture-frames", type=int, default=900)
    parser.add_argument("--frames", type=int, default=None, help="play only the first N frames (default: all)")
    parser.add_argument("--work", default=None, help="scratch folder (default: a temporary one)")
    opts = parser.parse_args()
    binaries = {"before": os.path.abspath(opts.before), "after": os.path.abspath(opts.after)}
    modes = opts.modes.split(",")
    work = opts.work or tempfile.mkdtemp(prefix="before-after-")
    os.makedirs(work, exist_ok=True)
    capture_dir = os.path.join(work, "capture")

    figures = {name: {m: {"fps": [], "ratio": [], "fill": [], "fill_share": [], "textured_share": []} for m in modes} for name in binaries}
    for name in binaries:
        figures[name]["capture_share"] = []
    for round_index in range(opts.rounds):
        order = list(binaries) if round_index % 2 == 0 else list(reversed(list(binaries)))
        for mode in modes:
            for name in order:
                result = bench(binaries[name], mode, work, frames=opts.frames)
                f = figures[name][mode]
                f["fps"].append(result["frames_per_second"])
                f["ratio"].append(result["ratio_to_empty"])
                fill = result.get("fill")
                if fill:
                    f["fill"].append(-fill["screens_per_frame"])  # best fill is the least
                    f["fill_share"].append(fill["share_of_fill_limited"])
                    if fill.get("share_of_textured_fill_limited") is not None:
                        f["textured_share"].append(fill["share_of_textured_fill_limited"])
                print(f"round {round_index + 1} {name:6} {mode:12} {result['frames_per_second']:8.1f} frames/s "
                      f"ratio {result['ratio_to_empty']:.3f}", flush=True)
        for name in order:
            plain = bench(binaries[name], "640x480x32", work, frames=opts.capture_frames)
            captured = bench(binaries[name], "640x480x32", work, frames=opts.capture_frames, capture=capture_dir)
            share = captured["frames_per_second"] / plain["frames_per_second"]
            figures[name]["capture_share"].append(share)
            print(f"round {round_index + 1} {name:6} capture share {share:.3f} "
                  f"({captured['frames_per_second']:.1f} / {plain['frames_per_second']:.1f} frames/s)", flush=True)
    shutil.rmtree(capture_dir, ignore_errors=True)

    span = f"first {opts.frames} frames" if opts.frames else "whole production"
    print(f"\nbest of {opts.rounds} rounds, {span} (fill: least screens/frame seen)")
    print(f"{'':8}{'mode':14}{'frames/s':>10}{'ratio':>8}{'fill':>8}{'of fill-limited':>17}{'textured':>10}")
    for mode in modes:
        for name in binaries:
            f = figures[name][mode]
            fill = -best(f["fill"]) if f["fill"] else float("nan")
            share = best(f["fill_share"]) if f["fill_share"] else float("nan")
            textured = best(f["textured_share"]) if f["textured_share"] else float("nan")
            print(f"{name:8}{mode:14}{best(f['fps']):10.1f}{best(f['ratio']):8.3f}{fill:8.2f}{share * 100:16.1f}%"
                  f"{textured * 100:9.1f}%")
    for name in binaries:
        print(f"{name:8}capture share of play at 640x480 over {opts.capture_frames} frames: "
              f"{best(figures[name]['capture_share']):.3f}")


if __name__ == "__main__":
    main()
