#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets whose input is structured: the peak-record and
curve-record targets from the field tables (records/PeakFields.def, records/CurveRecordFields.def):
empty, default, typical and hostile records (unterminated texts, counts outside the record, NaN
and infinite numbers), each followed by a few bytes that drive the edits the targets make; the
match_scoring target from the spectra of its unit tests, in the byte encoding of FuzzInput.
Run from the source folder."""
import math, os, re, struct

PACK = {'int32_t': 'i', 'uint32_t': 'I', 'float': 'f', 'double': 'd', 'int16_t': 'h', 'uint16_t': 'H'}


def table(path, pattern):
    fields = {}
    for line in open(path):
        m = re.match(pattern, line)
        if m:
            fields[m.group('name')] = m
    return fields


def peak_fields():
    fields = {}
    for line in open('records/PeakFields.def'):
        m = re.match(r'PEAK_(FIELD|FIELD_STORED|BOOL|TEXT|TEXT_INPLACE|TEXT_STORED|ARRAY|TEXT_ARRAY|FLAGWORD)\((.*)\)', line)
        if not m:
            continue
        kind, args = m.group(1), [a.strip() for a in m.group(2).split(',')]
        offset = int(args[0])
        if kind in ('FIELD', 'FIELD_STORED'):
            fields[args[2]] = (offset, args[1])
        elif kind == 'BOOL':
            fields[args[1]] = (offset, 'int32_t')
        elif kind == 'FLAGWORD':
            fields[args[1]] = (offset, 'uint32_t')
        elif kind in ('TEXT', 'TEXT_INPLACE', 'TEXT_STORED'):
            fields[args[3]] = (offset, 'text', int(args[1]))
        elif kind == 'ARRAY':
            fields[args[3]] = (offset, args[1], int(args[2]))
        elif kind == 'TEXT_ARRAY':
            fields[args[4]] = (offset, 'texts', int(args[1]), int(args[2]))
    return fields


def curve_fields():
    fields = {}
    for line in open('records/CurveRecordFields.def'):
        m = re.match(r'CURVE_(GAP|TEXT|FLAGS_TEXT|FIELD|FIELD_CREF|ARRAY)\s*\((.*)\)', line)
        if not m:
            continue
        kind, args = m.group(1), [a.strip() for a in m.group(2).split(',')]
        offset = int(args[0], 16)
        if kind in ('TEXT', 'FLAGS_TEXT'):
            fields[args[2]] = (offset, 'text', int(args[1]))
        elif kind in ('FIELD', 'FIELD_CREF'):
            fields[args[2]] = (offset, args[1])
        elif kind == 'ARRAY':
            fields[args[2]] = (offset, args[1], int(args[3]))
    return fields


def put(record, fields, name, value, index=0):
    layout = fields[name]
    offset, kind = layout[0], layout[1]
    if kind == 'text':
        data = value.encode()[:layout[2]]
        record[offset:offset + layout[2]] = data + b'\0' * (layout[2] - len(data))
    elif kind == 'texts':
        size = layout[2]
        at = offset + index * size
        data = value.encode()[:size]
        record[at:at + size] = data + b'\0' * (size - len(data))
    else:
        fmt = '<' + PACK[kind]
        at = offset + index * struct.calcsize(fmt)
        record[at:at + struct.calcsize(fmt)] = struct.pack(fmt, value)


# The first byte of an input of the records target (tests/fuzz/records.cpp) chooses what it does.
SELECTOR = {'peak_record': b'\x02', 'curve_record': b'\x03', 'peak_set_field': b'\x04'}


def write(folder, name, record, tail=b''):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(SELECTOR.get(os.path.basename(folder), b'') + bytes(record) + tail)


def peak_seeds():
    folder = 'tests/fuzz/corpus/peak_record'
    f = peak_fields()
    size = 4112
    write(folder, 'empty', b'')
    default = bytearray(size)
    for k in range(6):
        put(default, f, 'IntStd', -1, k)
    for name in ('Vulp', 'VulpNorm', 'Confidence', 'FoundMass', 'mDaError', 'ppmError'):
        if name in f:
            put(default, f, name, -10.0)
    write(folder, 'default', default, b'\x00\x02\x04\x00\x05peaks')
    typical = bytearray(default)
    put(typical, f, 'Name', 'Naphthalene')
    put(typical, f, 'QuanTrace', '128.1')
    put(typical, f, 'TotalsGroup', 'PAH; EPA16')
    put(typical, f, 'FoundRT', 7.46)
    put(typical, f, 'StartRT', 7.40)
    put(typical, f, 'EndRT', 7.52)
    put(typical, f, 'Area', 53858.6)
    put(typical, f, 'Height', 12823.48)
    put(typical, f, 'FixedConc', 10.0)
    put(typical, f, 'AnalConc', 9.5)
    put(typical, f, 'PeakDetectionFlags', 'M!')
    put(typical, f, 'PeakQualityStr', 'S/N #12.345# area #1e5# #x')
    put(typical, f, 'Formula', 'C10H8', 0)
    write(folder, 'typical', typical, b'\x01\x03\x02\x7f\x03PAH\x05C10H8\x02\x01\x01')
    mrm = bytearray(typical)
    put(mrm, f, 'QuanTrace', '216.1>174.1')
    put(mrm, f, 'IsAccurateMass', 1) if 'IsAccurateMass' in f else None
    write(folder, 'mrm', mrm, b'\x02\x05\x05\xff' + struct.pack('<d', 1.25e-7) + b'\x00')
    write(folder, 'all-ff', b'\xff' * size, b'\xff' * 64)
    write(folder, 'all-letters', b'A' * size, b'\x01' * 300)
    nan = bytearray(typical)
    put(nan, f, 'Area', math.nan)
    put(nan, f, 'Height', math.inf)
    put(nan, f, 'FoundRT', -math.inf)
    put(nan, f, 'FixedConc', 5e-324)
    put(nan, f, 'AnalConc', 1.7e308)
    put(nan, f, 'PeakQualityStr', '#nan##-inf##1e308##1e-320#')
    write(folder, 'nan-and-huge', nan, b'\x01\xf0\x00\xf0\xff' + struct.pack('<d', -1e-310))
    write(folder, 'short', bytes(typical[:1400]))


def curve_seeds():
    folder = 'tests/fuzz/corpus/curve_record'
    f = curve_fields()
    size = 19496
    write(folder, 'empty', b'')
    typical = bytearray(size)
    put(typical, f, 'Name', 'Atrazine')
    put(typical, f, 'Cas', '1912-24-9')
    put(typical, f, 'RepUnits', 'ng/mL')
    put(typical, f, 'Flags', 'AB')
    put(typical, f, 'RCalc', 1)
    put(typical, f, 'CCalc', 1)
    put(typical, f, 'NumCaliPts', 5)
    put(typical, f, 'CorrCoeff', 0.9995)
    put(typical, f, 'TotalsGroup', 'Triazines')
    points = f['CaliPoints'][0]
    files = f['CaliFiles'][0]
    for i, (conc, resp) in enumerate([(1, 0.11), (2, 0.2), (5, 0.52), (10, 1.01), (20, 1.98)]):
        typical[points + 32 * i:points + 32 * i + 26] = struct.pack('<dddH', 1.0, conc, resp, 1 if i == 2 else 0)
        name = f'STD-{i + 1:02d}'.encode()
        typical[files + 147 * i:files + 147 * i + len(name)] = name
        typical[files + 147 * i + 100:files + 147 * i + 110] = b'host bytes'
    for k, c in enumerate([0.001, 0.0995]):
        put(typical, f, 'CC', c, k)
    write(folder, 'typical', typical, b'\x03\x02' + b'\x05' * 40 + b'\x04STD-\x02\x02AB')
    many = bytearray(typical)
    put(many, f, 'NumCaliPts', 1000)
    write(folder, 'count-too-large', many, b'\x02\x00\x10')
    negative = bytearray(typical)
    put(negative, f, 'NumCaliPts', -7)
    write(folder, 'count-negative', negative)
    full = bytearray(typical)
    put(full, f, 'NumCaliPts', 100)
    flags = f['Flags'][0]
    full[flags:flags + 9] = b'YNYNYNYNY'  # no terminator within the field
    write(folder, 'full-unterminated', full, b'\x01\x65' + b'\xff' * 30)
    write(folder, 'all-ff', b'\xff' * size, b'\xff' * 32)
    write(folder, 'all-letters', b'F' * size, b'\x08' * 200)


class Encoder:
    """The inverse of tests/fuzz/FuzzSupport.h's FuzzInput for the values used here."""

    def __init__(self):
        self.data = bytearray()

    def int(self, value, low, high):
        span = high - low + 1
        raw = value - low
        width = 0
        reach = 1
        while reach < span:
            width += 1
            reach <<= 8
        self.data += raw.to_bytes(width, 'big') if width else b''
        return self

    def float_hundredths(self, value):  # a Float() in 0..40.00 steps of 0.01
        self.data += b'\x00'
        return self.int(int(round(value * 100)), 0, 4000)

    def float_raw(self, value):
        self.data += b'\xf0' + struct.pack('>f', value)
        return self


def spectrum(encoder, entries, null=False):
    """entries: (mass step in tenths, intensity in hundredths, raw mass or None)"""
    encoder.int(len(entries) + 2, 0, 82)  # counts -2..80 are one byte, offset by 2
    encoder.int(0 if null else 1, 0, 31)
    for step, intensity, raw_mass in entries:
        if raw_mass is None:
            encoder.int(1, 0, 7).int(step, 0, 400)
        else:
            encoder.int(0, 0, 7).float_raw(raw_mass)
        encoder.float_hundredths(intensity)


def spectrum_seeds():
    folder = 'tests/fuzz/corpus/match_scoring'
    os.makedirs(folder, exist_ok=True)
    cases = {
        'sixty-ascending': ([(10, (i % 37) + 1, None) for i in range(60)], [(10, 5, None) for _ in range(8)]),
        'zero-mass-at-40': ([(10, 3, None) if i != 40 else (0, 3, 0.0) for i in range(60)], [(10, 5, None)] * 4),
        'zero-mass-at-5': ([(10, 3, None) if i != 5 else (0, 3, 0.0) for i in range(10)], [(10, 5, None)] * 10),
        'ten-entries': ([(10, i + 1, None) for i in range(10)], [(10, i + 1, None) for i in range(10)]),
        'zero-intensities': ([(10, 0, None)] * 6, [(10, 1, None)] * 6),
        'rounding': ([(0, 5, 100.4), (0, 5, 100.6)], [(0, 5, 100.0), (10, 5, None)]),
        'extra-measured': ([(10, 5, None)] * 12, [(20, 5, None)] * 6),
        'negative-and-huge': ([(0, 5, -100.0), (0, 1, 3.0e38), (0, 2, 1e-40)], [(0, 5, -100.0)]),
        'one-each': ([(10, 1, None)], [(10, 1, None)]),
        'eighty': ([(1, (i * 7) % 40, None) for i in range(80)], [(1, (i * 3) % 40, None) for i in range(80)]),
    }
    for name, (measured, predicted) in cases.items():
        e = Encoder()
        spectrum(e, measured)
        spectrum(e, predicted)
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(bytes(e.data))
    e = Encoder()
    spectrum(e, [(10, 1, None)] * 3, null=True)
    spectrum(e, [(10, 1, None)] * 3)
    with open(os.path.join(folder, 'null-arrays'), 'wb') as f:
        f.write(bytes(e.data))




# --- runs of the engines (tests/fuzz/whole_run.cpp) ---------------------------------------------
RUN_TEXTS = ["304.0", "306.0", "128.1", "127.1", "216.1>174.1", "216.1>176.1", "ch1", "", "E1", "E2", "PAH",
             "PAH; EPA16", "Y", "C6H6", "AREA", "HEIGHT"]
USUAL_DOUBLES = [0.0, 1.0, -1.0, 0.5, 2.0, 10.0, 100.0, 1000.0, 1e-6, 1e6, 0.1, 0.2, 5.0, 12.5, -0.5, 1e300, -1e300, 3.4e38]


def entry_setters():
    names = []
    for line in open('platform/MethodRecordFields.def'):
        m = re.match(r'METHOD_(FIELD|TEXT|INDEXED|INDEXED_TEXT)\((.*?)\)', line)
        if m:
            args = [a.strip() for a in m.group(2).split(',')]
            names.append(args[{'FIELD': 1, 'TEXT': 0, 'INDEXED': 1, 'INDEXED_TEXT': 0}[m.group(1)]])
    return names


def peak_report_fields():
    names = []
    for line in open('report/PeakFieldTable.def'):
        m = re.match(r'PEAK_REPORT_FIELD\(\s*\d+\s*,\s*(\w+)', line)
        if m:
            names.append(m.group(1))
    return names


PEAK_TEXTS = ["0", "1", "2", "-1", "1.5", "304.0", "E1", "PAH", "PAH; EPA16", "Y", ""]


class RunEncoder(Encoder):
    def small(self, value):
        return self.int(value + 2, 0, 255) if -2 <= value <= 9 else self.int(value, 0, 255)

    def double(self, value):
        self.data += bytes([USUAL_DOUBLES.index(value)])
        return self

    def text(self, value):
        if value in RUN_TEXTS:
            return self.int(RUN_TEXTS.index(value), 0, len(RUN_TEXTS))
        self.int(len(RUN_TEXTS), 0, len(RUN_TEXTS))
        self.data += bytes([len(value)]) + value.encode()
        return self


def run_seed(entries, peaks, sample_type=0):
    """entries: dicts with trace, rt (tenths), window (tenths), level, changes [(field, kind, value[, index])];
    peaks: dicts with trace, near (entry index), offset (hundredths), area, height, noise, changes."""
    e = RunEncoder()
    esetters, pfields = entry_setters(), peak_report_fields()
    e.int(len(entries), 0, 6)
    for entry in entries:
        e.text(entry['trace']).int(entry['rt'], 1, 200).int(entry['window'], 0, 10).int(entry.get('level', 0), 0, 4)
        changes = entry.get('changes', [])
        e.int(len(changes), 0, 24)
        for change in changes:
            encode_change(e, esetters, change)
    e.int(len(peaks), 0, 12)
    for peak in peaks:
        e.text(peak['trace'])
        if entries:
            e.int(peak.get('near', 0), 0, len(entries) - 1)
        e.int(peak.get('offset', 0) + 20, 0, 40).int(peak.get('area', 1000), 0, 100000)
        e.int(peak.get('height', 100), 0, 10000).int(peak.get('noise', 10), 0, 50)
        changes = peak.get('changes', [])
        e.int(len(changes), 0, 16)
        for name, index, text in changes:  # a report field set through PeakSetFieldStr
            e.int(pfields.index(name), 0, len(pfields) - 1).int(index + 1, 0, 7).int(PEAK_TEXTS.index(text), 0, len(PEAK_TEXTS))
    e.int(sample_type + 1, 0, 9)
    e.double(1.0)
    e.int(0, 0, 4)
    return bytes(e.data)


def encode_change(e, setters, change):
    name, kind, value = change[0], change[1], change[2]
    e.int(setters.index(name), 0, len(setters) - 1)
    if len(change) > 3:
        e.int(change[3] + 1, 0, 7)  # index k of Int(-1, count); counts here are at most 6
    {'int': e.small, 'float': e.float_hundredths, 'double': e.double, 'text': e.text, 'bit': lambda v: e.int(v, 0, 1)}[kind](value)


def run_seeds(folder):
    os.makedirs(folder, exist_ok=True)
    pah = [
        {'trace': '128.1', 'rt': 75, 'window': 2},
        {'trace': '304.0', 'rt': 100, 'window': 5, 'level': 2,
         'changes': [('TargetTrace', 'text', '306.0', 0), ('TargetRatio', 'double', 0.5, 0), ('TargetWindow', 'int', 9, 0),
                     ('RCalc', 'int', 1), ('RRef', 'int', 1)]},
        {'trace': '216.1>174.1', 'rt': 129, 'window': 2, 'level': 3, 'changes': [('RCalc', 'int', 1), ('RRef', 'int', 1)]},
    ]
    pah_peaks = [
        {'trace': '128.1', 'near': 0, 'offset': 1},
        {'trace': '304.0', 'near': 1, 'offset': -3, 'area': 5000, 'height': 400},
        {'trace': '306.0', 'near': 1, 'offset': -3, 'area': 2400, 'height': 200},
        {'trace': '216.1>174.1', 'near': 2, 'offset': 0, 'area': 800},
        {'trace': '304.0', 'near': 1, 'offset': 15, 'area': 9000},
    ]
    seeds = {
        'three-compounds': run_seed(pah, pah_peaks),
        'three-compounds-standard': run_seed(pah, pah_peaks, sample_type=1),
        'empty-peak-list': run_seed(pah, []),
        'empty-method': run_seed([], pah_peaks[:2]),
        'rrt-chain': run_seed([
            {'trace': '304.0', 'rt': 100, 'window': 3, 'changes': [('RRTRef', 'int', 3), ('PredRRT', 'float', 1.0)]},
            {'trace': '306.0', 'rt': 110, 'window': 3},
            {'trace': '128.1', 'rt': 80, 'window': 3}], pah_peaks),
        'record-number-unequal': run_seed([{'trace': '304.0', 'rt': 100, 'window': 3, 'changes': [('LocateBy', 'int', 0)]}] * 2,
                                          pah_peaks[:1]),
        'totals-group': run_seed([
            {'trace': '304.0', 'rt': 100, 'window': 5, 'changes': [('TotalsGroup', 'text', 'PAH')]},
            {'trace': '306.0', 'rt': 100, 'window': 9,
             'changes': [('LocateChoice', 'int', 6), ('TotalsGroupByRef', 'text', 'PAH'), ('TotalsGroup', 'text', 'PAH')]}],
            [{'trace': '304.0', 'near': 0, 'changes': [('TotalsGroup', 0, 'PAH'), ('TotalsGroupPeak', 0, '1')]},
             {'trace': '306.0', 'near': 1, 'changes': [('TotalsGroup', 0, 'PAH; EPA16')]}]),
        'placeholder-and-modified': run_seed([{'trace': '304.0', 'rt': 100, 'window': 1, 'changes': [('LocateChoice', 'int', 1)]}],
            [{'trace': '304.0', 'near': 0},
             {'trace': '304.0', 'near': 0, 'offset': 18, 'changes': [('MDBIntegrateEntry', 0, '1')]}]),
        'peak-centre-and-tolerance': run_seed([
            {'trace': '304.0', 'rt': 100, 'window': 0, 'changes': [('LocateBy', 'int', 6), ('RTToleranceFlag', 'int', 1),
                                                                    ('RTToleranceUpper', 'float', 5.0), ('RTToleranceLower', 'float', 5.0)]}],
            pah_peaks[1:3], sample_type=2),
        'bad-codes': run_seed([{'trace': '304.0', 'rt': 100, 'window': 3, 'level': 4,
                                'changes': [('StdLevels', 'int', -1), ('LocateBy', 'int', 9), ('RCalc', 'int', 7)]}], pah_peaks[:1]),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)


# --- calibration (tests/fuzz/calibrate.cpp) ---------------------------------------------------
def calibrate_seeds():
    folder = 'tests/fuzz/corpus/calibrate'
    os.makedirs(folder, exist_ok=True)

    def curve(e, ccalc=1, origin=0, weighting=0, trans=0, totals=False, group=0, flags=0,
              concs=(1, 2, 5, 10, 20), slope=100, intercept=50, excluded=(), count=None):
        e.int(1, 0, 15).int(ccalc, 0, 6)
        e.int(1, 0, 15).int(origin, 0, 3)
        e.int(1, 0, 15).int(weighting, 0, 4)
        e.int(1, 0, 15).int(trans, 0, 3)
        e.int(0 if totals else 1, 0, 7)      # TotalsEntry when the byte is 0
        e.int(1, 0, 7)                       # no totals group entry
        e.int(group, 0, 4).int(flags, 0, 5).int(900, 0, 1000)
        e.int(len(concs), 0, 14).int(slope, 1, 1000).int(intercept, 0, 100)
        for i, conc in enumerate(concs):
            e.int(1, 0, 7).int(int(round(conc * 100)), 0, 5000)
            e.int(1, 0, 7).int(10 + (i % 3) - 1, 0, 20)
            e.double(1.0)
            e.int(0 if i in excluded else 1, 0, 5)
        if count is None:
            e.int(1, 0, 15)
        else:
            e.int(0, 0, 15).int(count + 3, 0, 133)

    cases = {
        'linear': [dict()],
        'rf-and-quadratic': [dict(ccalc=0), dict(ccalc=2, concs=(1, 2, 4, 8, 16, 32))],
        'log-transform': [dict(origin=1, trans=2, concs=(10, 50), slope=1000)],
        'log-with-weighting': [dict(origin=1, trans=2, weighting=1, concs=(10, 50))],
        'zero-under-ln': [dict(origin=1, trans=1, concs=(0, 2, 4))],
        'weighting-1-over-x': [dict(weighting=1, concs=(0, 2, 4)), dict(weighting=3, intercept=0, slope=1, concs=(0, 1))],
        'forced-origin-and-excluded': [dict(origin=2, excluded=(1, 3)), dict(origin=3, ccalc=6)],
        'totals-group': [dict(group=1), dict(group=2), dict(totals=True, group=1)],
        'count-beyond-array': [dict(count=130), dict(count=-3)],
        'no-points': [dict(concs=()), dict(concs=(5,))],
    }
    for name, curves in cases.items():
        for standards in (True, False):
            e = RunEncoder()
            e.int(len(curves), 0, 5)
            for c in curves:
                curve(e, **c)
            e.int(0, 0, 1)  # version 1 off
            e.int(2, 0, 3)
            for _ in range(2):
                if standards:
                    e.int(1, 0, 3)
                else:
                    e.int(0, 0, 3).int(1, 0, 9)  # type 0: an analyte
            with open(os.path.join(folder, name + ('' if standards else '-analyte')), 'wb') as f:
                f.write(bytes(e.data))


# --- report fields and PeakSetFieldStr (tests/fuzz/records.cpp) ---------------------------------
SET_TEXTS = ["0", "1", "-1", "1.5", "1e300", "1e-320", "nan", "inf", "-inf", "2147483648", "YES", "NO", "RT", "RRT",
             "M!", "304.0", " 12 ", "", "0x10", "1,5"]


def field_seeds():
    peaks = 'tests/fuzz/corpus/peak_record'
    curves = 'tests/fuzz/corpus/curve_record'
    report = 'tests/fuzz/corpus/report_fields'
    setting = 'tests/fuzz/corpus/peak_set_field'
    os.makedirs(report, exist_ok=True)
    os.makedirs(setting, exist_ok=True)
    for name in sorted(os.listdir(peaks)):
        data = open(os.path.join(peaks, name), 'rb').read()[1:]
        open(os.path.join(report, 'peak-' + name), 'wb').write(b'\x00' + data)
        open(os.path.join(setting, name), 'wb').write(SELECTOR['peak_set_field'] + data)
    for name in sorted(os.listdir(curves)):
        data = open(os.path.join(curves, name), 'rb').read()[1:]
        open(os.path.join(report, 'curve-' + name), 'wb').write(b'\x01' + data)
    typical = open(os.path.join(peaks, 'typical'), 'rb').read()[1:4113]
    edits = [(13, 0, 'Naphthalene-d8'), (7, 0, '3'), (52, 0, 'RRT'), (92, 0, 'M!'), (92, 0, ''), (18, 0, 'x' * 10),
             (1, 0, 'y' * 255), (34, 0, 'nan'), (34, 0, '1e300'), (7, 0, '2147483648'), (19, 0, 'NO'),
             (240, 3, '1.5'), (-3, 0, 'x'), (100, 11, '0x10'), (150, 2, ' 12 '), (200, -2, '-inf')]
    e = RunEncoder()
    e.int(len(edits), 1, 24)
    for i, (number, index, text) in enumerate(edits):
        e.int(1, 0, 7).int(number + 3, 0, 243).int(index + 2, 0, 14)
        if text in SET_TEXTS:
            e.int(SET_TEXTS.index(text), 0, 20)
        else:
            e.int(20, 0, 20)
            e.data += bytes([len(text)]) + text.encode()
        e.int(i % 2, 0, 1)
        if i % 2 == 0:
            e.int(1, 0, 3)
    open(os.path.join(setting, 'typical-edits'), 'wb').write(SELECTOR['peak_set_field'] + typical + bytes(e.data))


if __name__ == '__main__':
    calibrate_seeds()
    peak_seeds()
    curve_seeds()
    spectrum_seeds()
    run_seeds('tests/fuzz/corpus/locate')
    run_seeds('tests/fuzz/corpus/whole_run')  # the same runs; what follows them drives the curves
    field_seeds()
