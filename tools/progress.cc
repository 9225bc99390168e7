#include "tools/progress.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace xt {

namespace {

std::string duration(double seconds) {
  const auto total = static_cast<long long>(std::llround(seconds));
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  return text;
}

// The progress that may have a line on the terminal.
Progress* shown = nullptr;

// The rate and time left are guesses until this much time has gone by.
constexpr double kSteadyAfter = 0.2;

}  // namespace

std::string progressLine(const std::string& verb, uint64_t done, uint64_t total, double seconds) {
  std::string line = std::to_string(done);
  if (total > 0) line += "/" + std::to_string(total);
  line += " records " + verb;
  if (total > 0) line += " (" + std::to_string(std::min<uint64_t>(done, total) * 100 / total) + "%)";
  if (seconds >= kSteadyAfter && done > 0) {
    const double rate = static_cast<double>(done) / seconds;
    line += ", " + std::to_string(static_cast<long long>(std::llround(rate))) + "/s";
    if (total > done) line += ", " + duration(static_cast<double>(total - done) / rate) + " left";
  }
  return line;
}

bool standardErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return ::isatty(2) != 0;
#endif
}

bool standardOutputIsTerminal() {
#ifdef _WIN32
  return _isatty(1) != 0;
#else
  return ::isatty(1) != 0;
#endif
}

Progress::Progress(std::string verb, uint64_t total, bool enabled, Clock clock, Sink sink)
    : verb_(std::move(verb)), total_(total), enabled_(enabled), clock_(std::move(clock)), sink_(std::move(sink)) {
  if (!clock_) {
    clock_ = [] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    };
  }
  if (!sink_) {
    sink_ = [](const std::string& text) {
      std::fputs(text.c_str(), stderr);
      std::fflush(stderr);
    };
  }
  if (enabled_) {
    start_ = clock_();
    shown = this;
  }
}

void Progress::step() {
  ++done_;
  if (!enabled_) return;
  const double now = clock_();
  if (now - start_ < kFirstDraw || (lastDraw_ >= 0 && now - lastDraw_ < kInterval)) return;
  lastDraw_ = now;
  const std::string line = progressLine(verb_, done_, total_, now - start_);
  // A shorter line than the last one blanks what is left of it.
  const size_t width = line.size();
  sink_("\r" + line + std::string(shownWidth_ > width ? shownWidth_ - width : 0, ' '));
  shownWidth_ = std::max(shownWidth_, width);
}

void Progress::finish() {
  if (enabled_ && shownWidth_ > 0) sink_("\r" + std::string(shownWidth_, ' ') + "\r");
  enabled_ = false;
  shownWidth_ = 0;
  if (shown == this) shown = nullptr;
}

void Progress::finishShown() {
  if (shown) shown->finish();
}

}  // namespace xt
