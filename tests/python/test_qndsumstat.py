"""The Python module against the program: the same numbers as the command-line
program prints for the same files, failures as the batch mode reports them,
projects written from haplotype matrices as qndms2qnp writes them, and calls
that leave nothing behind. The module and the programs are taken from the build
tree QND_PYTHON_BUILD (default build/python)."""
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pytest

REPO = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("QND_PYTHON_BUILD", REPO / "build" / "python"))
EXAMPLES = REPO / "examples"
sys.path.insert(0, str(BUILD))
import qndsumstat  # noqa: E402

SSDEFS = EXAMPLES / "ssdefs.txt"
SETTINGS = EXAMPLES / "qnd_run.qns"
EXAMPLE_NAMES = sorted(p.stem for p in EXAMPLES.glob("*.qnp"))
BAD_PROJECT = ('[Profile]\nNbSamples=1\nDataType=DNA\nGenotypicData=0\n[Data]\n[[Samples]]\n'
               'SampleName="a"\nSampleSize=2\nSampleData={\nh1 1 ACGT\nh2 1 ACG\n}\n')


def number(text):
    return math.nan if text == "NA" else float(text)


def cli(args, cwd):
    """Runs qndsumstat in cwd (holding ssdefs.txt and qnd_run.qns) with header
    mode 1; returns the header and the rows of numbers it wrote."""
    subprocess.run([str(BUILD / "qndsumstat"), *args, "out.txt", "0", "1", "run_silent"],
                   cwd=cwd, check=True, capture_output=True)
    lines = (Path(cwd) / "out.txt").read_text().splitlines()
    rows = [[number(f) for f in line.split("\t")[:-1]] for line in lines[1:]]
    return lines[0].split("\t")[:-1], rows


@pytest.fixture
def work(tmp_path):
    """A directory holding copies of the examples, their definitions and settings."""
    for f in EXAMPLES.iterdir():
        if f.is_file():  # not the result directory "make demo" leaves there
            shutil.copy(f, tmp_path)
    return tmp_path


def cli_values(project, cwd):
    header, rows = cli([project], cwd)
    return dict(zip(header, rows[0]))


def assert_same(got, expected):
    assert list(got) == list(expected)
    np.testing.assert_array_equal(np.array(list(got.values())), np.array(list(expected.values())))


@pytest.mark.parametrize("name", EXAMPLE_NAMES)
def test_values_equal_the_programs_line(work, name):
    expected = cli_values(name + ".qnp", work)
    assert expected
    project = work / (name + ".qnp")
    assert_same(qndsumstat.run(project, SSDEFS, SETTINGS), expected)
    assert_same(qndsumstat.run(project.read_text(), SSDEFS.read_text(), str(SETTINGS)), expected)


def test_concurrent_calls_give_each_its_own_values(work):
    expected = {n: cli_values(n + ".qnp", work) for n in EXAMPLE_NAMES}
    names = EXAMPLE_NAMES * 3
    with ThreadPoolExecutor(4) as pool:
        results = list(pool.map(lambda n: qndsumstat.run(work / (n + ".qnp"), SSDEFS, SETTINGS),
                                names))
    for name, got in zip(names, results):
        assert_same(got, expected[name])


def test_run_many_gives_the_batch_modes_rows(work, capfd):
    (work / "bad.qnp").write_text(BAD_PROJECT)
    projects = ["bad.qnp", "demo.qnp", "missing.qnp", "microsat.qnp", "demo.qnp"]
    (work / "list.txt").write_text("\n".join(projects) + "\n")
    header, rows = cli(["@list.txt"], work)
    capfd.readouterr()
    given = [work / "bad.qnp", work / "demo.qnp", str(work / "missing.qnp"),
             (work / "microsat.qnp").read_text(), (work / "demo.qnp").read_text()]
    # The microsatellite project gives other columns than the first that ran.
    with pytest.raises(ValueError, match="project 3 gives the columns"):
        qndsumstat.run_many(given, SSDEFS, SETTINGS)
    keep = [0, 1, 2, 4]
    got_header, table = qndsumstat.run_many([given[i] for i in keep], SSDEFS, SETTINGS)
    assert got_header == header
    np.testing.assert_array_equal(table, np.array([rows[i] for i in keep]))
    assert np.isnan(table[[0, 2]]).all() and not np.isnan(table[[1, 3]]).any()
    header, table = qndsumstat.run_many([], SSDEFS, SETTINGS)
    assert header == [] and table.shape == (0, 0)
    # Failures are not printed: they are in the rows and the logs.
    assert capfd.readouterr() == ("", "")


def scrm_rows(text):
    """The gene copies of every replicate of ms-format output, as 0/1 matrices."""
    replicates = []
    for block in text.split("//\n")[1:]:
        rows = [line for line in block.splitlines()[2:] if line]
        replicates.append(np.array([list(r) for r in rows], dtype=np.int8))
    return replicates


@pytest.mark.skipif(shutil.which("scrm") is None, reason="scrm not installed")
@pytest.mark.parametrize("data_type, options", [("DNA", []), ("RFLP", ["--rflp"])])
def test_haplotypes_give_what_the_converters_project_gives(work, data_type, options):
    sim = subprocess.run(["scrm", "10", "4", "-t", "6", "-I", "4", "3", "3", "2", "2", "1.0",
                          "-seed", "5", "6", "7"], capture_output=True, text=True, check=True)
    (work / "sim.txt").write_text(sim.stdout)
    subprocess.run([str(BUILD / "qndms2qnp"), *options, "--groups", "2,2", "--prefix", "sim",
                    "sim.txt"], cwd=work, check=True, capture_output=True)
    samples = [0, 0, 0, 1, 1, 1, 2, 2, 3, 3]
    for r, haplotypes in enumerate(scrm_rows(sim.stdout), start=1):
        expected = cli_values("sim_%d.qnp" % r, work)
        text = qndsumstat.project_from_haplotypes(haplotypes, samples, groups=[0, 0, 1, 1],
                                                  data_type=data_type)
        assert_same(qndsumstat.run(text, SSDEFS, SETTINGS), expected)


@pytest.mark.parametrize("data_type, haplotypes, samples, k, s", [
    # Four alleles at one site: four haplotypes, one segregating site.
    ("DNA", [[0], [1], [2], [3]], [0, 0, 0, 0], [4], [1]),
    # Two samples; sites 1 and 2 vary in the first only, site 3 in both.
    ("RFLP", [[0, 0, 1], [1, 1, 0], [1, 0, 0], [1, 0, 1]], [0, 0, 1, 1], [2, 2], [3, 1]),
    # No site at all: one invariant site is written.
    ("DNA", np.zeros((3, 0), dtype=int), [0, 1, 1], [1, 1], [0, 0]),
])
def test_haplotype_codes_counted_by_hand(data_type, haplotypes, samples, k, s):
    text = qndsumstat.project_from_haplotypes(haplotypes, samples, data_type=data_type)
    got = qndsumstat.run(text, "POP_LEVEL ALL_K ALL_S\n", SETTINGS)
    assert [got["K_%d" % (i + 1)] for i in range(len(k))] == k
    assert [got["S_%d" % (i + 1)] for i in range(len(s))] == s


H = [[0, 1], [1, 0]]


@pytest.mark.parametrize("call, error, message", [
    (lambda: qndsumstat.run(42, SSDEFS, SETTINGS), TypeError, "project must be a text or a path"),
    (lambda: qndsumstat.run("demo.qnp", "no/ssdefs.txt", SETTINGS), FileNotFoundError, "ssdefs"),
    (lambda: qndsumstat.run("demo.qnp", SSDEFS, "no.qns"), FileNotFoundError, "settings"),
    (lambda: qndsumstat.run(BAD_PROJECT, SSDEFS, SETTINGS), qndsumstat.ProjectError,
     r"project text could not be run:\n.*#\[ERROR # 1\] .*phenotypes have different number"),
    (lambda: qndsumstat.run("no/such.qnp", SSDEFS, SETTINGS), qndsumstat.ProjectError,
     "no/such.qnp could not be run:\nthe project file cannot be opened"),
    (lambda: qndsumstat.run_many("demo.qnp", SSDEFS, SETTINGS), TypeError, "sequence"),
    (lambda: qndsumstat.project_from_haplotypes([[0.0, 1.0]], [0]), TypeError, "integers"),
    (lambda: qndsumstat.project_from_haplotypes([0, 1], [0]), ValueError, "2 dimension"),
    (lambda: qndsumstat.project_from_haplotypes(np.zeros((0, 3), int), []), ValueError, "no gene"),
    (lambda: qndsumstat.project_from_haplotypes([[4]], [0]), ValueError, r"\[0, 0\] is 4"),
    (lambda: qndsumstat.project_from_haplotypes([[2]], [0], data_type="RFLP"), ValueError,
     "RFLP allele codes are 0 to 1"),
    (lambda: qndsumstat.project_from_haplotypes(H, [0]), ValueError, "1 sample indices for 2"),
    (lambda: qndsumstat.project_from_haplotypes(H, [1, 1]), ValueError, "sample 0 is empty"),
    (lambda: qndsumstat.project_from_haplotypes(H, [0, -1]), ValueError, r"samples\[1\] is -1"),
    (lambda: qndsumstat.project_from_haplotypes(H, [0, 1], groups=[0]), ValueError, "2 samples"),
    (lambda: qndsumstat.project_from_haplotypes(H, [0, 1], data_type="dna"), ValueError, "DNA"),
])
def test_bad_input_raises(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_files_go_to_the_calls_directory(work, monkeypatch, tmp_path_factory):
    cwd = tmp_path_factory.mktemp("cwd")
    monkeypatch.chdir(cwd)
    temporary = set(Path(tempfile.gettempdir()).glob("qndsumstat-*"))
    text = (work / "demo.qnp").read_text()
    qndsumstat.run(text, SSDEFS.read_text(), SETTINGS.read_text())
    with pytest.raises(qndsumstat.ProjectError) as failure:
        qndsumstat.run(BAD_PROJECT, SSDEFS, SETTINGS)
    assert "Error during run of" in failure.value.log
    assert list(cwd.iterdir()) == []
    assert set(Path(tempfile.gettempdir()).glob("qndsumstat-*")) == temporary

    kept = cwd / "kept"
    values = qndsumstat.run(text, SSDEFS.read_text(), SETTINGS, workdir=kept)
    assert sorted(p.name for p in kept.iterdir()) == [
        "project.qnp", "project.res", "randseed.txt", "ssdefs.txt"]
    assert "Successful run of" in (kept / "project.res" / "Quendris_log.txt").read_text()
    # The directory holds what the program needs to repeat the run.
    shutil.copy(SETTINGS, kept)
    assert cli_values("project.qnp", kept) == values


def resident_kib():
    return int(re.search(r"VmRSS:\s+(\d+)", Path("/proc/self/status").read_text()).group(1))


def test_a_thousand_calls_keep_memory_flat(work):
    projects = [work / (n + ".qnp") for n in EXAMPLE_NAMES]
    texts = [p.read_text() for p in projects]
    for p in projects * 5:
        qndsumstat.run(p, SSDEFS, SETTINGS)
    before = resident_kib()
    for i in range(1000):
        k = i % len(projects)
        qndsumstat.run(projects[k] if i % 2 else texts[k], SSDEFS, SETTINGS)
    assert resident_kib() - before < 1024


def test_readme_loop_runs_as_written(monkeypatch):
    if shutil.which("scrm") is None:
        pytest.skip("scrm not installed")
    readme = (REPO / "README.md").read_text()
    section = readme[readme.index("## Python module"):]
    code = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    monkeypatch.chdir(REPO)
    scope = {}
    exec(code, scope)
    table = scope["table"]
    assert table.shape == (100, len(scope["stats"])) and np.isfinite(table).all()
