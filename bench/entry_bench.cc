// Cost of a keystroke in field entry: typing into a field in overwrite
// and insert mode, and a whole field's life in a group (keys pushed, box
// drawn, value stored, next field). The console is the in-memory one with
// the terminal renderer behind its flush, so the figures include turning
// the changed cells into ANSI bytes, and bytes_per_key counts what a
// terminal would receive for each keystroke.
#include <benchmark/benchmark.h>

#include "entry/field_editor.h"
#include "entry/field_entry.h"
#include "platform/posix/ansi_renderer.h"
#include "platform/key_codes.h"
#include "platform/posix/posix_file_system.h"
#include "screen/active_keys.h"
#include "startup/program.h"
#include "testing/fake_console.h"
#include "testing/fake_system.h"

namespace xt {
namespace {

constexpr int kWidth = 40;

// Scripted keys like the test console; every flush (the editor flushes
// before each wait for a key) renders the changes as a terminal would get
// them.
class RenderingConsole : public FakeConsole {
 public:
  void flush() override {
    out_.clear();
    renderer_.render(screen_, CursorState{cursorRow_, cursorColumn_, cursorVisible_, cursorSize_}, out_);
    bytes += out_.size();
  }
  size_t bytes = 0;

 private:
  AnsiRenderer renderer_;
  std::string out_;
};

class NoEngine : public RecordEngine {
 public:
  int16_t call(int16_t, uint8_t*, uint8_t*, uint32_t&, uint8_t*, int, int16_t) override { return 1; }
};

struct BenchProgram {
  BenchProgram() : program(console, system, disk, engine) {
    program.entry.state.insertStateLoaded = true;
    console.flush();  // the first, full frame is not part of any keystroke
    console.bytes = 0;
  }
  RenderingConsole console;
  FakeSystem system;
  PosixFileSystem disk;
  NoEngine engine;
  Program program;
};

// One session per iteration: kWidth characters typed into an empty field,
// then Enter. Counters are per keystroke.
void typeIntoField(benchmark::State& state, bool insert) {
  BenchProgram b;
  Program& p = b.program;
  p.console.setInsertMode(insert);
  setActiveKeys(p.screen, "0d,1b", "+ea");
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < kWidth; ++i) b.console.pushKey(static_cast<int16_t>('a' + i % 26));
    b.console.pushKey(key::kEnter);
    std::string value(kWidth, ' ');
    state.ResumeTiming();
    int16_t row = 5, col = 10, lineWidth = 0, cursor = 1, key = 0;
    editFieldValue(p.entry, row, col, lineWidth, value, cursor, key);
    benchmark::DoNotOptimize(value);
  }
  auto keys = static_cast<double>(state.iterations() * (kWidth + 1));
  state.SetItemsProcessed(static_cast<int64_t>(keys));
  state.counters["bytes_per_key"] = static_cast<double>(b.console.bytes) / keys;
}

void BM_TypeOverwrite(benchmark::State& state) { typeIntoField(state, false); }
void BM_TypeInsert(benchmark::State& state) { typeIntoField(state, true); }

// A field's whole life: one character and Enter on the first field of a
// two-field group, then Esc twice to leave (4 keystrokes).
void BM_FieldInGroup(benchmark::State& state) {
  BenchProgram b;
  Program& p = b.program;
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
    b.console.pushKeys({'x', key::kEnter, key::kEsc, key::kEsc});
    state.ResumeTiming();
    benchmark::DoNotOptimize(enterGroup(p.entry, 1));
  }
  state.SetItemsProcessed(state.iterations() * 4);
  state.counters["bytes_per_key"] = static_cast<double>(b.console.bytes) / static_cast<double>(state.iterations() * 4);
}

BENCHMARK(BM_TypeOverwrite);
BENCHMARK(BM_TypeInsert);
BENCHMARK(BM_FieldInGroup);

}  // namespace
}  // namespace xt
