#include "data/file_table.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/language.h"
#include "data/data_files.h"
#include "platform/key_image.h"

namespace xt {

namespace {

constexpr int kKeyBufferSize = 256;
constexpr int kMaxNameLength = 255;

void clearSlot(FileSlot& slot) {
  slot.inUse = false;
  slot.fileId = 0;
  std::memset(slot.positionBlock, 0, sizeof slot.positionBlock);
  slot.recordLength = 0;
  slot.keyNumber = 0;
  slot.keyBuffer.clear();
  slot.recordAddress = nullptr;
  slot.recordCapacity = 0;
  slot.lockMode = 0;
}

// The Create specification from the dictionary: a 2-byte length, then that
// many bytes. A missing, empty or short dictionary gives what there is.
std::string readDictionary(DataFiles& files, const std::string& base) {
  std::string path = files.settings.rootDir + "ddf\\" + base + ".xdf";
  std::optional<std::string> content = files.fs.readWholeFile(path);
  if (!content || content->size() < 2) return {};
  int n = static_cast<int16_t>(readLe16(content->data()));
  if (n <= 0) return {};
  return content->substr(2, static_cast<size_t>(n));
}


}  // namespace

void showFileError(DataFiles& files, const std::string& name, int16_t status) {
  showFileProblem(files, 12, name, statusReason(files, status));
}

std::string statusReason(const DataFiles& files, int16_t status) {
  const std::string why = files.engine.lastError();
  return std::to_string(status) + (why.empty() ? "" : ": " + why);
}

std::string fileProblemText(const DataFiles& files, const std::string& name, const std::string& reason) {
  const std::string text = pickLanguage(files.settings, "NO ES POT ACCEDIR AL FITXER ",
                                         "NO SE PUEDE ACCEDER AL FICHERO ",
                                         "NOM SE PODE ACEDER AO FICHEIRO ",
                                         "NON SE P\xE3T ACCEDIR ATH FICH\xD4R " /* Ò, È */);
  return text + name + " (" + reason + ")";
}

void showFileProblem(DataFiles& files, int16_t row, const std::string& name, const std::string& reason) {
  alert(files.notices, row, fileProblemText(files, name, reason));
}

namespace {

// Stat into a fresh 1536-byte buffer of blanks; st is the engine's status.
std::string readStat(DataFiles& files, FileSlot& slot, int16_t& st) {
  std::vector<uint8_t> data(kDataBufferSize, ' ');
  uint8_t key[kKeyBufferSize];
  std::memset(key, ' ', 255);
  key[255] = 0;
  uint32_t length = kDataBufferSize;
  st = files.engine.call(op::kStat, slot.positionBlock, data.data(), length, key, 255, 0);
  return std::string(data.begin(), data.end());
}

// The record length and the length of key keyNumber (0 when there is no
// such key) from Stat; both 0 when Stat fails, whose status it returns.
int16_t readLengths(DataFiles& files, FileSlot& slot, int16_t keyNumber, int16_t& keyLength,
                    int32_t& recordLength) {
  keyLength = 0;
  recordLength = 0;
  int16_t st = status::kOk;
  std::string stat = readStat(files, slot, st);
  if (st != status::kOk) return st;
  const StatLayout layout = readStatLayout(stat);
  recordLength = layout.recordLength;
  // A key the answer does not hold whole has no length.
  if (keyNumber >= 0 && keyNumber < static_cast<int>(layout.keys.size()))
    keyLength = static_cast<int16_t>(layout.keys[static_cast<size_t>(keyNumber)].length);
  return st;
}

}  // namespace

std::string dataFileOwnerName() {
  // Four digits and the terminating NUL.
  std::string name;
  for (char digit : {'7', '3', '0', '5'}) name += digit;
  name += '\0';
  return name;
}

DataFileName splitDataFileName(const std::string& name) {
  DataFileName out;
  size_t cut = name.find_last_of(":\\/");
  size_t start = cut == std::string::npos ? 0 : cut + 1;
  out.directory = name.substr(0, start);
  size_t dot = name.find('.', start);
  if (dot == std::string::npos) {
    out.base = name.substr(start);
    out.extension = ".dat";
  } else {
    out.base = name.substr(start, dot - start);
    out.extension = name.substr(dot);
  }
  return out;
}

int16_t findFileSlot(const DataFiles& files, int16_t fileId) {
  int16_t freeSlot = 0;
  for (int16_t s = 1; s <= kFileSlots; ++s) {
    const FileSlot& slot = files.table.slots[s];
    if (!slot.inUse) freeSlot = s;
    else if (slot.fileId == fileId) return s;
  }
  return static_cast<int16_t>(-freeSlot);
}

int16_t openDataFile(DataFiles& files, int16_t fileId, const std::string& name, std::span<uint8_t> record) {
  int16_t r = findFileSlot(files, fileId);
  if (r > 0) return kStatusAlreadyOpen;
  if (r == 0) return kStatusNoFreeSlot;
  int16_t s = static_cast<int16_t>(-r);
  FileSlot& slot = files.table.slots[s];
  clearSlot(slot);
  slot.inUse = true;
  slot.fileId = fileId;
  slot.recordAddress = record.data();
  slot.recordCapacity = record.size();

  DataFileName parts = splitDataFileName(name);
  std::string fileName = parts.full().substr(0, kMaxNameLength);
  uint8_t key[kKeyBufferSize] = {};
  std::memcpy(key, fileName.data(), fileName.size());
  const std::string owner = dataFileOwnerName();
  bool created = false;

  for (;;) {
    std::vector<uint8_t> data(kDataBufferSize, ' ');
    std::memcpy(data.data(), owner.data(), owner.size());
    uint32_t length = static_cast<uint32_t>(owner.size());
    int16_t st = files.engine.call(op::kOpen, slot.positionBlock, data.data(), length, key,
                                     static_cast<int>(fileName.size()), 0);
    if (st == status::kFileLocked) {
      files.notices.beforePause();
      files.system.pause(3000);
      continue;
    }
    if (st == status::kFileNotFound && !created) {
      std::string fileSpec = readDictionary(files, parts.base);
      std::vector<uint8_t> create(std::max<size_t>(kDataBufferSize, fileSpec.size()), ' ');
      std::memcpy(create.data(), fileSpec.data(), fileSpec.size());
      uint32_t createLength = static_cast<uint32_t>(create.size());
      st = files.engine.call(op::kCreate, slot.positionBlock, create.data(), createLength, key,
                               static_cast<int>(fileName.size()), -1);
      // Open again, once; "already exists" is another terminal that made
      // the file since this one looked for it.
      if (st == status::kOk || st == status::kFileAlreadyExists) {
        created = true;
        continue;
      }
      // A terminal still has the file that was deleted under this name
      // open: waited for like a locked file, then looked for again.
      if (st == status::kFileLocked) {
        files.notices.beforePause();
        files.system.pause(3000);
        continue;
      }
    }
    if (st == status::kOk) {
      // Every request copies a whole record in and out of the caller's
      // buffer: a file with longer records (another dictionary, another
      // file under this name) is refused, not read past the buffer.
      int16_t keyLength = 0;
      int32_t recordLength = 0;
      st = readLengths(files, slot, 0, keyLength, recordLength);
      if (st == status::kOk) {
        if (static_cast<size_t>(recordLength) <= slot.recordCapacity) {
          slot.keyBuffer.assign(static_cast<size_t>(keyLength), '\0');
          slot.recordLength = recordLength;
          return status::kOk;
        }
        st = status::kDataBufferLength;
      }
    }
    // Fatal for the caller, who ends the program: the operator is told
    // here. The slot stays claimed.
    showFileError(files, name, st);
    return st;
  }
}

void queryKeyLength(DataFiles& files, int16_t fileId, int16_t keyNumber, int16_t& keyLength,
                    int32_t& recordLength) {
  keyLength = 0;
  recordLength = 0;
  int16_t s = findFileSlot(files, fileId);
  if (s > 0) (void)readLengths(files, files.table.slots[s], keyNumber, keyLength, recordLength);
}

int16_t resetAllFiles(DataFiles& files) {
  FileSlot& scratch = files.table.slots[0];
  std::memset(scratch.positionBlock, 0, sizeof scratch.positionBlock);
  uint8_t data[4] = {};
  uint8_t key[4] = {};
  uint32_t length = 0;
  int16_t st = files.engine.call(op::kReset, scratch.positionBlock, data, length, key, 0, 0);
  std::memset(scratch.positionBlock, 0, sizeof scratch.positionBlock);
  if (st == status::kOk)
    for (int s = 1; s <= kFileSlots; ++s) clearSlot(files.table.slots[s]);
  return st;
}

}  // namespace xt
