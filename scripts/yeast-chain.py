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

    python3 scripts/yeast-chain.py BUILD_DIR [SHARED_DATA_DIR] [--csv OUT.csv] [--set NAME=VALUE ...]
                                   [-- IMPORT_OPTIONS...]

--set adds a setting to every method entry after the import (integration settings to compare
with, say --set SmooEnabled=1 --set SmooWidth=5); --csv writes every compared result.

python3 standard library only.
"""
import csv
import os
import re
import subprocess
import sys
import tempfile

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
    lab = list(csv.DictReader(open(table)))

    rows = []
    for stem in stems:
        theirs = their_results(os.path.join(yeast, "features", stem + ".featureXML"))
        for q in lab:
            component, standard = q["component_name"], q["IS_name"]
            if component not in theirs or theirs[component]["conc"] is None:
                continue
            mine = ours.get((stem, compound_of(component)), {})
            mine_is = ours.get((stem, compound_of(standard)), {})
            conc = float(mine["Concentration"]) if mine.get("Concentration") else None
            expected = theirs[component]["conc"]
            within = conc is not None and abs(conc - expected) <= TOLERANCE * abs(expected)
            rows.append(dict(sample=stem, compound=compound_of(component), theirs=expected, ours=conc, within=within,
                             their_rt=theirs[component]["apex"], our_rt=mine.get("FoundRT", ""),
                             their_is_rt=theirs.get(standard, {}).get("apex", ""), our_is_rt=mine_is.get("FoundRT", ""),
                             their_height=theirs[component]["height"], their_is_height=theirs.get(standard, {}).get("height", ""),
                             flags=mine.get("Flags", "")))
    inside = sum(r["within"] for r in rows)
    print("| injection | compound | theirs | ours | within 20 % | their RT | our RT | their IS RT | our IS RT |")
    print("|---|---|--:|--:|---|--:|--:|--:|--:|")
    for r in rows:
        if not r["within"]:
            fmt = lambda v: "%.4g" % v if isinstance(v, float) else (("%.3f" % float(v)) if v not in ("", None) else "-")
            print("| %s | %s | %s | %s | no | %s | %s | %s | %s |" % (r["sample"][-8:], r["compound"], fmt(r["theirs"]),
                                                                   fmt(r["ours"]), fmt(r["their_rt"]), fmt(r["our_rt"]),
                                                                   fmt(r["their_is_rt"]), fmt(r["our_is_rt"])))
    print("\n%d of %d compound-injection results within 20 %% of the other pipeline's: %.1f %%"
          % (inside, len(rows), 100.0 * inside / len(rows)))
    if out_csv:
        with open(out_csv, "w", newline="") as f:
            writer = csv.DictWriter(f, fieldnames=list(rows[0].keys()))
            writer.writeheader()
            writer.writerows(rows)


if __name__ == "__main__":
    main()
