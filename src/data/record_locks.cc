#include "data/record_locks.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string_view>

#include "base/language.h"
#include "data/data_files.h"
#include "data/file_table.h"
#include "format/fixed_text.h"
#include "platform/key_codes.h"

namespace xt {

namespace {

using namespace lock_field;

void setField(std::string& record, size_t at, size_t size, std::string_view value) {
  record.replace(at, size, fitText(value, size));
}

bool isBlank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

// Leading blanks, an optional minus sign and digits; anything else ends
// the number (a blank or damaged field reads as 0).
int64_t leadingNumber(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = i < s.size() && s[i] == '-';
  if (negative) ++i;
  int64_t value = 0;
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && value < 1000000000000; ++i)
    value = value * 10 + (s[i] - '0');
  return negative ? -value : value;
}

// The installation root + "LOCKS": the directory of the lock files of the installation.
std::string lockDirectory(const DataFiles& files) {
  std::string root = files.settings.rootDir;
  if (!root.empty() && root.back() != '/' && root.back() != '\\') root += '/';
  return root + "LOCKS";
}

void freeRecord(std::string& record) {
  setField(record, kNameAt, kNameSize, "");
  setField(record, kOwnerAt, kOwnerSize, "");
  record[kTypeAt] = ' ';
}

struct Identity {
  std::string name;   // 15 characters
  std::string owner;  // 11 characters
};

Identity ownIdentity(const DataFiles& files) {
  return {fitText(files.locks.computerName, kNameSize),
          fitText(std::to_string(files.locks.ownerId), kOwnerSize)};
}

bool heldBy(const std::string& record, const Identity& id) {
  return record.compare(kNameAt, kNameSize, id.name) == 0 &&
         record.compare(kOwnerAt, kOwnerSize, id.owner) == 0;
}

// The key lengths stored in a record, kept within the key fields.
size_t keyLength(const std::string& record, size_t at) {
  return static_cast<size_t>(std::clamp<int64_t>(leadingNumber(record.substr(at, kLengthSize)), 0,
                                                 kKeySize));
}

// Whether the range first..last meets the record's key range, comparing as
// many bytes as the shorter key of each pair has.
bool rangesMeet(const std::string& record, const std::string& first, const std::string& last) {
  size_t l1 = std::min(keyLength(record, kFirstLengthAt), first.size());
  size_t l2 = std::min(keyLength(record, kLastLengthAt), last.size());
  std::string_view recordFirst(record.data() + kFirstKeyAt, l2);
  std::string_view recordLast(record.data() + kLastKeyAt, l1);
  if (std::string_view(first).substr(0, l1) > recordLast) return false;
  if (std::string_view(last).substr(0, l2) < recordFirst) return false;
  return true;
}

enum class Attempt { Held, Conflict, NoLockFile };

// One scan of the lock file and, without a conflict, the write of this
// terminal's record. NoLockFile when the file cannot be opened, with the
// reason in openFailure.
Attempt scanAndWrite(DataFiles& files, const std::string& fileName, char type, const std::string& firstKey,
                     const std::string& lastKey, FileResult& openFailure) {
  BinaryFile file;
  openFailure = openLockFile(files, lockDirectory(files), fileName, file);
  if (!openFailure.ok()) return Attempt::NoLockFile;
  const Identity own = ownIdentity(files);
  const int64_t staleBefore = static_cast<int64_t>(lockTimeNow(files)) - kStaleLockMinutes;
  // A short record at the end (a write cut off) is overwritten by an append.
  const int64_t count = file.size() / kLockRecordSize;
  int64_t write = count;
  bool conflict = false;

  for (int64_t pos = 0;; ++pos) {
    std::string record = file.readAt(pos * kLockRecordSize, kLockRecordSize);
    if (record.size() < static_cast<size_t>(kLockRecordSize)) break;
    if (!isBlank(std::string_view(record).substr(kOwnerAt, kOwnerSize)) &&
        leadingNumber(std::string_view(record).substr(kStampAt, kStampSize)) < staleBefore) {
      freeRecord(record);
      (void)file.writeAt(pos * kLockRecordSize, record);
    }
    const char held = record[kTypeAt];
    if (held == ' ') {
      write = pos;
      continue;
    }
    if (held == 'F' || type == 'F') {
      if (heldBy(record, own)) {
        if (held == type) write = pos;
      } else {
        conflict = true;
      }
      break;
    }
    if (held == 'K' && type == 'K' && rangesMeet(record, firstKey, lastKey)) {
      // Key ranges of one owner never conflict, whatever computer wrote them.
      if (record.compare(kOwnerAt, kOwnerSize, own.owner) == 0)
        write = pos;
      else
        conflict = true;
      break;
    }
  }

  if (!conflict) {
    std::string record = write < count ? file.readAt(write * kLockRecordSize, kLockRecordSize)
                                       : std::string();
    record.resize(kLockRecordSize - 2, ' ');
    record += "\r\n";
    setField(record, kNameAt, kNameSize, own.name);
    setField(record, kOwnerAt, kOwnerSize, own.owner);
    setField(record, kStampAt, kStampSize, std::to_string(lockTimeNow(files)));
    if (type == 'F' || type == 'K') record[kTypeAt] = type;
    if (type == 'K') {
      setField(record, kFirstLengthAt, kLengthSize, std::to_string(std::min(firstKey.size(), kKeySize)));
      setField(record, kFirstKeyAt, kKeySize, firstKey);
      setField(record, kLastLengthAt, kLengthSize, std::to_string(std::min(lastKey.size(), kKeySize)));
      setField(record, kLastKeyAt, kKeySize, lastKey);
    }
    // A lock that could not be recorded is not held: the caller waits or
    // gives up as for a conflict.
    if (!file.writeAt(write * kLockRecordSize, record).ok()) conflict = true;
  }
  return conflict ? Attempt::Conflict : Attempt::Held;
}

std::string lockMessage(const DataFiles& files, bool withEscHint) {
  static const std::string kCatalan = "FITXER BLOQUEJAT. ESPEREU UN MOMENT";
  static const std::string kSpanish = "FICHERO BLOQUEADO. ESPERE UN MOMENTO";
  static const std::string kGalician = "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO";
  static const std::string kAranese = "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT" /* È */;
  static const std::string kCatalanHint = " O POLSEU [ESC] PER A EIXIR";
  static const std::string kSpanishHint = " O PULSE [ESC] PARA SALIR";
  static const std::string kGalicianHint = " OU PULSE [ESC] PARA SAIR";
  static const std::string kAraneseHint = " O POSSATZ [ESC] ENT\xB7 G\xD4SSER" /* À, È */;
  std::string text = pickLanguage(files.settings, kCatalan, kSpanish, kGalician, kAranese);
  if (withEscHint) text += pickLanguage(files.settings, kCatalanHint, kSpanishHint, kGalicianHint, kAraneseHint);
  return text + ".";
}

}  // namespace

int32_t lockTimeNow(const DataFiles& files) {
  const LocalTime t = files.system.now();
  int64_t y = t.year, m = t.month;
  if (m < 3) {
    y -= 1;
    m += 12;
  }
  m -= 3;
  const int64_t days = t.day + (153 * m + 2) / 5 + 1721119 + ((y % 100) * 1461) / 4 +
                       ((y / 100) * 146097) / 4 - 2440588;
  const int64_t seconds = t.hour * 3600 + t.minute * 60 + t.second + (t.millisecond >= 500 ? 1 : 0);
  return static_cast<int32_t>(days * 1440 + seconds / 60);
}

void ensureLockIdentity(DataFiles& files) {
  LockState& locks = files.locks;
  if (locks.ownerId != 0) return;
  BinaryFile file;
  // Without a usable LOCKS.TMP the identity still holds for this run.
  (void)file.open(files.fs, files.settings.tempDir + "LOCKS.TMP", BinaryFile::Mode::ReadWriteCreate);
  std::string stored = file.readAt(0, kLockIdentitySize);
  int32_t id = 0;
  if (stored.size() >= 4) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(stored[i]);
    id = static_cast<int32_t>(v);
  }
  if (id != 0) {
    locks.ownerId = id;
    locks.computerName = fitText(stored.size() > 4 ? std::string_view(stored).substr(4) : "", kNameSize);
    return;
  }
  // Seeded by the clock alone, two terminals of one machine (one computer
  // name) that start in the same 10 ms would share an identity for good and
  // never keep each other out; the process id, spread over all 32 bits,
  // tells them apart.
  const uint32_t process = files.system.processId() * 0x9E3779B1u;
  do {
    const LocalTime t = files.system.now();
    const double seconds = t.hour * 3600 + t.minute * 60 + t.second + t.millisecond / 1000.0;
    files.system.seedRandom(static_cast<uint32_t>(seconds * 100) ^ process);
    id = static_cast<int32_t>(std::floor(files.system.random() * 4294967295.0 - 2147483648.0));
  } while (id == 0);
  locks.ownerId = id;
  locks.computerName = fitText(files.system.computerName(), kNameSize);
  std::string record(4, '\0');
  for (int i = 0; i < 4; ++i) record[i] = static_cast<char>((static_cast<uint32_t>(id) >> (8 * i)) & 0xFF);
  record += locks.computerName;
  if (file.isOpen()) (void)file.writeAt(0, record);
}

FileResult openLockFile(DataFiles& files, const std::string& directory, const std::string& fileName,
                        BinaryFile& file) {
  const std::string path = directory + "/" + fileName;
  bool madeDirectory = false;
  for (;;) {
    FileResult r = file.open(files.fs, path, BinaryFile::Mode::ReadWriteCreate, true);
    if (r.ok()) return r;
    if (r.code == FileResult::Code::NotFound && !madeDirectory) {
      madeDirectory = true;
      (void)files.fs.makeDirectory(directory);
      continue;
    }
    // Only another process's scan ends by itself; no permission, a
    // directory in the file's place or a read-only disk would be waited
    // for without end.
    if (r.code != FileResult::Code::Busy) return r;
    files.notices.beforePause();
    files.system.pause(static_cast<int>(std::floor(files.system.random() * 3000 + 1)));
  }
}

int16_t acquireLock(DataFiles& files, const std::string& name, const std::string& type,
                    const std::string& firstKey, const std::string& lastKey) {
  ensureLockIdentity(files);
  const char t = type.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(type[0])));
  const char mode = static_cast<char>(std::toupper(static_cast<unsigned char>(files.locks.lockWaitMode)));
  const std::string fileName = rightTrimmed(name) + ".lck";
  int shown = 0;
  Attempt attempt = Attempt::Conflict;
  FileResult openFailure;
  for (;;) {
    attempt = scanAndWrite(files, fileName, t, firstKey, lastKey, openFailure);
    if (mode == 'S' || attempt != Attempt::Conflict) break;
    if (shown == 0) {
      shown = 1;
      files.notices.show(24, lockMessage(files, mode == 'P'));
      if (mode == 'P') files.notices.discardTypedKeys();
    }
    files.notices.beforePause();
    files.system.pause(static_cast<int>(std::lround(files.system.random() * 1000 + 1)));
    if (mode == 'P' && files.notices.escapeTyped()) break;
  }
  if (shown) files.notices.dismiss();
  // A lock file that cannot be opened stays so until someone sees to it:
  // said once, with the system's reason, and a key takes the message off.
  if (attempt == Attempt::NoLockFile)
    showFileProblem(files, 24, lockDirectory(files) + "/" + fileName, std::strerror(openFailure.error));
  return attempt == Attempt::Held ? 0 : -1;
}

std::string encodeLockKey(const std::string& key) {
  std::string encoded;
  for (char c : key) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 128 && b <= 227) {
      const int v = b & 0x7F;
      encoded += static_cast<char>('0' + v / 10);
      encoded += static_cast<char>('0' + v % 10);
    } else {
      encoded += c;
    }
  }
  return encoded;
}

int16_t lockRecordKey(DataFiles& files, const std::string& name, const std::string& key) {
  const std::string encoded = encodeLockKey(key);
  return acquireLock(files, name, "k", encoded, encoded);
}

int16_t releaseLock(DataFiles& files, const std::string& name) {
  size_t first = name.find_first_not_of(' ');
  std::string trimmed = first == std::string::npos ? "" : rightTrimmed(name.substr(first));
  for (char& c : trimmed) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ensureLockIdentity(files);
  const std::string directory = lockDirectory(files);
  const std::string fileName = trimmed + ".lck";
  // No lock file: nothing of ours to free (and no file to create under
  // another spelling of the name).
  if (!files.fs.fileExists(directory + "/" + fileName)) return -1;

  // A lock file that cannot be opened frees nothing, and says nothing: a
  // release also runs while the process is being ended, and the record
  // left behind is freed by age.
  BinaryFile file;
  if (!openLockFile(files, directory, fileName, file).ok()) return -1;
  const Identity own = ownIdentity(files);
  int64_t newest = -1, newestStamp = 0;
  std::string newestRecord;
  for (int64_t pos = 0;; ++pos) {
    std::string record = file.readAt(pos * kLockRecordSize, kLockRecordSize);
    if (record.size() < static_cast<size_t>(kLockRecordSize)) break;
    if (!heldBy(record, own)) continue;
    const int64_t stamp = leadingNumber(std::string_view(record).substr(kStampAt, kStampSize));
    if (newest < 0 || stamp >= newestStamp) {
      newest = pos;
      newestStamp = stamp;
      newestRecord = std::move(record);
    }
  }
  if (newest < 0) return -1;
  freeRecord(newestRecord);
  return file.writeAt(newest * kLockRecordSize, newestRecord).ok() ? 0 : -1;
}

}  // namespace xt
