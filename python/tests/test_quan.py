# The Python module on the bundled example batch: a whole run against the batch's stated true
# concentrations, the pieces a script chains (read, locate, calibrate, quantify, field texts)
# giving what the whole run gives, and bad input turned into exceptions with the tool's texts.
import os
import shutil
import subprocess

import numpy as np
import pandas as pd
import pytest

import quan

SOURCE = os.environ.get("QUAN_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLE = os.path.join(SOURCE, "examples", "batch")
LEVELS = [1.0, 2.0, 5.0, 10.0, 20.0, 50.0]  # ConcA of STD-01..06 in batch.csv


@pytest.fixture(scope="module")
def run():
    return quan.run_batch(EXAMPLE, jobs=2)


def test_run_batch_recovers_the_true_concentrations(run, tmp_path):
    truth = pd.read_csv(os.path.join(EXAMPLE, "truth.csv"), keep_default_na=False)
    results = run.results.set_index(["Sample", "Compound"])
    assert len(results) == 13 * 17 and run.exit_status == 0
    checked = 0
    for row in truth.itertuples():
        result = results.loc[(row.SampleID, row.Compound)]
        if row.ExpectedFlag == "ion ratio":
            assert "IRWinFlag" in result.Result
        elif row.ExpectedFlag == "above range":
            assert "MaxConcFlag" in result.Result
        else:
            assert result.Result == "pass" and result.Units == "ng/mL"
            assert result.Concentration == pytest.approx(row.TrueConc, rel=0.02)
            checked += 1
    assert checked > 100
    blank = results.loc["BLANK-01"].loc[["Atrazine", "Lindane"]]
    assert not blank.Found.any() and blank.Concentration.isna().all()

    assert list(run.samples.Sample[:6]) == [f"STD-0{i}" for i in range(1, 7)]
    assert set(run.status.values()) == {"ok"} and len(run.status) == 13
    # A curve per method entry; an analyte's points are its six standards at their levels, and a
    # view of the curve rather than a copy.
    assert len(run.curves) == 17
    atrazine = run.curves["Atrazine"]
    assert atrazine.valid and "Atrazine" in atrazine.description
    assert sorted(atrazine.points["Conc"]) == LEVELS
    assert not atrazine.points.flags.owndata
    standards = atrazine.standards
    assert list(standards.Nominal) == LEVELS and not standards.Excluded.any() and atrazine.not_calibrated_reason == ""
    assert np.allclose(standards.BackCalculated, LEVELS, rtol=0.02)
    with pytest.raises(KeyError):
        run.curves["no such compound"]

    # The same run with its outputs written, on one thread: the same numbers as results.csv.
    again = quan.run_batch(EXAMPLE, out=str(tmp_path / "out"), jobs=1, full_precision=True)
    written = pd.read_csv(tmp_path / "out" / "results.csv")
    assert np.allclose(written.Concentration, again.results.Concentration, equal_nan=True)
    assert again.results.Concentration.equals(run.results.Concentration)


def test_pieces_give_what_the_whole_run_gives(run, tmp_path):
    batch = quan.read_batch(EXAMPLE)
    curves = quan.calibrate(batch, jobs=2)
    assert curves.names == run.curves.names
    assert curves["Atrazine"].coefficients == pytest.approx(run.curves["Atrazine"].coefficients)

    sample = next(s for s in batch.samples if s.id == "SAMPLE-02")
    method, peaks = quan.Method.from_xml(batch.method.to_xml()), quan.PeakList(sample.peaks)
    assert quan.locate(method, peaks, sample.data) == 0
    quan.quantify(curves, method, peaks, sample.data)
    table = peaks.to_frame()
    main = table[(table.MDBEntry == method.names.index("Endosulfan I") + 1) & (table.MDBEntryPeak == 0)]
    assert main.AnalConc.iloc[0] == pytest.approx(9.5, rel=0.02)
    index = int(main.index[0])
    assert peaks.field(index, "AnalConc") == main.AnalConc.iloc[0]
    assert len(sample.peaks) == len(peaks) and sample.peaks.field(index, "MDBEntry") == 0  # a copy was located

    assert sample.data.field("Description") == "soil extract" and sample.type == "Analyte"
    assert curves["Atrazine"].field("CoeffOfDet") == pytest.approx(curves["Atrazine"].r2) and curves["Atrazine"].r2 > 0.99
    with pytest.raises(KeyError):
        peaks.field(0, "NoSuchField")
    with pytest.raises(IndexError):
        peaks.field(len(peaks), "Area")

    # Standards a script assembles itself calibrate as the batch's do.
    standards = [(quan.SampleData("Standard", SampleID=f"STD-0{i + 1}", ConcA=level),
                  quan.integrate_raw(os.path.join(EXAMPLE, "raw", f"STD-0{i + 1}.mzML"), batch.method))
                 for i, level in enumerate(LEVELS)]
    own = quan.calibrate(batch.method, standards)
    assert own["Lindane"].coefficients == pytest.approx(curves["Lindane"].coefficients)
    with pytest.raises(ValueError):
        quan.calibrate(batch.method, [(quan.SampleData("QC"), standards[0][1])])
    with pytest.raises(ValueError):
        quan.SampleData("Standard", StockDilutionFactor=0)

    # The method survives its XML form, through a file too, changed settings included.
    changed = quan.Method.from_xml(batch.method.to_xml())
    changed.set(-1, PredRT=12.5, QuanTrace="301.0>199.5")
    changed.append(Name="Extra", PredRT=3.25, TargetTrace0="100.5")
    path = str(tmp_path / "method.xml")
    changed.write(path)
    copy = quan.read_method(path)
    assert [copy[i] for i in range(len(copy))] == [changed[i] for i in range(len(changed))]
    assert len(copy) == len(batch.method) + 1 and copy[-2]["QuanTrace"] == "301.0>199.5"
    assert copy[-2]["PredRT"] == 12.5 and copy[-1]["TargetTrace0"] == "100.5"
    with pytest.raises(KeyError):
        changed.set(0, NoSuchSetting=1)
    with pytest.raises(TypeError):
        changed.set(0, PredRT="soon")

    # Location on no peaks stops with its status; lists of different size are refused.
    with pytest.raises(quan.EngineError) as stopped:
        quan.locate(method, quan.PeakList())
    assert stopped.value.status == 15
    with pytest.raises(quan.EngineError) as unequal:
        quan.quantify(curves, quan.Method(), peaks)
    assert unequal.value.status == 5


def test_transition_lists_make_methods_and_survive_export(tmp_path):
    # A cut of a lab's OpenSWATH list: heavy and light pairs, qualifiers, retention times in seconds.
    method = quan.import_transitions(os.path.join(SOURCE, "tests", "data", "yeast-transitions.csv"), units="uM",
                                     weighting="1/x")
    assert len(method) == 11 and method.names[:2] == ["arg-L (heavy)", "arg-L"]
    arg = method[1]
    assert arg["RRef"] == 1 and arg["QuanTrace"] == "173>131" and arg["RepUnits"] == "uM"
    assert arg["PredRT"] == pytest.approx(46.08966648 / 60, rel=1e-6) and arg["WeightingFunction"] != 0
    assert method.check() == []
    path = tmp_path / "list.csv"
    path.write_text(method.to_transitions(style="molecule"))
    again = quan.import_transitions(str(path), units="uM", weighting="1/x")
    assert [again[i] for i in range(len(again))] == [method[i] for i in range(len(method))]

    method.set(1, LocateBy="RT", RRef=99)
    assert method[1]["LocateBy"] == 1 and len(method.check()) == 1
    with pytest.raises(ValueError):
        method.set(1, LocateBy="sideways")
    with pytest.raises(ValueError):
        quan.import_transitions(str(path), curve="9th")
    path.write_text("PrecursorMz,ProductMz\n179,abc\n")
    with pytest.raises(quan.InputError) as bad:
        quan.import_transitions(str(path))
    assert all(p.startswith(str(path)) for p in bad.value.problems)


def test_raw_files_integrate_into_peaks_the_engines_locate():
    data = os.path.join(SOURCE, "tests", "data")
    method = quan.import_transitions(os.path.join(data, "yeast-transitions.csv"))
    with pytest.warns(UserWarning):  # the cut holds only some of the list's transitions
        chromatograms = quan.read_raw(os.path.join(data, "yeast-cut.mzML"), method)
    arg = next(c for c in chromatograms if c.trace == "179>136")
    assert (arg.precursor_mz, arg.product_mz, len(arg)) == (179, 136, 70)  # as the file declares it
    times = arg.times
    assert not times.flags.owndata and np.all(np.diff(times) > 0) and len(arg.intensities) == 70

    peaks = quan.integrate_for_method(method, chromatograms)
    with pytest.warns(UserWarning):
        assert len(quan.integrate_raw(os.path.join(data, "yeast-cut.mzML"), method)) == len(peaks)
    assert quan.locate(method, peaks) < 4
    table = peaks.to_frame()
    heavy = table[(table.MDBEntry == 1) & (table.MDBEntryPeak == 0)]  # arg-L (heavy), sought at 45.86 s
    assert len(heavy) == 1 and abs(heavy.FoundRT.iloc[0] - 45.85610358 / 60) <= 0.5

    # A Gaussian of known area on a flat baseline: area = height x sigma x sqrt(2 pi), in x seconds.
    t = np.linspace(0.0, 2.0, 1201)
    signal = 1000.0 * np.exp(-0.5 * ((t - 1.0) / 0.02) ** 2) + 10.0
    found = quan.integrate(quan.Chromatogram(t, signal, trace="UV"))
    assert len(found) == 1
    assert found.FoundRT[0] == pytest.approx(1.0, abs=0.002)
    assert found.Area[0] == pytest.approx(1000.0 * 0.02 * 60 * np.sqrt(2 * np.pi), rel=0.01)
    assert found.Height[0] == pytest.approx(1000.0, rel=0.01)
    assert found.WidthAtHalfHeight[0] == pytest.approx(2.3548 * 0.02, rel=0.03)
    assert found.Asymmetry[0] == pytest.approx(1.0, abs=0.05) and found.PointsAcross[0] > 28
    assert len(quan.integrate(quan.Chromatogram(t, signal, trace="UV"), smoothing="none")) == 1
    with pytest.raises(quan.InputError):
        quan.integrate(quan.Chromatogram(t[::-1], signal))
    with pytest.raises(quan.InputError):
        quan.integrate_for_method(method, [quan.Chromatogram([0.0, 1.0], [1.0])])
    with pytest.raises(quan.InputError):
        quan.read_raw(os.path.join(data, "yeast-transitions.csv.missing.mzML"))


def test_bad_input_raises_with_the_tools_messages(tmp_path):
    folder = tmp_path / "batch"
    shutil.copytree(EXAMPLE, folder)
    lines = (folder / "batch.csv").read_text().splitlines()
    lines[2] = lines[2].replace(",Standard,2,", ",Standard,two,")
    lines[3] = lines[3].replace("raw/STD-03.mzML", "raw/missing.mzML")
    (folder / "batch.csv").write_text("\n".join(lines) + "\n")
    with pytest.raises(quan.InputError) as bad:
        quan.run_batch(str(folder), out=str(tmp_path / "out"))
    assert len(bad.value.problems) == 2 and all(p.startswith(str(folder)) for p in bad.value.problems)
    assert not (tmp_path / "out").exists()
    tool = os.environ.get("QUAN_BATCH_BINARY")
    if tool:
        printed = subprocess.run([tool, "--out", str(tmp_path / "out"), str(folder)], capture_output=True, text=True)
        assert printed.returncode == 2
        assert ["quan-batch: " + p for p in bad.value.problems] == printed.stderr.splitlines()[:-1]

    with pytest.raises(quan.InputError):
        quan.read_batch(str(folder))
    (folder / "method.xml").write_text("<METHODLIST><METHODENTRY")
    with pytest.raises(quan.InputError):
        quan.read_method(str(folder / "method.xml"))
    with pytest.raises(quan.InputError):
        quan.Method.from_xml("not xml")
    with pytest.raises(quan.InputError):
        quan.read_peaks(str(folder / "peaks" / "missing.csv"))
    with pytest.raises(ValueError):
        quan.run_batch(EXAMPLE, jobs=0)
    assert issubclass(quan.InputError, quan.Error) and issubclass(quan.EngineError, RuntimeError)
