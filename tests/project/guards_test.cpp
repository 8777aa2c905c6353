// Resource guards and number checks of the project readers. Declared sizes
// (MatrixSize, NbSamples, SampleSize, NbGroups) must not make the readers ask
// for memory that the file's content does not back, and values that are not
// finite, negative or beyond what a count can hold are refused with the
// reader's own diagnostic. The memory cases run in a child process whose
// address space is capped, so that a reader that still allocated by the
// declared size would fail the test rather than the machine.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "project/cleaner.h"
#include "project/line_input.h"
#include "project/project_test_util.h"

#if defined(__SANITIZE_ADDRESS__)
#define QND_GUARDS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QND_GUARDS_ASAN 1
#endif
#endif

namespace {

using qnd_reader_test::ProjectFileTest;

std::string read_stream(std::istream& in) {
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string qnd_test_read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return read_stream(in);
}

// Runs check in a forked child with at most 1 GiB of address space (not under
// AddressSanitizer, which reserves far more address space up front) and
// returns its result; -1 when the child died. Each case of the old readers
// would have asked for many gigabytes here.
int in_limited_child(const std::function<int()>& check) {
  const pid_t pid = ::fork();
  if (pid < 0) return -2;
  if (pid == 0) {
#ifndef QND_GUARDS_ASAN
    const rlimit cap{1UL << 30, 1UL << 30};
    ::setrlimit(RLIMIT_AS, &cap);
#endif
    int result = 100;
    try {
      result = check();
    } catch (...) {
      result = 101;
    }
    ::_exit(result);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// DNA haplotypic project with one sample of two sequences; extra goes between
// "[Data]" and "[[Samples]]", tail after the sample.
std::string dna_project(const std::string& extra, const std::string& tail = "",
                        const std::string& nb_samples = "1", const std::string& size = "2",
                        const std::string& frequency = "1") {
  return "[Profile]\nTitle=\"guards\"\nNbSamples=" + nb_samples +
         "\nDataType=DNA\nGenotypicData=0\nLocusSeparator=NONE\nMissingData='?'\n[Data]\n" + extra +
         "[[Samples]]\nSampleName=\"pop1\"\nSampleSize=" + size + "\nSampleData={\nh1 " +
         frequency + " ACGT\nh2 1 ACGA\n}\n" + tail;
}

std::string matrix_section(const std::string& size, const std::string& position,
                           const std::string& block) {
  return "[[DistanceMatrix]]\nMatrixName=\"m\"\nMatrixSize=" + size +
         "\nLabelPosition=" + position + "\nMatrixData={\n" + block + "}\n";
}

class ResourceGuards : public ProjectFileTest {
 protected:
  // Opens text in a capped child; bit 0: the reading failed, bit 1: the
  // numbered message was logged, bit 2: the log holds piece, bit 3: the log
  // holds no allocation failure.
  int open_in_child(const std::string& text, int number, const std::string& piece) {
    return in_limited_child([&] {
      const int opened = open_text(text);
      const std::string log = log_text();
      return (opened == 0 ? 1 : 0) | (logged(number) ? 2 : 0) |
             (log.find(piece) != std::string::npos ? 4 : 0) |
             (log.find("Unable to allocate") == std::string::npos ? 8 : 0);
    });
  }
};

TEST_F(ResourceGuards, MatrixSizeOfTwoBillionFailsOnItsMissingLabels) {
  const std::string text = dna_project(matrix_section("2000000000", "LINE", "h1 h2\n0\n1 0\n"));
  EXPECT_EQ(open_in_child(text, 12, "Only 2 labels were found while 2000000000 were expected"), 15);
}

TEST_F(ResourceGuards, MatrixSizeOfFiftyThousandWithTwoRowsReportsTheMissingRows) {
  // 50000 x 50000 doubles would be 20 GB; the block holds two rows.
  const std::string text = dna_project(matrix_section("50000", "COLUMN", "h1 0\nh2 1 0\n"));
  const int r = in_limited_child([&] {
    const int opened = open_text(text);
    const std::string log = log_text();
    return (opened == 0 ? 1 : 0) |
           (log.find("50000 rows were expected, but only 2 were found") != std::string::npos ? 2
                                                                                             : 0) |
           (log.find("Unable to allocate") == std::string::npos ? 4 : 0);
  });
  EXPECT_EQ(r, 7);
}

TEST_F(ResourceGuards, MatrixSizeBeyondIntIsAnInvalidValue) {
  EXPECT_EQ(open_in_child(dna_project(matrix_section("3e9", "LINE", "h1 h2\n0\n1 0\n")), 15,
                          "Bad size (3e+09) for distance matrix \"m\""),
            15);
}

TEST_F(ResourceGuards, NbGroupsOfOneBillionWithTwoGroupsFailsOnTheCount) {
  const std::string structure =
      "[[Structure]]\nStructureName=\"s\"\nNbGroups=1000000000\nGroup={ \"pop1\" }\n"
      "Group={ \"pop2\" }\n";
  std::string text = dna_project("", "", "2");
  text += "SampleName=\"pop2\"\nSampleSize=1\nSampleData={\nh1 1\n}\n" + structure;
  EXPECT_EQ(open_in_child(text, 47, "1000000000were expected, while 2 have been found"), 15);
}

TEST_F(ResourceGuards, NbSamplesOfOneBillionIsAdjustedToTheSamplesRead) {
  const int r = in_limited_child([&] {
    const int opened = open_text(dna_project("", "", "1000000000"));
    return (opened == 1 ? 1 : 0) | (logged(95) ? 2 : 0) |
           (project_->profile.NbSamples == 1 ? 4 : 0) | (project_->samples.size() == 1 ? 8 : 0);
  });
  EXPECT_EQ(r, 15);
}

TEST_F(ResourceGuards, SampleSizeOfOneBillionWithRelativeFrequenciesStaysACount) {
  // 0.5 and 1 of 1e9 are counts of copies (5e8 + 1e9), not lists of them.
  const int r = in_limited_child([&] {
    std::string text = dna_project("", "", "1", "1000000000", "0.5");
    text.replace(text.find("NbSamples"), 0, "Frequency=REL\n");
    const int opened = open_text(text);
    return (opened == 1 ? 1 : 0) |
           (project_->samples.size() == 1 && project_->samples[0]->sample_size == 1500000000.0 ? 2
                                                                                               : 0);
  });
  EXPECT_EQ(r, 3);
}

TEST_F(ResourceGuards, DeclaredSizeThatMatchesTheBlockStillReadsTheWholeMatrix) {
  // Rows hold the diagonal last; (2,1) = 1.5, (3,1) = 2, (3,2) = 0.25.
  ASSERT_EQ(open_text(dna_project(matrix_section("3", "COLUMN", "h1 0\nh2 1.5 0\nh3 2 0.25 0\n"))),
            1)
      << log_text();
  const DistMat& m = project_->distmat;
  ASSERT_EQ(m.size, 3);
  ASSERT_EQ(m.matrix.size(), 9u);
  const double expected[3][3] = {{0, 1.5, 2}, {1.5, 0, 0.25}, {2, 0.25, 0}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(m.matrix[static_cast<size_t>(i * 3 + j)], expected[i][j]) << i << "," << j;
      EXPECT_EQ(m.tri(i, j), expected[i][j]) << i << "," << j;
    }
  EXPECT_EQ(m.labels[2], "h3");
}

TEST_F(ResourceGuards, CorpusFileWithHugeDeclaredSizesFailsOnItsLabels) {
  const std::string path = std::string(QND_TEST_DATA) + "/project/corpus/huge_declared_sizes.qnp";
  const int r = in_limited_child([&] {
    const int opened = open_path(path);
    return (opened == 0 ? 1 : 0) | (logged(12) ? 2 : 0) |
           (log_text().find("while 2000000000 were expected") != std::string::npos ? 4 : 0);
  });
  EXPECT_EQ(r, 7);
}

TEST_F(ResourceGuards, ExternalFileThatNeverEndsIsNotRead) {
  // /dev/zero holds no line feed: reading it as a line would never stop
  // growing. Only regular files are read or copied.
  const std::string path = std::string(QND_TEST_DATA) + "/project/corpus/extern_device.qnp";
  const int r = in_limited_child([&] {
    cleaner clean;
    (void)clean.execute('\0', write_file("dev.qnp", qnd_test_read(path)).c_str());
    clean.rm_clean_files();
    const int opened = open_path(path);
    return (opened == 0 ? 1 : 0) | (logged(63) ? 2 : 0) |
           (log_text().find("cannot be open") != std::string::npos ? 4 : 0);
  });
  EXPECT_EQ(r, 7);
}

TEST_F(ResourceGuards, ExternalCopiesNeverLeaveTheResultDirectory) {
  // "../data.txt" next to a project in sub/ names top/data.txt; a copy at
  // result directory + name would stand for sub/data.txt, a file of the user's.
  std::filesystem::create_directories(dir_ + "sub");
  write_file("data.txt", "h1\t1\n");
  write_file("sub/data.txt", "the user's own file\n");
  const std::string project = write_file("sub/p.qnp", "SampleData= EXTERN \"../data.txt\"\n");
  cleaner clean;
  clean.execute('\0', project.c_str());
  qnd_input::InputFile cleaned;
  ASSERT_TRUE(cleaned.open(clean.get_clean_proj().str()));
  EXPECT_EQ(read_stream(cleaned.stream()), "SampleData= EXTERN \"extern1_.._data.txt\"\n");
  // The copy lies in the result directory under the name the line now gives.
  qnd_input::InputFile copy;
  ASSERT_TRUE(copy.open(dir_ + "sub/p.res/extern1_.._data.txt"));
  EXPECT_EQ(read_stream(copy.stream()), "h1 1\n");
  clean.rm_clean_files();
  EXPECT_EQ(qnd_test_read(dir_ + "sub/data.txt"), "the user's own file\n");
  EXPECT_EQ(qnd_test_read(dir_ + "data.txt"), "h1\t1\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir_ + "sub/p.res"));
}

// ---------------------------------------------------------------------------
// Numbers that no count, size, frequency or distance can be.
// ---------------------------------------------------------------------------

class RejectedNumbers : public ProjectFileTest {
 protected:
  // Opens text; true when the reading failed with the numbered message.
  ::testing::AssertionResult refused(const std::string& text, int number) {
    const int opened = open_text(text);
    const bool has = logged(number);
    const std::string log = log_text();
    // Fresh state for the next value of the same test.
    TearDown();
    SetUp();
    if (opened == 0 && has) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "opened=" << opened << " message " << number << (has ? " present" : " absent") << "\n"
           << log;
  }
};

TEST_F(RejectedNumbers, HaplotypeFrequencies) {
  for (const std::string v : {"nan", "inf", "-inf", "1e309", "-1", "1e12"})
    EXPECT_TRUE(refused(dna_project("", "", "1", "2", v), 144)) << v;
}

TEST_F(RejectedNumbers, RelativeFrequenciesThatScaleBeyondACount) {
  std::string text = dna_project("", "", "1", "2000000000", "2");
  text.replace(text.find("NbSamples"), 0, "Frequency=REL\n");
  EXPECT_TRUE(refused(text, 144));
}

TEST_F(RejectedNumbers, GenotypeFrequencies) {
  for (const std::string v : {"nan", "inf", "1e309", "-2"}) {
    const std::string text =
        "[Profile]\nTitle=\"g\"\nNbSamples=1\nDataType=MICROSAT\nGenotypicData=1\n"
        "GameticPhase=0\nLocusSeparator=WHITESPACE\nMissingData='?'\n[Data]\n[[Samples]]\n"
        "SampleName=\"p\"\nSampleSize=1\nSampleData={\ni1 " +
        v + " 100 102\n      104 106\n}\n";
    EXPECT_TRUE(refused(text, 149)) << v;
  }
}

TEST_F(RejectedNumbers, Distances) {
  for (const std::string v : {"nan", "inf", "1e309", "-0.5", "-1e-300"}) {
    const std::string text = dna_project(matrix_section("2", "COLUMN", "h1 0\nh2 " + v + " 0\n"));
    EXPECT_TRUE(refused(text, 13)) << v;
  }
}

TEST_F(RejectedNumbers, SampleSizes) {
  for (const std::string v : {"nan", "inf", "1e309", "-3", "1e12"})
    EXPECT_TRUE(refused(dna_project("", "", "1", v), 66)) << v;
}

TEST_F(RejectedNumbers, MatrixSizes) {
  for (const std::string v : {"nan", "inf", "1e309", "-2", "0", "1e10"})
    EXPECT_TRUE(refused(dna_project(matrix_section(v, "LINE", "h1 h2\n0\n1 0\n")), 15)) << v;
}

TEST_F(RejectedNumbers, NumbersOfSamples) {
  for (const std::string v : {"nan", "inf", "1e309", "-1", "1e10"})
    EXPECT_TRUE(refused(dna_project("", "", v), 95)) << v;
}

TEST_F(RejectedNumbers, NumbersOfGroups) {
  for (const std::string v : {"nan", "inf", "-1", "1e10"}) {
    const std::string text = dna_project(
        "", "[[Structure]]\nStructureName=\"s\"\nNbGroups=" + v + "\nGroup={ \"pop1\" }\n");
    EXPECT_TRUE(refused(text, 47)) << v;
  }
}

TEST_F(RejectedNumbers, ProfileFlagsBeyondIntAreReportedNotWrapped) {
  // 1e300 has no int; it is reported as an invalid flag value.
  std::string text = dna_project("");
  text.replace(text.find("GenotypicData=0"), 15, "GenotypicData=1e300");
  (void)open_text(text);
  EXPECT_TRUE(logged(74));
  EXPECT_GE(project_->profile.GenotypicData, 2);
}

}  // namespace
