// Shared pieces of the fuzz targets: a fresh program on the in-memory
// console for every input, in one scratch installation kept for the whole
// run (creating a directory per input would cost more than the input), so
// each input meets the program's own reading code exactly as a file on
// disk would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "startup/program.h"
#include "testing/fake_console.h"
#include "testing/fake_system.h"
#include "testing/no_record_engine.h"
#include "testing/test_program.h"

namespace xt::fuzz {

inline std::string bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The installation shared by all inputs of one run: root/ with tmp/.
inline const ScratchDir& installation() {
  static ScratchDir dir;
  static bool made = (makeDirectories(dir.path() + "tmp").ok(), true);
  (void)made;
  return dir;
}

struct FuzzProgram {
  FuzzProgram() : program(console, system, engine) {
    const std::string root = installation().path();
    system.setEnv("TAVROOT", root);
    system.setEnv("TAVTMP", root + "tmp/");
    program.settings.rootDir = root;
    program.settings.tempDir = root + "tmp/";
    program.settings.terminalDir = root + "tmp/";
  }
  std::string root() const { return installation().path(); }
  void write(const std::string& relative, const std::string& content) const {
    installation().write(relative, content);
  }
  void remove(const std::string& relative) const { (void)removeFile(root() + relative); }

  FakeConsole console;
  FakeSystem system;
  NoRecordEngine engine;
  Program program;
};

// Changes into a directory for the lifetime of the object.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) : previous_(currentDirectory()) { changeDirectory(dir); }
  ~InDirectory() { changeDirectory(previous_); }

 private:
  std::string previous_;
};

}  // namespace xt::fuzz
