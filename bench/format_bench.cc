// Cost of the formatting calls the calendar and the calculator make per
// key: a quarter of the calendar draws about 400 weekdays and three month
// names; the calculator box formats up to 23 numbers.
#include <benchmark/benchmark.h>

#include "format/date_format.h"
#include "format/folding.h"
#include "format/picture.h"
#include "screen/calendar.h"
#include "testing/test_program.h"

namespace xt {
namespace {

void BM_FormatPicture(benchmark::State& state) {
  TestProgram t;
  double v = 1234567.891;
  for (auto _ : state) {
    benchmark::DoNotOptimize(formatPicture(t.program().format, "-Z,ZZZ,ZZZ,ZZZ,ZZ9.999", v));
    v += 1.5;
  }
}
BENCHMARK(BM_FormatPicture);

void BM_FormatDateLong(benchmark::State& state) {
  TestProgram t;
  std::string packed = "\x94\x9A\x8C\x87";  // 2026-12-07
  for (auto _ : state) benchmark::DoNotOptimize(formatDate(t.program().format, t.program().settings.languageCode, packed, 2, "DMA"));
}
BENCHMARK(BM_FormatDateLong);

void BM_WeekdayOf(benchmark::State& state) {
  std::string packed = "\x94\x9A\x8C\x87";
  for (auto _ : state) benchmark::DoNotOptimize(weekdayOf(packed));
}
BENCHMARK(BM_WeekdayOf);

void BM_FoldText(benchmark::State& state) {
  std::string text(80, '\x87');
  for (auto _ : state) benchmark::DoNotOptimize(foldText(text));
}
BENCHMARK(BM_FoldText);

}  // namespace
}  // namespace xt
