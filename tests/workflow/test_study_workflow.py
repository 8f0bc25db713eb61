"""The study workflow end to end: three batches made by scripts/make-example-batch.py (other
seeds, four QCs per level, the second batch's QCs planted 15 % high) run through
workflows/study/Snakefile with Snakemake's local executor, then checked against the batch runs'
own results: the merged matrix, the Westgard verdicts, the same outputs for one core and two,
and a batch re-run after its input changed.

QUAN_BIN names the build folder holding quan-batch and quan-study (ctest sets it)."""
import csv
import os
import shutil
import sqlite3
import subprocess
import sys

import pytest

SOURCE = os.environ.get("QUAN_SOURCE_DIR", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
BIN = os.environ.get("QUAN_BIN", "")
SNAKEFILE = os.path.join(SOURCE, "workflows", "study", "Snakefile")
BATCHES = ["batch-1", "batch-2", "batch-3"]
SHIFTED = "batch-2"
ANALYTES = 14  # the example method's analytes; its two internal standards are not shifted


def snakemake_program():
    found = shutil.which("snakemake")
    if found is None:
        pytest.fail("snakemake is not installed (Debian package snakemake; scripts/install-deps.sh installs it)")
    return found


def run_workflow(workdir, cores):
    done = subprocess.run([snakemake_program(), "-s", SNAKEFILE, "--cores", str(cores), "--directory", str(workdir),
                           "--config", "sheet=sheet.csv", "out=out", "bin=" + BIN],
                          capture_output=True, text=True, timeout=900)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout + done.stderr


def query(path, sql, *args):
    with sqlite3.connect("file:%s?mode=ro" % path, uri=True) as db:
        return db.execute(sql, args).fetchall()


@pytest.fixture(scope="module")
def study(tmp_path_factory):
    if not os.path.isfile(os.path.join(BIN, "quan-batch")) or not os.path.isfile(os.path.join(BIN, "quan-study")):
        pytest.fail("QUAN_BIN (%r) must name the build folder with quan-batch and quan-study" % BIN)
    root = tmp_path_factory.mktemp("study")
    for number, name in enumerate(BATCHES, start=1):
        subprocess.run([sys.executable, os.path.join(SOURCE, "scripts", "make-example-batch.py"),
                        "--out", str(root / "inputs" / name), "--seed", str(number), "--qc-replicates", "4",
                        "--qc-shift", "15" if name == SHIFTED else "0"], check=True, timeout=300)
    for work in ("two", "one"):
        (root / work).mkdir()
        with open(root / work / "sheet.csv", "w", newline="") as f:
            f.write("# the study's batches in run order\nbatch,folder\n")
            for name in BATCHES:
                f.write("%s,%s\n" % (name, root / "inputs" / name))
    run_workflow(root / "two", 2)
    run_workflow(root / "one", 1)
    return root


def study_file(root, work="two"):
    return root / work / "out" / "study" / "study.sqlite"


def batch_rows(root, batch):
    return query(study_file(root), "SELECT sample_position, sample, compound, concentration, flagged FROM study_matrix "
                                   "WHERE batch = ? ORDER BY sample_position, compound", batch)


def test_merged_matrix_is_the_batch_results(study):
    for batch in BATCHES:
        own = query(study / "two" / "out" / "batches" / batch / "results.sqlite",
                    "SELECT sample_position, sample, compound, concentration, flagged FROM concentration_matrix "
                    "ORDER BY sample_position, compound")
        assert len(own) == 19 * 17  # six standards, eight QCs, a blank, four samples
        assert batch_rows(study, batch) == own
    assert query(study_file(study), "SELECT name FROM batches ORDER BY id") == [(b,) for b in BATCHES]
    page = (study / "two" / "out" / "study" / "study.html").read_text()
    assert "3 batches, 57 injections" in page and "Levey-Jennings" in page


def test_page_draws_in_a_browser(study):
    chromium = os.environ.get("QUAN_CHROMIUM") or shutil.which("chromium") or shutil.which("chromium-browser")
    if chromium is None:
        pytest.fail("chromium is not installed (Debian package chromium; .ci/run installs it)")
    page = study / "two" / "out" / "study" / "study.html"
    done = subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                           "--user-data-dir=" + str(study / "chromium-profile"), "--dump-dom", page.as_uri()],
                          capture_output=True, text=True, timeout=300)
    dom = done.stdout
    assert "data-ready-ms=" in dom, done.stderr[-2000:]
    # The charts of the first compound that broke a rule (two levels, twelve results each, the
    # shifted batch's fourth QC of each level red) and every batch's matrix rows.
    assert dom.count("<circle") == 24
    assert dom.count('fill="#b00020"') == 2
    assert dom.count('<td class="flag"') >= 3 and dom.count("<tr>") >= 57


def test_shifted_batch_alone_breaks_the_rules(study):
    violations = query(study_file(study), "SELECT batch, rule, compound, nominal FROM westgard")
    # Limits from the study's own QCs: the shifted batch's four QCs of each level all lie beyond
    # 1 SD above the mean (4-1s), not beyond 2 SD, and the other batches lie below, within 1 SD.
    assert {batch for batch, *_ in violations} == {SHIFTED}
    assert {rule for _, rule, *_ in violations} == {"4-1s"}
    assert len({(compound, nominal) for *_, compound, nominal in violations}) == 2 * ANALYTES
    accuracy = dict(query(study_file(study), "SELECT batch, avg(accuracy_percent) FROM qc_by_batch "
                                             "WHERE compound = 'Atrazine' GROUP BY batch"))
    assert accuracy[SHIFTED] == pytest.approx(115, abs=2)
    assert accuracy["batch-1"] == pytest.approx(100, abs=2)

    # Against stated targets (the nominal concentration, 4 % SD) the shift is beyond 3 SD.
    targets = study / "targets.csv"
    targets.write_text("Compound,Level,Mean,SD\nAtrazine,8,8,0.32\nAtrazine,30,30,1.2\n")
    out = study / "with-targets"
    folders = [str(study / "two" / "out" / "batches" / b) for b in BATCHES]
    subprocess.run([os.path.join(BIN, "quan-study"), "--out", str(out), "--targets", str(targets)] + folders,
                   check=True, capture_output=True, timeout=300)
    atrazine = query(out / "study.sqlite", "SELECT DISTINCT batch, rule FROM westgard WHERE compound = 'Atrazine'")
    assert {batch for batch, _ in atrazine} == {SHIFTED}
    assert {"1-3s", "2-2s", "4-1s"} <= {rule for _, rule in atrazine}
    assert query(out / "study.sqlite", "SELECT DISTINCT limits_from FROM qc_summary WHERE compound = 'Atrazine'") == \
        [("targets",)]


def test_outputs_are_the_same_for_any_number_of_cores(study):
    for name in ("study.sqlite", "study.html"):
        assert (study / "two" / "out" / "study" / name).read_bytes() == (study / "one" / "out" / "study" / name).read_bytes()
    for batch in BATCHES:
        for name in ("results.csv", "matrix.csv"):
            two = study / "two" / "out" / "batches" / batch / name
            assert two.read_bytes() == (study / "one" / "out" / "batches" / batch / name).read_bytes()


def test_rerun_batch_replaces_only_its_rows(study):
    before = {batch: batch_rows(study, batch) for batch in BATCHES}
    kept = {batch: os.stat(study / "two" / "out" / "batches" / batch / "results.sqlite").st_mtime_ns
            for batch in BATCHES[:2]}
    # The analyst excludes a standard of the last batch's Atrazine curve, and the workflow runs again.
    sheet = study / "inputs" / "batch-3" / "batch.csv"
    with open(sheet, newline="") as f:
        rows = list(csv.reader(f))
    exclude = rows[0].index("Exclude")
    for row in rows[1:]:
        if row[0] == "STD-03":
            row[exclude] = "Atrazine"
    with open(sheet, "w", newline="") as f:
        csv.writer(f, lineterminator="\n").writerows(rows)
    log = run_workflow(study / "two", 2)
    assert "2 of 2 steps (100%) done" in log  # the changed batch and the study, nothing else

    after = {batch: batch_rows(study, batch) for batch in BATCHES}
    assert after["batch-1"] == before["batch-1"] and after["batch-2"] == before["batch-2"]
    for batch in BATCHES[:2]:
        assert os.stat(study / "two" / "out" / "batches" / batch / "results.sqlite").st_mtime_ns == kept[batch]
    changed = {(row[1], row[2]) for row, old in zip(after["batch-3"], before["batch-3"]) if row != old}
    assert changed and {compound for _, compound in changed} == {"Atrazine"}
    assert query(study_file(study), "SELECT name FROM batches ORDER BY id") == [(b,) for b in BATCHES]
