// The batch loop: reads the run list that main wrote and runs the projects it
// names. Project runs are not wired in yet; see batch_loop.cpp.
#ifndef QND_DRIVER_BATCH_LOOP_H
#define QND_DRIVER_BATCH_LOOP_H

// Runs the batch described by the run list in coreDirectory (empty: the working
// directory). Returns the data type of the last project read.
int qndestart(char* coreDirectory);
// Releases the project held by PPP, if any.
void delete_project();

#endif  // QND_DRIVER_BATCH_LOOP_H
