#include "testing/test_program.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/sqlite_engine.h"

namespace xt {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
#ifdef _WIN32
  // No mkdtemp on Windows: a random name, taken once the directory is made.
  std::random_device random;
  fs::path made;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "xt-test-%08x", static_cast<unsigned>(random()));
    made = fs::temp_directory_path() / name;
    std::error_code ec;
    if (fs::create_directory(made, ec)) break;
  }
  path_ = made.generic_string() + "/";  // forward slashes, as the program's paths have them
#else
  std::string tmpl = (fs::temp_directory_path() / "xt-test-XXXXXX").string();
  char* made = ::mkdtemp(tmpl.data());
  path_ = std::string(made ? made : tmpl.c_str()) + "/";
#endif
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void ScratchDir::openToEveryone() const {
  std::error_code ec;
  fs::permissions(path_, fs::perms::all, ec);
  for (const auto& entry : fs::recursive_directory_iterator(path_, ec))
    if (entry.is_directory(ec)) fs::permissions(entry.path(), fs::perms::all, ec);
}

void ScratchDir::write(const std::string& relative, const std::string& content) const {
  fs::path p = fs::path(path_) / relative;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << content;
}

std::string ScratchDir::read(const std::string& relative) const {
  std::ifstream in(fs::path(path_) / relative, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void copyTree(const std::string& from, const std::string& to) {
  // Without a trailing separator: Windows' C library finds no directory
  // named "dir/".
  const auto directory = [](const std::string& name) {
    fs::path p(name);
    return p.has_filename() ? p : p.parent_path();
  };
  fs::create_directories(directory(to));
  fs::copy(directory(from), directory(to), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string demoSourceDir() {
#ifdef XT_SOURCE_DIR
  return std::string(XT_SOURCE_DIR) + "/demo/";
#else
  return "demo/";
#endif
}

TestProgram::TestProgram() : TestProgram([](const std::string&) { return std::make_unique<SqliteEngine>(); }) {}

TestProgram::TestProgram(const EngineMaker& makeEngine) : engine_(makeEngine(dir_.path())) {
  fs::create_directories(temp());
  system_.setEnv("TAVROOT", root());
  system_.setEnv("TAVTMP", temp());
  program_ = std::make_unique<Program>(console_, system_, disk_, *engine_);
  program_->settings.rootDir = root();
  program_->settings.tempDir = temp();
  program_->settings.terminalDir = temp();
}

TestProgram::~TestProgram() = default;

}  // namespace xt
