// Definitions of the process-wide objects declared in globals.h. Objects defined
// in one translation unit are constructed in definition order, so the message
// table exists before anything that could report through it.
#include "globals.h"

#include <ostream>

#include "base/errors.h"
#include "sumstat/sumstat.h"

namespace {
// A stream without a buffer: every write fails and is discarded.
std::ostream g_discard_stream(nullptr);
}  // namespace

std::ostream* _AOS_ = &g_discard_stream;
Errors E;
TSumStat SumStat;

std::string proj_file;
std::string set_file;
std::string run_file;
std::string QuendrisExeDirectory;
Project* PPP = nullptr;
bool silentQuendris = false;
char DistanceNames[9][40] = {};
