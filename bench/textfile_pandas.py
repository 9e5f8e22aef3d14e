"""Reads a text data file left by bench_textfile with pandas, the yardstick of
the program's own reader; bench_textfile runs it and compares the totals.
argv[1] is the file, argv[2] how many runs to take the best of (1 by default).
Prints its figures in the layout of bench/BenchReport.h."""
import os
import sys
import time

try:
    import pandas as pd
except ImportError:
    # The Debian package installs pandas for the system interpreter, which a
    # python3 earlier in PATH (pyenv, a virtual environment) may hide.
    system = "/usr/bin/python3"
    if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system):
        os.execv(system, [system] + sys.argv)
    raise


def info(what, ms):
    print(f"  {what:<52} {ms:12.1f} ms", flush=True)


path = sys.argv[1] if len(sys.argv) > 1 else ""
if not os.path.exists(path):
    print(f"{path} is missing: bench_textfile writes it")
    sys.exit(1)

runs = int(sys.argv[2]) if len(sys.argv) > 2 else 1
best = None
for _ in range(max(runs, 1)):
    start = time.perf_counter()
    frame = pd.read_csv(path, sep="\t", header=None, names=["time", "humidity", "temperature"],
                        na_values=["OL"])
    parsed = time.perf_counter()
    frame["time"] = pd.to_datetime(frame["time"], format="%d/%m/%Y %H:%M:%S")
    done = time.perf_counter()
    if best is None or done - start < best[2] - best[0]:
        best = (start, parsed, done)
start, parsed, done = best
print(f"pandas {pd.__version__}: {len(frame)} rows, best of {max(runs, 1)}")
info("pandas read_csv", (parsed - start) * 1000)
info("pandas to_datetime", (done - parsed) * 1000)
info("pandas total", (done - start) * 1000)
