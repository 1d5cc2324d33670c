#!/usr/bin/python3
"""Synthesises the hearth's crackle loop and writes it as 16-bit PCM WAVE.

    crackle.py OUT.wav

The signal is periodic over its whole length, so the loop seam is like any
other sample step:
  * roar: low band-limited noise made in the frequency domain over exactly N
    samples (hence periodic), its loudness drifting with slow sinusoids of
    whole cycles per loop;
  * hiss: a faint breathy band that swells with the roar;
  * crackles and pops: short decaying noise bursts and damped resonant pops,
    at irregular clustered times, wrapped around the loop end; none starts
    close to the seam.
N is a whole number of MS-ADPCM blocks (2036 samples per block for 44.1 kHz
stereo as sox writes it), so encoding adds no padding or gap.
generate.sh turns the PCM file into MS-ADPCM with sox.
"""
import sys
import wave

import numpy as np

SEED = 4417
RATE = 44100
SAMPLES_PER_BLOCK = 2036
BLOCKS = 459                      # 459 * 2036 = 934524 samples = 21.19 s
N = BLOCKS * SAMPLES_PER_BLOCK


def band_noise(rng, lo, hi, tilt, n=N):
    """Periodic noise with energy between lo and hi Hz (soft edges)."""
    f = np.fft.rfftfreq(n, 1.0 / RATE)
    mag = (1.0 / (1.0 + (lo / np.maximum(f, 1.0)) ** 4)) / (1.0 + (f / hi) ** 4)
    mag *= (np.maximum(f, 20.0) / 100.0) ** (-tilt)
    spectrum = mag * (rng.standard_normal(f.size) + 1j * rng.standard_normal(f.size))
    spectrum[0] = 0
    x = np.fft.irfft(spectrum, n)
    return x / np.std(x)


def slow_env(rng, terms, cmin, cmax):
    t = np.arange(N) / N
    e = np.zeros(N)
    for _ in range(terms):
        k = rng.integers(cmin, cmax + 1)
        e += rng.uniform(0.3, 1.0) / np.sqrt(k) * np.sin(2 * np.pi * k * t + rng.uniform(0, 2 * np.pi))
    return e / np.max(np.abs(e))


def add_wrapped(buf, start, burst):
    idx = (start + np.arange(burst.shape[0])) % N
    np.add.at(buf, idx, burst)


def crackles(rng, out):
    """Adds crackles and pops to out (N, 2)."""
    guard = int(0.08 * RATE)  # keep event starts away from the seam
    t = 0.0
    while True:
        t += rng.exponential(0.16)          # main events ~6 per second
        start = int(t * RATE)
        if start >= N - guard:
            break
        if start < guard:
            continue
        n_sub = rng.choice([0, 0, 1, 1, 2, 3, 5])
        times = [start] + [start + int(rng.uniform(0.004, 0.07) * RATE) for _ in range(n_sub)]
        pan = rng.uniform(-0.8, 0.8)
        big = rng.random() < 0.12
        for k, s0 in enumerate(times):
            amp = np.exp(rng.normal(-2.6, 0.7)) * (2.5 if big and k == 0 else 1.0)
            if rng.random() < 0.75:
                # crackle: sharp noise burst, high-passed, fast decay
                dur = rng.uniform(0.002, 0.012)
                n = int(dur * RATE * 5)
                tt = np.arange(n) / RATE
                b = rng.standard_normal(n) * np.exp(-tt / dur)
                b = np.diff(b, prepend=0.0) * 0.7 + b * 0.3
            else:
                # pop: damped resonance with a click
                f0 = rng.uniform(180, 900)
                dur = rng.uniform(0.006, 0.03)
                n = int(dur * RATE * 5)
                tt = np.arange(n) / RATE
                b = np.sin(2 * np.pi * f0 * tt + rng.uniform(0, 6.28)) * np.exp(-tt / dur)
                b[:24] += rng.standard_normal(24) * np.linspace(1, 0, 24)
                amp *= 0.8
            # soft attack so no burst starts with a sample jump larger than its body
            b[:8] *= np.linspace(0.2, 1.0, 8)
            p = np.clip(pan + rng.normal(0, 0.1), -1, 1)
            st = np.stack([b * np.sqrt((1 - p) / 2), b * np.sqrt((1 + p) / 2)], -1) * amp
            add_wrapped(out, s0, st)


def synth():
    rng = np.random.default_rng(SEED)
    env = slow_env(rng, 6, 1, 30)
    roar_l = band_noise(rng, 35, 320, 0.6)
    roar_c = band_noise(rng, 35, 320, 0.6)
    roar_r = band_noise(rng, 35, 320, 0.6)
    hiss = band_noise(rng, 900, 4000, 0.3)
    loud = 0.055 * (1.0 + 0.35 * env)
    out = np.zeros((N, 2))
    out[:, 0] = loud * (0.7 * roar_c + 0.5 * roar_l)
    out[:, 1] = loud * (0.7 * roar_c + 0.5 * roar_r)
    hs = 0.006 * (1.0 + 0.8 * np.clip(env, 0, 1))
    out[:, 0] += hs * hiss
    out[:, 1] += hs * np.roll(hiss, 977)
    crackles(rng, out)
    # gentle soft limiting: loud pops are tamed, the roar sits higher
    ref = np.quantile(np.abs(out), 0.9999)
    out = np.tanh(out * (1.1 / ref)) * 0.8
    return out


def main():
    path = sys.argv[1]
    x = synth()
    pcm = np.clip(np.rint(x * 32767), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())


if __name__ == "__main__":
    main()
