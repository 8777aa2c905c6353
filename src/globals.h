// Every process-wide object of the program, declared in one place. They are
// defined in globals.cpp, in an order that makes the message table and the
// summary record exist before main runs.
#ifndef QND_GLOBALS_H
#define QND_GLOBALS_H

#include <iosfwd>

class Errors;

// The numbered-message object and the log.
extern Errors E;
// The engine's message stream: the current project's log file. Before any log
// exists it designates a stream that discards what it is given.
extern std::ostream* _AOS_;
// Labels of the distance methods, nine rows of 40 characters (betweenpop/distances.h).
extern char DistanceNames[9][40];

#endif  // QND_GLOBALS_H
