// Small pieces shared by the project-file readers: splitting a line into
// blank-separated tokens and rebuilding a haplotype's allelic content from them.
#ifndef QND_PROJECT_READER_UTIL_H
#define QND_PROJECT_READER_UTIL_H

#include <string>
#include <string_view>
#include <vector>

namespace qnd_reader {

// Splits text at blanks and tabs; empty tokens are dropped.
std::vector<std::string_view> split_blanks(std::string_view text);

// Rebuilds allelic content from tokens[first..]: for DNA the tokens are joined
// with nothing between them; for the other data types each token is preceded by
// the locus separator (a NUL separator adds nothing). num_loci receives the
// number of non-empty tokens, or the length of the joined text for DNA and for a
// NUL separator.
std::string rebuild_content(const std::vector<std::string_view>& tokens, size_t first,
                            int& num_loci);

// Parses a whole token as a finite number (no trailing characters); false when
// it does not convert.
bool parse_finite_number(std::string_view token, double& value);

}  // namespace qnd_reader

#endif  // QND_PROJECT_READER_UTIL_H
