# Synthesizes the soundtrack from code alone (no samples) and encodes it to MP3 with lame.
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

import tempo as T

SR = T.RATE
N = int(round(T.LENGTH * SR))
STEP = int(round(T.SIXTEENTH * SR))  # samples per sixteenth note (5292)

# A minor: four chords of two bars each, and the darker breakdown turn.
CYCLE = [("Am", 33, [57, 60, 64, 69]), ("F", 29, [57, 60, 65, 69]),
         ("C", 36, [55, 60, 64, 67]), ("G", 31, [55, 59, 62, 67])]
BREAK = [("Dm", 38, [57, 62, 65, 69]), ("Am", 33, [57, 60, 64, 69]),
         ("F", 29, [57, 60, 65, 69]), ("E", 40, [56, 59, 64, 68])]

# Lead melody over one eight-bar cycle: (start, length) in sixteenths, MIDI note.
MELODY = [(0, 6, 76), (6, 2, 74), (8, 4, 72), (12, 4, 76), (16, 8, 81), (24, 4, 79), (28, 4, 76),
          (32, 6, 77), (38, 2, 76), (40, 4, 72), (44, 4, 69), (48, 8, 72), (56, 4, 74), (60, 4, 76),
          (64, 6, 79), (70, 2, 76), (72, 4, 72), (76, 4, 67), (80, 6, 72), (86, 2, 74), (88, 8, 76),
          (96, 6, 74), (102, 2, 71), (104, 4, 67), (108, 4, 71), (112, 8, 74), (120, 8, 76)]


def hz(midi):
    return 440.0 * 2.0 ** ((midi - 69) / 12.0)


def at(seconds):
    return int(round(seconds * SR))


def bar_sample(b):
    return b * 16 * STEP


class Mix:
    """Stereo buses: a dry mix and a send to the reverb."""

    def __init__(self):
        self.dry = np.zeros((2, N))
        self.wet = np.zeros((2, N))
        self.duck = np.ones(N)  # side-chain gain driven by the kick

    def add(self, start, sig, pan=0.0, gain=1.0, send=0.0, ducked=False):
        """Adds a mono (n,) or stereo (2, n) signal at sample start; pan -1 (left) .. 1 (right)."""
        if start >= N:
            return
        sig = np.atleast_2d(sig)
        if sig.shape[0] == 1:
            angle = (pan + 1.0) * np.pi / 4.0
            sig = np.vstack([sig[0] * np.cos(angle), sig[0] * np.sin(angle)]) * np.sqrt(2.0)
        n = min(sig.shape[1], N - start)
        part = sig[:, :n] * gain
        if ducked:
            part = part * self.duck[start:start + n]
        self.dry[:, start:start + n] += part
        if send:
            self.wet[:, start:start + n] += part * send


def env_adsr(n, attack, release, sustain_len=None):
    """Linear attack, hold, linear release (all in samples)."""
    e = np.ones(n)
    a = max(1, int(attack))
    e[:a] = np.linspace(0.0, 1.0, a, endpoint=False)
    r = max(1, int(release))
    if r < n:
        e[n - r:] *= np.linspace(1.0, 0.0, r)
    return e


def onepole_lowpass_gain(freq, cutoff, order=2):
    return 1.0 / np.sqrt(1.0 + (freq / cutoff) ** (2 * order))


def wavetable_saw(cutoff_harmonics, size=4096):
    """One period of a band-limited, softened saw."""
    ph = np.arange(size) / size * 2 * np.pi
    w = np.zeros(size)
    for k in range(1, 48):
        g = onepole_lowpass_gain(k, cutoff_harmonics)
        if g < 1e-3:
            break
        w += np.sin(k * ph) * g / k
    return w / np.max(np.abs(w))


def table_osc(table, freq, n, phase0=0.0):
    """Reads a single-cycle table at a constant frequency with linear interpolation."""
    size = len(table)
    pos = (phase0 + np.arange(n) * (freq / SR)) % 1.0 * size
    i = pos.astype(np.int64)
    frac = pos - i
    return table[i] * (1 - frac) + table[(i + 1) % size] * frac


class Synth:
    def __init__(self, seed=0x5747):
        self.rng = np.random.default_rng(seed)
        self.pad_table = wavetable_saw(5.0)
        self.mix = Mix()

    def noise(self, n):
        return self.rng.standard_normal(n)

    # --- drums -----------------------------------------------------------------------------
    def kick(self, velocity=1.0):
        n = at(0.42)
        t = np.arange(n) / SR
        f = 46.0 + 120.0 * np.exp(-t / 0.028)
        phase = 2 * np.pi * np.cumsum(f) / SR
        body = np.sin(phase) * np.exp(-t / 0.2)
        click = self.noise(n) * np.exp(-t / 0.002) * 0.25
        return np.tanh(1.6 * (body + click)) * velocity

    def snare(self, velocity=1.0):
        n = at(0.3)
        t = np.arange(n) / SR
        nz = self.noise(n)
        nz = np.diff(nz, prepend=0.0) * 0.6
        tone = np.sin(2 * np.pi * 185.0 * t) * np.exp(-t / 0.04)
        return (nz * np.exp(-t / 0.07) + tone * 0.8) * velocity * 0.6

    def hat(self, velocity=1.0, open_=False):
        n = at(0.3 if open_ else 0.07)
        t = np.arange(n) / SR
        nz = self.noise(n)
        nz = np.diff(np.diff(nz, prepend=0.0), prepend=0.0) * 0.35
        return nz * np.exp(-t / (0.09 if open_ else 0.018)) * velocity * 0.7

    def crash(self, velocity=1.0):
        n = at(3.0)
        t = np.arange(n) / SR
        nz = np.diff(self.noise(n), prepend=0.0) * 0.5
        metal = sum(np.sin(2 * np.pi * f * t + p) for f, p in
                    [(3140.0, 0.1), (4290.0, 1.3), (5370.0, 2.2), (6820.0, 0.7), (8110.0, 2.9)])
        return (nz + metal * 0.08) * np.exp(-t / 0.85) * velocity * 0.5

    # --- tonal -----------------------------------------------------------------------------
    def bass_note(self, midi, length, velocity=1.0):
        n = length + at(0.01)
        t = np.arange(n) / SR
        f0 = hz(midi)
        cutoff = 180.0 + 1300.0 * np.exp(-t / 0.07)
        out = np.zeros(n)
        for k in range(1, 40):
            if k * f0 > 6000:
                break
            out += np.sin(2 * np.pi * k * f0 * t) / k * onepole_lowpass_gain(k * f0, cutoff)
        out += 0.6 * np.sin(2 * np.pi * f0 * t)  # weight under the saw
        return out * env_adsr(n, at(0.004), at(0.03)) * velocity * 0.55

    def pad_chord(self, notes, length, brightness=1.0):
        """Detuned saws, slow attack and a long release; returns stereo."""
        rel = at(0.9)
        n = length + rel
        out = np.zeros((2, n))
        for i, m in enumerate(notes):
            for side, cents in ((0, -9.0), (1, 8.0), (0, 4.0), (1, -5.0)):
                f = hz(m) * 2 ** (cents / 1200.0)
                out[side] += table_osc(self.pad_table, f, n, phase0=0.17 * i + 0.31 * side)
        e = env_adsr(n, at(0.6), rel)
        return out * e * 0.1 * brightness

    def pluck(self, midi, brightness=1.0, velocity=1.0):
        n = at(0.5)
        t = np.arange(n) / SR
        f0 = hz(midi)
        out = np.zeros(n)
        for k in range(1, 9):
            decay = 0.45 / (1.0 + (k - 1) * (1.6 - brightness))
            out += np.sin(2 * np.pi * k * f0 * t) / k ** 1.2 * np.exp(-t / decay) * (brightness ** (k - 1))
        return out * env_adsr(n, at(0.002), at(0.02)) * velocity * 0.22

    def lead_note(self, midi, length, velocity=1.0):
        rel = at(0.08)
        n = length + rel
        t = np.arange(n) / SR
        vib = 1.0 + 0.004 * np.sin(2 * np.pi * 5.5 * t) * np.clip((t - 0.15) / 0.2, 0, 1)
        phase = 2 * np.pi * np.cumsum(hz(midi) * vib) / SR
        out = np.zeros(n)
        for k in (1, 2, 3, 5, 7, 9):
            g = onepole_lowpass_gain(k * hz(midi), 3200.0) / k
            out += np.sin(k * phase) * (g if k % 2 else g * 0.35)
        return out * env_adsr(n, at(0.008), rel) * velocity * 0.26

    def bell(self, midi, velocity=1.0):
        n = at(2.5)
        t = np.arange(n) / SR
        f = hz(midi)
        mod = 2.2 * np.exp(-t / 0.4) * np.sin(2 * np.pi * 3.5 * f * t)
        return np.sin(2 * np.pi * f * t + mod) * np.exp(-t / 0.9) * velocity * 0.12

    def riser(self, length):
        """Noise whose band sweeps upward, shaped frame by frame in the spectrum."""
        frame, hop = 2048, 1024
        n = length + frame
        src = self.noise(n)
        out = np.zeros(n)
        win = np.hanning(frame)
        freqs = np.fft.rfftfreq(frame, 1.0 / SR)
        for s in range(0, n - frame, hop):
            x = s / length
            centre = 300.0 * (40.0 ** x)
            shape = np.exp(-0.5 * (np.log(freqs + 1.0) - np.log(centre)) ** 2 / 0.35)
            out[s:s + frame] += np.fft.irfft(np.fft.rfft(src[s:s + frame] * win) * shape, frame)
        ramp = np.linspace(0.0, 1.0, n) ** 2
        return out[:length] * ramp[:length] * 0.6


def chord_at(b):
    """The chord (name, bass note, voicing) for bar b."""
    prog = BREAK if 32 <= b < 40 else CYCLE
    return prog[(b // 2) % 4]


def compose(s):
    mix = s.mix
    kicks = []
    # Drums and the side-chain envelope come first so the ducked parts can follow it.
    for b in range(T.BARS):
        if T.has_kick(b):
            for q in range(4):
                kicks.append(bar_sample(b) + q * 4 * STEP)
    kicks.append(bar_sample(56))
    for k in kicks:
        n = min(at(0.3), N - k)
        t = np.arange(n) / SR
        mix.duck[k:k + n] = np.minimum(mix.duck[k:k + n], 1.0 - 0.55 * np.exp(-t / 0.11))
    for k in kicks:
        mix.add(k, s.kick(1.0 if k != bar_sample(56) else 1.2), gain=0.9)

    for b in range(T.BARS):
        base = bar_sample(b)
        if T.has_snare(b):
            for q in (1, 3):
                mix.add(base + q * 4 * STEP, s.snare(), pan=0.05, gain=0.8, send=0.25)
        if b in T.ROLL_BARS:
            for i in range(16):
                v = 0.25 + 0.75 * i / 15
                mix.add(base + i * STEP, s.snare(v), pan=0.05, gain=0.7, send=0.3)
                if i >= 8:
                    mix.add(base + i * STEP + STEP // 2, s.snare(v * 0.7), pan=-0.05, gain=0.7, send=0.3)
        if 8 <= b < 32 or 40 <= b < 56:
            for i in range(16):
                offbeat = i % 4 == 2
                if offbeat:
                    mix.add(base + i * STEP, s.hat(0.9, open_=b >= 40), pan=0.3, gain=0.7)
                elif b >= 16 and i % 2 == 1:
                    mix.add(base + i * STEP, s.hat(0.35), pan=0.35, gain=0.7)
                elif b >= 40 and i % 4 == 0:
                    mix.add(base + i * STEP, s.hat(0.5), pan=0.25, gain=0.7)
        if b in T.CRASH_BARS:
            mix.add(base, s.crash(1.0), pan=-0.25, gain=0.8, send=0.3)

    for first, last in T.RISER_BARS:
        mix.add(bar_sample(first), s.riser(bar_sample(last) - bar_sample(first)), gain=0.5, send=0.4)

    # Pads: one chord every two bars, quieter in the intro, held long at the end.
    for b in range(0, 56, 2):
        _, _, notes = chord_at(b)
        bright = 1.3 - 0.3 * min(1.0, b / 8.0)
        sig = s.pad_chord(notes, bar_sample(2), bright)
        mix.add(bar_sample(b), sig, send=0.5, ducked=True)
    final = s.pad_chord([45, 57, 60, 64, 69], bar_sample(3))
    mix.add(bar_sample(56), final * 1.2, send=0.7)

    # Bass: pumping offbeat eighths with the root an octave up on every other one.
    for b in range(8, 56):
        if 32 <= b < 38:
            continue
        _, root, _ = chord_at(b)
        for i in range(8):
            if b < 16 and i % 2 == 0:
                continue
            note = root + (12 if i % 4 == 3 else 0) + 12
            mix.add(bar_sample(b) + i * 2 * STEP, s.bass_note(note, 2 * STEP - at(0.02)), gain=0.7,
                    ducked=True)
    mix.add(bar_sample(56), s.bass_note(33 + 12, bar_sample(2)), gain=0.9)

    # Arpeggio: sixteenths over the chord, opening up through the intro, fading at the end.
    pattern = [0, 1, 2, 3, 2, 1, 2, 3, 0, 1, 2, 3, 4, 3, 2, 1]
    for b in range(0, 59):
        _, _, notes = chord_at(min(b, 55))
        tones = notes + [notes[0] + 12]
        if b >= 56:
            tones = [57, 60, 64, 69, 72]
        bright = min(1.0, 0.25 + b / 10.0)
        level = 1.0 if b < 56 else max(0.0, 1.0 - (bar_sample(b) - bar_sample(56)) / bar_sample(3))
        for i in range(16):
            m = tones[pattern[i]] + 12
            pan = -0.45 if i % 2 == 0 else 0.45
            mix.add(bar_sample(b) + i * STEP, s.pluck(m, bright, level * (1.0 if i % 4 == 0 else 0.7)),
                    pan=pan, send=0.35, ducked=True)

    # Lead melody in both themes; an octave-up double in Theme B.
    for first in (16, 24, 40, 48):
        for start, length, m in MELODY:
            pos = bar_sample(first) + start * STEP
            mix.add(pos, s.lead_note(m, length * STEP - at(0.02)), pan=-0.1, send=0.35)
            if first >= 40:
                mix.add(pos, s.lead_note(m + 12, length * STEP - at(0.02), 0.45), pan=0.2, send=0.45)

    # Bells over the intro's second half and through the breakdown.
    for b in list(range(4, 8)) + list(range(32, 40)):
        _, _, notes = chord_at(b)
        for q, idx in ((0, 3), (6, 2), (10, 1)):
            mix.add(bar_sample(b) + q * STEP, s.bell(notes[idx] + 12, 0.9 if q == 0 else 0.6),
                    pan=0.5 if q == 6 else -0.3, send=0.6)


def reverb(wet, rng):
    """Convolution with decaying noise: a plain hall, different in each ear."""
    ir_len = at(2.4)
    t = np.arange(ir_len) / SR
    out = np.zeros_like(wet)
    size = 1 << int(np.ceil(np.log2(wet.shape[1] + ir_len)))
    for ch in range(2):
        ir = rng.standard_normal(ir_len) * np.exp(-t / 0.55)
        ir[:at(0.018)] = 0.0  # pre-delay
        ir /= np.sqrt(np.sum(ir ** 2))
        spectrum = np.fft.rfft(wet[ch], size) * np.fft.rfft(ir, size)
        out[ch] = np.fft.irfft(spectrum, size)[:wet.shape[1]]
    return out * 0.35


def echo(mix):
    """Ping-pong echo of three dotted eighths on the reverb send (adds depth to plucks and lead)."""
    d = 3 * 2 * STEP
    out = np.zeros_like(mix.wet)
    src = mix.wet.copy()
    g = 0.35
    for i in range(1, 5):
        ch = i % 2
        shift = i * d
        out[ch, shift:] += src[(ch + 1) % 2 if i % 2 else ch, :N - shift] * g
        g *= 0.55
    return out


def render():
    s = Synth()
    compose(s)
    mix = s.mix
    out = mix.dry + reverb(mix.wet + echo(mix), np.random.default_rng(0x7E7B))
    # Gentle master: remove DC, soft clip, normalise to -1 dBFS, fade the tail.
    out -= out.mean(axis=1, keepdims=True)
    out = np.tanh(out / np.max(np.abs(out)) * 1.4)
    tail = at(2.0)
    out[:, N - tail:] *= np.linspace(1.0, 0.0, tail)
    out *= 0.891 / np.max(np.abs(out))
    return out


def write_wav(path, stereo):
    pcm = np.clip(np.rint(stereo.T * 32767.0), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(pcm.tobytes())


def encode(wav, mp3):
    # Constant bit rate, no ReplayGain scan and no ID3 tag: the same PCM always gives the same bytes.
    subprocess.run(["lame", "--quiet", "--cbr", "-b", "112", "-q", "2", "-m", "j", "--noreplaygain",
                    "--resample", "44.1", wav, mp3], check=True)


def main(out_dir, keep_wav=None):
    stereo = render()
    with tempfile.TemporaryDirectory() as tmp:
        wav = keep_wav or os.path.join(tmp, "starfall.wav")
        write_wav(wav, stereo)
        encode(wav, os.path.join(out_dir, "starfall.mp3"))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None)
