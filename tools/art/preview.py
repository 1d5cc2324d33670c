#!/usr/bin/python3
"""Look at the hearth without running the show.

Composes the scene from the committed assets (KIM1.jpg plus the nine flame
strips, each frame pasted at its rectangle) exactly as the show does.

    preview.py frame N OUT.png [ASSETDIR]   one composed frame (0..55)
    preview.py anim OUT.gif [ASSETDIR]      all 56 frames, 25 frames/s, looping
    preview.py anim OUT.png [ASSETDIR]      the same as an animated PNG
"""
import os
import sys

import numpy as np
from PIL import Image

from hearth import RECTS, STEPS

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_ASSETS = os.path.join(HERE, "..", "..", "assets")


def load(assets):
    bg = np.array(Image.open(os.path.join(assets, "KIM1.jpg")).convert("RGB"))
    strips = [np.array(Image.open(os.path.join(assets, f"KMV2flame{i + 1}.jpg")).convert("RGB"))
              for i in range(len(RECTS))]
    return bg, strips


def compose(bg, strips, n):
    img = bg.copy()
    for (x, y, w, h), s in zip(RECTS, strips):
        img[y:y + h, x:x + w] = s[n * h:(n + 1) * h]
    return img


def main(argv):
    if len(argv) >= 3 and argv[0] == "frame":
        n = int(argv[1]) % STEPS
        bg, strips = load(argv[3] if len(argv) > 3 else DEFAULT_ASSETS)
        Image.fromarray(compose(bg, strips, n)).save(argv[2])
    elif len(argv) >= 2 and argv[0] == "anim":
        bg, strips = load(argv[2] if len(argv) > 2 else DEFAULT_ASSETS)
        frames = [Image.fromarray(compose(bg, strips, n)) for n in range(STEPS)]
        out = argv[1]
        if out.lower().endswith(".gif"):
            # one shared palette keeps the still parts from shimmering
            pal = frames[0].quantize(colors=255, method=Image.MEDIANCUT)
            frames = [f.quantize(palette=pal, dither=Image.FLOYDSTEINBERG) for f in frames]
        frames[0].save(out, save_all=True, append_images=frames[1:], duration=40, loop=0)
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
