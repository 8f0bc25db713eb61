#!/usr/bin/env python3
"""Runs the example batch through the quan Python module, prints the results of one sample and
plots one compound's calibration curve with its standards (when matplotlib is installed).

    PYTHONPATH=build/release/python python3 examples/plot_calibration.py [COMPOUND] [--out PNG]
"""
import argparse
import os

import numpy as np

import quan

here = os.path.dirname(os.path.abspath(__file__))
parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("compound", nargs="?", default="Atrazine")
parser.add_argument("--out", default="calibration.png", help="where the plot goes")
args = parser.parse_args()

run = quan.run_batch(os.path.join(here, "batch"), jobs=2)
print(run.samples[["Sample", "Type", "Status"]].to_string(index=False))
sample = run.results[run.results.Sample == "SAMPLE-01"]
print(sample[["Compound", "Concentration", "Units", "Result"]].to_string(index=False))

curve = run.curves[args.compound]
print(curve.description)
try:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
except ImportError:
    print("matplotlib is not installed (Debian: python3-matplotlib); no plot.")
    raise SystemExit(0)

points = curve.points
used = (points["Flags"] & 1) == 0
x = np.linspace(0.0, points["Conc"].max() * 1.05, 200)
y = np.polynomial.polynomial.polyval(x, curve.coefficients)
plt.plot(x, y, label=f"fit, r² = {curve.r2:.4f}")
plt.plot(points["Conc"][used], points["Resp"][used], "o", label="standards")
plt.plot(points["Conc"][~used], points["Resp"][~used], "x", label="excluded")
plt.xlabel("concentration")
plt.ylabel("response")
plt.title(args.compound)
plt.legend()
plt.savefig(args.out, dpi=120)
print(f"plot in {args.out}")
