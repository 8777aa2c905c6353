#!/usr/bin/env python3
"""Generate the whole-program benchmark projects for qndsumstat.

Every case is a directory holding a project file (<case>.qnp) and the two
settings files the program reads from its working directory ("ssdefs.txt"
and "qnd_run.qns").  The genealogies come from the coalescent simulator
scrm; its ms-format output is turned into project files:

  DNA        a random background sequence of the requested length; each
             segregating site is placed at its own position and its states
             0/1 become two different nucleotides.  Every gene copy is written
             under its own identifier with count 1, so the program has to
             merge identical haplotypes itself (EliminateRedondHaplodefs=1).
  MICROSAT   one scrm replicate per locus; every mutation on a locus is a
             +1 or -1 repeat step (stepwise mutation), so a gene copy's size
             is 100 + the sum of the steps it carries.  Copies are paired
             into diploid individuals of known phase.

Cases:
  B1  typical ABC DNA: 5 samples x 40 gene copies x 2,000 bp, 2 groups,
      every statistic at both levels, no permutations or simulations
  B1d B1 with ComputeDeltaMuSqr=1, as a user who selects everything has it
  B2  microsatellites: 20 samples x 50 diploid individuals x 20 loci, 4 groups
  B3  large DNA: 10 samples x 50 gene copies x 100,000 bp (about 50 MB)
  B3h B3 with about 10% variable sites instead of 1%
  B4  many samples: 1,000 samples x 10 gene copies x 500 bp, PAIRWISE_FST
  B5  B1 with 1,000 AMOVA and FST permutations and 1,000 Fu's Fs simulations

Usage: make_projects.py OUTDIR [--seed N] [--only B1,B3,...]
Only the Python standard library is used.
"""

import argparse
import os
import random
import subprocess
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NUCLEOTIDES = "ACGT"

# Task bits: standard indices 1, molecular diversity 2, LD 16, Tajima 64,
# AMOVA 512, pairwise FST 1024, Fu's Fs 16384.
TASK_DNA_ALL = 1 + 2 + 16 + 64 + 512 + 1024 + 16384
TASK_MICROSAT = 1 + 2 + 512 + 1024
TASK_PAIRWISE = 1024

ALL_KEYWORDS = """POP_LEVEL
GROUP_LEVEL
ALL_K ALLSD_K MEAN_K SD_K TOT_K
ALL_H ALLSD_H MEAN_H SD_H TOT_H
ALL_S ALLSD_S PRIVATE_S MEAN_S SD_S TOT_S
ALL_TAJIMAD ALLSD_TAJIMAD MEAN_TAJIMAD SD_TAJIMAD
ALL_FUFS ALLSD_FUFS MEAN_FUFS SD_FUFS
ALL_PI MEAN_PI SD_PI
ALL_GW ALLSD_GW MEAN_GW SD_GW TOT_GW
ALL_NGW ALLSD_NGW MEAN_NGW SD_NGW
ALL_RANGE ALLSD_RANGE MEAN_RANGE SD_RANGE TOT_RANGE
MEAN_ALL_DPRIME MEAN_ALL_R2
ALL_ADJ_DPRIME ALL_ADJ_R2
MEAN_ADJ_DPRIME MEAN_ADJ_R2
FLANK_DPRIME FLANK_R2
GLOBAL_FSTAT
PAIRWISE_FST
PAIRWISE_PI
PAIRWISE_DMUSQR
"""

MICROSAT_KEYWORDS = """POP_LEVEL
GROUP_LEVEL
ALL_K ALLSD_K MEAN_K SD_K TOT_K
ALL_H ALLSD_H MEAN_H SD_H TOT_H
ALL_GW ALLSD_GW MEAN_GW SD_GW TOT_GW
ALL_NGW ALLSD_NGW MEAN_NGW SD_NGW
ALL_RANGE ALLSD_RANGE MEAN_RANGE SD_RANGE TOT_RANGE
PAIRWISE_FST
PAIRWISE_DMUSQR
"""

PAIRWISE_KEYWORDS = """POP_LEVEL
PAIRWISE_FST
"""


def run_scrm(nsam, nreps, args, seed):
    """Run scrm and return a list of replicates, each a (positions, rows)
    pair where rows holds one 0/1 string per gene copy."""
    cmd = ["scrm", str(nsam), str(nreps)] + [str(a) for a in args] + ["-seed", str(seed)]
    out = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, universal_newlines=True).stdout
    reps = []
    lines = iter(out.splitlines())
    for line in lines:
        if line.strip() != "//":
            continue
        segsites = int(next(lines).split(":")[1])
        positions = []
        rows = []
        if segsites > 0:
            positions = [float(x) for x in next(lines).split(":")[1].split()]
            for _ in range(nsam):
                rows.append(next(lines).strip())
        else:
            rows = [""] * nsam
        reps.append((positions, rows))
    if len(reps) != nreps:
        sys.exit("scrm returned %d replicates instead of %d" % (len(reps), nreps))
    return reps


def island_args(sizes, theta, migration):
    return ["-t", theta, "-I", len(sizes)] + list(sizes) + [migration]


def dna_sequences(rows, length, rng):
    """Turn the 0/1 rows of one replicate into DNA sequences of `length` bp."""
    nseg = len(rows[0]) if rows else 0
    if nseg > length:
        sys.exit("%d segregating sites do not fit into %d bp" % (nseg, length))
    background = [rng.choice(NUCLEOTIDES) for _ in range(length)]
    sites = sorted(rng.sample(range(length), nseg))
    derived = [rng.choice([b for b in NUCLEOTIDES if b != background[s]]) for s in sites]
    seqs = []
    for row in rows:
        seq = background[:]
        for k, state in enumerate(row):
            if state == "1":
                seq[sites[k]] = derived[k]
        seqs.append("".join(seq))
    return seqs, nseg


def write_profile(f, title, nsamples, datatype, genotypic, separator):
    f.write("[Profile]\n")
    f.write('  Title="%s"\n' % title)
    f.write("  NbSamples=%d\n" % nsamples)
    f.write("  DataType=%s\n" % datatype)
    f.write("  GenotypicData=%d\n" % genotypic)
    if genotypic:
        f.write("  GameticPhase=1\n")
    f.write("  LocusSeparator=%s\n" % separator)
    f.write("  MissingData='?'\n\n")
    f.write("[Data]\n  [[Samples]]\n")


def write_structure(f, names, ngroups):
    # contiguous groups of nearly equal size; every sample belongs to one
    bounds = [len(names) * g // ngroups for g in range(ngroups + 1)]
    f.write("\n  [[Structure]]\n")
    f.write('    StructureName="bench"\n')
    f.write("    NbGroups=%d\n" % ngroups)
    for g in range(ngroups):
        f.write("    Group={\n")
        for name in names[bounds[g]:bounds[g + 1]]:
            f.write('      "%s"\n' % name)
        f.write("    }\n")


def write_dna_project(path, title, sizes, seqs, ngroups):
    names = ["pop_%d" % (i + 1) for i in range(len(sizes))]
    with open(path, "w") as f:
        write_profile(f, title, len(sizes), "DNA", 0, "NONE")
        copy = 0
        for name, n in zip(names, sizes):
            f.write('    SampleName="%s"\n' % name)
            f.write("    SampleSize=%d\n" % n)
            f.write("    SampleData={\n")
            for _ in range(n):
                copy += 1
                f.write("      c%d 1 %s\n" % (copy, seqs[copy - 1]))
            f.write("    }\n")
        if ngroups:
            write_structure(f, names, ngroups)


def write_settings(case_dir, task, ssdefs, perm_amova=0, perm_fst=0, simul_fu=0,
                   delta_mu=0):
    """Write ssdefs.txt and a qnd_run.qns derived from the example settings."""
    with open(os.path.join(case_dir, "ssdefs.txt"), "w") as f:
        f.write(ssdefs)
    overrides = {
        "TaskNumber": task,
        "EliminateRedondHaplodefs": 1,
        "ComputePairwiseFST": 1,
        "ComputeDeltaMuSqr": delta_mu,
        "NumPermutationsAMOVA": perm_amova,
        "NumPermutationsFST": perm_fst,
        "TestSignificancePairewiseFST": 1 if perm_fst else 0,
        "TestSignificanceAMOVA": 1 if perm_amova else 0,
        "NumSimulFuTest": simul_fu,
    }
    out = []
    with open(os.path.join(REPO, "examples", "qnd_run.qns")) as f:
        for line in f:
            key = line.split("=", 1)[0].strip()
            if "=" in line and key in overrides:
                line = "%s=%s\n" % (key, overrides.pop(key))
            out.append(line)
    if overrides:
        sys.exit("keys missing from examples/qnd_run.qns: %s" % ", ".join(overrides))
    with open(os.path.join(case_dir, "qnd_run.qns"), "w") as f:
        f.writelines(out)


def make_case_dir(outdir, case):
    d = os.path.join(outdir, case)
    os.makedirs(d, exist_ok=True)
    return d


def dna_case(outdir, case, title, sizes, length, theta, ngroups, seed, islands=True,
             **settings):
    d = make_case_dir(outdir, case)
    rng = random.Random(seed)
    # islands=False draws all samples from one panmictic population: an island
    # model with a thousand demes takes scrm far too long.
    scrm_args = island_args(sizes, theta, 1.0) if islands else ["-t", theta]
    positions, rows = run_scrm(sum(sizes), 1, scrm_args, seed)[0]
    seqs, nseg = dna_sequences(rows, length, rng)
    write_dna_project(os.path.join(d, case + ".qnp"), title, sizes, seqs, ngroups)
    write_settings(d, **settings)
    return "%s: %d samples, %d gene copies, %d bp, %d segregating sites (%.2f%%)" % (
        case, len(sizes), sum(sizes), length, nseg, 100.0 * nseg / length)


def microsat_case(outdir, case, nsamples, nind, nloci, theta, ngroups, seed):
    d = make_case_dir(outdir, case)
    rng = random.Random(seed)
    sizes = [2 * nind] * nsamples
    reps = run_scrm(sum(sizes), nloci, island_args(sizes, theta, 1.0), seed)
    # allele[copy][locus]: 100 plus one +1 or -1 repeat step per mutation carried
    alleles = [[0] * nloci for _ in range(sum(sizes))]
    for locus, (_, rows) in enumerate(reps):
        steps = [rng.choice((-1, 1)) for _ in range(len(rows[0]))]
        for c, row in enumerate(rows):
            alleles[c][locus] = 100 + sum(s for s, st in zip(steps, row) if st == "1")
    names = ["pop_%d" % (i + 1) for i in range(nsamples)]
    with open(os.path.join(d, case + ".qnp"), "w") as f:
        write_profile(f, "bench microsatellites", nsamples, "MICROSAT", 1, "WHITESPACE")
        copy = 0
        for s, name in enumerate(names):
            f.write('    SampleName="%s"\n' % name)
            f.write("    SampleSize=%d\n" % nind)
            f.write("    SampleData={\n")
            for i in range(nind):
                a = " ".join(str(x) for x in alleles[copy])
                b = " ".join(str(x) for x in alleles[copy + 1])
                copy += 2
                f.write("      ind%d_%d 1 %s\n" % (s + 1, i + 1, a))
                f.write("               %s\n" % b)
            f.write("    }\n")
        write_structure(f, names, ngroups)
    write_settings(d, task=TASK_MICROSAT, ssdefs=MICROSAT_KEYWORDS, delta_mu=1)
    nalleles = [len(set(a[l] for a in alleles)) for l in range(nloci)]
    return "%s: %d samples x %d diploid individuals x %d loci, alleles per locus %d..%d" % (
        case, nsamples, nind, nloci, min(nalleles), max(nalleles))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("outdir")
    ap.add_argument("--seed", type=int, default=20261206)
    ap.add_argument("--only", default="B1,B1d,B2,B3,B3h,B4,B5")
    args = ap.parse_args()
    wanted = set(args.only.split(","))
    os.makedirs(args.outdir, exist_ok=True)
    seed = args.seed
    b1_settings = dict(task=TASK_DNA_ALL, ssdefs=ALL_KEYWORDS)
    if "B1" in wanted:
        # theta 2.5 over 200 copies in 5 demes (4Nm = 1) gives about 100
        # segregating sites (5%)
        print(dna_case(args.outdir, "B1", "bench typical ABC DNA", [40] * 5, 2000, 2.5, 2,
                       seed + 1, **b1_settings))
    if "B1d" in wanted:
        # the same data as B1; the settings also ask for (delta mu)^2
        print(dna_case(args.outdir, "B1d", "bench typical ABC DNA", [40] * 5, 2000, 2.5, 2,
                       seed + 1, delta_mu=1, **b1_settings))
    if "B2" in wanted:
        print(microsat_case(args.outdir, "B2", 20, 50, 20, 0.5, 4, seed + 2))
    if "B3" in wanted:
        # theta 10 over 500 copies in 10 demes (4Nm = 1): about 1% of the 100 kb variable
        print(dna_case(args.outdir, "B3", "bench large DNA", [50] * 10, 100000, 10, 2,
                       seed + 3, **b1_settings))
    if "B3h" in wanted:
        # B3 with ten times theta: about 10% of the sites variable, to show the
        # distance matrix's cost following the variable sites
        print(dna_case(args.outdir, "B3h", "bench large DNA, 10% variable", [50] * 10, 100000,
                       100, 2, seed + 3, **b1_settings))
    if "B4" in wanted:
        print(dna_case(args.outdir, "B4", "bench many samples", [10] * 1000, 500, 5, 1,
                       seed + 4, islands=False, task=TASK_PAIRWISE, ssdefs=PAIRWISE_KEYWORDS))
    if "B5" in wanted:
        print(dna_case(args.outdir, "B5", "bench typical ABC DNA, permutations", [40] * 5,
                       2000, 2.5, 2, seed + 1, task=TASK_DNA_ALL, ssdefs=ALL_KEYWORDS,
                       perm_amova=1000, perm_fst=1000, simul_fu=1000))


if __name__ == "__main__":
    main()
