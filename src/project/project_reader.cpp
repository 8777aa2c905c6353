// The reading pass of a project file (Project::newOpen). It reads the file line
// by line, takes the profile keys itself, handles the keys of the haplotype
// list and distance matrix sub-sections, and hands the data blocks and the
// [[Samples]] and [[Structure]] sections to their readers, which read on from
// the same stream and line counter. Missing keys and sections are judged at the
// end, so that one run reports every one of them.
#include <cmath>
#include <ctime>
#include <istream>
#include <limits>
#include <ostream>
#include <string>

#include "base/errors.h"
#include "globals.h"
#include "model/project.h"
#include "project/line_input.h"
#include "text/keyword_reader.h"

namespace {

constexpr const char* kPassContext = "Project::newOpen()";

// A profile number as an int. Values beyond the range of int (a finite value
// such as 1e300 has no int) become the nearest bound, which every check below
// then refuses.
int saturated_int(double value) {
  if (value >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min()))
    return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

// What handling one line decided.
enum class Outcome {
  kGoOn,     // keep reading
  kFail,     // stop reading; the final checks run and the pass fails
  kAbandon,  // stop at once and return failure without the final checks
};

// Which keys and sections the pass met.
struct Seen {
  bool profile = false;
  bool nb_samples = false;
  bool data_type = false;
  bool genotypic = false;
  bool locus_separator = false;
  bool gametic_phase = false;
  bool recessive_allele = false;
  bool missing_data = false;
  bool data = false;
  bool haplotype_definition = false;
  bool haplotype_list_read = false;
  bool distance_matrix = false;
  bool matrix_size = false;
  bool matrix_data = false;
  bool samples = false;
  bool sample_name = false;
  bool sample_size = false;
  bool sample_data = false;
  bool structure = false;
  bool structure_name = false;
  bool nb_groups = false;
  bool individual_level = false;
  bool group = false;
};

class ReadingPass {
 public:
  ReadingPass(Project& project, std::istream& in)
      : project_(project),
        prof_(project.profile),
        in_(in),
        log_(*_AOS_),
        directory_(qnd_input::directory_of(project.project_path)) {}

  // Reads every line of the file; returns 1 when the project is complete.
  int run();

 private:
  Outcome handle_line();
  Outcome handle_keyword(const my_string& view);
  Outcome handle_sections(const my_string& view);

  // Profile keys.
  void read_title();
  Outcome read_nb_samples();
  void read_data_type(const my_string& view);
  void read_genotypic_data();
  void read_locus_separator(const my_string& view);
  void read_gametic_phase();
  void read_recessive_data();
  void read_recessive_allele();
  void read_missing_data();
  void read_frequency();
  void read_number(const char* key, double& field);

  // Haplotype list and distance matrix keys.
  void read_haplotype_definition();
  void read_haplotype_list_name();
  Outcome read_haplotype_list();
  Outcome read_distance_matrix_header();
  void read_matrix_name();
  Outcome read_matrix_size();
  Outcome read_label_position(const my_string& view);
  Outcome read_matrix_data();
  // Opens the external file that a line names; writes the failure diagnostic.
  bool open_external(qnd_input::InputFile& file, const char* key, my_string& file_name);

  // Sections read by their own readers.
  Outcome read_samples();
  Outcome read_structure();
  Outcome check_mantel();

  bool final_checks();
  bool has_equal_sign(const char* key) const {
    return checkForPresenceOfEqualSign(line_, key, line_no_) != 0;
  }
  std::ostream& at_line() {
    log_ << "\tProject file, Line #" << line_no_;
    return log_;
  }

  Project& project_;
  ProfileSettings& prof_;
  std::istream& in_;
  std::ostream& log_;
  my_string directory_;
  my_string line_;
  int line_no_ = 0;
  Seen seen_;
  bool samples_read_here_ = false;  // the current line started the samples reader
  std::clock_t start_ = std::clock();
};

int ReadingPass::run() {
  log_ << "Reading input file ..." << '\n';
  start_ = std::clock();
  bool failed = false;
  // Every line is read, whatever the size of the file.
  while (qnd_input::read_line(in_, line_)) {
    ++line_no_;
    if (line_.is_null()) continue;
    const Outcome outcome = handle_line();
    if (outcome == Outcome::kAbandon) return 0;
    if (outcome == Outcome::kFail) {
      failed = true;
      break;
    }
  }
  if (!final_checks()) failed = true;
  log_ << "done ! (" << qnd_input::elapsed_ms(start_) << " ms)";
  if (failed) {
    E.error(Error, kPassContext, 203);
    return 0;
  }
  return 1;
}

Outcome ReadingPass::handle_line() {
  my_string view = qnd_input::upper(line_);
  clearLineAfterPoundSign(line_);
  clearLineAfterPoundSign(view);
  if (view.contains("[PROFILE]")) seen_.profile = true;
  samples_read_here_ = false;
  const Outcome outcome = handle_keyword(view);
  if (outcome != Outcome::kGoOn) return outcome;
  // The samples reader leaves in line_ the line that ended its section, which
  // may open the next section.
  return handle_sections(samples_read_here_ ? qnd_input::upper(line_) : view);
}

Outcome ReadingPass::handle_keyword(const my_string& view) {
  // The first keyword found decides; the order guards the keywords that contain
  // others.
  if (view.contains("TITLE")) {
    read_title();
  } else if (view.contains("NBSAMPLES")) {
    return read_nb_samples();
  } else if (view.contains("DATATYPE")) {
    read_data_type(view);
  } else if (view.contains("GENOTYPICDATA")) {
    read_genotypic_data();
  } else if (view.contains("LOCUSSEPARATOR")) {
    read_locus_separator(view);
  } else if (view.contains("GAMETICPHASE")) {
    read_gametic_phase();
  } else if (view.contains("RECESSIVEDATA")) {
    read_recessive_data();
  } else if (view.contains("RECESSIVEALLELE")) {
    read_recessive_allele();
  } else if (view.contains("MISSINGDATA")) {
    read_missing_data();
  } else if (view.contains("FREQUENCY") && !view.contains("FREQUENCYTHRESHOLD")) {
    read_frequency();
  } else if (view.contains("COMPDISTMATRIX")) {
    at_line() << " : Keyword \"CompDistMatrix\" is now obsolete. Please set this parameter "
                 "directly throug the interface\n";
  } else if (view.contains("FREQUENCYTHRESHOLD")) {
    read_number("FrequencyThreshold", prof_.FrequencyThreshold);
  } else if (view.contains("EPSILONVALUE")) {
    read_number("EpsilonValue", prof_.EpsilonValue);
  } else if (view.contains("[DATA]")) {
    seen_.data = true;
  } else if (view.contains("HAPLOTYPEDEFINITION")) {
    read_haplotype_definition();
  } else if (view.contains("HAPLLISTNAME")) {
    read_haplotype_list_name();
  } else if (view.contains("HAPLLIST") && !view.contains("USEDHAPLLIST")) {
    return read_haplotype_list();
  } else if (view.contains("DISTANCEMATRIX")) {
    return read_distance_matrix_header();
  } else if (view.contains("MATRIXNAME")) {
    read_matrix_name();
  } else if (view.contains("MATRIXSIZE")) {
    return read_matrix_size();
  } else if (view.contains("LABELPOSITION")) {
    return read_label_position(view);
  } else if (view.contains("MATRIXDATA")) {
    return read_matrix_data();
  } else if (view.contains("[SAMPLES]")) {
    return read_samples();
  }
  return Outcome::kGoOn;
}

Outcome ReadingPass::handle_sections(const my_string& view) {
  if (view.contains("[STRUCTURE]")) {
    const Outcome outcome = read_structure();
    if (outcome != Outcome::kGoOn) return outcome;
    // The structure reader stops at a [MANTEL] section, which comes next.
    return check_mantel();
  }
  if (view.contains("[MANTEL]")) return check_mantel();
  return Outcome::kGoOn;
}

// ---------------------------------------------------------------------------
// Profile keys.
// ---------------------------------------------------------------------------

void ReadingPass::read_title() {
  if (!has_equal_sign("Title")) return;
  my_string value;
  if (getQuotedString(line_, value, "Title", line_no_)) {
    prof_.Title = value;
  } else {
    prof_.Title.clear();
  }
}

Outcome ReadingPass::read_nb_samples() {
  if (!has_equal_sign("NbSamples")) return Outcome::kGoOn;
  double value = 0.0;
  // A count of samples is a whole number from 0 up to what an int holds.
  if (!getValue(line_, value, "NbSamples", line_no_) || value < 0.0 ||
      value > std::numeric_limits<int>::max()) {
    qnd_input::stop_reading(in_);
    E.error(Error, kPassContext, 95);
    return Outcome::kAbandon;
  }
  prof_.NbSamples = static_cast<int>(value);
  seen_.nb_samples = true;
  return Outcome::kGoOn;
}

void ReadingPass::read_data_type(const my_string& view) {
  if (!has_equal_sign("DataType")) return;
  seen_.data_type = true;
  my_string value;  // from the keyword view: the value is case-insensitive
  getUnQuotedString(view, value, "DataType", line_no_);
  if (value.contains("DNA")) {
    ProfileSettings::DataType = DNA;
  } else if (value.contains("RFLP")) {
    ProfileSettings::DataType = RFLP;
  } else if (value.contains("MICROSAT")) {
    ProfileSettings::DataType = MICROSAT;
  } else if (value.contains("STANDARD")) {
    ProfileSettings::DataType = STANDARD;
  } else if (value.contains("FREQUENCY")) {
    ProfileSettings::DataType = FREQUENCY;
  } else {
    ProfileSettings::DataType = STANDARD;
    E.error(Error, "ProfileSettings::read_DataType()", 75);
  }
}

void ReadingPass::read_genotypic_data() {
  if (!has_equal_sign("GenotypicData")) return;
  seen_.genotypic = true;
  double value = 0.0;
  const bool ok = getValue(line_, value, "GenotypicData", line_no_);
  prof_.GenotypicData = saturated_int(value);
  if (!ok || value >= 2) E.error(Error, kPassContext, 74);
}

void ReadingPass::read_locus_separator(const my_string& view) {
  if (!has_equal_sign("LocusSeparator")) return;
  seen_.locus_separator = true;
  if (view.contains("TAB")) {
    ProfileSettings::LocusSeparator = '\t';
  } else if (view.contains("WHITESPACE")) {
    ProfileSettings::LocusSeparator = ' ';
  } else if (view.contains("NONE") || view.contains("\\0")) {
    ProfileSettings::LocusSeparator = '\0';
  } else {
    my_string value;
    const bool ok = getQuotedString(line_, value, "LocusSeparator", line_no_);
    value.remove_blanks();
    if (ok && value.length() == 1) {
      ProfileSettings::LocusSeparator = value[0];
    } else {
      E.error(Error, kPassContext, 82);
      ProfileSettings::LocusSeparator = ' ';
      at_line() << " : Invalid value ('" << value << "\") assigned to keyword \"LocusSeparator\"";
    }
  }
}

void ReadingPass::read_gametic_phase() {
  if (!has_equal_sign("GameticPhase")) return;
  seen_.gametic_phase = true;
  double value = 0.0;
  const bool ok = getValue(line_, value, "GameticPhase", line_no_);
  prof_.GameticPhase = saturated_int(value);
  if (!ok || (prof_.GameticPhase != 0 && prof_.GameticPhase != 1) || value != std::trunc(value))
    E.error(Error, kPassContext, 89);
}

void ReadingPass::read_recessive_data() {
  if (!has_equal_sign("RecessiveData")) return;
  double value = 0.0;
  (void)getValue(line_, value, "RecessiveData", line_no_);
  prof_.RecessiveData = saturated_int(value);
}

void ReadingPass::read_recessive_allele() {
  if (!has_equal_sign("RecessiveAllele")) return;
  my_string value;
  if (!getQuotedString(line_, value, "RecessiveAllele", line_no_)) return;
  seen_.recessive_allele = true;
  if (value.contains(' ')) {
    prof_.RecessiveAllele = RecessiveAlleleDefault;
    prof_.RecessiveData = 0;
    E.error(Error, kPassContext, 90);
    at_line() << " : Invalid value (\"" << value << "\") assigned to keyword \"RecessiveAllele\"";
    return;
  }
  prof_.RecessiveAllele = value;
}

void ReadingPass::read_missing_data() {
  if (!has_equal_sign("MissingData")) return;
  seen_.missing_data = true;
  my_string value;
  const bool ok = getQuotedString(line_, value, "MissingData", line_no_);
  value.remove_blanks();
  if (ok && value.length() == 1) {
    prof_.MissingData = value[0];
    return;
  }
  at_line() << " : Invalid value (\"" << value << "\") assigned to keyword \"MissingData\"";
  prof_.MissingData = MissingDataDefault;
  E.error(Error, kPassContext, 78);
}

void ReadingPass::read_frequency() {
  if (!has_equal_sign("Frequency")) return;
  my_string value;  // from the line itself: the value is case-sensitive
  getUnQuotedString(line_, value, "Frequency", line_no_);
  if (value.contains("ABS")) {
    prof_.Frequency = 0;
  } else if (value.contains("REL")) {
    prof_.Frequency = 1;
  } else {
    at_line() << " : Invalid value (\"" << value << "\") assigned to keyword \"Frequency\"\n";
    prof_.Frequency = 0;
    E.error(Error, kPassContext, 87);
  }
}

void ReadingPass::read_number(const char* key, double& field) {
  if (!has_equal_sign(key)) return;
  double value = 0.0;
  (void)getValue(line_, value, key, line_no_);
  field = value;
}

// ---------------------------------------------------------------------------
// Haplotype list and distance matrix.
// ---------------------------------------------------------------------------

void ReadingPass::read_haplotype_definition() {
  if (!seen_.data) {
    at_line() << " : HaplotypeDefinition keyword declared before the beginning of the 'Data' "
                 "section...";
  }
  project_.haplotypes.flush();
  seen_.haplotype_definition = true;
}

void ReadingPass::read_haplotype_list_name() {
  if (!seen_.haplotype_definition) {
    at_line() << " : HaplListName keyword declared before the beginning of the "
                 "'HaplotypeDefinition' section...";
  }
  if (!has_equal_sign("HaplListName")) return;
  my_string value;
  if (getQuotedString(line_, value, "HaplListName", line_no_)) {
    project_.haplotypes.name = value;
    return;
  }
  qnd_input::stop_reading(in_);
  E.error(Error, kPassContext, 34);
  project_.haplotypes.name.clear();
}

bool ReadingPass::open_external(qnd_input::InputFile& file, const char* key, my_string& file_name) {
  const bool named = getQuotedString(line_, file_name, key, line_no_) != 0;
  if (named && file.open(qnd_input::resolve_external(file_name, directory_))) {
    return true;
  }
  log_ << "\tWarning: External file \"" << file_name << "\" listed on line " << line_no_
       << " cannot be open. Check that it exists. Aborting reading project";
  E.error(Error, kPassContext, 200);
  return false;
}

Outcome ReadingPass::read_haplotype_list() {
  if (!seen_.haplotype_definition) {
    at_line() << " : HaplList keyword declared before the beginning of the 'HaplotypeDefinition' "
                 "section...\n"
              << "\t Stopping reading input file!";
    return Outcome::kFail;
  }
  const std::clock_t start = std::clock();
  int ok = 0;
  if (line_.contains("EXTERN")) {
    qnd_input::InputFile file;
    my_string file_name;
    if (!open_external(file, "Extern haplotype list", file_name)) return Outcome::kFail;
    log_ << "\tReading haplotype list in external file \"" << file_name;
    int external_line_no = 0;
    ok = project_.haplotypes.NewReadHaplotypeList(file.stream(), prof_, true, external_line_no);
  } else {
    ok = project_.haplotypes.NewReadHaplotypeList(in_, prof_, false, line_no_);
  }
  if (!ok) return Outcome::kFail;
  log_ << "done ! (" << qnd_input::elapsed_ms(start) << " ms)";
  seen_.haplotype_list_read = true;
  return Outcome::kGoOn;
}

Outcome ReadingPass::read_distance_matrix_header() {
  if (!seen_.data) {
    at_line() << " : DistanceMatrix keyword declared before the beginning of the 'Data' "
                 "section..., "
              << "aborting project reading!";
    return Outcome::kFail;
  }
  seen_.distance_matrix = true;
  return Outcome::kGoOn;
}

void ReadingPass::read_matrix_name() {
  if (!has_equal_sign("MatrixName")) return;
  my_string value;
  if (getQuotedString(line_, value, "MatrixName", line_no_)) {
    project_.distmat.name = value;
    return;
  }
  qnd_input::stop_reading(in_);
  log_ << "\tWarning: Unable to read MatrixName on line " << line_no_;
  E.error(Error, kPassContext, 24);
  project_.distmat.name = "undefined";
}

Outcome ReadingPass::read_matrix_size() {
  if (!has_equal_sign("MatrixSize")) return Outcome::kGoOn;
  seen_.matrix_size = true;
  double value = 0.0;
  if (!getValue(line_, value, "MatrixSize", line_no_)) {
    qnd_input::stop_reading(in_);
    log_ << "\tWarning: Unable to read MatrixSize on line " << line_no_
         << ". Aborting project reading.";
    E.error(Error, kPassContext, 15);
    return Outcome::kFail;
  }
  const my_string& matrix = project_.distmat.name;
  if (value <= 0 || value > std::numeric_limits<int>::max()) {
    log_ << "\tBad size (" << value << ") for distance matrix \"" << matrix << "\". Check size ("
         << value << ") reported on line " << line_no_;
    E.error(Error, kPassContext, 15);
    return Outcome::kFail;
  }
  // Only the size is recorded: the matrix block that follows must hold as many
  // rows before any memory is given to them (DistMat::ReadDistanceMatrix).
  project_.distmat.reset();
  project_.distmat.size = static_cast<int>(value);
  return Outcome::kGoOn;
}

Outcome ReadingPass::read_label_position(const my_string& view) {
  if (!has_equal_sign("LabelPosition")) return Outcome::kGoOn;
  if (view.contains("LINE")) {
    project_.distmat.label_position = 0;
  } else if (view.contains("COLUMN")) {
    project_.distmat.label_position = 1;
  } else {
    log_ << "\tInvalid keyword for LabelPosition on line " << line_no_
         << ". Aborting reading project.";
    E.error(Error, kPassContext, 16);
    return Outcome::kFail;
  }
  return Outcome::kGoOn;
}

Outcome ReadingPass::read_matrix_data() {
  seen_.matrix_data = true;
  qnd_input::InputFile file;
  const bool external = line_.contains("EXTERN");
  if (external) {
    my_string file_name;
    if (!open_external(file, "Extern Distance Matrix ", file_name)) return Outcome::kFail;
    log_ << "\tReading Distance Matrix in external file \"" << file_name;
  }
  const std::clock_t start = std::clock();
  log_ << "\tReading distance matrix ...";
  int external_line_no = 0;
  const int ok = external ? project_.distmat.ReadDistanceMatrix(file.stream(), true, external_line_no)
                          : project_.distmat.ReadDistanceMatrix(in_, false, line_no_);
  if (!ok) {
    log_ << "\t\tProblems in reading DistanceMatrix section... aborting reading  project file.\n";
    return Outcome::kFail;
  }
  log_ << "\tdone ! (" << qnd_input::elapsed_ms(start) << " ms)\n";
  return Outcome::kGoOn;
}

// ---------------------------------------------------------------------------
// Samples and structure.
// ---------------------------------------------------------------------------

Outcome ReadingPass::read_samples() {
  seen_.samples = true;
  samples_read_here_ = true;
  project_.samples.data_directory = directory_;
  const int ok =
      project_.samples.NewReadSamples(in_, prof_, project_.haplotypes, line_no_, line_,
                                      seen_.sample_name, seen_.sample_size, seen_.sample_data);
  return ok ? Outcome::kGoOn : Outcome::kFail;
}

Outcome ReadingPass::read_structure() {
  if (!seen_.samples) {
    log_ << "[STRUCTURE] section defined before the [SAMPLES] section. Aborting reading project";
    E.error(Error, "Project::open()", 172);
    return Outcome::kFail;
  }
  if (project_.samples.size() == 0) {
    log_ << "No samples were defined before the [STRUCTURE] section. Aborting reading project";
    E.error(Error, "Project::open()", 172);
    return Outcome::kFail;
  }
  const std::clock_t start = std::clock();
  log_ << "\tReading genetic structure ...";
  seen_.structure = true;
  const int ok = project_.structure.NewReadStructure(in_, prof_, project_.samples, line_no_, line_,
                                                     seen_.structure_name, seen_.nb_groups,
                                                     seen_.individual_level, seen_.group);
  if (!ok) return Outcome::kFail;
  log_ << "\tdone reading genetic structure! (" << qnd_input::elapsed_ms(start) << " ms)";
  return Outcome::kGoOn;
}

Outcome ReadingPass::check_mantel() {
  if (!qnd_input::upper(line_).contains("[MANTEL]")) return Outcome::kGoOn;
  if (!seen_.samples) {
    log_ << "[MANTEL] section defined before the [SAMPLES] section. Aborting reading project";
    E.error(Error, "Project::open()", 196);
    return Outcome::kFail;
  }
  if (project_.samples.size() == 0) {
    log_ << "No samples were defined before the [MANTEL] section. Aborting reading project";
    E.error(Error, "Project::open()", 196);
    return Outcome::kFail;
  }
  // The Mantel section serves analyses that this program does not run: its
  // lines are passed over up to a [[Structure]] section or the end of the file.
  while (qnd_input::read_line(in_, line_)) {
    ++line_no_;
    if (qnd_input::upper(line_).contains("[STRUCTURE]")) return handle_sections("[STRUCTURE]");
  }
  return Outcome::kGoOn;
}

// ---------------------------------------------------------------------------
// Final checks.
// ---------------------------------------------------------------------------

bool ReadingPass::final_checks() {
  bool ok = true;
  auto fatal = [&](bool condition, const char* text) {
    if (!condition) return;
    log_ << text;
    ok = false;
  };
  const bool frequency_data = ProfileSettings::DataType == FREQUENCY;

  fatal(!seen_.profile, "\t[PROFILE] section not defined. Check your project file.\n");
  fatal(!seen_.nb_samples,
        "\tKeyword \"NbSamples\" not found. Undefined number of samples to read. Check your "
        "project file.\n");
  fatal(!seen_.data_type,
        "\tKeyword \"DataType\" not found. Undefined data type. Check your project file.\n");
  fatal(!seen_.genotypic,
        "\tKeyword \"GenotypicData\" not found. Undefined data type. Check your project file.\n");
  fatal(!seen_.locus_separator && !frequency_data,
        "\tKeyword \"LocusSeparator\" not found. Check your project file.\n");
  fatal(!seen_.gametic_phase && prof_.GenotypicData == 1,
        "\tKeyword \"GameticPhase\" not found. Undefined gametic phase for genotypic data. Check "
        "your project file.\n");
  if (!seen_.recessive_allele && prof_.RecessiveData) {
    log_ << "\tKeyword \"RecessiveAllele\" not found. Undefined recessive allele for recessive "
            "data. "
         << "\t\tUsing default value (" << prof_.RecessiveAllele << "). Check your project file.\n";
  }
  if (!seen_.missing_data && !frequency_data) {
    log_ << "\tKeyword \"MissingData\" not found. Using default value (\"" << prof_.MissingData
         << "\"). Check your project file.\n";
  }
  fatal(!seen_.data, "\t[DATA] section not defined. Check your project file.\n");

  fatal(seen_.haplotype_definition && !seen_.haplotype_list_read,
        "\tKeyword \"HaplList\" not found in Haplotype section. Haplotype list not found. Check "
        "your project file.\n");
  fatal(seen_.distance_matrix && !seen_.matrix_size,
        "\tKeyword \"MatrixSize\" not found in Distance Matrix section.Check your project "
        "file.\n");
  fatal(seen_.distance_matrix && !seen_.matrix_data,
        "\tKeyword \"MatrixData\" not found in Distance Matrix section. Distance matrix is "
        "undefined. Check your project file.\n");

  fatal(!seen_.samples,
        "\tSection \"Samples\" not found in project. At least one sample needs to be defined. "
        "Check your project file.\n");
  if (!seen_.sample_size) {
    log_ << "\tKeyword \"SampleSize\" not found in Samples section. Sample size is undefined.\n"
         << (prof_.GenotypicData == 1
                 ? "\t\tUsing sum of genotype frequencies. Check your project file.\n"
                 : "\t\tUsing sum of haplotype frequencies. Check your project file.\n");
  }
  fatal(!seen_.sample_data,
        "\tKeyword \"SampleData\" not found in Samples section. Sample data is undefined. Check "
        "your project file.\n");

  fatal(seen_.structure && !seen_.nb_groups,
        "\tKeyword \"NbGroups\" not found in Structure section. Unknown number of groups to "
        "read. Check your project file.\n");
  fatal(seen_.structure && !seen_.group,
        "\tKeyword \"Group\" not found in Structure section. No groups definition could be "
        "read. Check your project file.\n");
  return ok;
}

}  // namespace

int Project::newOpen() {
  qnd_input::InputFile in;
  if (!in.open(project_path.str())) {
    E.error(Error, kPassContext, 126);
    return 0;
  }
  profile.RunSettings = &s;
  ReadingPass pass(*this, in.stream());
  return pass.run();
}
