// Reading biallelic SNPs from VCF and BCF files with htslib.
#include "convert/vcf.h"

#include <htslib/hts.h>
#include <htslib/vcf.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace convert {

using ms2qnp::FormatError;

namespace {

struct FileCloser {
  void operator()(htsFile* file) const { hts_close(file); }
};
struct HeaderFree {
  void operator()(bcf_hdr_t* header) const { bcf_hdr_destroy(header); }
};
struct RecordFree {
  void operator()(bcf1_t* record) const { bcf_destroy(record); }
};

// An individual of the file that the map keeps, with its gene copies so far.
struct Person {
  int column = 0;  // among the file's samples
  std::size_t sample = 0;
  std::string name;
  int ploidy = 0;           // 0 until its first call that is not a lone '.'
  std::size_t pending = 0;  // sites before the ploidy was known (all missing)
  std::string copies[2];
};

// The base of a one-letter allele A, C, G or T (any case); 0 otherwise.
char snp_base(const char* allele) {
  if (allele[0] == '\0' || allele[1] != '\0') return 0;
  switch (allele[0]) {
    case 'A':
    case 'a':
      return 'A';
    case 'C':
    case 'c':
      return 'C';
    case 'G':
    case 'g':
      return 'G';
    case 'T':
    case 't':
      return 'T';
    default:
      return 0;
  }
}

class VcfReader {
 public:
  VcfReader(const std::string& path, SampleAssigner& assign, bool haploid) : haploid_(haploid) {
    hts_set_log_level(HTS_LOG_ERROR);
    file_.reset(hts_open(path.c_str(), "r"));
    if (!file_) throw FormatError("cannot be read");
    if (hts_get_format(file_.get())->category != variant_data)
      throw FormatError("not a VCF or BCF file");
    header_.reset(bcf_hdr_read(file_.get()));
    if (!header_) throw FormatError("the VCF header cannot be read");
    for (int i = 0; i < bcf_hdr_nsamples(header_.get()); ++i) {
      const std::string name = header_->samples[i];
      const std::size_t sample = assign.sample_of(name, name, name);
      if (sample == SampleAssigner::kSkipped) continue;
      persons_.push_back(Person{i, sample, name, haploid ? 0 : 2, 0, {}});
    }
    if (persons_.empty()) throw FormatError("no individual of the input is in the population map");
  }
  ~VcfReader() { std::free(calls_); }
  VcfReader(const VcfReader&) = delete;
  VcfReader& operator=(const VcfReader&) = delete;

  VcfCounts read_all() {
    std::unique_ptr<bcf1_t, RecordFree> record(bcf_init());
    for (number_ = 1;; ++number_) {
      const int status = bcf_read(file_.get(), header_.get(), record.get());
      if (status == -1) break;
      // A contig or tag missing from the header is added by htslib as it reads.
      if (status < -1 || (record->errcode & ~(BCF_ERR_CTG_UNDEF | BCF_ERR_TAG_UNDEF)) != 0)
        throw FormatError("record " + std::to_string(number_) +
                          ": malformed, htslib cannot read it");
      read_record(record.get());
    }
    if (counts_.snps == 0)
      throw FormatError("no biallelic SNP among " + std::to_string(number_ - 1) + " records");
    return counts_;
  }

  void store(ms2qnp::SampleSet& set) {
    set.kind = ms2qnp::DataKind::Dna;
    set.genotypic = !haploid_;
    set.phase_known = phased_;
    for (Person& p : persons_) {
      if (haploid_) {
        if (p.ploidy == 0) {  // never called: one gene copy of missing data
          p.ploidy = 1;
          p.copies[0].assign(p.pending, '?');
        }
        for (int k = 0; k < p.ploidy; ++k) set.add_copy(p.sample, std::move(p.copies[k]));
      } else {
        set.add_individual(p.sample, project_name(p.name), std::move(p.copies[0]),
                           std::move(p.copies[1]));
      }
    }
  }

 private:
  [[noreturn]] void fail(bcf1_t* record, const std::string& what) const {
    throw FormatError("record " + std::to_string(number_) + " (" +
                      bcf_seqname_safe(header_.get(), record) + ":" +
                      std::to_string(record->pos + 1) + "): " + what);
  }

  void read_record(bcf1_t* record) {
    bcf_unpack(record, BCF_UN_STR);
    const char ref = record->n_allele == 2 ? snp_base(record->d.allele[0]) : 0;
    const char alt = record->n_allele == 2 ? snp_base(record->d.allele[1]) : 0;
    if (ref == 0 || alt == 0) {
      ++(record->n_allele > 2 ? counts_.multiallelic : counts_.other);
      return;
    }
    ++counts_.snps;
    const int n = bcf_get_genotypes(header_.get(), record, &calls_, &calls_size_);
    if (n <= 0) fail(record, "no GT genotypes");
    const int width = n / bcf_hdr_nsamples(header_.get());
    for (Person& p : persons_) {
      const int32_t* call = calls_ + static_cast<std::ptrdiff_t>(p.column) * width;
      int ploidy = 0;
      while (ploidy < width && call[ploidy] != bcf_int32_vector_end) ++ploidy;
      if (ploidy == 0 || (ploidy == 1 && bcf_gt_is_missing(call[0]))) {  // "." alone
        if (p.ploidy == 0) ++p.pending;
        for (int k = 0; k < p.ploidy; ++k) p.copies[k] += '?';
        continue;
      }
      if (ploidy > 2)
        fail(record, "\"" + p.name + "\" has " + std::to_string(ploidy) +
                         " alleles: only haploid and diploid calls are read");
      if (p.ploidy == 0) {
        p.ploidy = ploidy;
        for (int k = 0; k < ploidy; ++k) p.copies[k].assign(p.pending, '?');
      } else if (ploidy != p.ploidy) {
        fail(record, "\"" + p.name + "\" has " + std::to_string(ploidy) + " allele(s), " +
                         std::to_string(p.ploidy) +
                         (haploid_ ? " in its earlier calls" : " expected (or use --haploid)"));
      }
      bool missing = true;
      for (int k = 0; k < ploidy; ++k) {
        if (bcf_gt_is_missing(call[k])) {
          p.copies[k] += '?';
          continue;
        }
        missing = false;
        const int allele = bcf_gt_allele(call[k]);
        if (allele > 1)
          fail(record, "\"" + p.name + "\" has allele " + std::to_string(allele) +
                           ", the record only 0 and 1");
        p.copies[k] += allele == 0 ? ref : alt;
      }
      if (ploidy == 2 && !missing && !bcf_gt_is_phased(call[1])) phased_ = false;
    }
  }

  bool haploid_;
  std::unique_ptr<htsFile, FileCloser> file_;
  std::unique_ptr<bcf_hdr_t, HeaderFree> header_;
  std::vector<Person> persons_;
  int32_t* calls_ = nullptr;  // htslib's buffer of genotypes, grown by it
  int calls_size_ = 0;
  std::size_t number_ = 0;
  bool phased_ = true;
  VcfCounts counts_;
};

}  // namespace

VcfCounts read_vcf(const std::string& path, SampleAssigner& assign, bool haploid,
                   ms2qnp::SampleSet& set) {
  VcfReader reader(path, assign, haploid);
  const VcfCounts counts = reader.read_all();
  reader.store(set);
  return counts;
}

}  // namespace convert
