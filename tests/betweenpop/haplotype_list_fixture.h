// Test fixture for computations over a project's haplotype list: the list, a
// profile, settings, a distance matrix and a temporary result directory that
// is removed after the test.
#ifndef QND_TESTS_BETWEENPOP_HAPLOTYPE_LIST_FIXTURE_H
#define QND_TESTS_BETWEENPOP_HAPLOTYPE_LIST_FIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/temp_dir.h"
#include "model/haplotypes.h"
#include "model/matrices.h"
#include "model/profile.h"
#include "settings/settings.h"
#include "text/my_string.h"

class HaplotypeListFixture : public ::testing::Test {
 protected:
  void add(const char* name, const std::string& content) {
    auto* h = new HaploDef(my_string(name));
    h->content = content;
    list_.add(h);
  }
  qnd_test::TempDir temp_;
  std::filesystem::path dir_ = temp_.path();
  my_string result_dir_{(temp_.path().string() + "/").c_str()};
  Haplo_DB list_;
  ProfileSettings profile_;
  settings s_;
  DistMat distmat_;
};

#endif  // QND_TESTS_BETWEENPOP_HAPLOTYPE_LIST_FIXTURE_H
