// SNP calls in VCF or BCF (plain, bgzip-compressed or binary, read with
// htslib): every biallelic SNP becomes one DNA site with its REF and ALT bases.
// Diploid calls make individuals (known phase only when every call is phased),
// or, on request, each haplotype a haploid gene copy.
#ifndef QND_CONVERT_VCF_H
#define QND_CONVERT_VCF_H

#include <cstddef>
#include <string>

#include "convert/sample_map.h"
#include "ms2qnp/project_writer.h"

namespace convert {

// Records read and records skipped because they are no biallelic SNP.
struct VcfCounts {
  std::size_t snps = 0;
  std::size_t multiallelic = 0;
  std::size_t other = 0;  // indels, symbolic alleles, records without ALT
};

// Reads the file at path; individuals that assign skips are left out. With
// haploid, every call's alleles are separate gene copies. Throws
// ms2qnp::FormatError naming the record (number from 1, chromosome and position).
VcfCounts read_vcf(const std::string& path, SampleAssigner& assign, bool haploid,
                   ms2qnp::SampleSet& set);

}  // namespace convert

#endif  // QND_CONVERT_VCF_H
