#!/usr/bin/python3
"""Renders the Sorvanta hearth scene 56 times and writes

    assets/KIM1.jpg            the still picture (step 0 of the scene)
    assets/KMV2flame1..9.jpg   the nine animated rectangles, 56 frames each,
                               stacked top to bottom
    assets/PREVIEWBMP.bmp      154 x 116 view of step 0

Everything is procedural and seeded (SEED below); running it twice gives the
same bytes.  Usage: hearth.py OUTDIR
"""
import os
import sys

import numpy as np
from PIL import Image

import artlib as al
from artlib import smoothstep, STEPS

SEED = 20240611
W, H = 1024, 768

# (x, y, width, frame height) of the animated rectangles
RECTS = [
    (418, 252, 182, 397),  # 1 main fire
    (433, 667, 166, 101),  # 2 ember bed
    (260, 307, 125, 149),  # 3 firelight on the left side wall
    (612, 307, 152, 149),  # 4 firelight on the right side wall
    (260, 456, 52, 108),   # 5 lower left side wall
    (718, 456, 46, 108),   # 6 lower right side wall
    (198, 598, 35, 51),    # 7 storm lantern on the ledge
    (183, 217, 43, 49),    # 8 candle on the mantel beam
    (797, 218, 44, 38),    # 9 candle lantern on the mantel beam
]

# scene geometry
BEAM_X0, BEAM_X1, BEAM_TOP, BEAM_FACE, BEAM_BOT = 118, 906, 296, 304, 340
OPEN_X0, OPEN_X1, OPEN_TOP, OPEN_BOT = 250, 775, 340, 720
BACK_X0, BACK_X1, BACK_TOP, BACK_BOT = 372, 652, 372, 612
FIRE_X, FIRE_Y = 509.0, 560.0
LEDGE_X0, LEDGE_X1, LEDGE_TOP, LEDGE_FACE, LEDGE_BOT = 168, 250, 678, 686, 700
HEARTH_FACE = 752

YY, XX = np.mgrid[0:H, 0:W].astype(np.float32)


def rgb(*c):
    return np.array(c, np.float32)


# ---------------------------------------------------------------- surfaces

def masonry(rng):
    """Coursed rubble stone for the chimney breast and jambs: albedo, height."""
    wob1 = al.spectral_noise(rng, H, W, 1.8) * 4.0
    wob2 = al.spectral_noise(rng, H, W, 1.8) * 4.0
    yp = YY + wob1
    xp = XX + wob2
    bounds = [-30.0]
    while bounds[-1] < H + 30:
        bounds.append(bounds[-1] + rng.uniform(30, 66))
    bounds = np.array(bounds, np.float32)
    ci = np.clip(np.searchsorted(bounds, yp) - 1, 0, len(bounds) - 2)
    top = bounds[ci]
    bot = bounds[ci + 1]
    left = np.zeros_like(XX)
    right = np.zeros_like(XX)
    sid = np.zeros(XX.shape, np.int32)
    next_id = 0
    for c in range(len(bounds) - 1):
        m = ci == c
        bx = [-rng.uniform(0, 140)]
        while bx[-1] < W + 40:
            bx.append(bx[-1] + rng.uniform(40, 175))
        bx = np.array(bx, np.float32)
        xi = np.clip(np.searchsorted(bx, xp[m]) - 1, 0, len(bx) - 2)
        left[m] = bx[xi]
        right[m] = bx[xi + 1]
        sid[m] = next_id + xi
        next_id += len(bx)
    dx = np.minimum(xp - left, right - xp)
    dy = np.minimum(yp - top, bot - yp)
    r = 9.0
    inner = np.minimum(dx, dy)
    corner = r - np.hypot(np.maximum(r - dx, 0), np.maximum(r - dy, 0))
    d = np.where(inner >= r, inner, corner)
    d = d + al.spectral_noise(rng, H, W, 1.3) * 1.3

    fine = al.spectral_noise(rng, H, W, 0.9)
    mid = al.spectral_noise(rng, H, W, 1.4)
    n_st = next_id
    st_tone = rng.uniform(0.55, 1.25, n_st).astype(np.float32)
    st_hue = rng.integers(0, 5, n_st)
    st_bulge = rng.uniform(0.6, 1.3, n_st).astype(np.float32)
    pal = np.array([
        (0.40, 0.32, 0.24),
        (0.33, 0.30, 0.28),
        (0.44, 0.35, 0.24),
        (0.28, 0.26, 0.25),
        (0.38, 0.29, 0.23),
    ], np.float32)
    mortar_w = 3.2
    stone = smoothstep(mortar_w, mortar_w + 1.8, d)
    height = stone * (smoothstep(mortar_w, mortar_w + 16, d) * 6.0 * st_bulge[sid]
                      + mid * 1.6) + fine * 0.45 + (1 - stone) * (fine * 0.3 - 1.0)
    col = pal[st_hue[sid]] * st_tone[sid][..., None]
    tex = 1.0 + 0.16 * mid[..., None] + 0.09 * fine[..., None]
    # lichen-free, slightly mottled sandstone; darker weathered edges
    col = col * tex * (0.82 + 0.18 * smoothstep(mortar_w, mortar_w + 10, d))[..., None]
    mortar = rgb(0.17, 0.16, 0.14) * (1.0 + 0.12 * fine[..., None])
    alb = col * stone[..., None] + mortar * (1 - stone[..., None])
    return alb.astype(np.float32), height.astype(np.float32)


def bricks(rng, u, v, bw, bh, noise_a, noise_b):
    """Running-bond firebrick in brick-space coordinates u, v."""
    row = np.floor(v / bh)
    uu = u + (row % 2) * bw * 0.5
    col = np.floor(uu / bw)
    fu = uu - col * bw
    fv = v - row * bh
    d = np.minimum(np.minimum(fu, bw - fu), np.minimum(fv, bh - fv))
    brick = smoothstep(1.2, 2.4, d + noise_b * 0.6)
    key = (row.astype(np.int64) * 7919 + col.astype(np.int64) * 104729) % 9973
    tone = 0.75 + 0.5 * ((key * 37 % 101) / 100.0)
    hue = (key % 3)
    base = np.stack([0.33 + 0.04 * hue, 0.16 + 0.02 * hue, 0.10 + 0.01 * hue], -1).astype(np.float32)
    alb = base * (tone * (1 + 0.12 * noise_a))[..., None]
    mortar = rgb(0.20, 0.17, 0.15)
    alb = alb * brick[..., None] + mortar * (1 - brick[..., None])
    height = brick * (1.5 + 0.4 * noise_a) + 0.3 * noise_b
    return alb.astype(np.float32), height.astype(np.float32)


def shade(height, lx, ly, lz, strength=1.0):
    """Lambert factor of a bumpy front-facing surface lit from direction field."""
    gy, gx = np.gradient(height * strength)
    nx, ny, nz = -gx, -gy, np.ones_like(gx)
    nl = np.sqrt(nx * nx + ny * ny + nz * nz)
    ll = np.sqrt(lx * lx + ly * ly + lz * lz) + 1e-6
    return np.maximum((nx * lx + ny * ly + nz * lz) / (nl * ll), 0.0)


# ---------------------------------------------------------------- the scene

class Scene:
    def __init__(self):
        rng = np.random.default_rng(SEED)
        self.rng = rng
        self.build_windows()
        self.build_static(rng)
        self.build_fire(rng)
        self.build_small_lights(rng)
        self.build_embers(rng)

    # -- animation windows: 1 deep inside a rectangle, 0 on and outside its border
    def build_windows(self):
        win = np.zeros((H, W), np.float32)
        for i, (x, y, w, h) in enumerate(RECTS):
            mx = max(3.0, min(22.0, 0.16 * w))
            my = max(3.0, min(22.0, 0.16 * h))
            if i == 0:
                mx, my = 24.0, 30.0
            lx = np.arange(w, dtype=np.float32)
            ly = np.arange(h, dtype=np.float32)
            wx = smoothstep(0.0, mx, np.minimum(lx, w - 1 - lx))
            wy = smoothstep(0.0, my, np.minimum(ly, h - 1 - ly))
            win[y:y + h, x:x + w] = np.outer(wy, wx)
        self.win = win

    def build_static(self, rng):
        alb, hgt = masonry(rng)
        fine = al.spectral_noise(rng, H, W, 1.0)
        mid = al.spectral_noise(rng, H, W, 1.5)
        kind = np.zeros((H, W), np.int8)  # 0 front stone, 1 interior, 2 beam, 3 hearth

        # firebox interior ------------------------------------------------
        inside = (XX >= OPEN_X0) & (XX < OPEN_X1) & (YY >= OPEN_TOP) & (YY < OPEN_BOT)
        # back wall
        bw_alb, bw_h = bricks(rng, XX - BACK_X0, YY - BACK_TOP + 3, 46, 15, mid, fine)
        # side walls in perspective
        s_l = np.clip((XX - OPEN_X0) / (BACK_X0 - OPEN_X0), 0, 1)
        s_r = np.clip((OPEN_X1 - XX) / (OPEN_X1 - BACK_X1), 0, 1)
        top_l = lerp_line(OPEN_TOP, BACK_TOP, s_l)
        bot_l = lerp_line(OPEN_BOT, BACK_BOT, s_l)
        top_r = lerp_line(OPEN_TOP, BACK_TOP, s_r)
        bot_r = lerp_line(OPEN_BOT, BACK_BOT, s_r)
        depth_l = 200 * s_l / (1 + 0.6 * s_l) * 1.6
        depth_r = 200 * s_r / (1 + 0.6 * s_r) * 1.6
        v_l = (YY - top_l) / (bot_l - top_l) * (OPEN_BOT - OPEN_TOP)
        v_r = (YY - top_r) / (bot_r - top_r) * (OPEN_BOT - OPEN_TOP)
        sl_alb, sl_h = bricks(rng, depth_l, v_l, 40, 19, mid, fine)
        sr_alb, sr_h = bricks(rng, depth_r + 13, v_r, 40, 19, mid, fine)
        left_wall = inside & (XX < BACK_X0) & (YY >= top_l) & (YY < bot_l)
        right_wall = inside & (XX >= BACK_X1) & (YY >= top_r) & (YY < bot_r)
        back_wall = inside & (XX >= BACK_X0) & (XX < BACK_X1) & (YY >= BACK_TOP) & (YY < BACK_BOT)
        ceiling = inside & (YY < np.minimum(top_l, top_r)) & ~left_wall & ~right_wall & ~back_wall
        ceiling |= inside & (YY < BACK_TOP) & (XX >= BACK_X0) & (XX < BACK_X1)
        floor = inside & ~left_wall & ~right_wall & ~back_wall & ~ceiling

        soot_n = al.spectral_noise(rng, H, W, 1.7)
        # soot: black near the top of the box, patchy
        soot = smoothstep(BACK_BOT - 20, OPEN_TOP + 60, YY + 35 * soot_n)
        soot = np.clip(0.35 + 0.75 * soot + 0.15 * soot_n, 0, 1)
        # corners of the box collect soot and get little light
        corner = np.zeros_like(XX)
        corner = np.maximum(corner, smoothstep(14, 0, np.abs(XX - BACK_X0)) * (YY < BACK_BOT))
        corner = np.maximum(corner, smoothstep(14, 0, np.abs(XX - BACK_X1)) * (YY < BACK_BOT))
        soot = np.clip(soot + 0.4 * corner, 0, 1)
        soot_c = soot[..., None]

        def put(mask, a, hh):
            alb[mask] = a[mask]
            hgt[mask] = hh[mask]

        put(back_wall, bw_alb * (1 - 0.88 * soot_c) * 0.8, bw_h)
        put(left_wall, sl_alb * (1 - 0.88 * soot_c), sl_h)
        put(right_wall, sr_alb * (1 - 0.88 * soot_c), sr_h)
        ceil_col = rgb(0.03, 0.025, 0.02) * (1 + 0.3 * fine[..., None])
        alb[ceiling] = ceil_col[ceiling]
        hgt[ceiling] = fine[ceiling] * 0.3
        # floor: ash and grit
        ash = np.clip(0.5 + 0.5 * mid + 0.3 * fine, 0, 1)[..., None]
        ash = ash * ash
        floor_col = al.lerp(rgb(0.03, 0.026, 0.024), rgb(0.13, 0.12, 0.115), ash)
        alb[floor] = floor_col[floor]
        # dark wet-looking ash right under the grate
        
        hgt[floor] = (fine * 0.8)[floor]
        kind[inside] = 1
        self.back_wall, self.left_wall, self.right_wall, self.floor = back_wall, left_wall, right_wall, floor

        # beam (oak bressummer) ------------------------------------------------
        grain = al.spectral_noise(rng, H, W, 1.2, sx=18.0, sy=0.8)
        grain2 = al.spectral_noise(rng, H, W, 0.8, sx=10.0, sy=1.0)
        beam = (XX >= BEAM_X0) & (XX < BEAM_X1) & (YY >= BEAM_TOP) & (YY < BEAM_BOT)
        wood = rgb(0.20, 0.12, 0.07) * (1 + 0.22 * grain[..., None] + 0.1 * grain2[..., None])
        cracks = smoothstep(0.10, 0.0, np.abs(grain - 1.4)) * 0.7
        wood = wood * (1 - cracks[..., None])
        topface = beam & (YY < BEAM_FACE)
        wood_top = wood * 1.25
        alb[beam] = wood[beam]
        alb[topface] = wood_top[topface]
        bh = grain2 * 0.4 - cracks * 1.5
        # rounded arris at top and bottom edges
        edge = smoothstep(0, 6, YY - BEAM_FACE) * smoothstep(0, 5, BEAM_BOT - YY)
        bh = bh + 4.0 * edge
        hgt[beam & ~topface] = bh[beam & ~topface]
        hgt[topface] = (grain2 * 0.2)[topface]
        kind[beam] = 2
        # ends of the beam: slight shadow on the stone below them
        self.beam = beam
        self.beam_top = topface

        # ledge for the storm lantern ------------------------------------------
        ledge = (XX >= LEDGE_X0) & (XX < LEDGE_X1) & (YY >= LEDGE_TOP) & (YY < LEDGE_BOT)
        ledge_col = rgb(0.43, 0.37, 0.31) * (1 + 0.08 * mid[..., None] + 0.06 * fine[..., None])
        alb[ledge] = ledge_col[ledge]
        alb[ledge & (YY < LEDGE_FACE)] = (ledge_col * 1.2)[ledge & (YY < LEDGE_FACE)]
        hgt[ledge] = (fine * 0.4 + 2.0 * smoothstep(0, 3, YY - LEDGE_FACE) * smoothstep(0, 3, LEDGE_BOT - YY))[ledge]
        self.ledge = ledge

        # hearth slab ------------------------------------------------------------
        hearth = YY >= OPEN_BOT
        slab_edges = np.floor((XX + 40) / 190)
        jn = np.abs(((XX + 40) % 190) - 95) > 93
        slab_col = rgb(0.30, 0.27, 0.24) * (1 + 0.1 * mid[..., None] + 0.05 * fine[..., None])
        slab_col = slab_col * (0.92 + 0.08 * np.sin(slab_edges * 2.1))[..., None]
        slab_col[jn] *= 0.55
        face = YY >= HEARTH_FACE
        slab_col[face] *= 0.7
        alb[hearth] = slab_col[hearth]
        hgt[hearth] = (fine * 0.4 + 2.5 * smoothstep(0, 3, YY - HEARTH_FACE) - 2.5 * jn)[hearth]
        kind[hearth] = 3

        self.alb = alb
        self.hgt = hgt
        self.kind = kind
        self.fine, self.mid = fine, mid

        # logs, grate and small objects (albedo + own shading term)
        self.objects(rng)
        self.lighting()

    # ---------------------------------------------------------------- objects
    def objects(self, rng):
        alb = self.alb
        # extra normal-facing term for objects: 1 = use bump shading
        self.obj_shade = np.ones((H, W), np.float32)
        self.obj_mask = np.zeros((H, W), bool)
        self.front_mask = np.zeros((H, W), np.float32)  # in front of the flames
        self.char_glow = np.zeros((H, W), np.float32)    # glowing cracks on logs
        bark = al.spectral_noise(rng, 256, 512, 1.1, sx=8.0, sy=1.0)
        bark2 = al.spectral_noise(rng, 256, 512, 1.3, sx=2.0)
        cf1, cf2, _ = al.voronoi(rng, 256, 512, 9, 16)
        char_edge = cf2 - cf1
        logs = [
            # x0, y0, x1, y1, radius, occludes flames
            (378, 582, 642, 566, 26, 0.0),
            (458, 614, 590, 552, 15, 0.93),
            (396, 630, 630, 641, 23, 1.0),
        ]
        for (x0, y0, x1, y1, r, front) in logs:
            dx, dy = x1 - x0, y1 - y0
            L = np.hypot(dx, dy)
            ux, uy = dx / L, dy / L
            px, py = -uy, ux
            if py < 0:
                px, py = -px, -py  # perp points down the screen
            rx, ry = XX - x0, YY - y0
            along = rx * ux + ry * uy
            perp = rx * px + ry * py
            # slightly knobbly radius; rounded, charred ends
            rr = r * (1 + 0.06 * np.sin(along / 23.0 + x0) + 0.04 * np.sin(along / 7.3))
            endd = np.minimum(along, L - along)
            rr = rr * np.sqrt(np.clip(endd / (0.6 * r), 0, 1))
            s = perp / np.maximum(rr, 1e-3)
            m = (np.abs(s) < 1) & (along > 0) & (along < L)
            tex_u = (np.clip(along, 0, L) * 1.3 + 3 * x0).astype(np.int32) % 512
            tex_v = ((np.arcsin(np.clip(s, -1, 1)) / np.pi + 0.5) * 70 + x0).astype(np.int32) % 256
            b = bark[tex_v, tex_u]
            b2 = bark2[tex_v, tex_u]
            ce = char_edge[tex_v, tex_u]
            furrow = smoothstep(0.2, 1.4, np.abs(b))
            col = rgb(0.15, 0.10, 0.07) * (0.55 + 0.6 * furrow)[..., None]
            # charring near the fire: black, crazed into small cells
            toward = np.clip(1.1 - np.hypot(XX - FIRE_X, (YY - FIRE_Y) * 1.2) / 165, 0, 1)
            char = np.clip(toward * 1.6 + 0.35 * b2, 0, 1)
            col = col * (1 - 0.8 * char)[..., None]
            cracks = smoothstep(0.10, 0.0, ce) * smoothstep(0.55, 1.0, char)
            # the undersides and the ends glow more
            under = smoothstep(-0.2, 0.9, s)
            nz = np.sqrt(np.clip(1 - s * s, 0, 1))
            # lit from the flames above and behind: rim on the upper side
            ndl = np.clip(0.25 + 0.55 * nz + 0.6 * smoothstep(-0.3, -0.95, s), 0, 1.2)
            alb[m] = col[m]
            self.obj_shade[m] = (ndl * (0.6 + 0.4 * furrow))[m]
            self.obj_mask |= m
            cg = cracks * (0.15 + 1.0 * under) * (0.6 + 0.4 * nz) + 0.3 * char * under * smoothstep(0.3, 1.0, b2 + 0.5) * smoothstep(0.5, 1.0, char)
            self.char_glow[m] = cg[m]
            self.front_mask[m] = front

        # iron grate: two rails, bars, two legs
        iron = rgb(0.03, 0.028, 0.028)
        g = np.zeros((H, W), bool)
        gsh = np.zeros((H, W), np.float32)
        for (yc, hh) in ((644, 4.0), (662, 4.0)):
            m = (np.abs(YY - yc) < hh) & (XX > 404) & (XX < 618)
            g |= m
            gsh[m] = (0.4 + 0.6 * smoothstep(hh, -hh, YY - yc))[m]
        for xb in range(414, 612, 22):
            m = (np.abs(XX - xb) < 2.6) & (YY > 626) & (YY < 666)
            g |= m
            gsh[m] = (0.5 + 0.5 * smoothstep(2.6, -2.6, XX - xb))[m]
        for xl in (410, 608):
            m = (np.abs(XX - xl) < 4.0) & (YY > 640) & (YY < 702 + 0.0 * XX)
            foot = (np.abs(XX - xl) < 9) & (YY >= 698) & (YY < 704)
            g |= m | foot
            gsh[m | foot] = (0.4 + 0.6 * smoothstep(4, -4, XX - xl))[m | foot]
        alb[g] = iron
        self.obj_shade[g] = gsh[g]
        self.obj_mask |= g
        self.front_mask[g] = 1.0
        self.char_glow[g] = 0.0
        self.grate = g

        # mantel candle (flame 8) in a brass saucer
        self.candles = []
        self.draw_candle(204.5, 263, 300, 6.5, alb)
        # lantern on the beam (flame 9) and storm lantern on the ledge (flame 7)
        self.draw_lantern(819, 198, 222, 290, 300, 19, alb, wick=254)
        self.draw_lantern(215.5, 576, 598, 670, 682, 16, alb, wick=640)
        self.front_mask = al.blur(self.front_mask, 0.8)

    def draw_candle(self, cx, ytop, ybase, r, alb):
        wax = (np.abs(XX - cx) < r) & (YY >= ytop + 0.5 * (np.abs(XX - cx) / r) ** 2 * 3) & (YY < ybase - 3)
        s = (XX - cx) / r
        wcol = rgb(0.80, 0.70, 0.52) * (0.8 + 0.2 * np.sqrt(np.clip(1 - s * s, 0, 1)))[..., None]
        drip = (np.abs(XX - (cx - 3)) < 1.6) & (YY < ytop + 14) & (YY > ytop)
        wcol[drip] *= 1.08
        alb[wax] = wcol[wax]
        self.obj_mask |= wax
        self.obj_shade[wax] = 0.8
        saucer = (np.abs(XX - cx) < r + 9) & (YY >= ybase - 4) & (YY < ybase)
        alb[saucer] = rgb(0.55, 0.38, 0.15)
        self.obj_shade[saucer] = (0.5 + 0.5 * smoothstep(ybase, ybase - 4, YY))[saucer]
        self.obj_mask |= saucer
        self.wax_mask = getattr(self, "wax_mask", np.zeros((H, W), np.float32))
        self.wax_mask[wax] = np.clip(1 - (YY[wax] - ytop) / 30, 0, 1)
        self.candles.append((cx, ytop))

    def draw_lantern(self, cx, ycap, yglass, ybase, yfoot, hw, alb, wick):
        iron = rgb(0.05, 0.045, 0.04)
        m = np.zeros((H, W), bool)
        # roof: a low pyramid, with a ring on top
        roof = (YY >= ycap + 6) & (YY < yglass) & (np.abs(XX - cx) < hw * (0.45 + 0.6 * (YY - ycap - 6) / (yglass - ycap - 6)))
        ring = (np.hypot(XX - cx, (YY - ycap - 2) * 1.2) < 5.5) & (np.hypot(XX - cx, (YY - ycap - 2) * 1.2) > 3.2)
        frame_v = (np.abs(np.abs(XX - cx) - hw + 1.5) < 1.6) & (YY >= yglass) & (YY < ybase)
        frame_h = (np.abs(XX - cx) < hw + 1) & ((np.abs(YY - yglass) < 1.8) | (np.abs(YY - ybase) < 2))
        base = (np.abs(XX - cx) < hw + 2) & (YY >= ybase) & (YY < yfoot)
        glass = (np.abs(XX - cx) < hw - 1.5) & (YY >= yglass + 1.8) & (YY < ybase - 2)
        m = roof | ring | frame_v | frame_h | base
        alb[glass] = (alb[glass] * 0.25 + rgb(0.04, 0.035, 0.03))
        self.obj_mask |= glass
        self.obj_shade[glass] = 0.3
        sh = 0.35 + 0.65 * smoothstep(hw, -hw, XX - cx)
        alb[m] = iron
        self.obj_shade[m] = sh[m]
        self.obj_mask |= m
        # candle stub inside the glass
        self.draw_candle(cx, wick + 1, ybase - 1, 5.0, alb)
        self.candles[-1] = (cx, wick + 1)
        # glass highlight streak
        hl = glass & (np.abs(XX - (cx - hw * 0.55)) < 1.2)
        self.glass_hl = getattr(self, "glass_hl", np.zeros((H, W), np.float32))
        self.glass_hl[hl] = 1.0
        self.glass_mask = getattr(self, "glass_mask", np.zeros((H, W), bool)) | glass

    # ---------------------------------------------------------------- light
    def lighting(self):
        """Static parts of the light: ambient, mean firelight, candle light."""
        kind = self.kind
        # direction towards the fire for the bump shading
        lx = FIRE_X - XX
        ly = (FIRE_Y - 30) - YY
        dist = np.hypot(lx, ly)
        inside = kind == 1
        # front stone sees the fire only through the opening: warm bounce light
        # strongest around the opening, grazing from its side
        lz_front = np.full_like(XX, 260.0)
        sh_front = shade(self.hgt, lx, ly, lz_front, strength=0.9)
        sh_in = shade(self.hgt, lx, ly, np.full_like(XX, 140.0), strength=0.9)
        fall_front = 1.0 / (1.0 + (dist / 230.0) ** 3.0)
        fall_in = 1.0 / (1.0 + (dist / 125.0) ** 2.4)
        f = np.where(inside, 2.3 * fall_in * sh_in, 0.8 * fall_front * sh_front)
        # side walls face the fire: extra light; back wall close behind it
        f = np.where(self.left_wall | self.right_wall, f * 1.4, f)
        f = np.where(self.floor, f * 1.1, f)
        # beam: its lower edge catches the light coming out of the opening
        beam_lit = (0.5 + 1.3 * smoothstep(BEAM_BOT - 14, BEAM_BOT, YY)) * fall_front * shade(self.hgt, lx * 0, np.full_like(XX, 80.0), np.full_like(XX, 60.0))
        f = np.where(self.beam & ~self.beam_top, beam_lit * 1.2, f)
        f = np.where(self.beam_top, 0.5 * fall_front, f)
        # ledge and hearth: horizontal surfaces facing up
        f = np.where(kind == 3, 1.5 * fall_front * sh_front * smoothstep(HEARTH_FACE + 10, OPEN_BOT, YY) + 0.25 * fall_front, f)
        # shadow cast by the beam onto the stone just below it, and by the jambs
        f = np.where(self.obj_mask, self.obj_shade * np.where(inside, 1.3 * fall_in, 0.8 * fall_front), f)
        # light from the ember bed on the floor and the grate
        ed = np.hypot((XX - 516) / 150.0, (YY - 700) / 60.0)
        self.ember_light = (np.exp(-ed * ed) * (YY > 600)).astype(np.float32)
        f = f + 0.45 * self.ember_light * np.where(self.floor | (kind == 3) | self.obj_mask, 1.0, 0.3)
        # the room is dark: light dies away towards the corners of the picture
        vig = 1.0 - 0.72 * np.clip(np.hypot((XX - FIRE_X) / 620.0, (YY - FIRE_Y) / 560.0), 0, 1) ** 1.5
        self.fire_shade = (f * vig).astype(np.float32)
        # cool moonlight ambient from the left
        self.ambient = (rgb(0.020, 0.026, 0.045) * (0.5 + 0.5 * smoothstep(W, 0, XX))[..., None]
                        * (0.7 + 0.6 * sh_front)[..., None])
        self.ambient[inside] *= 0.3

    # ---------------------------------------------------------------- fire
    def build_fire(self, rng):
        x, y, w, h = RECTS[0]
        self.fx0, self.fy0, self.fw, self.fh = x, y, w, h
        # two noise layers drifting upwards, one evolving slowly
        # tongues: vertical streaks ~35 px wide that rise and reshape
        self.n_tongue = al.LoopNoise(rng, 512, 256, 1.7, rise=2.0, jitter=2, fmin=1 / 140, sy=3.0)
        self.n_mid = al.LoopNoise(rng, 512, 256, 1.3, rise=3.0, jitter=2, fmin=1 / 50, sy=1.8)
        self.n_warp = al.LoopNoise(rng, 512, 256, 2.0, rise=1.0, jitter=1, fmin=1 / 300)
        t = np.arange(STEPS)
        # overall brightness flicker, left/right balance
        self.flick_l = al.loop_signal(rng, 7, 2, 11)
        self.flick_r = al.loop_signal(rng, 7, 2, 11)
        # sparks: (x start, cycles per loop, phase, rise, sway)
        self.sparks = [(rng.uniform(470, 550), int(rng.integers(1, 3)), rng.uniform(0, 1),
                        rng.uniform(160, 250), rng.uniform(6, 18), rng.uniform(0, 6.3)) for _ in range(9)]

    def flame(self, t):
        """Emission (h, w, 3) of the main fire at step t, rectangle-local."""
        w, h = self.fw, self.fh
        ly, lx = np.mgrid[0:h, 0:w].astype(np.float32)
        gx = lx + self.fx0
        gy = ly + self.fy0
        nt = self.n_tongue.frame(t)
        nm = self.n_mid.frame(t)
        nw = self.n_warp.frame(t)
        base_y = 596.0 - 14.0 * np.exp(-((gx - FIRE_X) / 55.0) ** 2)
        v = (base_y - gy) / 260.0  # height above the fire's base
        vp = np.clip(v, 0, None)
        wx = bl(nw, lx + 30, ly + 40)
        xw = gx + 20.0 * vp * wx
        u = (xw - FIRE_X - 2.0) / 80.0
        tongue = bl(nt, xw - self.fx0 + 20, ly + 30)
        turb = bl(nm, xw - self.fx0 + 40, ly + 90)
        hmax = (0.60 + 0.22 * tongue) * np.clip(1.0 - 0.6 * u * u, 0.05, 1)
        hmax = np.clip(hmax, 0.06, None)
        hh = 1.0 - v / hmax + 0.16 * turb * np.clip(vp / hmax, 0, 2)
        side = smoothstep(1.0, 0.55, np.abs(u) + 0.45 * smoothstep(0.16, -0.06, v))
        foot = smoothstep(-0.10, 0.16, v)
        # flames stay inside the firebox, below the beam
        roof = smoothstep(344.0, 392.0, gy)
        streak = 0.6 + 0.4 * smoothstep(-1.2, 0.8, tongue)
        dens = smoothstep(0.0, 0.8, hh) * foot * side * roof * streak
        core = smoothstep(0.55, 1.0, hh + 0.15 * turb) * smoothstep(0.8, 0.2, np.abs(u)) * foot * streak
        T = np.clip(0.66 * dens + 0.24 * core, 0, 0.95)
        col = al.palette([
            (0.00, (0.0, 0.0, 0.0)),
            (0.10, (0.20, 0.012, 0.0)),
            (0.28, (0.95, 0.12, 0.008)),
            (0.48, (2.1, 0.55, 0.05)),
            (0.68, (3.2, 1.45, 0.22)),
            (0.88, (4.2, 2.7, 0.8)),
            (1.05, (5.5, 4.6, 2.6)),
        ], T)
        # glowing haze around the flames
        glow = al.blur(col, 6.0) * 0.16
        em = col + glow
        # sparks
        for (sx, cyc, ph, rise, sway, sph) in self.sparks:
            p = (t * cyc / STEPS + ph) % 1.0
            yy = 585 - p * rise - self.fy0
            xx = sx + sway * np.sin(2 * np.pi * p * 1.5 + sph) + 20 * p * np.sin(sph) - self.fx0
            br = np.sin(np.pi * p) ** 2 * 2.0
            d2 = (lx - xx) ** 2 + (ly - yy) ** 2
            em += (np.exp(-d2 / 1.4) * br)[..., None] * rgb(1.6, 0.7, 0.15)
        return em, dens

    # ---------------------------------------------------------------- embers
    def build_embers(self, rng):
        x, y, w, h = RECTS[1]
        # chunky coals via jittered-grid cells over the pile
        pts = []
        for gy in range(652, 752, 7):
            for gx in range(396, 640, 10):
                pts.append((gx + rng.uniform(0, 10), gy + rng.uniform(0, 7)))
        pts = np.array(pts, np.float32)
        self.coal_pts = pts
        sub = (slice(640, H), slice(390, 650))
        px = XX[sub]
        py = YY[sub]
        best = np.full(px.shape, 1e9, np.float32)
        second = np.full(px.shape, 1e9, np.float32)
        idx = np.zeros(px.shape, np.int32)
        for i, (qx, qy) in enumerate(pts):
            d = np.hypot((px - qx), (py - qy) * 1.45)
            closer = d < best
            second = np.where(closer, best, np.minimum(second, d))
            idx = np.where(closer, i, idx)
            best = np.minimum(best, d)
        edge = second - best
        self.coal_f1 = best
        # pile shape
        pr = np.hypot((px - 514) / 112, (py - 700) / 34) + 0.12 * al.spectral_noise(rng, H, W, 1.6)[sub]
        pile = smoothstep(1.0, 0.8, pr)
        pile *= (YY[sub] > 652)
        self.coal_center = smoothstep(1.0, 0.15, pr)
        self.coal_sub = sub
        self.coal_edge = edge
        self.coal_idx = idx
        self.coal_pile = pile
        nc = len(pts)
        self.coal_base = rng.uniform(0.2, 1.0, nc).astype(np.float32)
        self.coal_ks = rng.integers(1, 4, nc)
        self.coal_ph = rng.uniform(0, 2 * np.pi, nc).astype(np.float32)
        self.coal_ks2 = rng.integers(3, 7, nc)
        self.coal_ph2 = rng.uniform(0, 2 * np.pi, nc).astype(np.float32)
        self.ember_flick = al.loop_signal(rng, 5, 1, 4)
        # ash on the coals
        ashn = al.spectral_noise(rng, H, W, 1.2)[sub]
        self.coal_ash = smoothstep(0.8, 1.8, ashn) * 0.8
        self.coal_tex = smoothstep(-1.0, 1.0, al.spectral_noise(rng, H, W, 1.0)[sub])
        # albedo of coals (dark) goes into the static scene
        a = self.alb[sub]
        coal_col = al.lerp(rgb(0.03, 0.025, 0.022), rgb(0.26, 0.25, 0.24), self.coal_ash[..., None])
        m = pile > 0.02
        a[m] = al.lerp(a, coal_col, pile[..., None])[m]
        self.alb[sub] = a

    def ember_emission(self, t):
        """Emission of the coal pile (sub-window), t=None: time average."""
        if t is None:
            pulse = self.coal_base * 0.8
            glob = 1.0
        else:
            ph = 2 * np.pi * t / STEPS
            pulse = self.coal_base * (0.8 + 0.22 * np.sin(self.coal_ks * ph + self.coal_ph)
                                      + 0.10 * np.sin(self.coal_ks2 * ph + self.coal_ph2))
            glob = 1.0 + 0.10 * self.ember_flick[t]
        cell = pulse[self.coal_idx]
        gap = smoothstep(0.3, 2.2, self.coal_edge)          # dark gaps between coals
        body = smoothstep(7.0, 0.0, self.coal_f1)           # brighter middle of a coal
        vein = smoothstep(0.12, 0.0, np.abs(self.coal_tex - 0.5)) * 0.5
        heat = (0.55 + 0.35 * body + vein) * gap * cell * self.coal_pile * glob
        heat *= (1 - 0.8 * self.coal_ash) * (0.25 + 0.85 * self.coal_center)
        col = al.palette([
            (0.0, (0, 0, 0)), (0.25, (0.35, 0.02, 0.0)), (0.5, (1.3, 0.20, 0.01)),
            (0.8, (2.8, 0.9, 0.10)), (1.2, (4.5, 2.4, 0.6))], heat)
        return col + al.blur(col, 5.0) * 0.2

    # ---------------------------------------------------------------- small lights
    def build_small_lights(self, rng):
        # candles: 8 (mantel candle), 9 (lantern on the beam), 7 (storm lantern)
        self.cand = []
        for (cx, ytop) in self.candles:
            self.cand.append(dict(cx=cx, wick=ytop - 1.0,
                                  sway=al.loop_signal(rng, 5, 2, 9),
                                  hgt=al.loop_signal(rng, 5, 3, 12),
                                  bright=al.loop_signal(rng, 4, 2, 8)))
        # static halos of candle light on the stone around each candle
        halo = np.zeros((H, W, 3), np.float32)
        for c in self.cand:
            d = np.hypot(XX - c["cx"], (YY - c["wick"] + 12) * 1.0)
            halo += (1.0 / (1.0 + (d / 38.0) ** 2))[..., None] * rgb(1.0, 0.55, 0.22) * 0.55
        self.cand_light = halo
        # side wall flicker weights
        self.side_l = al.loop_signal(rng, 6, 2, 10)
        self.side_r = al.loop_signal(rng, 6, 2, 10)

    def candle_flame(self, c, t, sub):
        """Emission of one candle flame in window `sub` (slices)."""
        px, py = XX[sub], YY[sub]
        if t is None:
            sway, hk, bk = 0.0, 0.0, 0.0
        else:
            sway, hk, bk = c["sway"][t], c["hgt"][t], c["bright"][t]
        fh = 21.0 * (1 + 0.06 * hk)
        dy = (c["wick"] - py) / fh  # 0 at wick, 1 at tip
        lean = sway * 0.9 * np.clip(dy, 0, 1) ** 1.6
        dx = (px - c["cx"] - lean) / 3.6
        prof = np.clip(dy, -0.3, 1.2)
        width = np.clip(np.clip(np.sin(np.pi * np.clip((prof + 0.25) / 1.25, 0, 1)), 0, 1) ** 0.7 * (1.25 - 0.55 * prof), 0.05, None)
        r = np.abs(dx) / width
        body = smoothstep(1.1, 0.55, r) * smoothstep(-0.25, 0.0, dy) * smoothstep(1.05, 0.75, dy)
        core = smoothstep(0.8, 0.2, r) * smoothstep(0.05, 0.25, dy) * smoothstep(0.8, 0.45, dy)
        blue = smoothstep(1.0, 0.4, r) * smoothstep(-0.22, -0.02, dy) * smoothstep(0.2, 0.0, dy)
        k = 1.0 + 0.12 * bk
        em = (body[..., None] * rgb(3.0, 1.2, 0.25) + core[..., None] * rgb(4.0, 3.4, 2.0)
              + blue[..., None] * rgb(0.05, 0.12, 0.5)) * k
        d = np.hypot(px - c["cx"] - lean * 0.5, (py - c["wick"] + 10))
        em += (np.exp(-(d / 9.0) ** 2) * 0.45 * k)[..., None] * rgb(1.0, 0.5, 0.15)
        return em

    # ---------------------------------------------------------------- compose
    def radiance(self, t):
        """Linear scene radiance at step t (None: the still, average state)."""
        if t is None:
            mod = np.ones((H, W), np.float32)
        else:
            # left/right firelight balance follows the flames
            side = np.clip((XX - FIRE_X) / 200.0, -1, 1)
            fl = 0.5 * (1 - side) * self.flick_l[t] + 0.5 * (1 + side) * self.flick_r[t]
            walls = np.where(XX < FIRE_X, self.side_l[t], self.side_r[t])
            mod = 1.0 + 0.12 * fl + 0.10 * walls * (self.left_wall | self.right_wall)
        fire_col = rgb(1.0, 0.46, 0.16)
        light = self.ambient + (self.fire_shade * mod)[..., None] * fire_col
        cl = self.cand_light
        if t is not None:
            k = np.zeros((H, W), np.float32)
            for i, c in enumerate(self.cand):
                x, y, w, h = RECTS[[7, 8, 6][i]]
                k[y:y + h, x:x + w] = 0.15 * c["bright"][t]
            cl = cl * (1 + k)[..., None]
        light = light + cl * np.where(self.kind == 1, 0.0, 1.0)[..., None]
        rad = self.alb * light
        # glowing char on the logs
        glow_k = 1.0 if t is None else (1.0 + 0.25 * self.flick_l[t] * (XX < FIRE_X) + 0.25 * self.flick_r[t] * (XX >= FIRE_X))
        rad += (self.char_glow * glow_k)[..., None] * rgb(1.6, 0.30, 0.03)
        # wax lit through by the flame
        rad += (self.wax_mask * 0.5)[..., None] * rgb(1.0, 0.55, 0.2)
        # lantern glass catches the fire
        rad += (self.glass_hl * 0.25)[..., None] * rgb(1.0, 0.6, 0.3)
        # embers
        sub = self.coal_sub
        rad[sub] += self.ember_emission(t)
        # main fire
        if t is not None:
            em, dens = self.flame(t)
            ys = slice(self.fy0, self.fy0 + self.fh)
            xs = slice(self.fx0, self.fx0 + self.fw)
            fm = self.front_mask[ys, xs][..., None]
            # flames behind the front log show a little over its top edge
            rad[ys, xs] = rad[ys, xs] * (1 - 0.2 * dens[..., None]) + em * (1 - fm)
        for c in self.cand:
            s = (slice(int(c["wick"] - 45), int(c["wick"] + 12)), slice(int(c["cx"] - 25), int(c["cx"] + 26)))
            rad[s] += self.candle_flame(c, t, s)
        return rad

    def frames(self):
        still = al.tonemap(self.radiance(None))
        win = self.win[..., None]
        out = []
        for t in range(STEPS):
            r = al.tonemap(self.radiance(t))
            f = still + win * (r - still)
            out.append(np.clip(np.rint(f), 0, 255).astype(np.uint8))
        return out


def lerp_line(a, b, s):
    return a + (b - a) * s


def bl(field, x, y):
    return al.bilinear(field, x, y)


def check_still_outside(frames):
    inside = np.zeros((H, W), bool)
    for (x, y, w, h) in RECTS:
        inside[y:y + h, x:x + w] = True
    ref = frames[0][~inside]
    for t, f in enumerate(frames):
        if not np.array_equal(f[~inside], ref):
            n = int(np.count_nonzero(np.any(f[~inside] != ref, axis=-1)))
            raise SystemExit(f"hearth: step {t} differs from step 0 outside the flame rectangles ({n} pixels)")


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else "assets"
    os.makedirs(outdir, exist_ok=True)
    scene = Scene()
    frames = scene.frames()
    check_still_outside(frames)
    jpeg = dict(quality=94, subsampling=0, optimize=True, progressive=False)
    Image.fromarray(frames[0]).save(os.path.join(outdir, "KIM1.jpg"), **jpeg)
    for i, (x, y, w, h) in enumerate(RECTS):
        strip = np.concatenate([f[y:y + h, x:x + w] for f in frames], axis=0)
        Image.fromarray(strip).save(os.path.join(outdir, f"KMV2flame{i + 1}.jpg"), **jpeg)
    prev = Image.fromarray(frames[0]).resize((154, 116), Image.LANCZOS)
    prev.save(os.path.join(outdir, "PREVIEWBMP.bmp"))
    if os.environ.get("HEARTH_DEBUG"):
        Image.fromarray(frames[0]).save("/tmp/hearth0.png")
        Image.fromarray(frames[20]).save("/tmp/hearth20.png")


if __name__ == "__main__":
    main()
