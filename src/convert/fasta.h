// Aligned DNA sequences in FASTA format: each sequence becomes one haploid
// gene copy of a sample, identical sequences of a sample one haplotype with
// its count.
#ifndef QND_CONVERT_FASTA_H
#define QND_CONVERT_FASTA_H

#include <istream>

#include "convert/sample_map.h"
#include "ms2qnp/project_writer.h"

namespace convert {

// Reads every sequence: its name is the first word after '>', its sample the
// one assign gives (without a map: the name's prefix before the first '_').
// Letters are upper-cased; A, C, G, T, the IUPAC codes, '-' and '?' are kept,
// blanks skipped. Throws ms2qnp::FormatError naming the line.
void read_fasta(std::istream& in, SampleAssigner& assign, ms2qnp::SampleSet& set);

}  // namespace convert

#endif  // QND_CONVERT_FASTA_H
