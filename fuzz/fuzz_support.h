// Shared pieces of the fuzz targets: a fresh program on the in-memory
// console for every input, over an installation in a file system held in
// memory for the whole run, so each input meets the program's own reading
// code exactly as a file on disk would, at no cost of the disk. The
// targets on the record engine (SQLite files) keep a scratch installation
// on the real disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "startup/program.h"
#include "testing/fake_console.h"
#include "testing/fake_system.h"
#include "testing/memory_file_system.h"
#include "testing/no_record_engine.h"
#include "testing/test_program.h"

namespace xt::fuzz {

inline std::string bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The scratch installation on the real disk for the record engine's
// targets, shared by all inputs of one run: root/ with tmp/.
inline const ScratchDir& installation() {
  static ScratchDir dir;
  static bool made = (makeDirectories(dir.path() + "tmp").ok(), true);
  (void)made;
  return dir;
}

// The file system in memory shared by all inputs of one run, with the
// installation /inst/ and its session directory /inst/tmp/.
inline MemoryFileSystem& memory() {
  static MemoryFileSystem fs;
  static bool made = (fs.makeDirectories("/inst/tmp").ok(), true);
  (void)made;
  return fs;
}

struct FuzzProgram {
  FuzzProgram() : program(console, system, memory(), engine) {
    const std::string root = this->root();
    system.setEnv("TAVROOT", root);
    system.setEnv("TAVTMP", root + "tmp/");
    program.settings.rootDir = root;
    program.settings.tempDir = root + "tmp/";
    program.settings.terminalDir = root + "tmp/";
  }
  std::string root() const { return "/inst/"; }
  void write(const std::string& relative, const std::string& content) const {
    const std::string path = root() + relative;
    (void)memory().makeDirectories(path.substr(0, path.rfind('/')));
    (void)memory().writeWholeFile(path, content);
  }
  void remove(const std::string& relative) const { (void)memory().removeFile(root() + relative); }

  FakeConsole console;
  FakeSystem system;
  NoRecordEngine engine;
  Program program;
};

}  // namespace xt::fuzz
