// qndconvert: observed data (aligned FASTA sequences, Genepop genotypes, VCF or
// BCF SNP calls) and simulator output (ms format) to project files.
//   qndconvert fasta|genepop|vcf|ms [options] input
#include <string>
#include <vector>

#include "convert/convert_command.h"

int main(int argc, char** argv) {
  return convert::run_convert_command(std::vector<std::string>(argv + 1, argv + argc));
}
