#!/usr/bin/env python3
"""Compares quan-integrate's peaks with the features another open-source pipeline found in the
same yeast MRM files (shared data, yeast-mrm/features/*.featureXML), and prints the figures
docs/INTEGRATION.md reports.

The method is the one `quan-method import` writes from the lab's transition list (traML.csv),
with no integration settings of its own, so the integrator's defaults apply. Over that
pipeline's transitions with signal-to-noise above 10 (its per-transition logSN, a natural
logarithm) and a raw apex above 1,000 counts, for each file:

- found: the share of those transitions for which quan-integrate has a peak of the same trace
  whose bounds contain that pipeline's apex;
- r(log area): over the found ones, the Pearson correlation of the logarithms of our area and
  of that pipeline's area recomputed from the raw points as a trapezoid within its own bounds
  above the straight line joining the points at the bounds (its stored area is a plain sum of
  points with no baseline, so it is not comparable as it stands);
- peaks per feature: how many of our peaks of the trace have their apex within that
  pipeline's bounds, on average (1 is one peak per peak; more means a peak cut in pieces).

A last line gives r(log area) again over the comparisons whose bounds, in that pipeline, reach
down below half of the raw apex at both ends: where its bounds cut a peak high on its flanks,
its area is of part of the peak, and the correlation says more about its bounds than ours.

    python3 scripts/compare-yeast-features.py BUILD_DIR [SHARED_DATA_DIR]

Python 3 standard library only; BUILD_DIR holds quan-method and quan-integrate.
"""
import base64
import csv
import math
import os
import re
import struct
import subprocess
import sys
import tempfile

MIN_SN = 10.0
MIN_APEX = 1000.0


def traces_of_list(traml):
    return {row["transition_name"]: "%s>%s" % (row["PrecursorMz"], row["ProductMz"]) for row in csv.DictReader(open(traml))}


def their_features(path, traces):
    """Every subordinate feature of the file: trace, apex time, the group's bounds, S/N, apex."""
    text = open(path).read()
    features = []
    for group in re.finditer(r"\n\t\t<feature id=.*?\n\t\t</feature>", text, re.S):
        block = group.group(0)
        left = float(re.search(r'name="leftWidth" value="([^"]*)"', block).group(1))
        right = float(re.search(r'name="rightWidth" value="([^"]*)"', block).group(1))
        for sub in re.finditer(r"<subordinate>(.*?)</subordinate>", block, re.S):
            for feature in re.finditer(r"<feature id=.*?</feature>", sub.group(1), re.S):
                one = feature.group(0)
                value = lambda name: re.search(r'name="%s" value="([^"]*)"' % name, one).group(1)
                native = value("native_id")
                if native not in traces:
                    continue
                features.append(dict(trace=traces[native], apex=float(re.search(r'<position dim="0">([^<]*)<', one).group(1)),
                                     left=left, right=right, height=float(value("peak_apex_int")),
                                     sn=math.exp(float(value("logSN")))))
    return features


def raw_chromatograms(path):
    """trace "Q1>Q3" -> list of (times, intensities), from an uncompressed mzML file."""
    chromatograms = {}
    text = open(path).read()
    for block in re.finditer(r"<chromatogram .*?</chromatogram>", text, re.S):
        body = block.group(0)
        targets = re.findall(r'name="isolation window target m/z" value="([^"]*)"', body)
        if len(targets) != 2:
            continue
        arrays = []
        for array in re.finditer(r"<binaryDataArray .*?</binaryDataArray>", body, re.S):
            data = base64.b64decode(re.search(r"<binary>([^<]*)</binary>", array.group(0)).group(1))
            kind = "d" if "64-bit float" in array.group(0) else "f"
            arrays.append(struct.unpack("<%d%s" % (len(data) // struct.calcsize(kind), kind), data))
        trace = "%s>%s" % tuple("%g" % float(t) for t in targets)
        chromatograms.setdefault(trace, []).append(tuple(arrays))
    return chromatograms


def baseline_area(chromatograms, trace, left, right, apex):
    """That pipeline's area recomputed: trapezoid of the raw points within its bounds, above
    the line through the first and last of them, in intensity x seconds; and how high its
    bounds stand: the higher raw point at a bound over the highest within them."""
    for times, intensities in chromatograms.get(trace, []):
        inside = [i for i, t in enumerate(times) if left <= t <= right]
        if len(inside) < 2 or not times[inside[0]] <= apex <= times[inside[-1]]:
            continue
        a, b = inside[0], inside[-1]
        line = lambda t: intensities[a] + (intensities[b] - intensities[a]) * (t - times[a]) / (times[b] - times[a])
        area = 0.0
        for i in range(a, b):
            area += 0.5 * (times[i + 1] - times[i]) * (intensities[i] - line(times[i]) + intensities[i + 1] - line(times[i + 1]))
        top = max(intensities[i] for i in inside)
        return area * 60.0, (max(intensities[a], intensities[b]) / top if top > 0 else 1.0)
    return None, None


def our_peaks(path):
    peaks = {}
    for row in csv.DictReader(open(path)):
        peaks.setdefault(row["QuanTrace"], []).append(
            dict(apex=float(row["FoundRT"]), start=float(row["StartRT"]), end=float(row["EndRT"]), area=float(row["Area"])))
    return peaks


def correlation(xs, ys):
    n = len(xs)
    mx, my = sum(xs) / n, sum(ys) / n
    sxy = sum((x - mx) * (y - my) for x, y in zip(xs, ys))
    sxx = sum((x - mx) ** 2 for x in xs)
    syy = sum((y - my) ** 2 for y in ys)
    return sxy / math.sqrt(sxx * syy)


def trace_key(trace):
    return ">".join("%g" % float(part) for part in trace.split(">"))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    shared = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "..", "..", "shared", "data")
    yeast = os.path.join(shared, "yeast-mrm")
    traml = os.path.join(yeast, "traML.csv")
    traces = traces_of_list(traml)
    work = tempfile.mkdtemp()
    method = os.path.join(work, "method.xml")
    subprocess.run([os.path.join(build, "quan-method"), "import", traml, "-o", method], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    files = sorted(f for f in os.listdir(os.path.join(yeast, "mzML")) if f.endswith(".mzML"))
    subprocess.run([os.path.join(build, "quan-integrate"), "--method", method, "--out", work] +
                   [os.path.join(yeast, "mzML", f) for f in files], check=True, stdout=subprocess.DEVNULL)
    print("| file | peaks | transitions (S/N > %g, apex > %g) | found (apex within bounds) | r(log area) | peaks per feature |"
          % (MIN_SN, MIN_APEX))
    print("|---|--:|--:|--:|--:|--:|")
    totals = [0, 0, 0, [], [], 0]
    whole = [[], []]  # the comparisons whose bounds in that pipeline reach below half the apex
    for name in files:
        stem = name[:-len(".mzML")]
        features = [f for f in their_features(os.path.join(yeast, "features", stem + ".featureXML"), traces)
                    if f["sn"] > MIN_SN and f["height"] > MIN_APEX]
        chromatograms = raw_chromatograms(os.path.join(yeast, "mzML", name))
        peaks = {trace_key(t): p for t, p in our_peaks(os.path.join(work, stem + ".csv")).items()}
        count = sum(len(p) for p in peaks.values())
        found, ours, theirs, within = 0, [], [], 0
        for f in features:
            mine = peaks.get(trace_key(f["trace"]), [])
            within += sum(1 for p in mine if f["left"] <= p["apex"] <= f["right"])
            holding = [p for p in mine if p["start"] <= f["apex"] <= p["end"]]
            if not holding:
                continue
            found += 1
            area, bounds_level = baseline_area(chromatograms, trace_key(f["trace"]), f["left"], f["right"], f["apex"])
            if area is not None and area > 0 and holding[0]["area"] > 0:
                ours.append(math.log(holding[0]["area"]))
                theirs.append(math.log(area))
                if bounds_level < 0.5:
                    whole[0].append(ours[-1])
                    whole[1].append(theirs[-1])
        print("| %s | %d | %d | %.1f %% | %.3f | %.2f |" % (stem, count, len(features), 100.0 * found / len(features),
                                                         correlation(ours, theirs), within / len(features)))
        totals[0] += count
        totals[1] += len(features)
        totals[2] += found
        totals[3] += ours
        totals[4] += theirs
        totals[5] += within
    print("| all three | %d | %d | %.1f %% | %.3f | %.2f |" % (totals[0], totals[1], 100.0 * totals[2] / totals[1],
                                                            correlation(totals[3], totals[4]), totals[5] / totals[1]))
    print("\nr(log area) where that pipeline's bounds reach below half the apex at both ends: %.3f over %d of %d"
          % (correlation(whole[0], whole[1]), len(whole[0]), len(totals[3])))


if __name__ == "__main__":
    main()
