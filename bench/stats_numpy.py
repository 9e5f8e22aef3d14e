"""The yardstick of "kv518-cli stats": numpy decoding a logger image of one
data set as the program does (raw tenths, out-of-range markers, each sample's
time) and taking MAX/MIN/AVG of both channels and the mean kinetic
temperature. argv: the image, the offset of its samples, their count, the
start (framework days), the interval in seconds, runs to take the best of. The time runs from reading the
file to the last figure, so the interpreter's start and numpy's import do not
count against numpy. Prints the figures as JSON on the last line."""
import json
import os
import sys
import time

try:
    import numpy as np
except ImportError:
    # Debian's python3-numpy is there for the system interpreter, which a
    # python3 earlier in PATH (pyenv, a virtual environment) may hide.
    system = "/usr/bin/python3"
    if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system):
        os.execv(system, [system] + sys.argv)
    raise

DH_OVER_R = 83.144 * 1000.0 / 8.3144621


def stats(path, offset, samples, start, interval):
    raw = np.fromfile(path, dtype="<i2", count=2 * samples, offset=offset)
    v = (raw.astype(np.float64) * 0.1).astype(np.float32)
    v[v < -200.0] = -9999.0
    v[v > 1370.0] = 9999.0
    times = start + np.arange(samples, dtype=np.float64) * interval / 86400.0
    out = {}
    for name, y in (("humidity", v[0::2]), ("temperature", v[1::2])):
        hi = int(np.argmax(y))
        lo = int(np.argmin(y))
        counted = y[(y > -3000.0) & (y < 3000.0)]
        out[name] = {"max": float(y[hi]), "max_time": float(times[hi]), "min": float(y[lo]),
                     "min_time": float(times[lo]), "avg": float(counted.mean(dtype=np.float64)),
                     "count": int(counted.size)}
        if name == "temperature":
            kelvin = counted.astype(np.float64) + 273.15
            kelvin = kelvin[kelvin > 0.0]
            top = DH_OVER_R / kelvin.max()
            mean = np.exp(top - DH_OVER_R / kelvin).mean()
            out["mkt"] = DH_OVER_R / (top - np.log(mean)) - 273.15
    return out


path, offset, samples = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
start, interval = float(sys.argv[4]), float(sys.argv[5])
runs = int(sys.argv[6]) if len(sys.argv) > 6 else 1
best = None
for _ in range(max(runs, 1)):
    began = time.perf_counter()
    result = stats(path, offset, samples, start, interval)
    ms = (time.perf_counter() - began) * 1000
    best = ms if best is None else min(best, ms)
print(f"numpy {np.__version__}: {samples} samples, best of {max(runs, 1)}")
print(f"  {'numpy decode, MAX/MIN/AVG and MKT':<52} {best:12.1f} ms", flush=True)
print(json.dumps({"ms": best, "figures": result}))
