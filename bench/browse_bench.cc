// The browse list over operator files of different sizes: opening it
// (first page shown) must not depend on the number of records, and paging
// down must cost the same per page at the start and after 1,000 pages.
//
// The operator files are built once under the system's temporary
// directory (xt-browse-bench-<records>/) and reused by later runs.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "data/file_table.h"
#include "forms/operator_maintenance.h"
#include "lists/browse_list.h"
#include "platform/files.h"
#include "platform/key_codes.h"
#include "platform/record_engine.h"
#include "startup/program.h"
#include "testing/test_program.h"

namespace xt {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Answers PgDn to the first `pages` waits and Esc after that, noting the
// time of every wait.
class PagingConsole : public FakeConsole {
 public:
  InputEvent readEvent(int timeoutMs) override {
    if (timeoutMs == 0) return InputEvent{};  // nothing typed while records are read
    waits.push_back(Clock::now());
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.key = static_cast<int>(waits.size()) <= pages ? key::kPgDn : key::kEsc;
    return e;
  }
  int pages = 0;
  std::vector<Clock::time_point> waits;
};

std::string installationFor(int records) {
  std::string dir = (fs::temp_directory_path() / ("xt-browse-bench-" + std::to_string(records))).string() + "/";
  if (fileExists(dir + "complete")) return dir;
  fs::remove_all(dir);
  fs::create_directories(dir + "ddf");
  fs::copy_file(std::string(XT_SOURCE_DIR) + "/demo/ddf/Operador.xdf", dir + "ddf/Operador.xdf");

  // Records go straight through the record-manager call: the operation
  // log of the form would only add a db.log line per record.
  TestProgram t;
  t.program().settings.rootDir = dir;
  t.system().setEnv("TAVROOT", dir);
  OperatorRecord rec{};
  if (openDataFile(t.program().data, kOperatorFileId, dir + "Operador", recordBytes(rec)) != 0) return {};
  FileSlot& slot = t.program().data.table.slots[findFileSlot(t.program().data, kOperatorFileId)];
  for (int i = 0; i < records; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "O%07d", i);
    std::memcpy(rec.operatorCode, code, 8);
    std::memcpy(rec.operatorText, "BENCH   ", 8);
    rec.accessLevel = static_cast<uint8_t>(i % 2);
    uint8_t key[256] = {};
    uint32_t length = sizeof rec;
    if (t.engine().call(op::kInsert, slot.positionBlock, reinterpret_cast<uint8_t*>(&rec), length, key, 255, 0) != 0)
      return {};
  }
  (void)resetAllFiles(t.program().data);
  writeWholeFile(dir + "complete", "");
  return dir;
}

// A program on the installation with the form's list 1: rows 3..22 (18
// lines), columns 10..60.
struct BrowseRun {
  explicit BrowseRun(const std::string& root) : program(console, t.system(), t.fs(), t.engine()), form(program.entry, program.data, program.browse) {
    program.settings = t.program().settings;
    program.settings.rootDir = root;
    t.system().setEnv("TAVROOT", root);
    program.form.lookups.resize(2);
    LookupList& list = program.form.lookups[1];
    list.attr[0] = kOperatorFileId;
    list.attr[2] = 3;
    list.attr[3] = 10;
    list.attr[4] = 22;
    list.attr[5] = 60;
    list.lookupTitle = "CODI TEXT NIVELL";
    program.entry.hooks = &form;
    (void)openDataFile(program.data, kOperatorFileId, root + "Operador", recordBytes(form.record()));
  }
  ~BrowseRun() { (void)resetAllFiles(program.data); }

  int16_t browse() {
    int16_t list = 1, result = 0;
    browseList(program.entry, program.data, program.browse, list, result);
    return result;
  }

  TestProgram t;
  PagingConsole console;
  Program program;
  OperatorMaintenance form;
};

void BM_OpenFirstPage(benchmark::State& state) {
  std::string root = installationFor(static_cast<int>(state.range(0)));
  if (root.empty()) {
    state.SkipWithError("could not build the operator file");
    return;
  }
  BrowseRun run(root);
  for (auto _ : state) {
    run.console.waits.clear();
    benchmark::DoNotOptimize(run.browse());
  }
  state.counters["records"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_OpenFirstPage)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Per-page cost of PgDn over the first and the last 50 of 1,000 pages.
void BM_PageDown1000(benchmark::State& state) {
  std::string root = installationFor(1000000);
  if (root.empty()) {
    state.SkipWithError("could not build the operator file");
    return;
  }
  BrowseRun run(root);
  run.console.pages = 1000;
  double first = 0, last = 0;
  for (auto _ : state) {
    run.console.waits.clear();
    benchmark::DoNotOptimize(run.browse());
    const auto& w = run.console.waits;
    if (w.size() < 1001) {
      state.SkipWithError("the list ended early");
      return;
    }
    auto span = [&](size_t from, size_t to) {
      return std::chrono::duration<double, std::micro>(w[to] - w[from]).count() / static_cast<double>(to - from);
    };
    first += span(1, 51);
    last += span(950, 1000);
  }
  auto n = static_cast<double>(state.iterations());
  state.counters["us_per_page_first50"] = first / n;
  state.counters["us_per_page_last50"] = last / n;
  state.counters["ratio_last_first"] = last / first;
}
BENCHMARK(BM_PageDown1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace xt
