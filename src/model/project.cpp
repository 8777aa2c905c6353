// Construction of a project. The settings set their own defaults; the profile
// refers to the settings of its run.
#include "model/project.h"

Project::Project() {
  runnable = 0;
  profile.RunSettings = &s;
}
