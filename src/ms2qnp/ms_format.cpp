// Reading ms-format text and writing one project per replicate.
#include "ms2qnp/ms_format.h"

#include <charconv>
#include <numeric>
#include <sstream>

namespace ms2qnp {
namespace {

// Reads lines and counts them, for messages that name the line.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}
  bool next(std::string& line) {
    if (!std::getline(in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++number_;
    return true;
  }
  [[noreturn]] void fail(const std::string& what) const {
    throw FormatError("line " + std::to_string(number_) + ": " + what);
  }

 private:
  std::istream& in_;
  int number_ = 0;
};

std::vector<std::string> split_words(std::string_view line) {
  std::vector<std::string> words;
  std::istringstream in{std::string(line)};
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// A whole word read as a non-negative int; -1 when it is not one.
int to_count(std::string_view word) {
  int value = -1;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size() || value < 0) return -1;
  return value;
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// nsam and the population sizes from the simulator's command line.
void read_command_line(LineReader& lines, MsData& data) {
  std::string line;
  if (!lines.next(line)) lines.fail("empty input: no simulator command line");
  const std::vector<std::string> words = split_words(line);
  if (words.size() < 2 || (data.sample_count = to_count(words[1])) <= 0)
    lines.fail("the command line does not start with a program name and a sample count");
  data.population_sizes = {data.sample_count};
  for (std::size_t i = 2; i < words.size(); ++i) {
    if (words[i] != "-I") continue;
    const int npop = i + 1 < words.size() ? to_count(words[i + 1]) : -1;
    if (npop <= 0 || i + 1 + static_cast<std::size_t>(npop) >= words.size())
      lines.fail("\"-I\" needs a number of populations and one size for each");
    data.population_sizes.clear();
    for (int p = 0; p < npop; ++p) {
      const int size = to_count(words[i + 2 + static_cast<std::size_t>(p)]);
      if (size < 0) lines.fail("\"-I\": invalid population size " + words[i + 2 + p]);
      data.population_sizes.push_back(size);
    }
    const int total =
        std::accumulate(data.population_sizes.begin(), data.population_sizes.end(), 0);
    if (total != data.sample_count)
      lines.fail("\"-I\": the population sizes add up to " + std::to_string(total) + ", not " +
                 std::to_string(data.sample_count));
    break;
  }
}

// The rest of a block after its "//" line.
MsReplicate read_block(LineReader& lines, int sample_count) {
  MsReplicate rep;
  std::string line;
  while (true) {
    if (!lines.next(line)) lines.fail("replicate ends before its \"segsites:\" line");
    if (starts_with(line, "segsites:")) break;
    if (starts_with(line, "//")) lines.fail("replicate without a \"segsites:\" line");
  }
  const std::vector<std::string> words = split_words(line);
  if (words.size() != 2 || (rep.segregating_sites = to_count(words[1])) < 0)
    lines.fail("invalid \"segsites:\" line");
  if (rep.segregating_sites == 0) return rep;
  if (!lines.next(line) || !starts_with(line, "positions:"))
    lines.fail("\"positions:\" line expected after \"segsites:\"");
  if (split_words(line).size() != static_cast<std::size_t>(rep.segregating_sites) + 1)
    lines.fail("the number of positions differs from \"segsites:\"");
  for (int i = 0; i < sample_count; ++i) {
    if (!lines.next(line)) lines.fail("replicate ends after " + std::to_string(i) + " rows");
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.size() != static_cast<std::size_t>(rep.segregating_sites))
      lines.fail("row of " + std::to_string(line.size()) + " states, " +
                 std::to_string(rep.segregating_sites) + " expected");
    if (line.find_first_not_of("01") != std::string::npos)
      lines.fail("row holds a state other than 0 or 1");
    rep.rows.push_back(line);
  }
  return rep;
}

}  // namespace

char dna_letter(char state, std::size_t site) {
  static constexpr char kZero[] = {'A', 'C', 'G', 'T'};
  static constexpr char kOne[] = {'G', 'T', 'A', 'C'};
  return state == '1' ? kOne[site % 4] : kZero[site % 4];
}

MsData parse_ms(std::istream& in) {
  LineReader lines(in);
  MsData data;
  read_command_line(lines, data);
  std::string line;
  while (lines.next(line))
    if (starts_with(line, "//")) data.replicates.push_back(read_block(lines, data.sample_count));
  return data;
}

std::vector<int> parse_group_sizes(std::string_view text) {
  std::vector<int> sizes;
  while (true) {
    const std::size_t comma = text.find(',');
    const int size = to_count(text.substr(0, comma));
    if (size <= 0) throw FormatError("invalid group sizes: expected positive numbers like 2,3");
    sizes.push_back(size);
    if (comma == std::string_view::npos) return sizes;
    text.remove_prefix(comma + 1);
  }
}

std::string to_project(const MsData& data, int replicate_number, const ProjectOptions& options) {
  const MsReplicate& rep = data.replicates.at(static_cast<std::size_t>(replicate_number - 1));
  const bool dna = options.encoding == Encoding::Dna;
  SampleSet set;
  const std::string number = std::to_string(replicate_number);
  set.title = "ms replicate " + number;
  set.kind = dna ? DataKind::Dna : DataKind::Rflp;
  // Without segregating sites the simulators print no rows.
  const std::vector<std::string> rows =
      rep.rows.empty() ? std::vector<std::string>(static_cast<std::size_t>(data.sample_count), "0")
                       : rep.rows;
  std::size_t copy = 0;
  for (std::size_t p = 0; p < data.population_sizes.size(); ++p) {
    const int size = data.population_sizes[p];
    // Populations without gene copies (allowed by the simulators) make no sample.
    if (size == 0) continue;
    const std::size_t sample = set.add_sample("pop" + std::to_string(p + 1));
    for (int i = 0; i < size && copy < rows.size(); ++i, ++copy) {
      std::string content = rows[copy];
      if (dna)
        for (std::size_t site = 0; site < content.size(); ++site)
          content[site] = dna_letter(content[site], site);
      set.add_copy(sample, std::move(content));
    }
  }
  if (!options.group_sizes.empty())
    set.groups = consecutive_groups(options.group_sizes, set.samples.size());

  Heading heading;
  heading.comment = "# Replicate " + number + " of ms-format simulator output, " +
                    std::to_string(rep.segregating_sites) + " segregating sites" +
                    (rep.segregating_sites == 0 ? " (one invariant site written)" : "") + ".\n";
  heading.list_name = "replicate_" + number;
  std::ostringstream out;
  write_project(out, set, heading);
  return out.str();
}

}  // namespace ms2qnp
