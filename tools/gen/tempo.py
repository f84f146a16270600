# The soundtrack's tempo and arrangement, shared by the music synthesizer and the script writer.
BPM = 125.0
BEAT = 60.0 / BPM          # 0.48 s
BAR = 4 * BEAT             # 1.92 s, 4/4 time
SIXTEENTH = BEAT / 4       # 0.12 s: a whole number of samples (5292) at 44.1 kHz
RATE = 44100
BARS = 60                  # 115.2 s of music
LENGTH = BARS * BAR
END_TIME = 113.0           # the script ends while the last chord dies away

# Sections as (name, first bar, bar count); bars count from 0 at the start of playback.
SECTIONS = [
    ("Intro", 0, 8),        # pads and a slowly opening arpeggio, no drums
    ("Build", 8, 8),        # kick, hats and bass come in; snare roll and riser in bar 15
    ("Theme A", 16, 16),    # full drums and the lead melody
    ("Breakdown", 32, 8),   # drums out: pads, arpeggio, bells; kick roll and riser in bar 39
    ("Theme B", 40, 16),    # full again, lead an octave up, sixteenth hats
    ("Outro", 56, 4),       # one last hit and a long dying chord
]

# Bars that open with a crash cymbal: the accents the picture flashes on hardest.
CRASH_BARS = [8, 16, 24, 40, 48, 56]
# Bars with a snare roll that leads into the next section.
ROLL_BARS = [15, 39]
# Bars with a noise riser.
RISER_BARS = [(14, 16), (38, 40)]


def bar(n):
    """Start of bar n in seconds (n may be fractional)."""
    return n * BAR


def beat(n):
    """Start of beat n in seconds, counting from the first beat of bar 0."""
    return n * BEAT


def section(name):
    for sname, first, count in SECTIONS:
        if sname == name:
            return first, count
    raise KeyError(name)


def has_kick(b):
    """True when bar b carries the four-on-the-floor kick."""
    return 8 <= b < 32 or 40 <= b < 56 or b == 39


def has_snare(b):
    return 16 <= b < 32 or 40 <= b < 56
