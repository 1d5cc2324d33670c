#!/usr/bin/python3
"""Draws the gadget bar, assets/KIM2GadgetPanel.gif (1024 x 70).

A dark smoked-oak board with a bevelled top edge and a thin ember-coloured
inlay, dark enough for white and grey text.  Pure black (0,0,0) is the key
colour the show leaves transparent: it is used only for the rounded ends and
the four small diamond cut-outs near the ends; every other pixel is kept
brighter than black.  Usage: panel.py OUTDIR
"""
import os
import sys

import numpy as np
from PIL import Image

import artlib as al
from artlib import smoothstep

SEED = 7310
W, H = 1024, 70


def render():
    rng = np.random.default_rng(SEED)
    yy, xx = np.mgrid[0:H, 0:W].astype(np.float32)
    grain = al.spectral_noise(rng, H, W, 1.2, sx=14.0, sy=0.9)
    fine = al.spectral_noise(rng, H, W, 0.8, sx=6.0)
    # boards: three planks with thin dark joints
    joints = (np.abs(xx - 341) < 1) | (np.abs(xx - 683) < 1)
    shade = 0.55 + 0.45 * smoothstep(H, 4, yy)            # darker towards the bottom
    wood = np.stack([46, 31, 22], -1).astype(np.float32) * (1 + 0.18 * grain + 0.06 * fine)[..., None]
    img = wood * shade[..., None]
    # bevel: bright lip on top, shadow line below it
    img += (smoothstep(3, 0, yy) * 38)[..., None] * np.array([1.0, 0.75, 0.5], np.float32)
    img *= (1 - 0.35 * smoothstep(6, 4, np.abs(yy - 6)))[..., None]
    # ember inlay line
    inlay = smoothstep(1.2, 0.2, np.abs(yy - 9))
    img = img * (1 - inlay[..., None]) + inlay[..., None] * np.array([150, 70, 22], np.float32) * (0.8 + 0.2 * fine[..., None])
    img[joints] *= 0.6
    # bottom edge shadow
    img *= (1 - 0.4 * smoothstep(H - 5, H, yy))[..., None]
    img = np.clip(np.rint(img), 6, 255).astype(np.uint8)  # never pure black

    # key-colour cut-outs
    r = 14.0
    cx = np.clip(xx, r, W - 1 - r)
    cy = np.clip(yy, r, H - 1 - r)
    outside = np.hypot(xx - cx, yy - cy) > r
    holes = np.zeros_like(outside)
    for x0 in (24, 44, W - 1 - 24, W - 1 - 44):
        holes |= (np.abs(xx - x0) + np.abs(yy - 38) * 1.3) < 7.5
    key = outside | holes
    return img, key


def save(img, key, path):
    # palette: 255 wood colours, plus pure black for the key
    pic = Image.fromarray(img).quantize(colors=255, method=Image.MEDIANCUT, dither=Image.NONE)
    pal = (list(pic.getpalette()) + [0] * 768)[:255 * 3]
    idx = np.array(pic, np.uint8)
    cols = np.array(pal, np.uint8).reshape(-1, 3)
    if (cols[np.unique(idx[~key])].max(axis=1) == 0).any():
        raise SystemExit("panel: a wood colour quantised to pure black")
    idx[key] = 255
    out = Image.fromarray(idx, mode="P")
    out.putpalette(list(pal) + [0, 0, 0])
    out.save(path, optimize=False)


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else "assets"
    os.makedirs(outdir, exist_ok=True)
    img, key = render()
    save(img, key, os.path.join(outdir, "KIM2GadgetPanel.gif"))


if __name__ == "__main__":
    main()
