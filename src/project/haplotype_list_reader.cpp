// Reader of the haplotype list of a [[HaplotypeDefinition]] sub-section: one
// line per haplotype with its identifier and its allelic content, in the project
// file (a block closed by '}') or in an external file (which may simply end).
// The haplotypes defined here can then be named by the samples without content.
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "globals.h"
#include "model/haplotypes.h"
#include "project/reader_util.h"
#include "project/section_lines.h"

namespace {

constexpr const char* kContext = "Haplo_DB::NewReadHaplotypeList()";

}  // namespace

int Haplo_DB::NewReadHaplotypeList(std::istream& in, ProfileSettings& prof, bool external,
                                   int& lineNo) {
  std::ostream& log = *_AOS_;
  if (!in) {
    log << "\tUnable to read haplotype list, aborting reading procedure";
    return 0;
  }
  profile = prof;

  int first_num_loci = -1;  // fixed by the first haplotype of the list
  bool closed = false;
  std::string line;
  while (!closed && qnd_reader::next_line(in, line, lineNo)) {
    qnd_reader::cut_comment(line);
    const std::string view = qnd_reader::upper_view(line);
    if (view.find("DISTANCEMATRIX") != std::string::npos || qnd_reader::is_new_section(view)) break;
    closed = qnd_reader::cut_closing_brace(line);

    const std::vector<std::string_view> tokens = qnd_reader::split_blanks(line);
    if (tokens.empty()) continue;
    const my_string id(tokens[0]);
    if (find_by_name(id) != nullptr) {
      log << "\tHaplotype \"" << id << "\" listed on line " << lineNo
          << " is already defined previously, aborting reading procedure...";
      E.error(Error, kContext, 31);
      return 0;
    }

    // Frequency data carry no allelic content: the identifier alone defines them.
    std::string content;
    if (ProfileSettings::DataType != FREQUENCY) {
      int num_loci = 0;
      content = qnd_reader::rebuild_content(tokens, 1, num_loci);
      if (content.empty()) {
        log << "\tHaplotype \"" << id << "\" listed on line " << lineNo
            << " is undefined. Aborting reading project.";
        E.error(Error, kContext, 63);
        return 0;
      }
      if (first_num_loci < 0) {
        first_num_loci = num_loci;
      } else if (num_loci != first_num_loci) {
        log << "\tNumber of loci for haplotype \"" << id << "\" is different (" << num_loci
            << ") from that previously defined (" << first_num_loci << ") on line " << lineNo;
        E.error(Error, kContext, 69);
        return 0;
      }
    }

    auto haplotype = std::make_unique<HaploDef>(id);
    my_string text;
    text.assign_unbounded(std::move(content));
    if (!haplotype->read_data(text, prof)) {
      log << "\tUnable to read haplotype definition on line " << lineNo
          << ", aborting reading procedure";
      E.error(Error, kContext, 33);
      return 0;
    }
    if (add(haplotype.get()) == 0) {
      log << "\tHaplotype defined on line " << lineNo
          << " could not be entered into Haplotype data base, aborting reading procedure";
      E.error(Error, kContext, 63);
      return 0;
    }
    haplotype.release();  // the list owns it now
  }

  if (!closed && !external) {
    log << "\tMissing closing brace in Haplotype definition list, aborting reading procedure";
    E.error(Error, kContext, 194);
    return 0;
  }
  return 1;
}
