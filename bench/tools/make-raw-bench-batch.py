#!/usr/bin/python3
"""Writes a large batch of raw data for the review station's benchmarks: by default 200 samples
by 500 compounds (20 internal standards and 480 analytes, each with a quantification and one
qualifier transition), every sample an mzML file with one selected-reaction chromatogram per
trace, recorded 0.5 min either side of its compound's retention time at 4 Hz (251 points), as a
scheduled acquisition records them.

The samples are six calibration standards, four QCs at two levels, four blanks and the rest
unknowns at three made-up concentration patterns. Samples of the same kind and level share one
file (the batch names it for each), so the folder stays small while every sample is still read
and integrated on its own. Same arguments, same bytes.

  /usr/bin/python3 bench/tools/make-raw-bench-batch.py [--samples N] [--compounds N] FOLDER
"""
import argparse
import base64
import csv
import math
import os
import struct
import zlib

import numpy

LEVELS = [1.0, 2.0, 5.0, 10.0, 20.0, 50.0]
QC_LEVELS = [3.0, 30.0]
STANDARDS = 20
STEP, WINDOW, SIGMA = 0.004, 0.5, 0.02
IS_CONC, IS_AREA = 10.0, 50000.0


def entries(compounds):
    """(name, RT, quan trace, qualifier trace, ratio, IS entry or 0, sensitivity)."""
    result = []
    for e in range(1, compounds + 1):
        rt = round(3.0 + 25.0 * ((e * 0.618034) % 1.0), 3)
        standard = 0 if e <= STANDARDS else 1 + (e - 1) % STANDARDS
        ratio = round(0.5 + 1.5 * ((e * 0.414214) % 1.0), 3)
        # Precursors one dalton apart: no two compounds' traces fall in one another's window.
        result.append(("C%03d" % e if standard else "IS%02d" % e, rt, "%d.1>50.1" % (99 + e), "%d.1>70.1" % (99 + e),
                       ratio, standard, round(0.5 + (e % 7) * 0.1, 2)))
    return result


def method_xml(method):
    lines = ['<?xml version="1.0"?>', "<METHODLIST>"]
    for name, rt, quan, qual, ratio, standard, _k in method:
        common = ('Name="%s" LocateBy="RT" PredRT="%g" LocateRTWin="0.1" QuanTrace="%s" TargetTrace0="%s" '
                  'TargetRatio0="%g" TargetWindow0="20" RAH="Area" CalCompound="%s" RepUnits="ng/mL" '
                  'QuantificationTraces="1" DetectionThreshold="3" QuantitationThreshold="10" SmooEnabled="1" '
                  'SmooMethod="1" SmooWidth="3" SmooIter="1"' % (name, rt, quan, qual, ratio, name))
        if standard:
            lines.append('  <METHODENTRY %s RCalc="Internal Std" RRef="%d" CCalc="Linear" StdLevels="A" '
                         'WeightingFunction="1/x" Origin="Include"/>' % (common, standard))
        else:
            lines.append('  <METHODENTRY %s RCalc="External Std" StdLevels="FIXED" StdConc="%g" CCalc="RF"/>'
                         % (common, IS_CONC))
    lines.append("</METHODLIST>")
    return "\n".join(lines) + "\n"


def array(values, kind, double):
    packed = zlib.compress(values.astype("<f8" if double else "<f4").tobytes(), 6)
    encoded = base64.b64encode(packed).decode("ascii")
    precision = ("MS:1000523", "64-bit float") if double else ("MS:1000521", "32-bit float")
    unit = ' unitCvRef="UO" unitAccession="UO:0000031" unitName="minute"' if kind[0] == "MS:1000595" else ""
    return ('<binaryDataArray encodedLength="%d"><cvParam cvRef="MS" accession="%s" name="%s"/>'
            '<cvParam cvRef="MS" accession="MS:1000574" name="zlib compression"/>'
            '<cvParam cvRef="MS" accession="%s" name="%s"%s/><binary>%s</binary></binaryDataArray>\n'
            % (len(encoded), precision[0], precision[1], kind[0], kind[1], unit, encoded))


def write_mzml(path, sample_id, method, concentration, seed):
    """One file: every trace's window with its compound's peak (none where the concentration is 0)."""
    rng = numpy.random.default_rng(seed)
    traces = []
    for name, rt, quan, qual, ratio, standard, k in method:
        conc = IS_CONC if not standard else concentration(name)
        area = IS_AREA if not standard else k * conc * IS_AREA / IS_CONC
        first = int(math.floor((rt - WINDOW) / STEP))
        times = (first + numpy.arange(int(round(2 * WINDOW / STEP)) + 1)) * STEP
        apex = rt + 0.01 * math.sin(seed * 3.1 + rt)
        shape = numpy.exp(-0.5 * ((times - apex) / SIGMA) ** 2) / (SIGMA * math.sqrt(2 * math.pi))
        for trace, share in ((quan, 1.0), (qual, 1.0 / ratio)):
            signal = 300.0 + area / 60.0 * share * shape + rng.normal(0.0, 5.0, times.size)
            traces.append((trace, times, numpy.maximum(signal, 0.0)))
    with open(path, "w", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n<mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0" id="%s">\n'
                '<cvList count="2"><cv id="MS" fullName="PSI-MS" URI="https://purl.obolibrary.org/obo/ms.obo"/>'
                '<cv id="UO" fullName="Unit Ontology" URI="https://purl.obolibrary.org/obo/uo.obo"/></cvList>\n'
                '<run id="%s"><chromatogramList count="%d">\n' % (sample_id, sample_id, len(traces)))
        for index, (trace, times, intensities) in enumerate(traces):
            q1, q3 = trace.split(">")
            f.write('<chromatogram index="%d" id="SRM SIC Q1=%s Q3=%s" defaultArrayLength="%d">'
                    '<cvParam cvRef="MS" accession="MS:1001473" name="selected reaction monitoring chromatogram"/>'
                    '<precursor><isolationWindow><cvParam cvRef="MS" accession="MS:1000827" name="isolation window target m/z" '
                    'value="%s"/></isolationWindow><activation/></precursor><product><isolationWindow>'
                    '<cvParam cvRef="MS" accession="MS:1000827" name="isolation window target m/z" value="%s"/>'
                    '</isolationWindow></product><binaryDataArrayList count="2">\n' % (index, q1, q3, times.size, q1, q3))
            f.write(array(times, ("MS:1000595", "time array"), True))
            f.write(array(intensities, ("MS:1000515", "intensity array"), False))
            f.write("</binaryDataArrayList></chromatogram>\n")
        f.write("</chromatogramList></run>\n</mzML>\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--samples", type=int, default=200)
    parser.add_argument("--compounds", type=int, default=500)
    parser.add_argument("folder")
    options = parser.parse_args()
    assert options.samples >= 14 and options.compounds > STANDARDS
    method = entries(options.compounds)
    os.makedirs(os.path.join(options.folder, "raw"), exist_ok=True)
    with open(os.path.join(options.folder, "method.xml"), "w", newline="\n") as f:
        f.write(method_xml(method))
    patterns = [lambda name, p=p: (0.0 if (int(name[1:]) + p) % 3 == 0 else 1.0 + (int(name[1:]) * (p + 2)) % 40)
                for p in range(3)]
    files = {}
    for i, level in enumerate(LEVELS):
        files["STD-%d" % (i + 1)] = ("Standard", level, lambda name, c=level: c)
    for i, level in enumerate(QC_LEVELS):
        files["QC-%d" % (i + 1)] = ("QC", level, lambda name, c=level: c)
    files["BLANK"] = ("Blank", 0.0, lambda name: 0.0)
    for i, pattern in enumerate(patterns):
        files["UNKNOWN-%d" % (i + 1)] = ("Analyte", 0.0, pattern)
    for seed, (file, (_kind, _level, concentration)) in enumerate(files.items()):
        write_mzml(os.path.join(options.folder, "raw", file + ".mzML"), file, method, concentration, seed)
    order = ["STD-%d" % (i + 1) for i in range(len(LEVELS))] + ["QC-1", "QC-2", "QC-1", "QC-2", "BLANK", "BLANK",
                                                               "BLANK", "BLANK"]
    order += ["UNKNOWN-%d" % (1 + i % 3) for i in range(options.samples - len(order))]
    with open(os.path.join(options.folder, "batch.csv"), "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["SampleID", "PeakFile", "Type", "ConcA"])
        for index, file in enumerate(order):
            kind, level, _ = files[file]
            writer.writerow(["S%03d-%s" % (index + 1, file), "raw/%s.mzML" % file, kind, "%g" % level if level else ""])


if __name__ == "__main__":
    main()
