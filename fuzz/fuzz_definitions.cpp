// Fuzz target: the input is read as the statistic definition file
// "ssdefs.txt" and as a settings file; the header and value text of both passes
// is then built for every data type and written out, and the two lines must
// have the same number of columns.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"

namespace {

const qnd_fuzz::Scratch* g_scratch = nullptr;

size_t count_tabs(const std::string& text) {
  size_t n = 0;
  for (const char c : text) n += c == '\t' ? 1 : 0;
  return n;
}

// Fills every list of the record with a few values, as a pass over three
// samples would.
void store_some_values(TSumStat& s) {
  for (auto* list : {&s.K,
                     &s.Ksd,
                     &s.H,
                     &s.Hsd,
                     &s.S,
                     &s.Ssd,
                     &s.privS,
                     &s.D,
                     &s.Dsd,
                     &s.FS,
                     &s.FSsd,
                     &s.Pi,
                     &s.GW,
                     &s.GWsd,
                     &s.NGW,
                     &s.NGWsd,
                     &s.R,
                     &s.Rsd,
                     &s.meanDprime,
                     &s.meanR2,
                     &s.adjDprime,
                     &s.adjR2,
                     &s.meanAdjDprime,
                     &s.meanAdjR2,
                     &s.flankDprime,
                     &s.flankR2}) {
    list->Add(0.5);
    list->Add(-1e300);
    list->Add(3.0);
  }
  for (auto* list : {&s.pairFST, &s.pairPI, &s.pairDMUSQ}) {
    list->Add(0.1);
    list->Add(0.2);
    list->Add(0.3);
  }
  s.hasFIS = s.hasFST = s.hasFCT = s.hasFSC = s.hasFIT = true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_scratch = qnd_fuzz::start_process();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_scratch == nullptr || g_scratch->path().empty()) return 0;
  const std::string defs = g_scratch->file("ssdefs.txt");
  qnd_fuzz::write_bytes(defs, data, size);

  settings run_settings;
  run_settings.read_settings(my_string(std::string_view(defs)));

  TSumStat record;
  record.readDefSSFile(my_string(std::string_view(defs)));
  record.sumStatMode = true;
  const TDataType types[] = {DNA, RFLP, MICROSAT, STANDARD, FREQUENCY};
  const TDataType type = types[size % 5];
  for (const bool group : {true, false}) {
    record.clearValues();
    store_some_values(record);
    record.groupPass = group;
    record.outputHeader(type);
    record.outputStats(type);
  }
  // Every column has a name: the header and the value line agree.
  if (count_tabs(record.headerLine) != count_tabs(record.statsLine)) std::abort();

  record.outFileName = g_scratch->file("out.txt");
  record.appendOutput = false;
  record.writeToFile(1);
  g_scratch->empty();
  return 0;
}
