"""Reads the text file left by bench_textfile with pandas, for comparison
with the program's own reader. argv[1] is the build folder."""
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

path = os.path.join(sys.argv[1] if len(sys.argv) > 1 else "build", "bench", "points.txt")
if not os.path.exists(path):
    print(f"{path} is missing: run bench_textfile first")
    sys.exit(1)

start = time.perf_counter()
frame = pd.read_csv(path, sep="\t", header=None, names=["time", "humidity", "temperature"],
                    na_values=["OL"])
parsed = time.perf_counter()
frame["time"] = pd.to_datetime(frame["time"], format="%d/%m/%Y %H:%M:%S")
done = time.perf_counter()
print(f"pandas {pd.__version__}: {len(frame)} rows")
print(f"  read_csv: {(parsed - start) * 1000:.0f} ms")
print(f"  to_datetime: {(done - parsed) * 1000:.0f} ms")
print(f"  total: {(done - start) * 1000:.0f} ms")
