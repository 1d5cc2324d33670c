"""Shared helpers for the Sorvanta art generators: noise, blurs, shapes, output."""
import numpy as np

STEPS = 56  # animation steps in one loop of the hearth


def smoothstep(a, b, x):
    t = np.clip((x - a) / (b - a), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def spectral_noise(rng, h, w, beta=1.0, sx=1.0, sy=1.0, fmin=0.0):
    """Periodic fractal noise with a 1/f^beta amplitude spectrum, mean 0, std 1.

    sx / sy > 1 stretch the features along x / y (e.g. wood grain)."""
    fy = np.fft.fftfreq(h)[:, None] * sy
    fx = np.fft.rfftfreq(w)[None, :] * sx
    f = np.sqrt(fx * fx + fy * fy)
    f[0, 0] = 1.0
    amp = f ** (-beta)
    amp[f < fmin] = 0.0
    amp[0, 0] = 0.0
    ph = rng.standard_normal((h, w // 2 + 1)) + 1j * rng.standard_normal((h, w // 2 + 1))
    n = np.fft.irfft2(amp * ph, s=(h, w))
    n = (n - n.mean()) / n.std()
    return n.astype(np.float32)


class LoopNoise:
    """Noise field on an (h, w) grid that drifts upwards and evolves, exactly
    periodic over STEPS animation steps: every Fourier mode turns an integer
    number of times per loop."""

    def __init__(self, rng, h, w, beta, rise, jitter, fmin=0.0, sx=1.0, sy=1.0):
        fy = np.fft.fftfreq(h)[:, None]
        fx = np.fft.rfftfreq(w)[None, :]
        f = np.sqrt((fx * sx) ** 2 + (fy * sy) ** 2)
        f[0, 0] = 1.0
        amp = f ** (-beta)
        amp[f < fmin] = 0.0
        amp[0, 0] = 0.0
        shape = (h, w // 2 + 1)
        self.spectrum = amp * (rng.standard_normal(shape) + 1j * rng.standard_normal(shape))
        ky = np.rint(fy * h) * np.ones_like(fx)  # integer wave index along y
        # moving upwards: a mode with index ky must advance ky*rise turns per loop
        cycles = np.rint(ky * rise) + rng.integers(-jitter, jitter + 1, size=shape)
        self.cycles = cycles
        self.h, self.w = h, w
        self.norm = None
        self.norm = np.sqrt(np.mean(self.frame(0) ** 2))

    def frame(self, t):
        phase = np.exp(2j * np.pi * self.cycles * (t / STEPS))
        n = np.fft.irfft2(self.spectrum * phase, s=(self.h, self.w))
        if self.norm is not None:
            n = n / self.norm
        return n.astype(np.float32)


def loop_signal(rng, n_terms, kmin, kmax, steps=STEPS, t=None):
    """Sum of sinusoids with integer cycles per loop, normalised to std 1."""
    if t is None:
        t = np.arange(steps)
    ks = rng.integers(kmin, kmax + 1, size=n_terms)
    ph = rng.uniform(0, 2 * np.pi, size=n_terms)
    am = 1.0 / np.sqrt(ks)
    s = sum(a * np.sin(2 * np.pi * k * t / steps + p) for a, k, p in zip(am, ks, ph))
    full = sum(a * np.sin(2 * np.pi * k * np.arange(steps) / steps + p) for a, k, p in zip(am, ks, ph))
    return (s / np.std(full)).astype(np.float32)


def box_blur(img, r, axis):
    if r < 1:
        return img
    n = img.shape[axis]
    pad = [(0, 0)] * img.ndim
    pad[axis] = (r + 1, r)
    p = np.pad(img, pad, mode="edge")
    c = np.cumsum(p, axis=axis, dtype=np.float64)
    hi = np.take(c, np.arange(2 * r + 1, 2 * r + 1 + n), axis=axis)
    lo = np.take(c, np.arange(0, n), axis=axis)
    return ((hi - lo) / (2 * r + 1)).astype(np.float32)


def blur(img, sigma):
    """Approximate Gaussian blur (three box passes per axis)."""
    r = max(1, int(round(np.sqrt(12 * sigma * sigma / 3 + 1) / 2)))
    out = img
    for _ in range(3):
        out = box_blur(out, r, 0)
        out = box_blur(out, r, 1)
    return out


def bilinear(field, x, y):
    """Sample a 2-D field at float coordinates (clamped)."""
    h, w = field.shape
    x = np.clip(x, 0, w - 1.001)
    y = np.clip(y, 0, h - 1.001)
    x0 = np.floor(x).astype(np.int32)
    y0 = np.floor(y).astype(np.int32)
    fx = x - x0
    fy = y - y0
    a = field[y0, x0]
    b = field[y0, x0 + 1]
    c = field[y0 + 1, x0]
    d = field[y0 + 1, x0 + 1]
    return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy


def tonemap(rad, exposure=1.0):
    """Scene radiance (linear) -> display values 0..255 (float)."""
    x = 1.0 - np.exp(-np.maximum(rad, 0.0) * exposure)
    return 255.0 * x ** (1.0 / 2.2)


def lerp(a, b, t):
    return a + (b - a) * t


def palette(stops, x):
    """Piecewise-linear colour ramp. stops: list of (pos, (r,g,b))."""
    pos = np.array([s[0] for s in stops], np.float32)
    cols = np.array([s[1] for s in stops], np.float32)
    out = np.empty(x.shape + (3,), np.float32)
    for c in range(3):
        out[..., c] = np.interp(x, pos, cols[:, c])
    return out


def voronoi(rng, h, w, ch, cw, px=None, py=None):
    """Cellular pattern on a periodic (h, w) tile with cells of about ch x cw.

    Returns (f1, f2, cell id) sampled at pixel coordinates px, py (default the
    whole tile); f2 - f1 is small on the borders between cells."""
    ny, nx = int(round(h / ch)), int(round(w / cw))
    ch, cw = h / ny, w / nx
    jy = rng.uniform(0.1, 0.9, (ny, nx)).astype(np.float32)
    jx = rng.uniform(0.1, 0.9, (ny, nx)).astype(np.float32)
    if px is None:
        py, px = np.mgrid[0:h, 0:w].astype(np.float32)
    ci = np.floor(py / ch).astype(np.int64)
    cj = np.floor(px / cw).astype(np.int64)
    f1 = np.full(px.shape, 1e9, np.float32)
    f2 = np.full(px.shape, 1e9, np.float32)
    cid = np.zeros(px.shape, np.int64)
    for di in (-1, 0, 1):
        for dj in (-1, 0, 1):
            i = ci + di
            j = cj + dj
            im, jm = i % ny, j % nx
            qy = (i + jy[im, jm]) * ch
            qx = (j + jx[im, jm]) * cw
            d = np.hypot((px - qx) / cw, (py - qy) / ch)
            closer = d < f1
            f2 = np.where(closer, f1, np.minimum(f2, d))
            cid = np.where(closer, im * nx + jm, cid)
            f1 = np.minimum(f1, d)
    return f1, f2, cid
