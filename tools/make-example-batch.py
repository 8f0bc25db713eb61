#!/usr/bin/env python3
"""Writes the bundled example batch (examples/batch/) from stated true concentrations.

A pesticide-residue style GC-MS method: two internal standards, fourteen analytes with one
qualifier ion each, one compound located by relative retention time, and a totals group
(Endosulfan I + II with a totals entry). Six calibration standards, two QCs, a blank and four
samples; SAMPLE-03 carries a failed chlorpyrifos ion ratio and SAMPLE-04 atrazine above the
calibrated range. Peak areas follow area = k * conc * area(IS) / conc(IS), so an exact chain
recovers the true concentrations written to truth.csv.

Run from the repository root:  python3 tools/make-example-batch.py
"""
import csv
import math
import os

OUT = os.path.join("examples", "batch")
IS_CONC = 10.0
LEVELS = [1.0, 2.0, 5.0, 10.0, 20.0, 50.0]
# Signal-to-noise multiples for the detection and quantitation limits.
LOD_SN, LOQ_SN = 3.0, 10.0
# Relative scatter of analyte areas around the exact line, as a real instrument gives.
AREA_SCATTER = 0.004
# Baseline noise: low enough that the lowest standard stays above the quantitation limit.
CHROM_NOISE = 15.0

# name, RT, quan trace, qualifier trace, main/qualifier ratio, IS entry number, sensitivity k
ISTDS = [
    ("Atrazine-d5", 9.80, "205.1", "220.1", 1.85),
    ("Chlorpyrifos-d10", 14.20, "324.0", "260.0", 1.40),
]
ANALYTES = [
    ("Dichlorvos", 5.12, "185.0", "109.0", 0.28, 1, 0.62),
    ("Trifluralin", 8.95, "306.1", "264.1", 1.18, 1, 0.85),
    ("Atrazine", 9.83, "200.1", "215.1", 1.62, 1, 1.10),
    ("Lindane", 10.41, "181.0", "219.0", 1.05, 1, 0.95),
    ("Diazinon", 11.02, "304.1", "179.1", 0.46, 1, 0.70),   # located by RRT against Atrazine-d5
    ("Malathion", 13.60, "173.1", "127.0", 1.20, 2, 0.55),
    ("Chlorpyrifos", 14.25, "314.0", "197.0", 0.83, 2, 1.30),
    ("Endosulfan I", 16.80, "241.0", "195.0", 1.15, 2, 0.40),
    ("p,p'-DDE", 17.20, "246.0", "318.0", 1.30, 2, 1.45),
    ("Dieldrin", 17.55, "79.0", "263.0", 2.60, 2, 0.75),
    ("Endosulfan II", 18.30, "241.0", "195.0", 1.12, 2, 0.38),
    ("p,p'-DDT", 19.90, "235.0", "165.0", 1.55, 2, 1.20),
    ("Permethrin", 22.75, "183.1", "163.1", 6.10, 2, 0.90),
    ("Cypermethrin", 24.10, "163.1", "181.1", 1.25, 2, 0.65),
]
RRT_COMPOUND = "Diazinon"
GROUP = "Endosulfan"
GROUP_MEMBERS = ("Endosulfan I", "Endosulfan II")
TOTAL_NAME = "Endosulfan (total)"

# sample ID, type, level concentration (standards and QCs) or true concentrations (samples)
SAMPLES = [("STD-%02d" % (i + 1), "Standard", level) for i, level in enumerate(LEVELS)]
SAMPLES += [("QC-01", "QC", 8.0), ("QC-02", "QC", 30.0), ("BLANK-01", "Blank", 0.0)]
SAMPLE_TRUTH = {
    "SAMPLE-01": {"Atrazine": 3.2, "Chlorpyrifos": 12.5, "Lindane": 4.4, "p,p'-DDE": 7.7, "Diazinon": 2.6},
    "SAMPLE-02": {"Malathion": 18.0, "Dieldrin": 6.1, "Endosulfan I": 9.5, "Endosulfan II": 5.5, "Trifluralin": 1.8},
    "SAMPLE-03": {"Chlorpyrifos": 15.0, "Permethrin": 22.0, "Dichlorvos": 4.0},
    "SAMPLE-04": {"Atrazine": 80.0, "Cypermethrin": 11.0, "p,p'-DDT": 3.3},
}
FAILED_RATIO = ("SAMPLE-03", "Chlorpyrifos")  # qualifier at half its expected size
for sample_id in SAMPLE_TRUTH:
    SAMPLES.append((sample_id, "Analyte", None))


def method_entries():
    """Method entries in list order; entry numbers count from 1. Enumerated settings are written
    as their keyword texts (LocateBy="RT", WeightingFunction="1/x"), as a person writes them."""
    entries = []
    for name, rt, quan, qual, ratio in ISTDS:
        entries.append(dict(Name=name, LocateBy="RT", PredRT=rt, LocateRTWin=0.10, QuanTrace=quan,
                            TargetTrace0=qual, TargetRatio0=ratio, TargetWindow0=20, RCalc="External Std", RAH="Area",
                            StdLevels="FIXED", StdConc=IS_CONC, CCalc="RF", CalCompound=name, RepUnits="ng/mL",
                            QuantificationTraces=1, DetectionThreshold=LOD_SN, QuantitationThreshold=LOQ_SN))
    is_rt = {1: ISTDS[0][1], 2: ISTDS[1][1]}
    for name, rt, quan, qual, ratio, istd, _k in ANALYTES:
        entry = dict(Name=name, LocateBy="RT", PredRT=rt, LocateRTWin=0.10, QuanTrace=quan, TargetTrace0=qual,
                     TargetRatio0=ratio, TargetWindow0=20, RCalc="Internal Std", RRef=istd, RAH="Area", CCalc="Linear", StdLevels="A",
                     CalCompound=name, RepUnits="ng/mL", MaxConcLimit=round(LEVELS[-1] * 1.1, 6), ConcLimitFlag=1,
                     WeightingFunction="1/x", Origin="Include", XYTrans="None", UseConcFactor=0, QuantificationTraces=1,
                     DetectionThreshold=LOD_SN, QuantitationThreshold=LOQ_SN)
        if name == RRT_COMPOUND:
            entry.update(LocateBy="RRT", RRTRef=istd, PredRRT=round(rt / is_rt[istd], 6))
        if name in GROUP_MEMBERS:
            entry.update(TotalsGroup=GROUP)
        entries.append(entry)
    entries.append(dict(Name=TOTAL_NAME, LocateBy="RT", LocateChoice=5, PredRT=17.55, LocateRTWin=1.0,
                        QuanTrace="241.0", TotalsGroup=GROUP, RCalc="Internal Std", RRef=2, RAH="Area", CCalc="Linear", StdLevels="A",
                        CalCompound=TOTAL_NAME, RepUnits="ng/mL", TotalsInclude=0, QuantificationTraces=1))
    return entries


def wobble(seed, spread):
    """A small deterministic deviation in [-spread, spread] (no random state to keep)."""
    return spread * math.sin(seed * 12.9898 + 78.233)


def peaks_for(sample_index, sample_id, kind, level):
    rows = []
    is_area = {}
    for number, (name, rt, quan, qual, ratio) in enumerate(ISTDS, start=1):
        area = round(50000.0 * (1.0 + wobble(sample_index * 7 + number, 0.08)), 1)
        is_area[number] = area
        rows.append(peak_row(rt + wobble(sample_index + number, 0.015), quan, area))
        rows.append(peak_row(rt + wobble(sample_index + number, 0.015) + 0.002, qual, round(area / ratio, 1), qualifier=True))
    for index, (name, rt, quan, qual, ratio, istd, k) in enumerate(ANALYTES):
        if kind in ("Standard", "QC"):
            conc = level
        else:
            conc = SAMPLE_TRUTH.get(sample_id, {}).get(name, 0.0)
        if conc <= 0.0:
            continue
        area = k * conc * is_area[istd] / IS_CONC * (1.0 + wobble(sample_index * 11 + index * 5 + 3, AREA_SCATTER))
        found_rt = rt + wobble(sample_index * 3 + index, 0.02)
        qual_area = area / ratio
        if (sample_id, name) == FAILED_RATIO:
            qual_area = qual_area * 2.0  # ratio main/qualifier drops to half
        group = GROUP if name in GROUP_MEMBERS else ""
        rows.append(peak_row(found_rt, quan, area, group=group))
        rows.append(peak_row(found_rt + 0.002, qual, qual_area, qualifier=True, group=group))
    # One totals peak per sample carries the group's summed trace.
    rows.append(peak_row(17.55, "241.0", 0.0, group=GROUP, totals=True))
    rows.sort(key=lambda r: float(r["FoundRT"]))
    return rows


def peak_row(rt, trace, area, qualifier=False, group="", totals=False):
    height = area / 4.2
    return {
        "QuanTrace": trace,
        "FoundRT": "%.4f" % rt,
        "StartRT": "%.4f" % (rt - 0.03),
        "EndRT": "%.4f" % (rt + 0.04),
        "StHeight": "%.1f" % (height * 0.01),
        "EnHeight": "%.1f" % (height * 0.012),
        "Area": "%.4f" % area,
        "Height": "%.4f" % height,
        "ChromNoise": "%.1f" % CHROM_NOISE,
        "MDBIntegrateEntry": 0,
        "MDBIntegrateEntryPeak": 1 if qualifier else 0,
        "TotalsGroup": group,
        "TotalsPeak": 1 if totals else 0,
    }


def write_method(entries):
    with open(os.path.join(OUT, "method.xml"), "w", newline="\n") as f:
        f.write('<?xml version="1.0"?>\n<METHODLIST>\n')
        f.write("  <!-- generated by tools/make-example-batch.py from stated true concentrations -->\n")
        for entry in entries:
            attributes = " ".join('%s="%s"' % (key, xml_escape(value)) for key, value in entry.items())
            f.write("  <METHODENTRY %s/>\n" % attributes)
        f.write("</METHODLIST>\n")


def xml_escape(value):
    text = str(value)
    return text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;")


def main():
    os.makedirs(os.path.join(OUT, "peaks"), exist_ok=True)
    entries = method_entries()
    write_method(entries)
    levels = ["Conc%s" % chr(ord("A") + i) for i in range(20)]
    with open(os.path.join(OUT, "batch.csv"), "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["SampleID", "PeakFile", "Type"] + levels +
                        ["InjectionVolume", "InitialAmount", "ExtractVolume", "ExtractDilutionFactor",
                         "UserDilutionFactor", "StockDilutionFactor", "Description", "Exclude"])
        for index, (sample_id, kind, level) in enumerate(SAMPLES):
            concs = [""] * 20
            if kind in ("Standard", "QC"):
                concs[0] = "%g" % level
            description = {"Standard": "calibration standard", "QC": "quality control", "Blank": "reagent blank",
                           "Analyte": "soil extract"}[kind]
            exclude = "Dichlorvos" if sample_id == "STD-06" else ""  # one point excluded by the analyst
            writer.writerow([sample_id, "peaks/%s.csv" % sample_id, kind] + concs +
                            ["1", "1", "1", "1", "1", "1", description, exclude])
            with open(os.path.join(OUT, "peaks", sample_id + ".csv"), "w", newline="") as pf:
                rows = peaks_for(index, sample_id, kind, level)
                peak_writer = csv.DictWriter(pf, fieldnames=list(rows[0].keys()), lineterminator="\n")
                peak_writer.writeheader()
                peak_writer.writerows(rows)
    with open(os.path.join(OUT, "truth.csv"), "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["SampleID", "Compound", "TrueConc", "ExpectedFlag"])
        for sample_id, kind, level in SAMPLES:
            for name, *_ in ANALYTES:
                if kind in ("Standard", "QC"):
                    conc = level
                elif kind == "Blank":
                    continue
                else:
                    conc = SAMPLE_TRUTH[sample_id].get(name)
                    if conc is None:
                        continue
                flag = ""
                if (sample_id, name) == FAILED_RATIO:
                    flag = "ion ratio"
                elif conc > LEVELS[-1] * 1.1:
                    flag = "above range"
                writer.writerow([sample_id, name, "%g" % conc, flag])


if __name__ == "__main__":
    main()
