#!/usr/bin/env python3
"""same_sound.py PLAYED.wav REFERENCE.wav

Checks that the sound a show played, as its sound device received it, is the reference rendering
from its start, frame for frame. The one difference allowed is silence the audio system put in
between when it ran dry (an underrun): the played data is the reference with runs of zero frames
inserted, never with a frame lost or changed, and more of it is sound than inserted silence.
Prints what it found; exit code 1 on a difference.
"""
import array
import sys


def frames(path):
    """The 16-bit stereo frames of a WAV file's data chunk, as 32-bit words."""
    with open(path, "rb") as f:
        data = f.read()
    start = data.find(b"data", 12)
    if data[:4] != b"RIFF" or start < 0:
        sys.exit(f"{path}: not a WAV file")
    body = data[start + 8:]
    words = array.array("I")
    words.frombytes(body[: len(body) // 4 * 4])
    return words


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    played, reference = frames(sys.argv[1]), frames(sys.argv[2])
    p = r = audible = inserted = runs = 0
    in_run = False
    while p < len(played) and r < len(reference):
        if played[p] == reference[r]:
            audible += played[p] != 0
            r += 1
            in_run = False
        elif played[p] == 0:
            inserted += 1
            runs += not in_run
            in_run = True
        else:
            print(f"played frame {p} differs from reference frame {r}")
            return 1
        p += 1
    if p < len(played):
        print(f"played {len(played) - p} frames beyond the reference's end")
        return 1
    print(f"{r} frames of the reference in order, {inserted} frames of silence inserted in {runs} runs")
    return 0 if audible > inserted else 1


if __name__ == "__main__":
    sys.exit(main())
