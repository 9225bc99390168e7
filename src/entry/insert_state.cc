#include "entry/insert_state.h"

#include "entry/entry.h"
#include "screen/screen.h"

namespace xt {

std::string insertStatePath(const Entry& entry) {
  // The toggle belongs to one keyboard: without a terminal directory the
  // session's own directory holds it, never a directory terminals share.
  const SessionSettings& settings = entry.screen.settings;
  const std::string& dir = settings.terminalDir.empty() ? settings.tempDir : settings.terminalDir;
  if (dir.empty()) return {};
  char last = dir.back();
  return dir + (last == '/' || last == '\\' ? "" : "\\") + "INSERT.TMP";
}

void loadInsertState(Entry& entry) {
  if (entry.state.insertStateLoaded) return;
  entry.state.insertStateLoaded = true;
  std::string path = insertStatePath(entry);
  bool insert = false;
  if (!path.empty()) {
    std::optional<std::string> content = entry.screen.fs.readWholeFile(path);
    insert = content && !content->empty() && (*content)[0] == '1';
  }
  entry.screen.console.setInsertMode(insert);
}

void saveInsertState(Entry& entry) {
  std::string path = insertStatePath(entry);
  if (path.empty()) return;
  (void)entry.screen.fs.replaceFileAtomically(path, entry.screen.console.insertMode() ? "1" : "0");
}

}  // namespace xt
