// Cost of a keystroke in field entry on the in-memory console: typing into
// a field in overwrite and insert mode, and a whole field's life in a group
// (keys pushed, box drawn, value stored, next field).
#include <benchmark/benchmark.h>

#include "entry/field_editor.h"
#include "entry/field_entry.h"
#include "platform/key_codes.h"
#include "screen/active_keys.h"
#include "testing/test_program.h"

namespace xt {
namespace {

constexpr int kWidth = 40;

// One session per iteration: kWidth characters typed into an empty field,
// then Enter. Counters are per keystroke.
void typeIntoField(benchmark::State& state, bool insert) {
  TestProgram t;
  Program& p = t.program();
  p.entry.insertStateLoaded = true;
  p.console.setInsertMode(insert);
  setActiveKeys(p, "0d,1b", "+ea");
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < kWidth; ++i) t.console().pushKey(static_cast<int16_t>('a' + i % 26));
    t.console().pushKey(key::kEnter);
    std::string value(kWidth, ' ');
    state.ResumeTiming();
    int16_t row = 5, col = 10, lineWidth = 0, cursor = 1, key = 0;
    editFieldValue(p, row, col, lineWidth, value, cursor, key);
    benchmark::DoNotOptimize(value);
  }
  state.SetItemsProcessed(state.iterations() * (kWidth + 1));
}

void BM_TypeOverwrite(benchmark::State& state) { typeIntoField(state, false); }
void BM_TypeInsert(benchmark::State& state) { typeIntoField(state, true); }

// A field's whole life: one character and Enter on the first field of a
// two-field group, then Esc twice to leave (4 keystrokes).
void BM_FieldInGroup(benchmark::State& state) {
  TestProgram t;
  Program& p = t.program();
  p.entry.insertStateLoaded = true;
  p.form.groups.resize(2);
  p.form.groupCount = 1;
  FieldGroup& g = p.form.groups[1];
  g.groupKeys = "0d,1b,4800,5000,4900,5100,3e00";
  g.groupFieldCount = 2;
  g.fields.resize(3);
  for (int f = 1; f <= 2; ++f) {
    FieldDef& d = g.fields[static_cast<size_t>(f)];
    d.fieldLabel = "Camp: ";
    d.fieldRow() = static_cast<int16_t>(2 + f);
    d.fieldColumn() = 5;
    d.fieldWidth() = kWidth;
    d.fieldValue.assign(kWidth, ' ');
  }
  for (auto _ : state) {
    state.PauseTiming();
    t.console().pushKeys({'x', key::kEnter, key::kEsc, key::kEsc});
    state.ResumeTiming();
    benchmark::DoNotOptimize(enterGroup(p, 1));
  }
  state.SetItemsProcessed(state.iterations() * 4);
}

BENCHMARK(BM_TypeOverwrite);
BENCHMARK(BM_TypeInsert);
BENCHMARK(BM_FieldInGroup);

}  // namespace
}  // namespace xt
