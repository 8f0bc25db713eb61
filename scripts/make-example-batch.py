#!/usr/bin/env python3
"""Writes the bundled example batch (examples/batch/) from stated true concentrations.

A pesticide-residue style GC-MS method: two internal standards, fourteen analytes with one
qualifier ion each, one compound located by relative retention time, and a totals group
(Endosulfan I + II with a totals entry). Six calibration standards, two QCs, a blank and four
samples; SAMPLE-03 carries a failed chlorpyrifos ion ratio and SAMPLE-04 atrazine above the
calibrated range. Peak areas follow area = k * conc * area(IS) / conc(IS), so an exact chain
recovers the true concentrations written to truth.csv.

The samples are raw data: one mzML file per sample (raw/<sample>.mzML) holding a selected-ion
chromatogram for each trace of the method, over a window around the retention times that use
it, as a scheduled acquisition records them. Peaks are exponentially modified Gaussians (a
tailing GC peak) of the stated areas, on a baseline that drifts, with Gaussian noise; the
Malathion qualifier (127.0) carries a co-eluting interference 0.07 min after it in every
sample. Intensities are 32-bit and times 64-bit floats, zlib-compressed and base64-encoded.
Areas are in counts x seconds, as the integrator reports them.

Run from the repository root:  python3 scripts/make-example-batch.py
With no options it writes the bundled example exactly. For studies of many batches:
  --out DIR           write the batch there instead of examples/batch
  --seed N            another batch of the same method: other noise, other peak wobble (0: the
                      bundled example)
  --qc-replicates N   N QCs at each of the two levels instead of one (QC-01, QC-02, ... alternate
                      8 and 30)
  --qc-shift PERCENT  the QCs' analyte peaks this much larger (a planted shift, as a failing
                      instrument or a wrong QC preparation gives); truth.csv keeps the levels
"""
import argparse
import base64
import csv
import math
import os
import random
import struct
import zlib

OUT = os.path.join("examples", "batch")
IS_CONC = 10.0
LEVELS = [1.0, 2.0, 5.0, 10.0, 20.0, 50.0]
# Signal-to-noise multiples for the detection and quantitation limits.
LOD_SN, LOQ_SN = 3.0, 10.0
# Relative scatter of analyte areas around the exact line, as a real instrument gives.
AREA_SCATTER = 0.004
# Baseline noise (standard deviation, counts): low enough that the lowest standard stays well
# above the quantitation limit and its area within a fraction of a percent.
CHROM_NOISE = 5.0
# Peak shape: Gaussian standard deviation and exponential tail (minutes); points every STEP
# minutes (4 Hz); each trace recorded from WINDOW minutes before its first use to after its last.
PEAK_SIGMA, PEAK_TAU, STEP, WINDOW = 0.02, 0.015, 0.004, 0.5
# The integration each entry asks for: Savitzky-Golay smoothing over 7 points.
INTEGRATION = dict(SmooEnabled=1, SmooMethod=1, SmooWidth=3, SmooIter=1)
# A co-eluting interference on one qualifier trace: trace, offset from the peak (min), share of
# the qualifier's area.
INTERFERENCE = ("127.0", 0.07, 0.4)

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

QC_LEVELS = (8.0, 30.0)
# Options (see the top): the bundled example uses seed 0, one QC per level and no shift.
SEED, QC_REPLICATES, QC_SHIFT = 0, 1, 0.0
SAMPLE_TRUTH = {
    "SAMPLE-01": {"Atrazine": 3.2, "Chlorpyrifos": 12.5, "Lindane": 4.4, "p,p'-DDE": 7.7, "Diazinon": 2.6},
    "SAMPLE-02": {"Malathion": 18.0, "Dieldrin": 6.1, "Endosulfan I": 9.5, "Endosulfan II": 5.5, "Trifluralin": 1.8},
    "SAMPLE-03": {"Chlorpyrifos": 15.0, "Permethrin": 22.0, "Dichlorvos": 4.0},
    "SAMPLE-04": {"Atrazine": 80.0, "Cypermethrin": 11.0, "p,p'-DDT": 3.3},
}
FAILED_RATIO = ("SAMPLE-03", "Chlorpyrifos")  # qualifier at half its expected size


def batch_samples():
    """sample ID, type, level concentration (standards and QCs) or None (samples), in order."""
    samples = [("STD-%02d" % (i + 1), "Standard", level) for i, level in enumerate(LEVELS)]
    for replicate in range(QC_REPLICATES):
        for number, level in enumerate(QC_LEVELS, start=1):
            samples.append(("QC-%02d" % (replicate * len(QC_LEVELS) + number), "QC", level))
    samples.append(("BLANK-01", "Blank", 0.0))
    for sample_id in SAMPLE_TRUTH:
        samples.append((sample_id, "Analyte", None))
    return samples


def method_entries():
    """Method entries in list order; entry numbers count from 1. Enumerated settings are written
    as their keyword texts (LocateBy="RT", WeightingFunction="1/x"), as a person writes them."""
    entries = []
    for name, rt, quan, qual, ratio in ISTDS:
        entries.append(dict(Name=name, LocateBy="RT", PredRT=rt, LocateRTWin=0.10, QuanTrace=quan,
                            TargetTrace0=qual, TargetRatio0=ratio, TargetWindow0=20, RCalc="External Std", RAH="Area",
                            StdLevels="FIXED", StdConc=IS_CONC, CCalc="RF", CalCompound=name, RepUnits="ng/mL",
                            QuantificationTraces=1, DetectionThreshold=LOD_SN, QuantitationThreshold=LOQ_SN,
                            **INTEGRATION))
    is_rt = {1: ISTDS[0][1], 2: ISTDS[1][1]}
    for name, rt, quan, qual, ratio, istd, _k in ANALYTES:
        entry = dict(Name=name, LocateBy="RT", PredRT=rt, LocateRTWin=0.10, QuanTrace=quan, TargetTrace0=qual,
                     TargetRatio0=ratio, TargetWindow0=20, RCalc="Internal Std", RRef=istd, RAH="Area", CCalc="Linear", StdLevels="A",
                     CalCompound=name, RepUnits="ng/mL", MaxConcLimit=round(LEVELS[-1] * 1.1, 6), ConcLimitFlag=1,
                     WeightingFunction="1/x", Origin="Include", XYTrans="None", UseConcFactor=0, QuantificationTraces=1,
                     DetectionThreshold=LOD_SN, QuantitationThreshold=LOQ_SN, **INTEGRATION)
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
    """The sample's true peaks: (trace, apex-region RT, area in counts x seconds)."""
    peaks = []
    is_area = {}
    for number, (name, rt, quan, qual, ratio) in enumerate(ISTDS, start=1):
        area = 50000.0 * (1.0 + wobble(sample_index * 7 + number, 0.08))
        is_area[number] = area
        found_rt = rt + wobble(sample_index + number, 0.015)
        peaks.append((quan, found_rt, area))
        peaks.append((qual, found_rt, area / ratio))
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
        if kind == "QC" and QC_SHIFT:
            area *= 1.0 + QC_SHIFT / 100.0
            qual_area *= 1.0 + QC_SHIFT / 100.0
        peaks.append((quan, found_rt, area))
        peaks.append((qual, found_rt, qual_area))
        if qual == INTERFERENCE[0]:
            peaks.append((qual, found_rt + INTERFERENCE[1], qual_area * INTERFERENCE[2]))
    return peaks


def emg(t, mu, area):
    """Exponentially modified Gaussian of the given area (counts x minutes), a tailing peak."""
    s, tau = PEAK_SIGMA, PEAK_TAU
    z = (s / tau - (t - mu) / s) / math.sqrt(2.0)
    a = 0.5 * (s / tau) ** 2 - (t - mu) / tau
    if z < 5.0:
        value = math.exp(a) * math.erfc(z)
    else:  # the far leading edge, where exp(a) alone overflows
        value = math.exp(a - z * z) / (z * math.sqrt(math.pi)) * (1.0 - 0.5 / (z * z))
    return area / (2.0 * tau) * value


def trace_windows(entries):
    """Each trace's recorded time range: around every retention time that uses it."""
    windows = {}
    for entry in entries:
        for key in ("QuanTrace", "TargetTrace0"):
            trace = entry.get(key)
            if not trace:
                continue
            low, high = windows.get(trace, (1e9, -1e9))
            windows[trace] = (min(low, entry["PredRT"] - WINDOW), max(high, entry["PredRT"] + WINDOW))
    return windows


def chromatograms(sample_index, peaks, windows):
    """(trace, times, intensities) per trace, in the order of the method's traces."""
    rng = random.Random(1000 + sample_index)
    drift_start, drift_slope = 300.0 + 40.0 * wobble(sample_index, 1.0), 6.0 + 3.0 * wobble(sample_index + 5, 1.0)
    result = []
    for trace, (low, high) in windows.items():
        first = int(math.floor(low / STEP))
        times = [(first + i) * STEP for i in range(int(round((high - low) / STEP)) + 1)]
        own = [(rt, area / 60.0) for (tr, rt, area) in peaks if tr == trace]
        intensities = []
        for time in times:
            signal = drift_start + drift_slope * time + sum(emg(time, rt, area) for rt, area in own if abs(time - rt) < 1.0)
            intensities.append(max(0.0, signal + rng.gauss(0.0, CHROM_NOISE)))
        result.append((trace, times, intensities))
    return result


def binary_array(values, fmt, precision, kind):
    packed = zlib.compress(struct.pack("<%d%s" % (len(values), fmt), *values), 9)
    encoded = base64.b64encode(packed).decode("ascii")
    unit = ' unitCvRef="UO" unitAccession="UO:0000031" unitName="minute"' if kind[0] == "MS:1000595" else ""
    return ('          <binaryDataArray encodedLength="%d">\n'
            '            <cvParam cvRef="MS" accession="%s" name="%s"/>\n'
            '            <cvParam cvRef="MS" accession="MS:1000574" name="zlib compression"/>\n'
            '            <cvParam cvRef="MS" accession="%s" name="%s"%s/>\n'
            '            <binary>%s</binary>\n'
            '          </binaryDataArray>\n' % (len(encoded), precision[0], precision[1], kind[0], kind[1], unit, encoded))


def write_mzml(path, sample_id, traces):
    with open(path, "w", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n'
                '<mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0" id="%s">\n'
                '  <cvList count="2">\n'
                '    <cv id="MS" fullName="Proteomics Standards Initiative Mass Spectrometry Ontology" URI="https://purl.obolibrary.org/obo/ms.obo"/>\n'
                '    <cv id="UO" fullName="Unit Ontology" URI="https://purl.obolibrary.org/obo/uo.obo"/>\n'
                '  </cvList>\n'
                '  <fileDescription><fileContent>'
                '<cvParam cvRef="MS" accession="MS:1001472" name="selected ion monitoring chromatogram"/>'
                '</fileContent></fileDescription>\n'
                '  <softwareList count="1"><software id="make-example-batch" version="2"/></softwareList>\n'
                '  <instrumentConfigurationList count="1"><instrumentConfiguration id="GCMS"/></instrumentConfigurationList>\n'
                '  <dataProcessingList count="1"><dataProcessing id="generated">'
                '<processingMethod order="1" softwareRef="make-example-batch"/></dataProcessing></dataProcessingList>\n'
                '  <run id="%s" defaultInstrumentConfigurationRef="GCMS">\n'
                '    <chromatogramList count="%d" defaultDataProcessingRef="generated">\n' % (sample_id, sample_id, len(traces)))
        for index, (trace, times, intensities) in enumerate(traces):
            f.write('      <chromatogram index="%d" id="SIM SIC %s" defaultArrayLength="%d">\n'
                    '        <cvParam cvRef="MS" accession="MS:1001472" name="selected ion monitoring chromatogram"/>\n'
                    '        <precursor><isolationWindow>'
                    '<cvParam cvRef="MS" accession="MS:1000827" name="isolation window target m/z" value="%s" '
                    'unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"/>'
                    '</isolationWindow><activation/></precursor>\n'
                    '        <binaryDataArrayList count="2">\n' % (index, trace, len(times), trace))
            f.write(binary_array(times, "d", ("MS:1000523", "64-bit float"), ("MS:1000595", "time array")))
            f.write(binary_array(intensities, "f", ("MS:1000521", "32-bit float"), ("MS:1000515", "intensity array")))
            f.write('        </binaryDataArrayList>\n      </chromatogram>\n')
        f.write('    </chromatogramList>\n  </run>\n</mzML>\n')


def write_method(entries):
    with open(os.path.join(OUT, "method.xml"), "w", newline="\n") as f:
        f.write('<?xml version="1.0"?>\n<METHODLIST>\n')
        f.write("  <!-- generated by scripts/make-example-batch.py from stated true concentrations -->\n")
        for entry in entries:
            attributes = " ".join('%s="%s"' % (key, xml_escape(value)) for key, value in entry.items())
            f.write("  <METHODENTRY %s/>\n" % attributes)
        f.write("</METHODLIST>\n")


def xml_escape(value):
    text = str(value)
    return text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;")


def main():
    global OUT, SEED, QC_REPLICATES, QC_SHIFT
    parser = argparse.ArgumentParser(description="Writes the example batch (examples/batch/ by default).")
    parser.add_argument("--out", default=OUT)
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--qc-replicates", type=int, default=1)
    parser.add_argument("--qc-shift", type=float, default=0.0)
    args = parser.parse_args()
    if args.seed < 0 or args.qc_replicates < 1 or args.qc_replicates > 49:
        parser.error("--seed takes 0 or more, --qc-replicates 1 to 49")
    OUT, SEED, QC_REPLICATES, QC_SHIFT = args.out, args.seed, args.qc_replicates, args.qc_shift
    samples = batch_samples()
    os.makedirs(os.path.join(OUT, "raw"), exist_ok=True)
    entries = method_entries()
    write_method(entries)
    windows = trace_windows(entries)
    levels = ["Conc%s" % chr(ord("A") + i) for i in range(20)]
    with open(os.path.join(OUT, "batch.csv"), "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["SampleID", "PeakFile", "Type"] + levels +
                        ["InjectionVolume", "InitialAmount", "ExtractVolume", "ExtractDilutionFactor",
                         "UserDilutionFactor", "StockDilutionFactor", "Description", "Exclude"])
        for index, (sample_id, kind, level) in enumerate(samples):
            concs = [""] * 20
            if kind in ("Standard", "QC"):
                concs[0] = "%g" % level
            description = {"Standard": "calibration standard", "QC": "quality control", "Blank": "reagent blank",
                           "Analyte": "soil extract"}[kind]
            exclude = "Dichlorvos" if sample_id == "STD-06" else ""  # one point excluded by the analyst
            writer.writerow([sample_id, "raw/%s.mzML" % sample_id, kind] + concs +
                            ["1", "1", "1", "1", "1", "1", description, exclude])
            # Another seed moves every sample to other noise and wobble; seed 0 is the example.
            noise_index = index + 1000 * SEED
            traces = chromatograms(noise_index, peaks_for(noise_index, sample_id, kind, level), windows)
            write_mzml(os.path.join(OUT, "raw", sample_id + ".mzML"), sample_id, traces)
    with open(os.path.join(OUT, "truth.csv"), "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["SampleID", "Compound", "TrueConc", "ExpectedFlag"])
        for sample_id, kind, level in samples:
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
