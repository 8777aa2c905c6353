#!/usr/bin/env python3
"""Check that every bench case printed the value line of the reference build.

bench/value_lines/ holds, for every case, the value line that the program
printed at the reference commit (see bench/value_lines/README): the line
itself in <case>.line, or, for a line too long to keep in the repository
(B4: half a million columns), its SHA-256 and length in <case>.sha256.
projects.sha256 holds the digests of the generated input files, so that a
different scrm version (other data) is told apart from a changed result.

  check_value_lines.py WORK [CASE...]   compare WORK/results/<case>.out
  check_value_lines.py --store WORK CASE...
                                        write the reference from WORK/<case>/
                                        (run the reference build there first)

The check prints one line per case and ends with status 1, after a banner
naming every case that differs, when any line differs or is missing.
"""

import hashlib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REF = os.path.join(HERE, "value_lines")
# Lines longer than this are kept as a digest.
MAX_STORED = 200000
INPUTS = ("%s.qnp", "ssdefs.txt", "qnd_run.qns")


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def project_digests():
    digests = {}
    path = os.path.join(REF, "projects.sha256")
    if os.path.exists(path):
        for line in read(path).decode().splitlines():
            digest, name = line.split(None, 1)
            digests[name] = digest
    return digests


def input_names(case):
    return [os.path.join(case, pattern % case if "%" in pattern else pattern)
            for pattern in INPUTS]


def store(work, cases):
    os.makedirs(REF, exist_ok=True)
    digests = project_digests()
    for case in cases:
        line = read(os.path.join(work, case, "out.txt"))
        for name in ("%s.line" % case, "%s.sha256" % case):
            if os.path.exists(os.path.join(REF, name)):
                os.remove(os.path.join(REF, name))
        if len(line) <= MAX_STORED:
            with open(os.path.join(REF, case + ".line"), "wb") as f:
                f.write(line)
        else:
            with open(os.path.join(REF, case + ".sha256"), "w") as f:
                f.write("%s %d\n" % (sha256(line), len(line)))
        for name in input_names(case):
            digests[name] = sha256(read(os.path.join(work, name)))
    with open(os.path.join(REF, "projects.sha256"), "w") as f:
        for name in sorted(digests):
            f.write("%s %s\n" % (digests[name], name))


def first_difference(got, want):
    """Column number (from 1) and the two values where the lines part."""
    a = got.rstrip(b"\n").split(b"\t")
    b = want.rstrip(b"\n").split(b"\t")
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return "column %d: %r instead of %r" % (i + 1, x.decode(), y.decode())
    return "%d columns instead of %d" % (len(a), len(b))


def check_case(work, case, digests):
    out_path = os.path.join(work, "results", case + ".out")
    if not os.path.exists(out_path):
        return "no output (%s)" % out_path
    got = read(out_path)
    for name in input_names(case):
        path = os.path.join(work, name)
        if name in digests and (not os.path.exists(path) or sha256(read(path)) != digests[name]):
            return ("input %s differs from the reference data (scrm version or generator "
                    "changed): the lines cannot be compared" % name)
    line_path = os.path.join(REF, case + ".line")
    digest_path = os.path.join(REF, case + ".sha256")
    if os.path.exists(line_path):
        want = read(line_path)
        if got != want:
            return "value line differs, " + first_difference(got, want)
    elif os.path.exists(digest_path):
        digest, length = read(digest_path).decode().split()
        if sha256(got) != digest or len(got) != int(length):
            return "value line differs (%d bytes, SHA-256 %s; reference %s bytes, %s)" % (
                len(got), sha256(got), length, digest)
    else:
        return "no reference line for this case"
    return None


def main(argv):
    if len(argv) >= 2 and argv[1] == "--store":
        if len(argv) < 4:
            sys.exit(__doc__)
        store(argv[2], argv[3:])
        return 0
    if len(argv) < 2:
        sys.exit(__doc__)
    work = argv[1]
    cases = argv[2:]
    if not cases:
        cases = sorted(f.rsplit(".", 1)[0] for f in os.listdir(REF)
                       if f.endswith(".line") or (f.endswith(".sha256") and f != "projects.sha256"))
    digests = project_digests()
    failures = []
    for case in cases:
        problem = check_case(work, case, digests)
        print("value line %-4s %s" % (case, "identical" if problem is None else "FAIL: " + problem))
        if problem is not None:
            failures.append(case)
    if failures:
        print("\n" + "!" * 72)
        print("!!! VALUE LINES DIFFER FROM THE REFERENCE: %s" % ", ".join(failures))
        print("!" * 72)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
