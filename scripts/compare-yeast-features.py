#!/usr/bin/env python3
"""Compares quan-integrate's peaks with the features another open-source pipeline found in the
same yeast MRM files (shared data, yeast-mrm/features/*.featureXML).

For each file: the share of that pipeline's transitions with signal-to-noise above 10 (its
per-transition logSN, a natural logarithm) for which quan-integrate has a peak of the same
transition whose apex lies within 0.05 min of that pipeline's apex; and, over the matched
transitions, the Pearson correlation of the logarithms of the areas and of the heights. That
pipeline's area is the plain sum of the points between its bounds and its height the raw apex
point, neither above a baseline, so the figures compare shapes, not units.

Writes the method it integrates with (one entry per transition of the lab's list, with the
smoothing given below) and runs quan-integrate; python3 standard library only.

    python3 scripts/compare-yeast-features.py BUILD_DIR [SHARED_DATA_DIR]
"""
import csv
import math
import os
import re
import subprocess
import sys
import tempfile

SMOOTHING = dict(SmooEnabled=1, SmooMethod=1, SmooWidth=3, SmooIter=1, PkSplitting=50)
APEX_WINDOW = 0.05
MIN_SN = 10.0


def write_method(traml, path):
    with open(path, "w") as f:
        f.write('<?xml version="1.0"?>\n<METHODLIST>\n')
        for row in csv.DictReader(open(traml)):
            settings = " ".join('%s="%s"' % item for item in SMOOTHING.items())
            f.write('  <METHODENTRY Name="%s" QuanTrace="%s&gt;%s" PredRT="%s" %s/>\n'
                    % (row["transition_name"], row["PrecursorMz"], row["ProductMz"], row["RetentionTime_"], settings))
        f.write("</METHODLIST>\n")


def their_features(path, traces):
    text = open(path).read()
    features = []
    for sub in re.finditer(r"<subordinate>(.*?)</subordinate>", text, re.S):
        for feature in re.finditer(r"<feature id=.*?</feature>", sub.group(1), re.S):
            block = feature.group(0)
            value = lambda name: re.search(r'name="%s" value="([^"]*)"' % name, block).group(1)
            native = value("native_id")
            if native not in traces:
                continue
            features.append(dict(trace=traces[native], apex=float(re.search(r'<position dim="0">([^<]*)<', block).group(1)),
                                 area=float(re.search(r"<intensity>([^<]*)<", block).group(1)),
                                 height=float(value("peak_apex_int")), sn=math.exp(float(value("logSN")))))
    return features


def our_peaks(path):
    peaks = {}
    for row in csv.DictReader(open(path)):
        peaks.setdefault(row["QuanTrace"], []).append((float(row["FoundRT"]), float(row["Area"]), float(row["Height"])))
    return peaks


def correlation(xs, ys):
    n = len(xs)
    mx, my = sum(xs) / n, sum(ys) / n
    sxy = sum((x - mx) * (y - my) for x, y in zip(xs, ys))
    sxx = sum((x - mx) ** 2 for x in xs)
    syy = sum((y - my) ** 2 for y in ys)
    return sxy / math.sqrt(sxx * syy)


def main():
    build = sys.argv[1]
    shared = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "..", "..", "shared", "data")
    yeast = os.path.join(shared, "yeast-mrm")
    traml = os.path.join(yeast, "traML.csv")
    traces = {row["transition_name"]: "%s>%s" % (row["PrecursorMz"], row["ProductMz"]) for row in csv.DictReader(open(traml))}
    work = tempfile.mkdtemp()
    method = os.path.join(work, "method.xml")
    write_method(traml, method)
    files = sorted(f for f in os.listdir(os.path.join(yeast, "mzML")) if f.endswith(".mzML"))
    subprocess.run([os.path.join(build, "quan-integrate"), "--method", method, "--out", work] +
                   [os.path.join(yeast, "mzML", f) for f in files], check=True, stdout=subprocess.DEVNULL)
    print("| file | transitions with S/N > 10 | found within %.2f min | share | r(log area) | r(log height) |" % APEX_WINDOW)
    print("|---|---|---|---|---|---|")
    for name in files:
        stem = name[:-len(".mzML")]
        features = [f for f in their_features(os.path.join(yeast, "features", stem + ".featureXML"), traces) if f["sn"] > MIN_SN]
        peaks = our_peaks(os.path.join(work, stem + ".csv"))
        pairs = []
        for f in features:
            near = [p for p in peaks.get(f["trace"], []) if abs(p[0] - f["apex"]) <= APEX_WINDOW]
            if near:
                best = min(near, key=lambda p: abs(p[0] - f["apex"]))
                if best[1] > 0 and f["area"] > 0 and f["height"] > 0:
                    pairs.append((f, best))
        r_area = correlation([math.log(f["area"]) for f, _ in pairs], [math.log(p[1]) for _, p in pairs])
        r_height = correlation([math.log(f["height"]) for f, _ in pairs], [math.log(p[2]) for _, p in pairs])
        print("| %s | %d | %d | %.1f %% | %.3f | %.3f |" % (stem, len(features), len(pairs), 100.0 * len(pairs) / len(features),
                                                        r_area, r_height))


if __name__ == "__main__":
    main()
