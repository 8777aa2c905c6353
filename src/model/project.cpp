// Construction of a project. The settings set their own defaults; the profile
// refers to the settings of its run.
#include "model/project.h"

unsigned long long Project::next_run_serial() {
  static unsigned long long last = 0;
  return ++last;
}

Project::Project() {
  runnable = 0;
  profile.RunSettings = &s;
}
