# The command line and the Python module run the same batch session: the bundled example through
# quan-batch and through quan.run_batch, plain, under SANTE's rules and with an unknown rule
# name (in the method and as the option), must give the same exit status, byte-identical
# results.csv, matrix.csv and curves.txt, and the same acceptance rows. A method's list settings
# survive being read and written by the module and by quan-method, which write the same text.
import os
import shutil
import sqlite3
import subprocess

import pytest

import quan

SOURCE = os.environ.get("QUAN_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLE = os.path.join(SOURCE, "examples", "batch")
BATCH_TOOL = os.environ.get("QUAN_BATCH_BINARY")
METHOD_TOOL = os.environ.get("QUAN_METHOD_BINARY")


def example_with(folder, list_attributes):
    batch = folder / "batch"
    shutil.copytree(EXAMPLE, batch)
    method = batch / "method.xml"
    method.write_text(method.read_text().replace("<METHODLIST>", "<METHODLIST" + list_attributes + ">"))
    return batch


def acceptance_rows(results):
    with sqlite3.connect(results / "results.sqlite") as db:
        return db.execute("SELECT * FROM acceptance ORDER BY 1, 2, 3, 4").fetchall()


def run_module(batch, out, acceptance):
    try:
        run = quan.run_batch(str(batch), out=str(out), jobs=2, acceptance=acceptance)
        return run.exit_status, run
    except quan.InputError as error:
        return error.exit_status, None


@pytest.mark.skipif(not BATCH_TOOL, reason="needs quan-batch (QUAN_BATCH_BINARY)")
@pytest.mark.parametrize("list_attributes, option, expected", [
    ("", None, 0),
    (' Acceptance="SANTE"', None, 4),
    ("", "SANTE", 4),
    (' Acceptance="FDA"', None, 2),
    ("", "FDA", 2),
])
def test_command_line_and_module_agree(tmp_path, list_attributes, option, expected):
    batch = example_with(tmp_path, list_attributes)
    arguments = [BATCH_TOOL, "--out", str(tmp_path / "tool"), "-j", "2", str(batch)]
    if option:
        arguments[1:1] = ["--acceptance", option]
    tool = subprocess.run(arguments, capture_output=True, text=True)
    status, run = run_module(batch, tmp_path / "module", option)
    assert tool.returncode == status == expected, tool.stderr
    if expected == 2:
        assert not (tmp_path / "tool").exists() and not (tmp_path / "module").exists()
        return
    for name in ["results.csv", "matrix.csv", "curves.txt"]:
        assert (tmp_path / "tool" / name).read_bytes() == (tmp_path / "module" / name).read_bytes(), name
    rows = acceptance_rows(tmp_path / "tool")
    assert rows == acceptance_rows(tmp_path / "module")
    assert len(run.acceptance) == len(rows) and (len(rows) > 0) == (expected == 4)
    assert run.rules == ("SANTE" if expected == 4 else "none")
    if expected == 4:
        failed = int((~run.acceptance.Passed).sum())
        assert failed > 0 and f"{failed} of {len(rows)} checks failed" in tool.stdout


SETTINGS = (' Acceptance="M10" QCTolerance="12.5" OutlierExclusion="on" OutlierLimit="2.5"'
            ' OutlierMinPoints="5"')


@pytest.mark.parametrize("readable", [True, False])
def test_every_writer_keeps_the_list_settings(tmp_path, readable):
    batch = example_with(tmp_path, SETTINGS)
    method = quan.read_method(str(batch / "method.xml"))
    expected = {"Acceptance": "M10", "QCTolerance": "12.5", "OutlierExclusion": "on", "OutlierLimit": "2.5",
                "OutlierMinPoints": "5"}
    assert method.list_settings == expected
    written = tmp_path / "module.xml"
    method.write(str(written), readable=readable)
    again = quan.read_method(str(written))
    assert again.list_settings == expected and len(again) == len(method)
    assert [again[i] for i in range(len(again))] == [method[i] for i in range(len(method))]
    assert quan.Method.from_xml(method.to_xml(readable=readable)).list_settings == expected
    if METHOD_TOOL:
        formatted = tmp_path / "tool.xml"
        arguments = [METHOD_TOOL, "format", str(batch / "method.xml"), "-o", str(formatted)]
        if not readable:
            arguments.insert(3, "--stored")
        subprocess.run(arguments, check=True)
        assert formatted.read_bytes() == written.read_bytes()
        checked = subprocess.run([METHOD_TOOL, "check", str(formatted)], capture_output=True, text=True)
        assert checked.returncode == 0, checked.stderr


def test_list_settings_are_checked_as_the_method_file_is(tmp_path):
    method = quan.read_method(os.path.join(EXAMPLE, "method.xml"))
    assert method.list_settings == {} and method.check() == []
    method.set_list(Acceptance="sante", OutlierExclusion=True, RTTolerance=0.2)
    assert method.list_settings == {"Acceptance": "SANTE", "RTTolerance": "0.2", "OutlierExclusion": "on"}
    with pytest.raises(ValueError):
        method.set_list(Acceptance="FDA")
    with pytest.raises(ValueError):
        method.set_list(MinStandardsPassingPercent=120)
    with pytest.raises(KeyError):
        method.set_list(Acceptence="SANTE")
    assert method.list_settings["Acceptance"] == "SANTE"  # a refused change changes nothing
    method.set_list(Acceptance=None)
    assert "Acceptance" not in method.list_settings

    # quan-method check runs the checks quan-batch runs first: an unknown rule set is a problem.
    spoilt = example_with(tmp_path, ' Acceptance="FDA"') / "method.xml"
    with pytest.raises(quan.InputError) as bad:
        quan.read_method(str(spoilt))
    assert 'METHODLIST Acceptance="FDA"' in bad.value.problems[0]
    if METHOD_TOOL:
        checked = subprocess.run([METHOD_TOOL, "check", str(spoilt)], capture_output=True, text=True)
        assert checked.returncode == 2 and bad.value.problems[0] in checked.stderr


@pytest.mark.skipif(not BATCH_TOOL, reason="needs quan-batch (QUAN_BATCH_BINARY)")
def test_integrations_give_the_same_results_both_ways(tmp_path):
    decisions = tmp_path / "integrations.csv"
    decisions.write_text("sample,compound,trace,kind,user,time,reason\n"
                         "SAMPLE-02,Dieldrin,0,none,anna,2026-12-08T01:23:45Z,\"Interference, not the compound\"\n")
    tool = subprocess.run([BATCH_TOOL, "--out", str(tmp_path / "tool"), "--integrations", str(decisions), EXAMPLE],
                          capture_output=True, text=True)
    run = quan.run_batch(EXAMPLE, out=str(tmp_path / "module"), integrations=str(decisions))
    assert tool.returncode == run.exit_status, tool.stderr
    assert (tmp_path / "tool" / "results.csv").read_bytes() == (tmp_path / "module" / "results.csv").read_bytes()
    row = run.results[(run.results.Sample == "SAMPLE-02") & (run.results.Compound == "Dieldrin")].iloc[0]
    assert row.Result == "flagged: NotFound manual" and not row.Found
    decisions.write_text("sample,compound,trace,kind,reason\nSAMPLE-02,Dieldrin,0,none,\n")
    with pytest.raises(quan.InputError) as error:
        quan.run_batch(EXAMPLE, integrations=str(decisions))
    assert error.value.exit_status == 2 and "the reason is missing" in str(error.value.problems)
