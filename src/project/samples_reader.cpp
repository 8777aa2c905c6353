// Reader of the [[Samples]] section: the list of samples (name, size, data
// block) and the two block readers, one for haplotypic data (one line per
// distinct haplotype: identifier, frequency, allelic content) and one for
// genotypic data (two lines per diploid individual). Haplotypes met in a block
// are entered into the project's haplotype list once and shared by every
// sample; a block may also sit in an external file named with "EXTERN".
#include <cmath>
#include <cstdio>
#include <ctime>
#include <istream>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "globals.h"
#include "model/haplotypes.h"
#include "model/population.h"
#include "model/samples.h"
#include "project/line_input.h"
#include "project/reader_util.h"
#include "text/byte_table.h"
#include "text/keyword_reader.h"

namespace {

constexpr const char* kSamplesContext = "Samples::NewRead()";
constexpr const char* kGameticContext = "Population::New_read_gametic_data()";
constexpr const char* kGenotypicContext = "New_read_genotypic_data()";
constexpr int kMaxNameSuffixes = 100;

// What reading one line of a data block gave.
enum class BlockLine {
  kEndOfStream,  // no line left
  kData,         // a data line (possibly empty)
  kDataThenEnd,  // a data line followed by the closing brace
  kEnd,          // the closing brace came first: nothing to read on this line
};

// Reads and counts the next line of a block, cuts its comment and cuts it at
// the closing brace.
BlockLine next_block_line(std::istream& in, my_string& line, int& lineNo) {
  if (!qnd_input::read_line(in, line)) return BlockLine::kEndOfStream;
  ++lineNo;
  clearLineAfterPoundSign(line);
  const int brace = line.find_first_of('}');
  if (brace < 0) return BlockLine::kData;
  line.remove(brace, line.length() - brace);
  const std::string_view before = line.view();
  const bool only_blanks = before.find_first_not_of(" \t") == std::string_view::npos;
  return only_blanks ? BlockLine::kEnd : BlockLine::kDataThenEnd;
}

// A data line that starts another sample or section: the block was not closed.
// The test is on the upper-cased line, made without copying a line that may
// hold a sequence of millions of characters.
bool opens_new_section(const my_string& line) {
  const std::string_view text = line.view();
  if (qnd_text::contains_upper(text, "SAMPLENAME")) return true;
  // Both section names start with '[': the rest of the line from the first one.
  const size_t bracket = text.find('[');
  if (bracket == std::string_view::npos) return false;
  const std::string_view rest = text.substr(bracket);
  return qnd_text::contains_upper(rest, "[STRUCTURE]") || qnd_text::contains_upper(rest, "[MANTEL]");
}

void report_missing_brace_before_section(const my_string& sample, int lineNo, const char* context) {
  *_AOS_ << "\tMissing closing brace for sample \"" << sample << "\". New section found on line "
         << lineNo << " before finding closing brace.  Aborting reading procedure";
  E.error(Error, context, 194);
}

void report_missing_brace_at_end(const my_string& sample, const char* context) {
  *_AOS_ << "\tMissing closing brace for sample \"" << sample << "\", aborting reading procedure";
  E.error(Error, context, 194);
}

// Turns a frequency into a number of copies: relative frequencies are scaled by
// the declared sample size and rounded half up, absolute ones are truncated.
// False for a negative frequency or one whose count does not fit an int: such a
// count cannot describe a sample.
bool frequency_to_count(double value, bool relative, double declared_size, double& count) {
  if (value < 0.0) return false;
  count = relative ? std::floor(value * declared_size + 0.5) : std::trunc(value);
  return count >= 0.0 && count <= static_cast<double>(std::numeric_limits<int>::max());
}

// The final check of a block: warns when the frequencies do not add up to what
// the sample declared. The caller then takes the count sum as the sample size.
void check_sums(const char* reader, bool relative, double declared, double count_sum,
                double relative_sum) {
  if (!relative) {
    if (count_sum != declared) {
      char text[200];
      std::snprintf(text, sizeof text, "%s (SampleSize=%.0f; Sum. Freq.=%.0f)", reader, declared,
                    count_sum);
      E.error(Warning, text, 141);
    }
  } else if (std::fabs(relative_sum - 1.0) > 0.001) {
    char text[200];
    std::snprintf(text, sizeof text, "%s sum of Relative frequencies=%f", reader, relative_sum);
    E.error(Warning, text, 174);
  }
}

my_string to_my_string(std::string_view token) {
  my_string text;
  text.assign_unbounded(std::string(token));
  return text;
}

}  // namespace

int Population::New_read_gametic_data(std::istream& in, Haplo_DB& list, int external, int& lineNo,
                                      my_string& line) {
  std::ostream& log = *_AOS_;
  const double declared = sample_size;
  const bool relative = profile.Frequency == 1;
  const bool has_content = ProfileSettings::DataType != FREQUENCY;
  double count_sum = 0.0;
  double relative_sum = 0.0;
  int block_loci = -1;  // fixed by the first haplotype that gives a content

  bool ended = false;
  while (!ended) {
    const BlockLine kind = next_block_line(in, line, lineNo);
    if (kind == BlockLine::kEndOfStream) {
      if (external) break;
      report_missing_brace_at_end(name, kGameticContext);
      return 0;
    }
    if (kind == BlockLine::kEnd) break;
    ended = kind == BlockLine::kDataThenEnd;
    if (opens_new_section(line)) {
      report_missing_brace_before_section(name, lineNo, kGameticContext);
      return 0;
    }
    const std::vector<std::string_view> tokens = qnd_reader::split_blanks(line.view());
    if (tokens.empty()) continue;

    const my_string id = to_my_string(tokens[0]);
    HaploDef* haplotype = list.find_by_name(id);
    const bool known = haplotype != nullptr;
    if (!known) {
      auto fresh = std::make_unique<HaploDef>(id);
      if (list.add(fresh.get()) == 0) {
        log << "\tHaplotype defined on line " << lineNo
            << " could not be entered into Haplotype data base, aborting reading procedure";
        E.error(Error, kGameticContext, 63);
        return 0;
      }
      haplotype = fresh.release();  // the list owns it
    }
    if (tokens.size() < 2) {
      log << "\tUnable to read haplotype \"" << id << "\" frequency on line " << lineNo
          << ", aborting reading procedure";
      E.error(Error, kGameticContext, 144);
      return 0;
    }
    double value = 0.0;
    double count = 0.0;
    if (!qnd_reader::parse_finite_number(tokens[1], value) ||
        !frequency_to_count(value, relative, declared, count)) {
      log << "\tProblem reading haplotype frequency (\"" << tokens[1] << "\") on line " << lineNo
          << " . Aborting reading file";
      E.error(Error, kGameticContext, 144);
      return 0;
    }
    if (relative) relative_sum += value;
    count_sum += count;

    if (has_content && tokens.size() == 2 && !known) {
      log << "\tHaplotype \"" << id << "\" listed on line " << lineNo
          << " is undefined. Aborting reading project.";
      E.error(Error, kGameticContext, 63);
      return 0;
    }
    if (has_content && tokens.size() > 2) {
      int copy_loci = 0;
      // A content written as one token is that token: no copy is made of it.
      std::string joined;
      std::string_view content;
      if (tokens.size() == 3 &&
          (ProfileSettings::DataType == DNA || ProfileSettings::LocusSeparator == '\0')) {
        content = tokens[2];
        copy_loci = static_cast<int>(content.size());
      } else {
        joined = qnd_reader::rebuild_content(tokens, 2, copy_loci);
        content = joined;
      }
      if (block_loci < 0) {
        block_loci = copy_loci;
      } else if (copy_loci != block_loci) {
        log << "\tNumber of loci for haplotype \"" << id << "\" is different (" << copy_loci
            << ") from that previously defined (" << block_loci << ") on line " << lineNo;
        E.error(Error, kGameticContext, 69);
        return 0;
      }
      if (!haplotype->content.empty()) {
        // A redefinition must repeat the stored content exactly.
        E.error(Warning, kGameticContext, 146);
        log << "\tHaplotype " << id << " defined on line " << lineNo
            << " has already been defined previously...";
        HaploDef scratch(id);
        if (!scratch.read_data(std::string_view(content), profile)) {
          log << "\tUnable to read haplotype definition on line " << lineNo
              << ". Aborting reading project.";
          E.error(Error, kGameticContext, 33);
          clear_haplotypes();
          return 0;
        }
        if (scratch.content != haplotype->content) {
          log << "\tDefinition of haplotype " << id << " defined on line " << lineNo
              << " does not match its previous definition, aborting reading project.";
          clear_haplotypes();
          return 0;
        }
      } else {
        if (!haplotype->read_data(std::string_view(content), profile)) {
          log << "\tUnable to read haplotype definition on line " << lineNo
              << ", aborting reading procedure";
          E.error(Error, kGameticContext, 63);
          clear_haplotypes();
          return 0;
        }
        list.invalidate_content_index();
      }
    }

    const int copies = static_cast<int>(count);
    if (copies != 0) {
      haplotypes.Add(new PHaploDef(haplotype, copies));
      haplotype->total += copies;
      ++line_count;
    }
  }

  check_sums("Population::New_read_gametic_data()", relative, declared, count_sum, relative_sum);
  sample_size = count_sum;
  inverse_size = count_sum != 0.0 ? 1.0 / count_sum : 1.0;
  return 1;
}

int Population::New_read_genotypic_data(std::istream& in, int external, int& lineNo,
                                        my_string& line) {
  std::ostream& log = *_AOS_;
  const double declared = sample_size;
  const bool relative = profile.Frequency == 1;
  double count_sum = 0.0;
  double relative_sum = 0.0;
  int block_loci = -1;  // fixed by the first gene copy of the block

  bool ended = false;
  while (!ended) {
    // First line of an individual: identifier, frequency, first gene copy.
    const BlockLine kind = next_block_line(in, line, lineNo);
    if (kind == BlockLine::kEndOfStream) {
      if (external) break;
      report_missing_brace_at_end(name, kGenotypicContext);
      return 0;
    }
    if (kind == BlockLine::kEnd) break;
    ended = kind == BlockLine::kDataThenEnd;
    if (opens_new_section(line)) {
      report_missing_brace_before_section(name, lineNo, kGenotypicContext);
      return 0;
    }
    const std::vector<std::string_view> tokens = qnd_reader::split_blanks(line.view());
    if (tokens.empty()) continue;

    const my_string id = to_my_string(tokens[0]);
    if (tokens.size() < 2) {
      const size_t id_end = static_cast<size_t>(tokens[0].data() - line.c_str()) + tokens[0].size();
      if (id_end == static_cast<size_t>(line.length())) {
        log << "\tUnable to read genotype ID on line " << lineNo << ", aborting reading procedure";
      } else {
        log << "\tUnable to read read genotype frequency on line " << lineNo
            << ". Aborting reading project";
        E.error(Error, kGenotypicContext, 149);
      }
      return 0;
    }
    double value = 0.0;
    double count = 0.0;
    if (!qnd_reader::parse_finite_number(tokens[1], value) ||
        !frequency_to_count(value, relative, declared, count)) {
      log << "\tProblem reading genotype frequency (\"" << tokens[1] << "\") on line " << lineNo
          << ". Aborting reading project";
      E.error(Error, kGenotypicContext, 149);
      return 0;
    }
    if (!relative) count = value;  // individuals are counted as written
    if (tokens.size() < 3) {
      log << "\tUnable to read genotype \"" << id << "\" definition on line " << lineNo
          << ". Aborting reading project";
      E.error(Error, kGenotypicContext, 149);
      return 0;
    }
    auto individual = std::make_unique<TPhenotype>();
    individual->id = id;
    individual->count = count;
    int copy_loci = 0;
    individual->copy1 = qnd_reader::rebuild_content(tokens, 2, copy_loci);
    if (block_loci < 0) block_loci = copy_loci;
    if (copy_loci != block_loci) {
      log << "\tNumber of loci for genotype \"" << id << "\" is different (" << copy_loci
          << ") from that previously defined (" << block_loci << ") on line " << lineNo;
      E.error(Error, kGenotypicContext, 69);
      return 0;
    }

    // Second line: the second gene copy only.
    const BlockLine second = next_block_line(in, line, lineNo);
    if (second == BlockLine::kEndOfStream) {
      if (!external) {
        report_missing_brace_at_end(name, kGenotypicContext);
        return 0;
      }
      log << "\tUnable to read phenotype \"" << id << "\" definition on line " << lineNo
          << ". Aborting reading project";
      E.error(Error, kGenotypicContext, 150);
      return 0;
    }
    if (second == BlockLine::kEnd) break;  // the unfinished individual is dropped
    ended = second == BlockLine::kDataThenEnd;
    if (opens_new_section(line)) {
      report_missing_brace_before_section(name, lineNo, kGenotypicContext);
      return 0;
    }
    const std::vector<std::string_view> tokens2 = qnd_reader::split_blanks(line.view());
    individual->copy2 = qnd_reader::rebuild_content(tokens2, 0, copy_loci);
    if (tokens2.empty() || individual->copy2.empty()) {
      log << "\tUnable to read phenotype \"" << id << "\" definition on line " << lineNo
          << ". Aborting reading project";
      E.error(Error, kGenotypicContext, 150);
      return 0;
    }
    if (copy_loci != block_loci) {
      log << "\tNumber of loci for genotype \"" << id << "\" is different (" << copy_loci
          << ") from that previously defined (" << block_loci << ") on line " << lineNo;
      E.error(Error, kGenotypicContext, 69);
      return 0;
    }

    // Only individuals that are kept count towards the sample size.
    if (relative) relative_sum += value;
    count_sum += count;
    individuals.Add(individual.release());
    line_count += 2;
  }

  check_sums("Population::New_read_genotypic_data()", relative, declared, count_sum, relative_sum);
  sample_size = count_sum;
  inverse_size = count_sum != 0.0 ? 1.0 / count_sum : 1.0;
  return 1;
}

// ---------------------------------------------------------------------------
// The sample list.
// ---------------------------------------------------------------------------

namespace {

// Reads one sample's block (from the project file or from the external file
// that its "SampleData" line names) into pop. Returns 1 when it was read.
int read_sample_block(std::istream& in, Population& pop, const ProfileSettings& prof,
                      Haplo_DB& list, const my_string& directory, int& lineNo, my_string& line) {
  std::ostream& log = *_AOS_;
  qnd_input::InputFile external_file;
  int external_line_no = 0;
  const bool external = line.contains("EXTERN");
  if (external) {
    E.error(Info, kSamplesContext, 191);
    my_string file_name;
    if (!getQuotedString(line, file_name, "Extern sample data", lineNo)) {
      E.error(Error, kSamplesContext, 63);
      return 0;
    }
    if (!external_file.open(qnd_input::resolve_external(file_name, directory))) {
      // A block that cannot be read must not leave an empty sample behind.
      log << "\tWarning: External file \"" << file_name << "\" listed on line " << lineNo
          << " cannot be open. Check that it exists...\n";
      E.error(Error, kSamplesContext, 63);
      return 0;
    }
    log << "\tReading sample data for population \"" << pop.name << "\" in external file\""
        << file_name << "\"";
  }

  const std::clock_t start = std::clock();
  log << "\tReading " << pop.name << " ... ";
  log.flush();
  std::istream& source = external ? external_file.stream() : in;
  int& source_line_no = external ? external_line_no : lineNo;
  const int ok = prof.GenotypicData == 1
                     ? pop.New_read_genotypic_data(source, external, source_line_no, line)
                     : pop.New_read_gametic_data(source, list, external, source_line_no, line);
  if (!ok) {
    E.error(Error, kSamplesContext, 63);
    return 0;
  }
  log << "\tdone ! (" << qnd_input::elapsed_ms(start) << " ms)\n";
  return 1;
}

}  // namespace

int Samples::NewReadSamples(std::istream& in, ProfileSettings& prof, Haplo_DB& list, int& lineNo,
                            my_string& line, bool& sawName, bool& sawSize, bool& sawData) {
  std::ostream& log = *_AOS_;
  pops.Flush();
  profile = prof;
  int samples_read = 0;
  bool name_pending = false;
  my_string pending_name;
  double last_size = 0.0;  // carried over to samples without their own "SampleSize"

  while (qnd_input::read_line(in, line)) {
    ++lineNo;
    if (line.is_null()) continue;
    // A commented-out key must not act: comments are cut from key lines too.
    clearLineAfterPoundSign(line);
    const my_string view = qnd_input::upper(line);

    if (view.contains("[STRUCTURE]") || view.contains("[MANTEL]")) {
      if (samples_read != prof.NbSamples) {
        E.error(Warning, kSamplesContext, 95);
        log << "Warning: " << samples_read << " samples are actually listed in project file, while "
            << prof.NbSamples << " are defined in the [[Profile]] section\n";
      } else if (ProfileSettings::DataType == DNA) {
        ProfileSettings::LocusSeparator = '\0';
      }
      return 1;
    }
    if (view.contains("SAMPLENAME")) {
      sawName = true;
      if (!checkForPresenceOfEqualSign(line, "SampleName", lineNo)) continue;
      my_string value;
      if (!getQuotedString(line, value, "SampleName", lineNo)) {
        log << "\tProject file, Line #" << lineNo << " : Unable to read the name of sample #"
            << samples_read + 1 << ". Aborting reading project.\n";
        E.error(Error, kSamplesContext, 62);
        return 0;
      }
      ++samples_read;
      pending_name = value;
      name_pending = true;
      continue;
    }
    if (view.contains("SAMPLESIZE")) {
      sawSize = true;
      if (!checkForPresenceOfEqualSign(line, "SampleSize", lineNo)) continue;
      double value = 0.0;
      // A negative size cannot scale relative frequencies into counts, and a
      // size beyond what an int counts describes no sample.
      if (!getValue(line, value, "SampleSize", lineNo) || value < 0.0 ||
          value > static_cast<double>(std::numeric_limits<int>::max())) {
        log << "\tProject file, Line #" << lineNo << " : Unable to read the size of sample #"
            << samples_read << ". Aborting reading project.\n";
        E.error(Error, kSamplesContext, 66);
        return 0;
      }
      last_size = value;
      continue;
    }
    if (view.contains("SAMPLEDATA")) {
      sawData = true;
      if (!name_pending) {
        E.error(Warning, kSamplesContext, 207);
        log << "Warning: Keyword \"SampleName\" not found while data is defined for population #"
            << samples_read + 1;
        return 0;
      }
      Population pop;
      pop.profile = prof;
      pop.name = pending_name;
      pop.index = samples_read - 1;
      pop.sample_size = std::trunc(last_size);
      if (!read_sample_block(in, pop, prof, list, data_directory, lineNo, line)) return 0;

      // Sample names stay unique: a clash gets a numbered suffix.
      const my_string base = pop.name;
      for (int suffix = 0; suffix < kMaxNameSuffixes && find_by_name(pop.name) != nullptr;
           ++suffix) {
        my_string number;
        number = suffix;
        pop.name = base + number;
        E.error(Warning, kSamplesContext, 65);
      }
      pops.Add(make_population_for_type(ProfileSettings::DataType, pop));
      name_pending = false;
    }
  }

  if (ProfileSettings::DataType == DNA) ProfileSettings::LocusSeparator = '\0';
  if (samples_read != prof.NbSamples) {
    E.error(Warning, kSamplesContext, 95);
    log << "Warning: " << samples_read << " samples are actually listed in project file, while \n"
        << prof.NbSamples
        << " are defined in the [[Profile]] section. Adjusting no. of samples...\n";
    prof.NbSamples = samples_read;
    profile.NbSamples = samples_read;
  }
  return 1;
}
