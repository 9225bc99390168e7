// What the terminal console costs: bytes sent for a one-character change
// and for a full repaint of the 80x25 screen, and key decoder throughput.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/posix/ansi_renderer.h"
#include "platform/posix/key_decoder.h"

namespace xt {
namespace {

// A form-like screen: a blue background, a title bar, framed fields in
// another colour, text in between.
void drawForm(ScreenBuffer& s) {
  s.fill(Cell{' ', 0x1F});
  for (int c = 1; c <= 80; ++c) s.set(1, c, Cell{static_cast<uint8_t>(c < 20 ? 'A' + c : ' '), 0x4E});
  for (int r = 3; r <= 22; r += 2) {
    for (int c = 3; c <= 20; ++c) s.set(r, c, Cell{static_cast<uint8_t>('a' + (c % 26)), 0x1F});
    for (int c = 24; c <= 60; ++c) s.set(r, c, Cell{static_cast<uint8_t>(c % 3 ? 'x' : 0x82), 0x70});
  }
  for (int c = 2; c <= 79; ++c) s.set(24, c, Cell{0xCD, 0x1B});
}

void BM_RenderOneCharacterChange(benchmark::State& state) {
  ScreenBuffer screen;
  drawForm(screen);
  AnsiRenderer renderer;
  std::string out;
  renderer.render(screen, CursorState{3, 24, true, 50}, out);
  size_t bytes = 0;
  int64_t frames = 0;
  int column = 24;
  for (auto _ : state) {
    // Typing into a field: one cell changes, the cursor moves one right.
    screen.set(3, column, Cell{static_cast<uint8_t>('A' + frames % 26), 0x70});
    column = column == 60 ? 24 : column + 1;
    out.clear();
    renderer.render(screen, CursorState{3, column, true, 50}, out);
    bytes += out.size();
    ++frames;
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes_per_frame"] = static_cast<double>(bytes) / static_cast<double>(frames);
}
BENCHMARK(BM_RenderOneCharacterChange);

void BM_RenderOneCharacterElsewhere(benchmark::State& state) {
  // One cell away from the cursor changes (a clock, a status letter): move
  // there, write, move the cursor back.
  ScreenBuffer screen;
  drawForm(screen);
  AnsiRenderer renderer;
  std::string out;
  const CursorState cursor{3, 24, true, 50};
  renderer.render(screen, cursor, out);
  size_t bytes = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    screen.set(12, 40, Cell{static_cast<uint8_t>(frames % 2 ? '-' : '+'), 0x1F});
    out.clear();
    renderer.render(screen, cursor, out);
    bytes += out.size();
    ++frames;
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes_per_frame"] = static_cast<double>(bytes) / static_cast<double>(frames);
}
BENCHMARK(BM_RenderOneCharacterElsewhere);

void BM_RenderFullRepaint(benchmark::State& state) {
  ScreenBuffer screen;
  drawForm(screen);
  AnsiRenderer renderer;
  std::string out;
  size_t bytes = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    renderer.invalidate();
    out.clear();
    renderer.render(screen, CursorState{3, 24, true, 50}, out);
    bytes += out.size();
    ++frames;
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes_per_frame"] = static_cast<double>(bytes) / static_cast<double>(frames);
}
BENCHMARK(BM_RenderFullRepaint);

void BM_RenderFullRepaintEveryCellNewColour(benchmark::State& state) {
  ScreenBuffer screen;
  for (int r = 1; r <= 25; ++r)
    for (int c = 1; c <= 80; ++c)
      screen.set(r, c, Cell{static_cast<uint8_t>(0x80 + (r * c) % 128), static_cast<uint8_t>(r * 80 + c)});
  AnsiRenderer renderer;
  std::string out;
  size_t bytes = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    renderer.invalidate();
    out.clear();
    renderer.render(screen, CursorState{}, out);
    bytes += out.size();
    ++frames;
  }
  state.counters["bytes_per_frame"] = static_cast<double>(bytes) / static_cast<double>(frames);
}
BENCHMARK(BM_RenderFullRepaintEveryCellNewColour);

void BM_DecodeKeys(benchmark::State& state) {
  // 16 keys: text, UTF-8, function and editing keys, Alt letters, a click.
  const std::string input =
      "ab\xc3\xa9\xe2\x82\xac\x1bOP\x1b[1;2P\x1b[15;5~\x1b[1;5D\x1b[3~\x1bx\x1b" "c"
      "\x1b[Z\r\x7f\x1b[<0;10;5m\x1b\x1b[A";
  constexpr int kKeysPerChunk = 16;
  KeyDecoder decoder;
  int64_t now = 0;
  int64_t keys = 0;
  for (auto _ : state) {
    decoder.feed(input, now);
    while (auto e = decoder.next(now)) {
      benchmark::DoNotOptimize(e->key);
      ++keys;
    }
    ++now;
  }
  if (keys != kKeysPerChunk * static_cast<int64_t>(state.iterations()))
    state.SkipWithError("decoder lost keys");
  state.SetItemsProcessed(keys);
  state.SetBytesProcessed(static_cast<int64_t>(input.size()) * state.iterations());
}
BENCHMARK(BM_DecodeKeys);

}  // namespace
}  // namespace xt
