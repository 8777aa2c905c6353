// The run of one project: a cleaned working copy of the project file, reading,
// the check of the selected analyses against the data, then up to two passes of
// computations (groups of the structure pooled into samples, then the samples
// themselves), each handing its values to the summary record. Every message goes
// to the project's log (_AOS_); text meant for the result pages goes there too,
// as this program writes no result documents.
#include <cstdio>
#include <ctime>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "globals.h"
#include "model/population.h"
#include "model/project.h"
#include "project/cleaner.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"

namespace {

// TaskNumber groups tested by the run.
constexpr int kWithinPopulationTasks = 16895;  // 1 to 256 and 16384
constexpr int kGeneticStructureTasks = 75264;  // 512, 1024, 8192, 65536
static_assert(kWithinPopulationTasks == 511 + kTaskFuFsTest);
static_assert(kGeneticStructureTasks ==
              kTaskAmova + kTaskPairwiseFst + kTaskExactPopDifferentiation + kTaskMantelTest);
// Burn-ins below this are too short to forget the starting state.
constexpr int kMinDememorisationSteps = 500;
constexpr int kDefaultDememorisationSteps = 1000;

const char* const kSlashLine =
    "////////////////////////////////////////////////////////////////////\n";

std::ostream& run_log() { return *_AOS_; }

long elapsed_ms(std::clock_t since) {
  return static_cast<long>((std::clock() - since) * 1000 / CLOCKS_PER_SEC);
}

// Local time as day/month/year at hour:minute:second.
std::string time_text() {
  const std::time_t now = std::time(nullptr);
  char text[64] = {};
  if (const std::tm* local = std::localtime(&now))
    std::strftime(text, sizeof text, "%d/%m/%y at %H:%M:%S", local);
  return text;
}

// The file name of a path, without its directory.
my_string file_name_of(const my_string& path) {
  const std::string& text = path.str();
  const auto slash = text.find_last_of("/\\");
  return my_string(std::string_view(text).substr(slash == std::string::npos ? 0 : slash + 1));
}

bool can_open_for_reading(const my_string& path) {
  std::ifstream probe(path.c_str());
  return probe.is_open();
}

}  // namespace

void Project::build_result_names(const my_string& projectPath) {
  project_path = projectPath;
  project_name = file_name_of(projectPath);
  result_directory = projectPath;
  result_directory.remove_extension();
  result_directory += ".res/";
}

void Project::clean() {
  current_samples = &samples;
  current_structure = &structure;
  samples_pooled = false;
  samples.pops.Flush();
  structure.reset();
  haplotypes.reset();
  distmat.reset();
  profile.initialize();
  allele_vectors_built = false;
  pseudo_haplotypes_built = false;
  phenotypes_processed = false;
}

int Project::make_run_possible() {
  const char* const context = "Project::make_run_possible()";
  run_log() << "  Checking all selected options..." << std::endl;

  Samples& current = *current_samples;
  for (Population* p : current.pops) p->allele_db = &PopGenetics::globalAllelicDB;
  if (current.size() == 0) {
    E.error(Error, context, 123);
    return 0;
  }

  const bool genotypic = profile.GenotypicData != 0;
  const bool phase_known = profile.GameticPhase != 0;
  if (genotypic && phase_known && profile.RecessiveData != 0) {
    // Recessive alleles hide the second allele of a homozygote: its phase cannot
    // be known.
    E.error(Error, context, 138);
    return 0;
  }

  if (genotypic || !allele_vectors_built) {
    const std::clock_t start = std::clock();
    run_log() << "\t\tBuilding vectors of alleles..." << std::flush;
    if (genotypic) {
      current.build_all_vectors(ProfileSettings::LocusSeparator);
    } else {
      build_all_vectors();
      allele_vectors_built = true;
    }
    run_log() << "\n\t\tdone in " << elapsed_ms(start) << " ms\n" << std::flush;
  }
  if (!current.verify_data(haplotypes)) return 0;

  const bool need_pseudo_haplotypes =
      phase_known || (s.RecessiveAllelesEM == 0 &&
                      ((s.TaskNumber & (kTaskStandardIndices | kTaskMolecularDiversity)) != 0 ||
                       s.DetectSelectedLoci != 0));
  if (genotypic && need_pseudo_haplotypes && !pseudo_haplotypes_built) {
    run_log() << "\t\tProcessing phenotypes into pseudo-haplotypes..." << std::endl;
    current.phen_to_gam(&haplotypes, &profile, &s);
    pseudo_haplotypes_built = true;
    phenotypes_processed = true;
    if (!allele_vectors_built) {
      build_all_vectors();
      allele_vectors_built = true;
    }
  }

  if ((s.TaskNumber & kTaskHardyWeinberg) != 0) {
    if (!genotypic) {
      s.TaskNumber &= ~kTaskHardyWeinberg;
      run_log()
          << "     !!!Hardy-Weinberg disequilibrium test is not possible on Haplotypic data,\n"
          << "        this task will be skipped." << std::endl;
    } else if (profile.RecessiveData != 0) {
      s.TaskNumber &= ~kTaskHardyWeinberg;
      run_log() << "   !!!Hardy-Weinberg disequilibrium test is not possible with recessive data,\n"
                << "      skipping task...\n"
                << std::flush;
    }
  }
  if ((s.TaskNumber & kTaskGenotypeAssignment) != 0 && !genotypic) {
    s.TaskNumber &= ~kTaskGenotypeAssignment;
    run_log() << "   !!!The computation of the likelihood of all individuals in each\n"
              << "      population is only possible for Genotypic data \n"
              << "      skipping the task...\n"
              << std::flush;
  }
  if ((s.TaskNumber & kTaskAmova) != 0 && structure.num_groups() == 0) {
    s.TaskNumber &= ~kTaskAmova;
    run_log() << "  An AMOVA analysis was selected and no Genetic structure\n"
              << "  is defined, AMOVA task is skipped." << std::endl;
  }
  if (s.MarkovChainDememorisationStepsLD < kMinDememorisationSteps) {
    run_log() << " Too few steps for dememorization (" << s.MarkovChainDememorisationStepsLD
              << " ) in linkage disequilibrium test, setting it to 1000...\n"
              << std::flush;
    s.MarkovChainDememorisationStepsLD = kDefaultDememorisationSteps;
  }
  if (s.MarkovChainDememorisationStepsHW < kMinDememorisationSteps) {
    run_log() << " Too few steps for dememorization (" << s.MarkovChainDememorisationStepsHW
              << " ) in Hardy-Weinberg disequilibrium test, setting it to 1000...\n"
              << std::flush;
    s.MarkovChainDememorisationStepsHW = kDefaultDememorisationSteps;
  }

  const TDataType type = ProfileSettings::DataType;
  if (type == MICROSAT) s.TaskNumber &= ~(kTaskEwensWattersonTest | kTaskChakrabortyTest);
  if (type == FREQUENCY) s.InferHaplotypeDefinitionFromDistanceMatrix = 0;

  if ((s.InferHaplotypeDefinitionFromDistanceMatrix != 0 || s.EliminateRedondHaplodefs != 0) &&
      (!genotypic || phase_known)) {
    eliminate_redond_haplodef();
    if (s.ComputeDistanceMatrixAMOVA != 0) distmat.reset();
  }

  if (genotypic && !phase_known) {
    s.PrintMinSpannNetworkPop = 0;
    s.PrintMinSpannNetworkGlob = 0;
    s.PrintDistanceMatrix = 0;
    s.PrintPopDistMat = 0;
    s.PrintHaplDistMat = 0;
  }

  // The genetic-structure analyses need distances between haplotypes.
  if ((s.TaskNumber & (kTaskAmova | kTaskPairwiseFst)) != 0 && distmat.is_empty()) {
    run_log() << "    !!!No matrix was specified in input file, Quendris will compute it from the "
                 "data\n"
              << std::flush;
    if (type == STANDARD || type == FREQUENCY) {
      run_log() << "   !!!No molecular information is available for testing genetic structure,\n"
                << "      haplotype frequencies will be used, and conventional Fst will be "
                   "computed\n"
                << std::flush;
      s.ComputeDistanceMatrixAMOVA = 1;
      s.ComputeConventionalFST = 1;
    }
  }
  return 1;
}

namespace {

// What the selected keywords print for data of the current type, by the
// analysis whose values they are (the column table of the value line: the
// sequence statistics exist for DNA and RFLP data, private sites for DNA only,
// the Garza-Williamson indexes and ranges for microsatellites). The lists
// ALLSD_S, ALLSD_TAJIMAD and ALLSD_FUFS stay empty and TOT_TAJIMAD, TOT_FUFS,
// TOT_PI and GLOBALSD_FSTAT have no column: they report nothing.
struct ReportedValues {
  bool numbers_and_diversity = false;  // K and H
  bool garza_williamson = false;       // GW, NGW, allelic ranges
  bool molecular = false;              // S, private S, pi
  bool total_sites = false;            // TOT_S, counted from the allele database
  bool tajima = false;
  bool fu = false;
  bool linkage = false;
  bool fixation = false;  // the global F-statistics
  bool pairwise_differences = false;  // pairwise FST and pi
  bool delta_mu = false;

  explicit ReportedValues(const TSumStat& k, TDataType type) {
    const bool sequence = type == DNA || type == RFLP;
    numbers_and_diversity = k.ALL_K || k.ALLSD_K || k.MEAN_K || k.SD_K || k.TOT_K || k.ALL_H ||
                            k.ALLSD_H || k.MEAN_H || k.SD_H || k.TOT_H;
    garza_williamson = type == MICROSAT &&
                       (k.ALL_GW || k.ALLSD_GW || k.MEAN_GW || k.SD_GW || k.TOT_GW || k.ALL_NGW ||
                        k.ALLSD_NGW || k.MEAN_NGW || k.SD_NGW || k.ALL_RANGE || k.ALLSD_RANGE ||
                        k.MEAN_RANGE || k.SD_RANGE || k.TOT_RANGE);
    total_sites = sequence && k.TOT_S;
    molecular = total_sites ||
                (sequence && (k.ALL_S || k.MEAN_S || k.SD_S || k.ALL_PI || k.MEAN_PI || k.SD_PI ||
                              (type == DNA && k.PRIVATE_S)));
    tajima = sequence && (k.ALL_TAJIMAD || k.MEAN_TAJIMAD || k.SD_TAJIMAD);
    fu = sequence && (k.ALL_FUFS || k.MEAN_FUFS || k.SD_FUFS);
    linkage = k.MEAN_ALL_DPRIME || k.MEAN_ALL_R2 || k.ALL_ADJ_DPRIME || k.ALL_ADJ_R2 ||
              k.MEAN_ADJ_DPRIME || k.MEAN_ADJ_R2 || k.FLANK_DPRIME || k.FLANK_R2;
    fixation = k.GLOBAL_FSTAT;
    pairwise_differences = k.PAIRWISE_FST || k.PAIRWISE_PI;
    delta_mu = k.PAIRWISE_DMUSQR;
  }
};

void report_skipped(const char* analysis, const char* setting) {
  run_log() << "   !!!" << analysis << " (" << setting
            << "): no keyword of \"ssdefs.txt\" reports its values, skipping the task"
            << std::endl;
}

}  // namespace

void Project::skip_unreported_analyses() {
  if (!SumStat.sumStatMode) return;
  const ReportedValues reported(SumStat, ProfileSettings::DataType);
  const auto drop = [&](int bit, const char* analysis, const char* setting) {
    if ((s.TaskNumber & bit) == 0) return;
    s.TaskNumber &= ~bit;
    report_skipped(analysis, setting);
  };
  // Coalescent simulations (Tajima's and Fu's tests) and permutation tests
  // (AMOVA, pairwise comparisons) that the settings ask for keep their
  // analyses running, whatever is printed.
  const bool simulations = s.NumSimulFuTest > 0;
  const bool pairwise_permutations =
      s.NumPermutationsFST > 0 && (s.ComputePairwiseFST != 0 || s.PrintMissIntermatchs != 0);
  const bool amova_permutations = (s.TaskNumber & kTaskAmova) != 0 && s.NumPermutationsAMOVA > 0;

  if (!reported.linkage) drop(kTaskLinkageDisequilibrium, "Linkage disequilibrium", "TaskNumber 16");
  if (!reported.tajima && !simulations) drop(kTaskTajimaTest, "Tajima's test", "TaskNumber 64");
  if (!reported.fu && !simulations) drop(kTaskFuFsTest, "Fu's Fs test", "TaskNumber 16384");
  if (!reported.molecular)
    drop(kTaskMolecularDiversity, "Molecular diversity", "TaskNumber 2");
  // The standard indices also fill the allele database, from which TOT_S
  // counts the segregating sites; the mean allele sizes of microsatellites
  // come with them too.
  if (!reported.numbers_and_diversity && !reported.garza_williamson && !reported.total_sites &&
      !reported.delta_mu)
    drop(kTaskStandardIndices, "Standard diversity indices", "TaskNumber 1");

  const bool structure_reported =
      reported.fixation || reported.pairwise_differences || reported.delta_mu;
  if (!structure_reported && !pairwise_permutations && !amova_permutations) {
    if ((s.TaskNumber & kGeneticStructureTasks) != 0) {
      s.TaskNumber &= ~kGeneticStructureTasks;
      report_skipped("Genetic structure: AMOVA, pairwise comparisons",
                     "TaskNumber 512, 1024, 8192, 65536");
    }
  } else if (s.ComputeDeltaMuSqr != 0 && !reported.delta_mu) {
    // The pairwise comparisons run for (delta mu)^2 alone when no other task
    // asks for them; they then give the pairwise FST and pi as well.
    const bool pairwise_task = (s.TaskNumber & (kTaskPairwiseFst | kTaskMantelTest)) != 0;
    if (pairwise_task || (!reported.pairwise_differences && !pairwise_permutations)) {
      s.ComputeDeltaMuSqr = 0;
      report_skipped("(delta mu)^2", "ComputeDeltaMuSqr");
    }
  }
}

namespace {

// One pass of computations on the current samples of the project. The caller
// has made the samples of the pass current and set the level of SumStat.
void run_pass(Project& project, const char* heading) {
  settings& s = project.s;
  // A pass prints only the values it computes, never those of the pass before.
  SumStat.clearValues();
  if ((s.TaskNumber & kTaskGenotypeAssignment) != 0)
    run_log() << "The genotype assignment test is not available in qndsumstat: skipped."
              << std::endl;
  if ((s.TaskNumber & kWithinPopulationTasks) != 0) run_log() << heading << std::endl;
  PopGenetics::globalSubstPolymSites.clear();
  project.current_samples->compute_stuff(&project, s);
  if ((s.TaskNumber & kGeneticStructureTasks) != 0) project.GenStructCalculations(run_log());
}

void output_pass() {
  const TDataType type = ProfileSettings::DataType;
  // The header comes from the first project of the batch that runs through;
  // a failed project before it leaves no header text behind.
  if (!SumStat.header_complete) SumStat.outputHeader(type);
  SumStat.outputStats(type);
}

void group_pass(Project& project) {
  const ProfileSettings kept_profile = project.profile;
  // The settings as the checks of the data left them: conventional FST for data
  // without molecular information, tasks the data do not allow switched off.
  const settings kept_settings = project.s;
  {
    Samples pooled;
    Structure flat;
    pooled.profile = project.profile;
    flat.profile = project.profile;
    project.poolSamplesInGroups(project.samples, project.structure, pooled, flat);
    project.current_samples = &pooled;
    project.current_structure = &flat;
    project.samples_pooled = true;
    SumStat.groupPass = true;

    run_pass(project, "\n== ANALYSES AT THE INTRA-GROUP LEVEL");

    project.current_samples = &project.samples;
    project.current_structure = &project.structure;
    project.samples_pooled = false;
  }
  project.profile = kept_profile;
  // The population pass starts from the same settings as the group pass, not
  // from the file again: its values must not depend on whether the group level
  // was selected too.
  project.s = kept_settings;
  output_pass();
}

void population_pass(Project& project) {
  SumStat.groupPass = false;
  project.current_samples = &project.samples;
  project.current_structure = &project.structure;
  project.samples_pooled = false;

  run_pass(project, "\n== ANALYSES AT THE INTRA-POPULATION LEVEL");

  if (project.s.DetectSelectedLoci != 0) {
    const std::clock_t start = std::clock();
    run_log() << "The detection of loci under selection is not available in qndsumstat: skipped.\n";
    run_log() << "done with detection of loci under selection! (" << elapsed_ms(start) << "ms)\n"
              << std::flush;
  }
  output_pass();
}

}  // namespace

int Project::run() {
  if (!runnable) {
    run_log() << "\n No valid project is opened...." << std::endl;
    return 0;
  }

  // The readers read the cleaned copy of the project, which the clean-up
  // serves from memory for the length of the run.
  cleaner cleanup;
  cleanup.execute(ProfileSettings::LocusSeparator, settings::input_file.c_str());
  const my_string cleaned = cleanup.get_clean_proj();
  if (!cleaned.is_null()) {
    settings::input_file = cleaned;
    project_path = cleaned;
    project_name = file_name_of(cleaned);
    result_directory = cleanup.get_proj_dir();
  } else if (can_open_for_reading(settings::input_file)) {
    // Opened, yet nothing to clean: not a regular file.
    run_log() << "\nAn error has occurred while cleaning-up the project...\n" << std::endl;
  }

  start_clock = std::clock();
  ++run_counter;
  run_serial = next_run_serial();
  run_log() << kSlashLine << "RUN NUMBER " << run_counter << " (" << time_text() << ")\n"
            << kSlashLine << std::flush;
  run_log() << "\nReading Project: " << project_name << std::endl;

  profile.initialize();
  PopGenetics::globalAllelicDB.destroy();
  if (!newOpen()) {
    run_log() << "Error opening project..." << std::endl;
    clean();
    cleanup.rm_clean_files();
    return 0;
  }

  samples.convert_dna_upper(haplotypes);
  const char separator = ProfileSettings::LocusSeparator;
  if (separator != '\0' && samples.rm_separators(haplotypes, separator) > 0) {
    run_log() << "\tWarning: the locus separator ('" << separator
              << "') has been removed from the sequences" << std::endl;
  }

  s.genotypicData = profile.GenotypicData;
  s.gameticPhaseKnown = profile.GameticPhase;
  if (!make_run_possible()) {
    run_log() << "\nOne of the scheduled task is not possible with these data,"
              << "for more details look into 'Quendris_log.txt'" << std::endl;
    clean();
    cleanup.rm_clean_files();
    return 0;
  }
  skip_unreported_analyses();

  samples.evaluate_work(s);

  bool group_level = false;
  bool population_level = false;
  if (SumStat.sumStatMode) {
    group_level = SumStat.GROUP_LEVEL;
    population_level = SumStat.POP_LEVEL;
  } else {
    group_level = s.ComputeSumStatsWithinGroups != 0;
    population_level = true;
  }
  if (group_level) group_pass(*this);
  if (population_level) population_pass(*this);

  const std::string end_time = time_text();
  clean();
  cleanup.rm_clean_files();
  long ms = elapsed_ms(start_clock);
  const long hours = ms / 3600000;
  ms -= hours * 3600000;
  const long minutes = ms / 60000;
  ms -= minutes * 60000;
  const long seconds = ms / 1000;
  ms -= seconds * 1000;
  run_log() << "\n"
            << kSlashLine << "END OF RUN NUMBER " << run_counter << " (" << end_time << ")"
            << "\nTotal computing time for this run : " << hours << "h " << minutes << "m "
            << seconds << "s " << ms << " ms\n"
            << kSlashLine << std::flush;
  return 1;
}
