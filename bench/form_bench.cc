// Load time of the demo form. Every label, choice list and list title is
// looked up in the message file afresh (no cache), so the cost grows with
// the file: here 5,000 entries with the form's own texts at the end.
#include <benchmark/benchmark.h>

#include "base/language.h"
#include "format/text_lines.h"
#include "forms/form_definition.h"
#include "platform/files.h"
#include "startup/program.h"
#include "testing/test_program.h"

namespace xt {
namespace {

constexpr int kEntries = 5000;

// A demo installation whose message file holds kEntries entries: filler
// texts first, then the demo's own entries.
class BigMessageFile {
 public:
  explicit BigMessageFile(const std::string& language) {
    copyTree(demoSourceDir(), t.root());
    std::string demo = *readWholeFile(t.root() + "LOCALE/XTANCAR.LNG");
    int demoEntries = static_cast<int>(splitLines(demo).size());
    std::string data;
    for (int i = 0; i < kEntries - demoEntries; ++i) {
      std::string n = std::to_string(i);
      data += "\"Text de prova " + n + ": \",\"Texto de prueba " + n + ": \",\"Texto de proba " + n +
              ": \",\"T\x8Axte de pr\x97va " + n + ": \"\r\n";
    }
    data += demo;
    writeWholeFile(t.root() + "LOCALE/XTANCAR.LNG", data);
    bytes = static_cast<int64_t>(data.size());
    t.program().settings.languageCode = language;
  }
  TestProgram t;
  int64_t bytes = 0;
};

void BM_LoadDemoForm(benchmark::State& state, const std::string& language) {
  BigMessageFile install(language);
  const std::string path = install.t.root() + "FORMS\\XTANCAR.JPN";
  for (auto _ : state) {
    FormLoadResult r = loadForm(install.t.program().fs, install.t.program().form, install.t.program().settings, path);
    if (!r.ok) state.SkipWithError(r.message.c_str());
    benchmark::DoNotOptimize(install.t.program().form.groupCount);
  }
  state.counters["msgfile_bytes"] = static_cast<double>(install.bytes);
}
BENCHMARK_CAPTURE(BM_LoadDemoForm, Spanish5000, std::string("SPA"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadDemoForm, Catalan, std::string("CAT"))->Unit(benchmark::kMillisecond);

// One lookup of a text near the end of the file: the cost of each label.
void BM_TranslateLastEntry(benchmark::State& state) {
  BigMessageFile install("SPA");
  const std::string text = "GENERANT CONTRASENYA INTRANET";
  for (auto _ : state) benchmark::DoNotOptimize(translateText(install.t.program().fs, install.t.program().settings, text));
}
BENCHMARK(BM_TranslateLastEntry)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace xt
