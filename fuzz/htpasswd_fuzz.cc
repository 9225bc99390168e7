// .HTPASSWD: the rewrite copies an arbitrary old file, adds or removes a
// user, and leaves a file in which every line ends with CR LF, the user
// appears exactly once (or not at all after a removal), and every other
// user's line of the old file is still there (lines without ":" are
// dropped).
#include <cstdlib>

#include "format/text_lines.h"
#include "fuzz/fuzz_support.h"
#include "intranet/access_files.h"
#include "platform/files.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& l : xt::splitLines(text))
    if (!l.empty()) out.push_back(l);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::fuzz::FuzzProgram t;
  const std::string old = xt::fuzz::bytes(data, size);
  t.write(".HTPASSWD", old);
  t.remove(".HTACCESS");
  bool remove = size > 0 && (data[0] & 1);
  xt::AccessStatus status = xt::rewriteAccessFiles(t.system, t.program.fs, t.root(), "OPER1", "OPER1", remove);
  if (status != xt::AccessStatus::Ok) return 0;
  auto now = t.program.fs.readWholeFile(t.root() + ".HTPASSWD");
  if (!now) std::abort();
  if (!now->empty() && now->size() >= 2 && now->compare(now->size() - 2, 2, "\r\n") != 0) std::abort();
  int mine = 0;
  for (const std::string& l : lines(*now))
    if (l.rfind("OPER1:", 0) == 0) ++mine;
  if (mine != (remove ? 0 : 1)) std::abort();
  // Every old line of another user survives.
  std::string joined = "\n" + *now;
  for (const std::string& l : lines(old)) {
    if (l.rfind("OPER1:", 0) == 0 || l.find(':') == std::string::npos) continue;
    if (l.find('\0') != std::string::npos) continue;
    if (joined.find("\n" + l + "\r\n") == std::string::npos) std::abort();
  }
  return 0;
}
