#include "base/language.h"

#include <optional>

#include "base/item_reader.h"
#include "platform/binary_file.h"

namespace xt {

std::string translateText(FileSystem& fs, const SessionSettings& settings, const std::string& text) {
  const std::string& language = settings.languageCode;
  if (language == "CAT") return text;

  const std::string path = settings.rootDir + "LOCALE\\" + settings.formName + ".LNG";

  // The message file is created empty when it is missing, so that a
  // translator finds where the texts belong. Where it cannot be made (no
  // LOCALE directory) every text stays as it is. An existing file is only
  // read, so a read-only one serves as well.
  if (!fs.pathExists(path)) {
    BinaryFile file;
    if (!file.open(fs, path, BinaryFile::Mode::ReadWriteCreate).ok()) return text;
  }
  std::optional<std::string> data = fs.readWholeFile(path);
  if (!data) return text;

  // Entries of four items: Catalan key, Spanish, Galician, Aranese. The
  // first entry whose key is the whole text wins.
  ItemReader reader(*data);
  while (!reader.atEnd()) {
    std::string key = reader.readText();
    if (reader.atEnd()) break;  // a key that is the last item never matches
    std::string versions[3];
    bool present[3];
    for (int i = 0; i < 3; ++i) {
      versions[i] = reader.readText();
      present[i] = !reader.missed();
    }
    if (key != text) continue;
    int column = language == "SPA" ? 0 : language == "GLG" ? 1 : language == "OCI" ? 2 : -1;
    if (column < 0) return text;
    // A translation cut off by the end of the file is missing, not empty:
    // the Catalan text is better than a blank label.
    return present[column] ? versions[column] : text;
  }
  return text;
}

const std::string& pickLanguage(const SessionSettings& settings, const std::string& catalan,
                                const std::string& spanish, const std::string& galician,
                                const std::string& aranese) {
  const std::string& language = settings.languageCode;
  if (language == "SPA") return spanish;
  if (language == "GLG") return galician;
  if (language == "OCI") return aranese;
  return catalan;
}

}  // namespace xt
