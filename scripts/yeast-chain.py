#!/usr/bin/env python3
"""The yeast MRM chain: the lab's transition list and calibration table through quan-method and
quan-batch, against the concentrations another open-source pipeline calculated from the same
three injections (shared data, yeast-mrm/features/*.featureXML, calculated_concentration).

Steps: `quan-method import traML.csv` writes the method (nothing hand-set; extra import options
may follow `--`), a batch folder names the three mzML files as the samples' peak files, and
`quan-batch --curves quantitationMethods.csv` quantifies them with the lab's curves. For every
compound and injection that pipeline quantified, the script prints both concentrations and
whether ours is within 20 % of its value, and the share that is. Both pipelines use the same
curves (response ratio = slope x concentration ratio + intercept, on apex heights), so what
differs is the peaks: which peak each located, and how high it says the apex is.

    python3 scripts/yeast-chain.py BUILD_DIR [SHARED_DATA_DIR] [--csv OUT.csv] [--plots DIR]
                                   [--set NAME=VALUE ...] [-- IMPORT_OPTIONS...]

--set adds a setting to every method entry after the import (integration settings to compare
with, say --set SmooEnabled=1 --set SmooWidth=5); --csv writes every compared result; --plots
writes, for every result beyond 20 %, an SVG of the compound's and its standard's traces with
our peak (shaded, with its baseline and apex, blue) and the other pipeline's (dashed bounds and
apex, red).

python3 standard library only.
"""
import base64
import csv
import os
import re
import sqlite3
import struct
import subprocess
import sys
import tempfile
import zlib

TOLERANCE = 0.20


def their_results(path):
    """Per transition name: apex RT, raw apex height, bounds and calculated concentration."""
    text = open(path).read()
    out = {}
    for group in re.finditer(r'<feature id="f_\d+">(.*?)\n\t\t</feature>', text, re.S):
        block = group.group(1)
        sub = re.search(r"<subordinate>(.*?)</subordinate>", block, re.S)
        tail = block[sub.end():]
        bound = lambda name: float(re.search(r'name="%s" value="([^"]*)"' % name, tail).group(1))
        for feature in re.finditer(r"<feature id=.*?</feature>", sub.group(1), re.S):
            b = feature.group(0)
            value = lambda name: re.search(r'name="%s" value="([^"]*)"' % name, b).group(1)
            conc = value("calculated_concentration")
            out[value("native_id")] = dict(apex=float(re.search(r'<position dim="0">([^<]*)<', b).group(1)),
                                           height=float(value("peak_apex_int")), left=bound("leftWidth"),
                                           right=bound("rightWidth"), conc=float(conc) if conc else None)
    return out


def chromatograms(path):
    """Per 'Q1>Q3' trace of an mzML file: its (time, intensity) points."""
    text = open(path).read()
    out = {}
    for m in re.finditer(r"<chromatogram .*?</chromatogram>", text, re.S):
        block = m.group(0)
        q1 = re.search(r'<precursor>.*?name="isolation window target m/z" value="([^"]*)"', block, re.S)
        q3 = re.search(r'<product>.*?name="isolation window target m/z" value="([^"]*)"', block, re.S)
        if not (q1 and q3):
            continue
        arrays = []
        for a in re.finditer(r"<binaryDataArray .*?</binaryDataArray>", block, re.S):
            b = a.group(0)
            data = base64.b64decode(re.search(r"<binary>([^<]*)</binary>", b).group(1))
            if "zlib" in b:
                data = zlib.decompress(data)
            fmt = "d" if "64-bit float" in b else "f"
            arrays.append(struct.unpack("<%d%s" % (len(data) // struct.calcsize(fmt), fmt), data))
        out["%g>%g" % (float(q1.group(1)), float(q3.group(1)))] = list(zip(arrays[0], arrays[1]))
    return out


def our_peaks(database):
    """Per (sample id, compound): the located peak's trace, apex, bounds, height and baseline ends."""
    db = sqlite3.connect(database)
    rows = db.execute('SELECT s.id, p."Name", p."QuanTrace", p."FoundRT", p."StartRT", p."EndRT", p."Height", '
                      'p."StHeight", p."EnHeight" FROM peak_fields p JOIN samples s ON s.position = p.sample '
                      'WHERE p."MDBEntryPeak" = 0')
    return {(r[0], r[1]): dict(trace=r[2], apex=r[3], start=r[4], end=r[5], height=r[6], base=(r[7], r[8])) for r in rows}


def raw_apex(points, start, end):
    inside = [i for t, i in points if start <= t <= end]
    return max(inside) if inside else None


def svg_panel(points, ours, theirs, title, y0, width=560, height=150):
    """One trace: raw points, our peak (shaded, baseline, apex) and theirs (dashed bounds, apex)."""
    if not points:
        return '<text x="10" y="%d">%s: no chromatogram</text>' % (y0 + 20, title)
    t0, t1 = points[0][0], points[-1][0]
    top = max(i for _, i in points) or 1.0
    x = lambda t: 40 + (t - t0) / ((t1 - t0) or 1.0) * (width - 50)
    y = lambda i: y0 + height - 10 - i / top * (height - 30)
    out = ['<text x="40" y="%d" font-size="12">%s</text>' % (y0 + 12, title)]
    if ours and ours.get("start") is not None:
        out.append('<rect x="%.1f" y="%d" width="%.1f" height="%d" fill="#cde" />'
                   % (x(ours["start"]), y0 + 18, max(1.0, x(ours["end"]) - x(ours["start"])), height - 28))
        out.append('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="#06c" />'
                   % (x(ours["start"]), y(ours["base"][0]), x(ours["end"]), y(ours["base"][1])))
        out.append('<circle cx="%.1f" cy="%.1f" r="3" fill="#06c" />' % (x(ours["apex"]), y(ours["height"] + (ours["base"][0] + ours["base"][1]) / 2)))
    if theirs:
        for bound in (theirs["left"], theirs["right"]):
            if t0 <= bound <= t1:
                out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#c30" stroke-dasharray="4 3" />'
                           % (x(bound), y0 + 18, x(bound), y0 + height - 10))
        if t0 <= theirs["apex"] <= t1:
            out.append('<circle cx="%.1f" cy="%.1f" r="3" fill="#c30" />' % (x(theirs["apex"]), y(theirs["height"])))
    out.append('<polyline fill="none" stroke="#222" points="%s" />' % " ".join("%.1f,%.1f" % (x(t), y(i)) for t, i in points))
    out.append('<text x="40" y="%d" font-size="10">%.2f</text><text x="%d" y="%d" font-size="10" text-anchor="end">%.2f min</text>'
               % (y0 + height + 2, t0, width - 10, y0 + height + 2, t1))
    return "\n".join(out)


def compound_of(transition_name):
    """'arg-L.arg-L_1.Light' -> 'arg-L'; ' (heavy)' appended for the labelled form."""
    parts = transition_name.rsplit(".", 2)
    return parts[0] + (" (heavy)" if parts[-1].lower() == "heavy" else "")


def main():
    args = sys.argv[1:]
    extra = []
    if "--" in args:
        extra = args[args.index("--") + 1:]
        args = args[:args.index("--")]
    plots = None
    if "--plots" in args:
        plots = args[args.index("--plots") + 1]
        del args[args.index("--plots"):args.index("--plots") + 2]
    out_csv = None
    if "--csv" in args:
        out_csv = args[args.index("--csv") + 1]
        del args[args.index("--csv"):args.index("--csv") + 2]
    settings = []
    while "--set" in args:
        at = args.index("--set")
        settings.append(args[at + 1].split("=", 1))
        del args[at:at + 2]
    build = args[0]
    shared = args[1] if len(args) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "data")
    yeast = os.path.join(shared, "yeast-mrm")
    table = os.path.join(yeast, "quantitationMethods.csv")
    work = tempfile.mkdtemp(prefix="yeast-chain-")
    batch = os.path.join(work, "batch")
    os.makedirs(batch)
    subprocess.run([os.path.join(build, "quan-method"), "import", os.path.join(yeast, "traML.csv"), "-o",
                    os.path.join(batch, "method.xml")] + extra, check=True, stderr=subprocess.DEVNULL)
    if settings:
        path = os.path.join(batch, "method.xml")
        text = open(path).read()
        added = " ".join('%s="%s"' % (name, value) for name, value in settings)
        open(path, "w").write(text.replace("<METHODENTRY ", "<METHODENTRY " + added + " "))
    stems = sorted(f[:-len(".mzML")] for f in os.listdir(os.path.join(yeast, "mzML")) if f.endswith(".mzML"))
    with open(os.path.join(batch, "batch.csv"), "w") as f:
        f.write("SampleID,PeakFile,Type\n")
        for stem in stems:
            f.write("%s,%s,Analyte\n" % (stem, os.path.abspath(os.path.join(yeast, "mzML", stem + ".mzML"))))
    results = os.path.join(work, "results")
    run = subprocess.run([os.path.join(build, "quan-batch"), "--curves", table, "--full-precision", "--out", results, batch],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if run.returncode not in (0, 1):
        sys.exit("quan-batch failed:\n" + run.stderr)
    ours = {(r["Sample"], r["Compound"]): r for r in csv.DictReader(open(os.path.join(results, "results.csv")))}
    located = our_peaks(os.path.join(results, "results.sqlite"))
    method_traces = {}
    for entry in re.finditer(r"<METHODENTRY (.*?)/>\n", open(os.path.join(batch, "method.xml")).read()):
        attributes = dict(re.findall(r'(\w+)="([^"]*)"', entry.group(1)))
        method_traces[attributes.get("Name", "").replace("&amp;", "&")] = attributes.get("QuanTrace", "").replace("&gt;", ">")
    lab = list(csv.DictReader(open(table)))

    rows = []
    for stem in stems:
        theirs = their_results(os.path.join(yeast, "features", stem + ".featureXML"))
        traces = chromatograms(os.path.join(yeast, "mzML", stem + ".mzML"))
        for q in lab:
            component, standard = q["component_name"], q["IS_name"]
            if component not in theirs or theirs[component]["conc"] is None:
                continue
            mine = ours.get((stem, compound_of(component)), {})
            mine_is = ours.get((stem, compound_of(standard)), {})
            conc = float(mine["Concentration"]) if mine.get("Concentration") else None
            expected = theirs[component]["conc"]
            within = conc is not None and abs(conc - expected) <= TOLERANCE * abs(expected)
            peak, standard_peak = located.get((stem, compound_of(component))), located.get((stem, compound_of(standard)))
            their_ratio = theirs[component]["height"] / theirs[standard]["height"] if standard in theirs else None
            # The ratio of the raw apex points inside our own peaks' bounds: the other pipeline's
            # measure at our locations, which tells a location difference from a height one.
            raw_ratio = None
            if peak and standard_peak:
                a = raw_apex(traces.get(peak["trace"], []), peak["start"], peak["end"])
                b = raw_apex(traces.get(standard_peak["trace"], []), standard_peak["start"], standard_peak["end"])
                raw_ratio = a / b if a and b else None
            same = lambda a, b: a is not None and b not in (None, "") and abs(float(a) - float(b)) <= 0.05
            if within:
                kind = ""
            elif not peak or not standard_peak:
                kind = "not located"
            elif not (same(peak["apex"], theirs[component]["apex"]) and same(standard_peak["apex"], theirs.get(standard, {}).get("apex"))):
                kind = "another peak"
            else:
                kind = "same peaks, other heights"
            rows.append(dict(kind=kind, their_ratio=their_ratio, our_ratio=float(mine["Response"]) if mine.get("Response") else None,
                             raw_ratio_at_ours=raw_ratio,sample=stem, compound=compound_of(component), theirs=expected, ours=conc, within=within,
                             their_rt=theirs[component]["apex"], our_rt=mine.get("FoundRT", ""),
                             their_is_rt=theirs.get(standard, {}).get("apex", ""), our_is_rt=mine_is.get("FoundRT", ""),
                             their_height=theirs[component]["height"], their_is_height=theirs.get(standard, {}).get("height", ""),
                             flags=mine.get("Flags", "")))
            if plots and not within:
                os.makedirs(plots, exist_ok=True)
                name = "%s-%s.svg" % (stem[-8:-3], re.sub(r"[^A-Za-z0-9_-]", "_", compound_of(component)))
                body = [svg_panel(traces.get(method_traces.get(compound_of(component), ""), []), peak, theirs[component],
                                  "%s %s: ours %s, theirs %.4g" % (stem[-8:-3], compound_of(component),
                                                                   "%.4g" % conc if conc is not None else "none", expected), 0),
                        svg_panel(traces.get(method_traces.get(compound_of(standard), ""), []), standard_peak,
                                  theirs.get(standard), "internal standard %s" % compound_of(standard), 170)]
                with open(os.path.join(plots, name), "w") as f:
                    f.write('<svg xmlns="http://www.w3.org/2000/svg" width="560" height="340" font-family="sans-serif">\n'
                            + "\n".join(body) + "\n</svg>\n")
    inside = sum(r["within"] for r in rows)
    fmt = lambda v, digits="%.4g": digits % float(v) if v not in ("", None) else "-"
    print("| injection | compound | theirs | ours | their ratio | our ratio | raw apexes at our peaks | their RT | our RT | their IS RT | our IS RT | kind |")
    print("|---|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|")
    for r in rows:
        if not r["within"]:
            print("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |"
                  % (r["sample"][-8:-3], r["compound"], fmt(r["theirs"]), fmt(r["ours"]), fmt(r["their_ratio"]), fmt(r["our_ratio"]),
                     fmt(r["raw_ratio_at_ours"]), fmt(r["their_rt"], "%.3f"), fmt(r["our_rt"], "%.3f"), fmt(r["their_is_rt"], "%.3f"),
                     fmt(r["our_is_rt"], "%.3f"), r["kind"]))
    kinds = {}
    for r in rows:
        kinds[r["kind"] or "within 20 %"] = kinds.get(r["kind"] or "within 20 %", 0) + 1
    print("\n" + ", ".join("%s: %d" % item for item in sorted(kinds.items())))
    print("\n%d of %d compound-injection results within 20 %% of the other pipeline's: %.1f %%"
          % (inside, len(rows), 100.0 * inside / len(rows)))
    if out_csv:
        with open(out_csv, "w", newline="") as f:
            writer = csv.DictWriter(f, fieldnames=list(rows[0].keys()))
            writer.writeheader()
            writer.writerows(rows)


if __name__ == "__main__":
    main()
