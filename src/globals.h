// Every process-wide object of the program, declared in one place. They are
// defined in globals.cpp, in an order that makes the message table and the
// summary record exist before main runs.
#ifndef QND_GLOBALS_H
#define QND_GLOBALS_H

#include <iosfwd>
#include <string>

class Errors;
class TSumStat;
class Project;

// The numbered-message object and the log.
extern Errors E;
// The engine's message stream: the current project's log file. Before any log
// exists it designates a stream that discards what it is given.
extern std::ostream* _AOS_;
// The summary record: selected statistics, their values, header and value text.
extern TSumStat SumStat;

// Paths used by the batch loop: the current project, the settings file in use,
// the run list file, and the engine's core directory. Empty means unset.
extern std::string proj_file;
extern std::string set_file;
extern std::string run_file;
extern std::string QuendrisExeDirectory;
// The one project of the run: created by the batch loop, released through
// delete_project() (driver/batch_loop.h).
extern Project* PPP;
// Silent mode, announced on the console when "run_silent" is given.
extern bool silentQuendris;
// Labels of the distance methods, nine rows of 40 characters (betweenpop/distances.h).
extern char DistanceNames[9][40];

#endif  // QND_GLOBALS_H
