// Test helper: the log capture of the project tests, for the statistics tests
// that name it without a namespace.
#ifndef QND_TESTS_WITHINPOP_LOG_CAPTURE_H
#define QND_TESTS_WITHINPOP_LOG_CAPTURE_H

#include "../project/log_capture.h"

using qnd_project_test::LogCapture;

#endif  // QND_TESTS_WITHINPOP_LOG_CAPTURE_H
