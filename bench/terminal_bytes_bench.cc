// What the whole program writes to its terminal per key: xtancar runs on a
// fresh copy of the demo installation inside a pseudo-terminal of 80x25
// (its controlling terminal, since it opens /dev/tty), and the bytes it
// sends back after each key are counted. Two cases: a character typed into
// the operator code field (the character itself is one byte), and an arrow
// key in the browse list that F4 opens on that field.
//
// The program is build/xtancar beside this benchmark, or the one named by
// XT_PROGRAM (to compare two builds); the demo is installed with
// scripts/install-demo.sh and that build's xtdata.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace xt {
namespace {

namespace fs = std::filesystem;

std::string buildDir() { return fs::read_symlink("/proc/self/exe").parent_path().string(); }

// A fresh demo installation in a scratch directory, removed at the end.
class DemoInstallation {
 public:
  DemoInstallation() {
    std::string pattern = (fs::temp_directory_path() / "xt-bench-demo.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    root_ = pattern + "/";
    const std::string command = std::string("'") + XT_SOURCE_DIR + "/scripts/install-demo.sh' '" +
                                buildDir() + "' '" + root_ + "' >/dev/null";
    if (std::system(command.c_str()) != 0) {
      fs::remove_all(root_);
      root_.clear();
    }
  }
  ~DemoInstallation() {
    if (!root_.empty()) fs::remove_all(root_);
  }
  DemoInstallation(const DemoInstallation&) = delete;
  DemoInstallation& operator=(const DemoInstallation&) = delete;

  bool ok() const { return !root_.empty(); }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

// The program on the slave side of a pseudo-terminal; the benchmark types
// into and reads from the master side.
class ProgramOnPty {
 public:
  ProgramOnPty(const std::string& program, const std::string& root) {
    struct winsize ws{};
    ws.ws_row = 25;
    ws.ws_col = 80;
    // forkpty gives the child a new session with the slave as its
    // controlling terminal (setsid + TIOCSCTTY), so /dev/tty is the pty.
    pid_ = ::forkpty(&master_, nullptr, nullptr, &ws);
    if (pid_ == 0) {
      ::setenv("TAVROOT", root.c_str(), 1);
      ::setenv("TAVTMP", (root + "sessio/").c_str(), 1);
      ::setenv("TERM", "xterm", 1);
      ::setenv("LANG", "C.UTF-8", 1);
      ::setenv("LC_ALL", "C.UTF-8", 1);
      ::unsetenv("ESCDELAY");
      if (::chdir(root.c_str()) != 0) ::_exit(126);
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~ProgramOnPty() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      drain(100);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }
  ProgramOnPty(const ProgramOnPty&) = delete;
  ProgramOnPty& operator=(const ProgramOnPty&) = delete;

  bool started() const { return pid_ > 0 && master_ >= 0; }

  void type(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::write(master_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  }

  // Reads until the screen so far contains text; false after timeoutMs.
  bool waitFor(std::string_view text, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (seen_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || readSome(static_cast<int>(left.count())) == 0) return false;
    }
    return true;
  }

  // The reply to one key: everything written until the terminal has been
  // quiet for quietMs after the first byte (which may take up to 2 s).
  size_t reply(int quietMs = 40) {
    size_t n = readSome(2000);
    if (n == 0) return 0;
    return n + drain(quietMs);
  }

  // Reads until quiet for quietMs; the number of bytes read.
  size_t drain(int quietMs) {
    size_t total = 0;
    while (size_t n = readSome(quietMs)) total += n;
    return total;
  }

 private:
  size_t readSome(int timeoutMs) {
    struct pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return 0;
    char buf[16384];
    ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) return 0;
    seen_.append(buf, static_cast<size_t>(n));
    if (seen_.size() > (1u << 20)) seen_.erase(0, seen_.size() - 4096);
    return static_cast<size_t>(n);
  }

  pid_t pid_ = -1;
  int master_ = -1;
  std::string seen_;
};

std::string programPath() {
  const char* chosen = std::getenv("XT_PROGRAM");
  return chosen && *chosen ? std::string(chosen) : buildDir() + "/xtancar";
}

// The form is up when its key help line is on the screen.
constexpr std::string_view kFormShown = "Esc Surt";
constexpr int kStartTimeoutMs = 10000;

void BM_BytesPerTypedCharacter(benchmark::State& state) {
  DemoInstallation demo;
  if (!demo.ok()) {
    state.SkipWithError("cannot install the demo (build xtancar and xtdata first)");
    return;
  }
  ProgramOnPty program(programPath(), demo.root());
  if (!program.started() || !program.waitFor(kFormShown, kStartTimeoutMs)) {
    state.SkipWithError("the form did not come up");
    return;
  }
  program.drain(200);
  // Up to 8 characters into the code field, then rubbed out again (not
  // counted) so the field never fills.
  constexpr int kRun = 8;
  size_t bytes = 0;
  int typed = 0;
  for (auto _ : state) {
    program.type(std::string(1, static_cast<char>('A' + typed % kRun)));
    size_t n = program.reply();
    if (n == 0) {
      state.SkipWithError("no reply to a typed character");
      break;
    }
    bytes += n;
    if (++typed % kRun == 0) {
      state.PauseTiming();
      for (int i = 0; i < kRun; ++i) {
        program.type("\x7f");
        program.reply();
      }
      state.ResumeTiming();
    }
  }
  state.counters["bytes_per_char"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_BytesPerTypedCharacter)->Iterations(48)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_BytesPerBrowseArrowKey(benchmark::State& state) {
  DemoInstallation demo;
  if (!demo.ok()) {
    state.SkipWithError("cannot install the demo (build xtancar and xtdata first)");
    return;
  }
  ProgramOnPty program(programPath(), demo.root());
  if (!program.started() || !program.waitFor(kFormShown, kStartTimeoutMs)) {
    state.SkipWithError("the form did not come up");
    return;
  }
  program.drain(200);
  program.type("\x1bOS");  // F4: the list of operators
  if (!program.waitFor("ADMIN", kStartTimeoutMs)) {
    state.SkipWithError("the browse list did not open");
    return;
  }
  program.drain(200);
  size_t bytes = 0;
  int64_t keys = 0;
  for (auto _ : state) {
    program.type(keys % 2 == 0 ? "\x1b[B" : "\x1b[A");  // down and back up
    size_t n = program.reply();
    if (n == 0) {
      state.SkipWithError("no reply to an arrow key");
      break;
    }
    bytes += n;
    ++keys;
  }
  state.counters["bytes_per_key"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_BytesPerBrowseArrowKey)->Iterations(40)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace xt
