// The Python module qndsumstat: the program's statistics computed inside a
// Python process, one project per call, with the numbers the program prints.
//   run(project, ssdefs, settings, workdir=None) -> {column: value}
//   run_many(projects, ssdefs, settings, workdir=None) -> (header, array)
//   project_from_haplotypes(haplotypes, samples, groups=None, data_type="DNA") -> text
// A project, a definition file or a settings file is given as a text (a str
// holding a line feed) or as a path. Texts are written into the call's
// directory: a temporary one, removed at the end, or workdir when given (kept;
// it then holds what "qndsumstat project.qnp out.txt 0 1" needs to repeat the
// run). The engine keeps its state in process-wide objects, so calls run one at
// a time under a lock, without the interpreter lock.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <stdlib.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/in_process.h"
#include "ms2qnp/ms_format.h"
#include "ms2qnp/project_writer.h"

namespace py = pybind11;
namespace fs = std::filesystem;

namespace {

std::mutex g_engine_mutex;
PyObject* g_project_error = nullptr;

// A project, definition or settings argument: its text, or the path of its file.
struct Source {
  bool is_text = false;
  std::string value;
};

std::string path_of(const py::handle& arg, const std::string& what) {
  const py::module_ os = py::module_::import("os");
  if (!py::isinstance<py::str>(arg) && !py::isinstance<py::bytes>(arg) &&
      !py::hasattr(arg, "__fspath__"))
    throw py::type_error(what + " must be a text or a path (str or os.PathLike), not " +
                         std::string(py::str(arg.get_type().attr("__name__"))));
  // The bytes of the path as the file system takes them.
  const std::string path = os.attr("fsencode")(os.attr("fspath")(arg)).cast<std::string>();
  if (path.empty() || path.find('\0') != std::string::npos)
    throw py::value_error(what + ": invalid path \"" + path + "\"");
  return path;
}

Source source_of(const py::handle& arg, const std::string& what) {
  if (py::isinstance<py::str>(arg)) {
    std::string text = arg.cast<std::string>();
    if (text.find('\n') != std::string::npos) return Source{true, std::move(text)};
  }
  return Source{false, path_of(arg, what)};
}

// A definition or settings file must exist: without it the program would
// silently compute nothing or run on default settings.
Source existing_file_source(const py::handle& arg, const std::string& what) {
  Source source = source_of(arg, what);
  if (!source.is_text && !fs::is_regular_file(source.value)) {
    const std::string message = what + ": no such file: " + source.value;
    PyErr_SetString(PyExc_FileNotFoundError, message.c_str());
    throw py::error_already_set();
  }
  return source;
}

// The directory of a call: a fresh temporary directory, removed with its
// contents at the end, or the caller's workdir, created when missing and kept.
class WorkArea {
 public:
  explicit WorkArea(const std::optional<std::string>& workdir) {
    if (workdir) {
      fs::create_directories(*workdir);
      path_ = *workdir;
    } else {
      std::string pattern = (fs::temp_directory_path() / "qndsumstat-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory in " +
                                 fs::temp_directory_path().string());
      path_ = pattern;
      temporary_ = true;
    }
    if (path_.back() != '/') path_ += '/';
  }
  ~WorkArea() {
    std::error_code ignored;
    if (temporary_) fs::remove_all(path_, ignored);
  }
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;

  const std::string& path() const { return path_; }

  // The path of a source's file: its own, or file_name in this directory,
  // where its text is written.
  std::string place(const Source& source, const std::string& file_name) const {
    if (!source.is_text) return source.value;
    const std::string path = path_ + file_name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << source.value;
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
    return path;
  }

 private:
  std::string path_;
  bool temporary_ = false;
};

// The tab-ended fields of a line of the program's output.
std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', from)) {
    fields.push_back(line.substr(from, tab - from));
    from = tab + 1;
  }
  return fields;
}

double number_of(const std::string& text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    throw std::runtime_error("the program printed \"" + text + "\", which is no number");
  return value;
}

// One project's outcome in Python terms.
struct ProjectResult {
  bool ran = false;
  std::vector<std::string> names;
  std::vector<double> values;
  std::string project;      // as named in messages
  std::string diagnostics;  // why it failed
  std::string log;
};

// The log lines that carry a numbered diagnostic, or the whole log when none
// does (a missing settings file, for example, is reported in words only).
std::string diagnostics_of(const std::string& log) {
  if (log.empty()) return "the project file cannot be opened";
  std::istringstream lines(log);
  std::string line;
  std::string found;
  while (std::getline(lines, line))
    if (line.find(" #[") != std::string::npos) found += line + '\n';
  if (found.empty()) found = log;
  while (!found.empty() && found.back() == '\n') found.pop_back();
  return found;
}

// Runs one project; called without the interpreter lock, under the engine lock.
ProjectResult run_one(const WorkArea& area, const Source& project, const std::string& definitions,
                      const std::string& settings) {
  in_process::Request request;
  request.project = area.place(project, "project.qnp");
  request.definitions = definitions;
  request.settings = settings;
  request.work_directory = area.path();
  const in_process::Outcome outcome = in_process::run_project(request);

  ProjectResult result;
  result.project = project.is_text ? "project text" : project.value;
  result.log = outcome.log;
  if (!outcome.ran) {
    result.diagnostics = diagnostics_of(outcome.log);
    return result;
  }
  result.ran = true;
  result.names = fields_of(outcome.header);
  for (const std::string& text : fields_of(outcome.values))
    result.values.push_back(number_of(text));
  if (result.names.size() != result.values.size())
    throw std::runtime_error(result.project + ": " + std::to_string(result.names.size()) +
                             " column names for " + std::to_string(result.values.size()) +
                             " values");
  return result;
}

[[noreturn]] void raise_project_error(const ProjectResult& result) {
  const std::string message = result.project + " could not be run:\n" + result.diagnostics;
  py::object error = py::reinterpret_borrow<py::object>(g_project_error)(message);
  error.attr("project") = result.project;
  error.attr("log") = result.log;
  PyErr_SetObject(g_project_error, error.ptr());
  throw py::error_already_set();
}

std::optional<std::string> workdir_of(const py::object& workdir) {
  if (workdir.is_none()) return std::nullopt;
  return path_of(workdir, "workdir");
}

py::dict run(const py::object& project, const py::object& ssdefs, const py::object& settings,
             const py::object& workdir) {
  const Source project_source = source_of(project, "project");
  const Source definitions = existing_file_source(ssdefs, "ssdefs");
  const Source settings_source = existing_file_source(settings, "settings");
  const std::optional<std::string> directory = workdir_of(workdir);
  ProjectResult result;
  {
    const py::gil_scoped_release unlocked;
    const std::lock_guard<std::mutex> engine(g_engine_mutex);
    const WorkArea area(directory);
    result = run_one(area, project_source, area.place(definitions, "ssdefs.txt"),
                     area.place(settings_source, "qnd_run.qns"));
  }
  if (!result.ran) raise_project_error(result);
  py::dict values;
  for (std::size_t i = 0; i < result.names.size(); ++i)
    values[py::str(result.names[i])] = result.values[i];
  return values;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

py::tuple run_many(const py::iterable& projects, const py::object& ssdefs,
                   const py::object& settings, const py::object& workdir) {
  if (py::isinstance<py::str>(projects) || py::isinstance<py::bytes>(projects) ||
      py::hasattr(projects, "__fspath__"))
    throw py::type_error("projects must be a sequence of projects, not a single one");
  std::vector<Source> sources;
  for (const py::handle project : projects)
    sources.push_back(source_of(project, "project " + std::to_string(sources.size())));
  const Source definitions = existing_file_source(ssdefs, "ssdefs");
  const Source settings_source = existing_file_source(settings, "settings");
  const std::optional<std::string> directory = workdir_of(workdir);

  std::vector<ProjectResult> results;
  {
    const py::gil_scoped_release unlocked;
    const std::lock_guard<std::mutex> engine(g_engine_mutex);
    const WorkArea area(directory);
    const std::string definitions_path = area.place(definitions, "ssdefs.txt");
    const std::string settings_path = area.place(settings_source, "qnd_run.qns");
    for (const Source& project : sources) {
      results.push_back(run_one(area, project, definitions_path, settings_path));
      // Ctrl-C stops a long list between two projects.
      const py::gil_scoped_acquire locked;
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
  }

  // The header comes from the first project that ran; every other project
  // that ran must give the same columns.
  const std::vector<std::string>* header = nullptr;
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (!results[i].ran) continue;
    if (header == nullptr) {
      header = &results[i].names;
    } else if (results[i].names != *header) {
      throw py::value_error("project " + std::to_string(i) + " gives the columns " +
                            joined(results[i].names) + ", the first project that ran " +
                            joined(*header));
    }
  }
  const std::size_t columns = header == nullptr ? 0 : header->size();
  py::array_t<double> table({results.size(), columns});
  auto cells = table.mutable_unchecked<2>();
  for (std::size_t i = 0; i < results.size(); ++i)
    for (std::size_t j = 0; j < columns; ++j)
      cells(i, j) =
          results[i].ran ? results[i].values[j] : std::numeric_limits<double>::quiet_NaN();
  py::list names;
  if (header != nullptr)
    for (const std::string& name : *header) names.append(py::str(name));
  return py::make_tuple(names, table);
}

// An integer array of the given dimension (booleans count as 0 and 1); floats
// are refused, not rounded.
py::array_t<long long> integer_array(const py::object& arg, int dimensions,
                                     const std::string& what) {
  const py::array array = py::module_::import("numpy").attr("asarray")(arg);
  const char kind = array.dtype().kind();
  // An empty list reads as an array of floats.
  if (kind != 'b' && kind != 'i' && kind != 'u' && array.size() > 0)
    throw py::type_error(what + " must hold integers, not " + std::string(py::str(array.dtype())));
  if (array.ndim() != dimensions)
    throw py::value_error(what + " must have " + std::to_string(dimensions) +
                          " dimension(s), not " + std::to_string(array.ndim()));
  return py::array_t<long long, py::array::c_style | py::array::forcecast>::ensure(array);
}

// Indices from 0, each used at least once; returns how many there are.
std::size_t index_count(const py::array_t<long long>& indices, const std::string& what,
                        const std::string& unit) {
  const auto view = indices.unchecked<1>();
  const py::ssize_t length = view.shape(0);
  std::vector<bool> used;
  for (py::ssize_t i = 0; i < length; ++i) {
    const long long index = view(i);
    if (index < 0 || index >= length)
      throw py::value_error(what + "[" + std::to_string(i) + "] is " + std::to_string(index) +
                            ", not a " + unit + " index from 0 to " + std::to_string(length - 1));
    if (static_cast<std::size_t>(index) >= used.size())
      used.resize(static_cast<std::size_t>(index) + 1, false);
    used[static_cast<std::size_t>(index)] = true;
  }
  for (std::size_t k = 0; k < used.size(); ++k)
    if (!used[k]) throw py::value_error(what + ": " + unit + " " + std::to_string(k) + " is empty");
  return used.size();
}

// The letter of allele code (0 to 3) at a site: 0 and 1 as the converter of
// simulator output writes them (a transition whose pair changes from site to
// site), 2 and 3 the other two nucleotides.
char dna_code_letter(long long code, std::size_t site) {
  static constexpr char kTwo[] = {'C', 'A', 'T', 'G'};
  static constexpr char kThree[] = {'T', 'G', 'C', 'A'};
  if (code <= 1) return ms2qnp::dna_letter(code == 1 ? '1' : '0', site);
  return code == 2 ? kTwo[site % 4] : kThree[site % 4];
}

std::string project_from_haplotypes(const py::object& haplotypes, const py::object& samples,
                                    const py::object& groups, const std::string& data_type) {
  if (data_type != "DNA" && data_type != "RFLP")
    throw py::value_error("data_type must be \"DNA\" or \"RFLP\", not \"" + data_type + "\"");
  const bool dna = data_type == "DNA";
  const auto matrix = integer_array(haplotypes, 2, "haplotypes");
  const auto copies = integer_array(samples, 1, "samples");
  const auto cells = matrix.unchecked<2>();
  const py::ssize_t rows = cells.shape(0);
  const py::ssize_t sites = cells.shape(1);
  if (rows == 0) throw py::value_error("haplotypes holds no gene copy");
  if (copies.shape(0) != rows)
    throw py::value_error("samples holds " + std::to_string(copies.shape(0)) +
                          " sample indices for " + std::to_string(rows) + " gene copies");
  const std::size_t sample_count = index_count(copies, "samples", "sample");

  ms2qnp::SampleSet set;
  set.title = "haplotypes";
  set.kind = dna ? ms2qnp::DataKind::Dna : ms2qnp::DataKind::Rflp;
  for (std::size_t s = 0; s < sample_count; ++s) set.add_sample("pop" + std::to_string(s + 1));
  const long long top_code = dna ? 3 : 1;
  const auto sample_of = copies.unchecked<1>();
  for (py::ssize_t r = 0; r < rows; ++r) {
    // Without sites, one invariant site: a project needs data.
    std::string content(sites == 0 ? 1 : static_cast<std::size_t>(sites), dna ? 'A' : '0');
    for (py::ssize_t site = 0; site < sites; ++site) {
      const long long code = cells(r, site);
      if (code < -1 || code > top_code)
        throw py::value_error("haplotypes[" + std::to_string(r) + ", " + std::to_string(site) +
                              "] is " + std::to_string(code) + ": " + data_type +
                              " allele codes are 0 to " + std::to_string(top_code) +
                              ", -1 for missing data");
      const auto at = static_cast<std::size_t>(site);
      content[at] = code == -1 ? '?'
                    : dna      ? dna_code_letter(code, at)
                               : static_cast<char>('0' + code);
    }
    set.add_copy(static_cast<std::size_t>(sample_of(r)), std::move(content));
  }
  if (!groups.is_none()) {
    const auto group_of = integer_array(groups, 1, "groups");
    if (static_cast<std::size_t>(group_of.shape(0)) != sample_count)
      throw py::value_error("groups holds " + std::to_string(group_of.shape(0)) +
                            " group indices for " + std::to_string(sample_count) + " samples");
    set.groups.resize(index_count(group_of, "groups", "group"));
    const auto view = group_of.unchecked<1>();
    for (std::size_t s = 0; s < sample_count; ++s)
      set.groups[static_cast<std::size_t>(view(static_cast<py::ssize_t>(s)))].push_back(s);
  }
  ms2qnp::Heading heading;
  heading.comment = "# " + std::to_string(rows) + " gene copies of " + std::to_string(sites) +
                    " sites in " + std::to_string(sample_count) +
                    " samples, written by qndsumstat.project_from_haplotypes" +
                    (sites == 0 ? " (one invariant site written)" : "") + ".\n";
  std::ostringstream out;
  ms2qnp::write_project(out, set, heading);
  return out.str();
}

}  // namespace

PYBIND11_MODULE(qndsumstat, m) {
  m.doc() =
      "Summary statistics of population-genetic data sets, computed in process: the same "
      "numbers as the qndsumstat program prints, one project per call.";
  g_project_error = PyErr_NewExceptionWithDoc(
      "qndsumstat.ProjectError",
      "A project could not be run. The message holds the diagnostics of the project's log; "
      "the attributes project and log hold its name and the whole log.",
      PyExc_Exception, nullptr);
  m.attr("ProjectError") = py::handle(g_project_error);

  m.def("run", &run, py::arg("project"), py::arg("ssdefs"), py::arg("settings"),
        py::arg("workdir") = py::none(),
        R"(Computes the statistics of one project.

project, ssdefs, settings: each a text (a str holding a line feed) or a path (str or
os.PathLike) of a project file (.qnp), a statistic definition file (ssdefs.txt) and a
settings file (qnd_run.qns). A project given as a path gets its result directory and
log next to it, as with the program; texts are written into a temporary directory,
removed at the end, or into workdir when given (project.qnp, ssdefs.txt, qnd_run.qns).

Returns {column name: value} in output order: the header and value line that
"qndsumstat project out.txt 0 1" writes, each value the float of the printed text.
Raises ProjectError when the project cannot be run, FileNotFoundError when the
definition or settings file is missing.)");

  m.def("run_many", &run_many, py::arg("projects"), py::arg("ssdefs"), py::arg("settings"),
        py::arg("workdir") = py::none(),
        R"(Computes the statistics of several projects, each as run() does.

Returns (header, table): the column names of the first project that ran and a
numpy array of one row per project, NaN throughout for a project that could not be
run. Raises ValueError when two projects that ran give different columns.)");

  m.def("project_from_haplotypes", &project_from_haplotypes, py::arg("haplotypes"),
        py::arg("samples"), py::arg("groups") = py::none(), py::arg("data_type") = "DNA",
        R"(Writes the project text of a set of gene copies.

haplotypes: integer matrix, gene copies x sites (msprime's genotype matrix
transposed, scrm's haplotypes), -1 for missing data. DNA: allele codes 0 to 3, 0 and
1 written as the two nucleotides of a transition as qndms2qnp writes them; RFLP: 0
and 1. samples: the sample index (from 0) of each gene copy; samples are named pop1,
pop2, ... groups: optional group index (from 0) of each sample, for a structure.
Identical gene copies of a sample share one haplotype.)");
}
