// Progress of a long run over a data file's records, on one line of the
// terminal (standard error): records done of the total, the rate and the
// time left, redrawn in place a few times a second and taken away at the
// end. Nothing is written when standard error is not a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace xt {

// The line for done of total records (total 0: not known) after seconds:
//   "12000/50000 records loaded (24%), 4000/s, 0:12 left"
// The rate and the time left are given once some time has gone by.
std::string progressLine(const std::string& verb, uint64_t done, uint64_t total, double seconds);

// Whether standard error goes to a terminal (a pseudo-terminal included).
bool standardErrorIsTerminal();
// Whether standard output does.
bool standardOutputIsTerminal();

class Progress {
 public:
  using Clock = std::function<double()>;  // seconds, only differences count
  using Sink = std::function<void(const std::string&)>;

  // Draws through sink when enabled; clock defaults to a steady clock and
  // sink to standard error.
  Progress(std::string verb, uint64_t total, bool enabled, Clock clock = {}, Sink sink = {});
  ~Progress() { finish(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // One more record done; the line is redrawn when enough time has passed.
  void step();
  // Takes the line away (when one was drawn); later steps draw nothing.
  void finish();
  // Takes away the line of the progress being drawn, if any, so that a
  // message can be written in its place.
  static void finishShown();

  // The first draw waits this long, so quick runs show nothing; later
  // draws come at most this often.
  static constexpr double kFirstDraw = 0.5;
  static constexpr double kInterval = 0.25;

 private:
  std::string verb_;
  uint64_t total_;
  bool enabled_;
  Clock clock_;
  Sink sink_;
  double start_ = 0;
  double lastDraw_ = -1;
  uint64_t done_ = 0;
  size_t shownWidth_ = 0;
};

}  // namespace xt
