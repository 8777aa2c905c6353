// Genepop files of microsatellite genotypes: a title line, the locus names (on
// one line separated by commas, or one per line), then "Pop" sections of
// "individual, genotype genotype ..." lines. Diploid genotypes (4 or 6 digits:
// two alleles of 2 or 3 digits) become individuals of unknown phase, haploid
// ones (2 or 3 digits) haploid gene copies; alleles of zeros and genotypes of
// zeros ("0", "00", "000", "0000", ...) are missing data.
#ifndef QND_CONVERT_GENEPOP_H
#define QND_CONVERT_GENEPOP_H

#include <istream>

#include "convert/sample_map.h"
#include "ms2qnp/project_writer.h"

namespace convert {

// Reads the whole file. Without a map each "Pop" section is a sample named
// after its first individual. Throws ms2qnp::FormatError naming the line.
void read_genepop(std::istream& in, SampleAssigner& assign, ms2qnp::SampleSet& set);

}  // namespace convert

#endif  // QND_CONVERT_GENEPOP_H
