// A fresh program for tests: the in-memory console, the fake system, a
// record engine, and a scratch installation directory (removed at the end)
// with TAVROOT and TAVTMP pointing into it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/native.h"
#include "startup/program.h"
#include "testing/fake_console.h"
#include "testing/fake_system.h"

namespace xt {

// A unique empty directory under the system's temporary directory, removed
// with its contents when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // Absolute path ending in "/".
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }
  // Writes a file (creating parent directories) under the directory.
  void write(const std::string& relative, const std::string& content) const;
  std::string read(const std::string& relative) const;
  // Lets every user into the directory and the directories under it and
  // make files there (for a test body run as another user).
  void openToEveryone() const;

 private:
  std::string path_;
};

// Copies a directory tree (used to take a fresh copy of demo/).
void copyTree(const std::string& from, const std::string& to);

// Path of the source tree's demo installation.
std::string demoSourceDir();

class TestProgram {
 public:
  // Makes the record engine for the installation at the given root.
  using EngineMaker = std::function<std::unique_ptr<RecordEngine>(const std::string& root)>;

  // root/ is the installation (TAVROOT), root/tmp/ the session (TAVTMP).
  // The engine is SQLite unless another is made.
  TestProgram();
  explicit TestProgram(const EngineMaker& makeEngine);
  ~TestProgram();

  Program& program() { return *program_; }
  FakeConsole& console() { return console_; }
  FakeSystem& system() { return system_; }
  // The real disk the program works on (its files under root()).
  FileSystem& fs() { return disk_; }
  RecordEngine& engine() { return *engine_; }
  const ScratchDir& dir() const { return dir_; }
  std::string root() const { return dir_.path(); }
  std::string temp() const { return dir_.path() + "tmp/"; }

 private:
  ScratchDir dir_;
  FakeConsole console_;
  FakeSystem system_;
  NativeFileSystem disk_;
  std::unique_ptr<RecordEngine> engine_;
  std::unique_ptr<Program> program_;
};

}  // namespace xt
