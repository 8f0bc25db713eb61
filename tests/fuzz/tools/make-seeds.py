#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets whose input is structured: the peak-record and
curve-record targets from the field tables (records/PeakFields.def, records/CurveRecordFields.def):
empty, default, typical and hostile records (unterminated texts, counts outside the record, NaN
and infinite numbers), each followed by a few bytes that drive the edits the targets make; the
spectrum target from the spectra of its unit tests, in the byte encoding of FuzzInput.
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
    spec = fields[name]
    offset, kind = spec[0], spec[1]
    if kind == 'text':
        data = value.encode()[:spec[2]]
        record[offset:offset + spec[2]] = data + b'\0' * (spec[2] - len(data))
    elif kind == 'texts':
        size = spec[2]
        at = offset + index * size
        data = value.encode()[:size]
        record[at:at + size] = data + b'\0' * (size - len(data))
    else:
        fmt = '<' + PACK[kind]
        at = offset + index * struct.calcsize(fmt)
        record[at:at + struct.calcsize(fmt)] = struct.pack(fmt, value)


def write(folder, name, record, tail=b''):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(bytes(record) + tail)


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
    folder = 'tests/fuzz/corpus/spectrum'
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


if __name__ == '__main__':
    peak_seeds()
    curve_seeds()
    spectrum_seeds()
