#include "entry/insert_state.h"

#include "platform/files.h"
#include "startup/program.h"

namespace xt {

std::string insertStatePath(const Program& program) {
  // The toggle belongs to one keyboard: without a terminal directory the
  // session's own directory holds it, never a directory terminals share.
  const SessionSettings& settings = program.settings;
  const std::string& dir = settings.terminalDir.empty() ? settings.tempDir : settings.terminalDir;
  if (dir.empty()) return {};
  char last = dir.back();
  return dir + (last == '/' || last == '\\' ? "" : "\\") + "INSERT.TMP";
}

void loadInsertState(Program& program) {
  if (program.entry.insertStateLoaded) return;
  program.entry.insertStateLoaded = true;
  std::string path = insertStatePath(program);
  bool insert = false;
  if (!path.empty()) {
    std::optional<std::string> content = readWholeFile(path);
    insert = content && !content->empty() && (*content)[0] == '1';
  }
  program.console.setInsertMode(insert);
}

void saveInsertState(Program& program) {
  std::string path = insertStatePath(program);
  if (path.empty()) return;
  (void)replaceFileAtomically(path, program.console.insertMode() ? "1" : "0");
}

}  // namespace xt
