// Reading a project: the clean-up copy, the reading pass (profile, samples,
// content checks) and the upper-casing of DNA, on a generated project shaped
// like a typical simulated data set (5 samples x 40 gene copies x 2,000 bp,
// about 0.4 MB). Each iteration does what one call of the program does.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "globals.h"
#include "model/project.h"
#include "project/cleaner.h"
#include "project/line_input.h"

namespace {

namespace fs = std::filesystem;

// A temporary directory holding one generated DNA project.
class DnaProject {
 public:
  DnaProject(int samples, int copies, int length) {
    std::string pattern = (fs::temp_directory_path() / "qnd_reading_XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    path_ = (dir_ / "bench.qnp").string();
    std::ofstream out(path_, std::ios::binary);
    out << "[Profile]\n  Title=\"reading bench\"\n  NbSamples=" << samples
        << "\n  DataType=DNA\n  GenotypicData=0\n  LocusSeparator=NONE\n  MissingData='?'\n\n"
        << "[Data]\n  [[Samples]]\n";
    std::mt19937 rng(3);
    const std::string bases = "ACGT";
    std::string ancestor(static_cast<size_t>(length), 'A');
    for (char& c : ancestor) c = bases[rng() % 4];
    for (int s = 0; s < samples; ++s) {
      out << "    SampleName=\"pop_" << s + 1 << "\"\n    SampleSize=" << copies
          << "\n    SampleData={\n";
      for (int c = 0; c < copies; ++c) {
        std::string sequence = ancestor;
        for (int m = 0; m < length / 20; ++m) sequence[rng() % sequence.size()] = bases[rng() % 4];
        out << "      h" << s << "_" << c << " 1 " << sequence << "\n";
      }
      out << "    }\n";
    }
  }
  ~DnaProject() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  DnaProject(const DnaProject&) = delete;
  DnaProject& operator=(const DnaProject&) = delete;

  const std::string& path() const { return path_; }

 private:
  fs::path dir_;
  std::string path_;
};

// The engine's messages go to a discarded stream while the benchmark runs.
class QuietLog {
 public:
  QuietLog() : saved_(_AOS_) { _AOS_ = &sink_; }
  ~QuietLog() { _AOS_ = saved_; }
  QuietLog(const QuietLog&) = delete;
  QuietLog& operator=(const QuietLog&) = delete;

 private:
  std::ostringstream sink_;
  std::ostream* saved_;
};

void BM_CleanProject_B1(benchmark::State& state) {
  const DnaProject project(5, 40, 2000);
  for (auto _ : state) {
    // The copy is cleaned as it is read: read it to its end.
    cleaner c;
    c.execute('\0', project.path().c_str());
    qnd_input::InputFile copy;
    copy.open(c.get_clean_proj().str());
    std::string line;
    std::size_t bytes = 0;
    while (std::getline(copy.stream(), line)) bytes += line.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size(project.path())));
}
BENCHMARK(BM_CleanProject_B1)->Unit(benchmark::kMicrosecond);

void BM_ReadProject_B1(benchmark::State& state) {
  const DnaProject project(5, 40, 2000);
  const QuietLog quiet;
  for (auto _ : state) {
    auto p = std::make_unique<Project>();
    p->project_path = project.path().c_str();
    benchmark::DoNotOptimize(p->newOpen());
    p->samples.convert_dna_upper(p->haplotypes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size(project.path())));
}
BENCHMARK(BM_ReadProject_B1)->Unit(benchmark::kMicrosecond);

}  // namespace
