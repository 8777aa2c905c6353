// Reader of the [[Structure]] section: the structure's name, the number of
// groups, and one "Group = { ... }" block per group listing the quoted names of
// its samples. The groups refer to the samples already read; a sample belongs to
// one group at most. The whole section is read, whatever its length.
#include <climits>
#include <new>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/errors.h"
#include "globals.h"
#include "model/samples.h"
#include "model/structure.h"
#include "project/line_input.h"
#include "text/keyword_reader.h"

namespace {

constexpr const char* kContext = "Structure::NewReadStructure";

// Reads the next physical line into line and counts it; false at the end of the
// stream. A carriage return left by a CR LF line end is dropped.
bool next_structure_line(std::istream& in, my_string& line, int& lineNo) {
  line.read_line(in);
  if (in.fail()) {
    line.clear();
    return false;
  }
  ++lineNo;
  if (line.length() > 0 && line[line.length() - 1] == '\r') line.remove(line.length() - 1, 1);
  return true;
}

// The samples' names, and the group (from 0) that already holds each sample.
struct GroupIndex {
  std::unordered_map<std::string_view, Population*> by_name;
  std::unordered_map<const Population*, int> placed;
};

}  // namespace

int Structure::NewReadStructure(std::istream& in, ProfileSettings& prof, Samples& samples,
                                int& lineNo, my_string& line, bool& sawName, bool& sawNbGroups,
                                bool& sawIndividualLevel, bool& sawGroup) {
  std::ostream& log = *_AOS_;
  reset();
  profile = prof;

  GroupIndex index;
  for (int i = 0; i < samples.size(); ++i)
    index.by_name.emplace(samples[i]->name.view(), samples[i]);

  // Places one named sample into group g (from 0); 0 when the name is refused.
  auto place = [&](std::string_view sample_name, int g) -> int {
    const auto found = index.by_name.find(sample_name);
    if (found == index.by_name.end()) {
      log << "\tError: Sample \"" << sample_name << "\" defined in Group #" << g + 1 << " on line "
          << lineNo << " has not been defined in the [Samples] section.\n"
          << "\tAborting reading project.";
      E.error(Error, kContext, 51);
      return 0;
    }
    Population* sample = found->second;
    const auto holder = index.placed.find(sample);
    if (holder != index.placed.end()) {
      log << "\tError: Sample \"" << sample_name << "\" defined in Group #" << g + 1 << " on line "
          << lineNo << " has been alredy included in group #" << holder->second + 1
          << "\tAborting reading project.";
      E.error(Error, kContext, 206);
      return 0;
    }
    groups[static_cast<size_t>(g)]->Add(sample);
    ++group_sizes[static_cast<size_t>(g)];
    ++NbSamples;
    index.placed.emplace(sample, g);
    return 1;
  };

  // Takes the quoted sample names of text in order, up to a '}' outside quotes.
  // A group past the declared number (g < 0) is read over without being kept.
  // Returns 0 when a name was refused; sets closed when the '}' was met.
  auto scan = [&](std::string_view text, int g, bool& closed) -> int {
    size_t i = 0;
    while (i < text.size()) {
      const char c = text[i];
      if (c == '}') {
        closed = true;
        return 1;
      }
      if (c != '"' && c != '\'') {
        ++i;
        continue;
      }
      const size_t end = text.find(c, i + 1);
      if (end == std::string_view::npos) return 1;  // an unclosed quote names nothing
      if (g >= 0 && !place(text.substr(i + 1, end - i - 1), g)) return 0;
      i = end + 1;
    }
    return 1;
  };

  int groups_found = 0;  // Group blocks met, kept or not
  bool stopped = false;
  while (!stopped && next_structure_line(in, line, lineNo)) {
    if (line.length() == 0) continue;
    clearLineAfterPoundSign(line);
    const my_string view = keyword_view(line);

    if (view.contains("[MANTEL]")) {
      stopped = true;
    } else if (view.contains("STRUCTURENAME")) {
      sawName = true;
      if (!checkForPresenceOfEqualSign(line, "StructureName", lineNo)) continue;
      if (line.contains("EXTERN")) {
        E.error(Error, kContext, 195);
        log << "\tWarning: External definition of the GENETIC STRUCTURE is not possible anymore.\n"
            << "\tPlease incorporate it into the project. Skipping reading of the Genetic "
               "structure.";
      } else if (!getQuotedString(line, name, "StructureName", lineNo)) {
        log << "\tWarning: Bad value assigned to StructureName on line " << lineNo;
      }
    } else if (view.contains("NBGROUPS")) {
      sawNbGroups = true;
      if (!checkForPresenceOfEqualSign(line, "NbGroups", lineNo)) continue;
      double value = 0.0;
      // A negative or oversized count is as unreadable as a text.
      if (!getValue(line, value, "NbGroups", lineNo) || value < 0.0 || value > INT_MAX) {
        qnd_input::stop_reading(in);
        E.error(Warning, kContext, 47);
        return 0;
      }
      NbGroups = static_cast<int>(value);
    } else if (view.contains("DISTMATLABEL")) {
      log << "\tWarning: Keyword \"DistMatLabel\" is obsolete. Skipping keyword.";
    } else if (view.contains("INDIVIDUALLEVEL")) {
      sawIndividualLevel = true;
      log << "\tWarning: Keyword \"IndividualLevel\" defined on line " << lineNo
          << " is obsolete. Activation of this option is now made through the interface.";
    } else if (view.contains("GROUP")) {
      sawGroup = true;
      if (NbGroups == 0) {
        log << "\tError: Unexpected \"Group\" section found on line " << lineNo
            << ". Expected number of group is zero. Check that \"NbGroups\" has "
            << "been previously defined. Aborting reading project.";
        E.error(Error, kContext, 49);
        return 0;
      }
      const int number = ++groups_found;  // from 1
      const bool kept = number <= NbGroups;
      if (kept) {
        try {
          add_group();
        } catch (const std::bad_alloc&) {
          reset();
          E.error(Memory, kContext, 0);
          return 0;
        }
      }
      const size_t brace = line.view().find('{');
      if (brace == std::string_view::npos) {
        log << "\tError: Missing opening brace in Group #" << number
            << ". Aborting reading project";
        return 0;
      }
      const int g = kept ? number - 1 : -1;
      const int opening_line = lineNo;
      bool closed = false;
      if (!scan(line.view().substr(brace + 1), g, closed)) return 0;
      while (!closed && next_structure_line(in, line, lineNo)) {
        clearLineAfterPoundSign(line);
        if (!scan(line.view(), g, closed)) return 0;
      }
      // A file that ends inside the block (cut off in a transfer, say) holds
      // only part of the structure: it must not run as if the group ended here.
      if (!closed) {
        log << "\tError: Missing closing brace in Group #" << number << " opened on line "
            << opening_line << ". Aborting reading project.";
        E.error(Error, kContext, 52);
        return 0;
      }
      if (kept && group_sizes[static_cast<size_t>(g)] == 0) {
        log << "\t\tError while exploring structure of Group #" << number
            << ". It does not contain any population sample\n"
            << "\t\t\tCheck your [[Structure]] section, for unquoted sample names\n"
            << "\t\tAborting reading project.";
        return 0;
      }
    }
  }

  if (groups_found != NbGroups) {
    log << "\tInvalid number of groups defined. " << NbGroups << "were expected, while "
        << groups_found << " have been found!\n"
        << "\tCheck your [[Structure]] section, for missing group or unquoted sample names\n"
        << "\tAborting reading project.";
    E.error(Error, kContext, 47);
    return 0;
  }
  return 1;
}
