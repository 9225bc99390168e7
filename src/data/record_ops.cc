#include "data/record_ops.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/language.h"
#include "data/data_files.h"
#include "data/file_table.h"
#include "platform/key_image.h"

namespace xt {

namespace {

constexpr int kKeyBufferSize = 256;

bool takesLockBias(int operation) {
  return (operation >= op::kGetEqual && operation <= op::kGetLast) || operation == op::kBeginTransaction ||
         operation == op::kGetPosition || operation == op::kGetDirect || operation == op::kStepNext ||
         operation == op::kStepFirst || operation == op::kStepLast || operation == op::kStepPrevious;
}

std::vector<uint8_t> blankData(size_t size) { return std::vector<uint8_t>(std::max<size_t>(size, kDataBufferSize), ' '); }

// The key a plain request hands back, as the new keyBuffer: the key
// engine's bytes, as many as keyBuffer holds. (Reading it as text up to a
// NUL would shorten the key buffer of a binary key, and the next request
// would then offer a key buffer shorter than the key.)
void takeReturnedKey(FileSlot& slot, const uint8_t* key) {
  slot.keyBuffer.assign(reinterpret_cast<const char*>(key), slot.keyBuffer.size());
}

void clearKeyBuffer(FileSlot& slot) { std::fill(slot.keyBuffer.begin(), slot.keyBuffer.end(), '\0'); }

}  // namespace

int16_t callRecordManager(DataFiles& files, int16_t& slotNumber, int16_t& operation) {
  if (slotNumber < 0 || slotNumber > kFileSlots) return status::kFileNotOpen;
  FileSlot& slot = files.table.slots[slotNumber];
  if (takesLockBias(operation) && slot.lockMode != 0) operation = static_cast<int16_t>(operation + op::kLockBias);
  const size_t recordLength = static_cast<size_t>(std::max(slot.recordLength, 0));
  const size_t keyLength = std::min<size_t>(slot.keyBuffer.size(), kKeyBufferSize);
  int attempt = 0;
  for (;;) {
    if (attempt == 1)
      files.notices.show(24,
                 pickLanguage(files.settings, "FITXER BLOQUEJAT. ESPEREU UN MOMENT.",
                              "FICHERO BLOQUEADO. ESPERE UN MOMENTO.",
                              "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO.",
                              "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT." /* È */));
    std::vector<uint8_t> data = blankData(recordLength);
    if (slot.recordAddress) std::memcpy(data.data(), slot.recordAddress, recordLength);
    uint32_t dataLength = static_cast<uint32_t>(recordLength);

    uint8_t fill = ' ';
    // The key buffer beyond the key: the lowest bytes for a search upwards,
    // the highest for one downwards.
    if (operation == op::kGetGreater || operation == op::kGetGreaterOrEqual) fill = 0x00;
    if (operation == op::kGetLess || operation == op::kGetLessOrEqual) fill = 0xFF;
    uint8_t key[kKeyBufferSize];
    std::memset(key, fill, sizeof key);
    std::memcpy(key, slot.keyBuffer.data(), keyLength);

    int16_t st = files.engine.call(operation, slot.positionBlock, data.data(), dataLength, key,
                                     static_cast<int>(keyLength), slot.keyNumber);

    size_t n = std::min<size_t>(dataLength, recordLength);
    if (slot.recordAddress) std::memcpy(slot.recordAddress, data.data(), n);
    slot.keyBuffer.assign(reinterpret_cast<const char*>(key), keyLength);

    if ((st == status::kRecordLocked || st == status::kFileLocked) && slot.lockMode == 1) {
      files.notices.beforePause();
      files.system.pause(static_cast<int>(std::lround(files.system.random() * 10000 + 1)));
      attempt = std::min(attempt + 1, 2);
      continue;
    }
    if (attempt != 0) files.notices.dismiss();
    return st;
  }
}

int16_t deleteRecord(DataFiles& files, int16_t fileId) {
  int16_t s = findFileSlot(files, fileId);
  if (s <= 0) return status::kFileNotOpen;
  int16_t operation = op::kDelete;
  int16_t st = callRecordManager(files, s, operation);
  if (st != status::kOk) clearKeyBuffer(files.table.slots[s]);
  return st;
}

int16_t findByKey(DataFiles& files, int16_t fileId, int16_t keyNumber, const std::string& key,
                  int16_t direction) {
  int16_t s = findFileSlot(files, fileId);
  if (s <= 0) return status::kFileNotOpen;
  int16_t length = 0;
  int32_t recordLength = 0;
  queryKeyLength(files, fileId, keyNumber, length, recordLength);
  if (length == 0) return kStatusNoSuchKey;
  FileSlot& slot = files.table.slots[s];
  slot.keyNumber = keyNumber;
  slot.keyBuffer = key;
  slot.keyBuffer.resize(static_cast<size_t>(length), '\0');
  int16_t operation = direction == 0 ? op::kGetEqual : direction > 0 ? op::kGetGreaterOrEqual : op::kGetLessOrEqual;
  int16_t st = callRecordManager(files, s, operation);
  return st == status::kDataBufferLength ? status::kOk : st;
}

int16_t skipRecords(DataFiles& files, int16_t fileId, int32_t count) {
  int16_t s = findFileSlot(files, fileId);
  if (s <= 0) return status::kFileNotOpen;
  FileSlot& slot = files.table.slots[s];
  const int16_t operation = count >= 0 ? op::kGetNext : op::kGetPrevious;
  int16_t st = status::kOk;
  int64_t m = std::llabs(static_cast<int64_t>(count));
  // Plain steps: the records passed over are not copied, locked or waited for.
  uint8_t key[kKeyBufferSize] = {};
  while (m > 1 && st == status::kOk) {
    std::vector<uint8_t> data(kDataBufferSize, ' ');
    uint32_t dataLength = kDataBufferSize;
    // The whole scratch buffer is offered: the engine writes the key there.
    st = files.engine.call(operation, slot.positionBlock, data.data(), dataLength, key,
                             kKeyBufferSize - 1, slot.keyNumber);
    takeReturnedKey(slot, key);
    if (st == status::kDataBufferLength) st = status::kOk;
    --m;
  }
  if (m == 1 && st == status::kOk) {
    int16_t last = operation;
    st = callRecordManager(files, s, last);
    if (st == status::kDataBufferLength) st = status::kOk;
  }
  return st;
}

int32_t recordPosition(DataFiles& files, int16_t fileId, int32_t position) {
  int16_t s = findFileSlot(files, fileId);
  // Not open: no position, and the Get Direct form fails like the others.
  if (s <= 0) return position == 0 ? 0 : status::kFileNotOpen;
  FileSlot& slot = files.table.slots[s];
  std::vector<uint8_t> data(kDataBufferSize, ' ');
  uint32_t dataLength = kDataBufferSize;
  if (position == 0) {
    std::memset(data.data(), 0, 4);
    uint8_t key[4] = {};
    int16_t st = files.engine.call(op::kGetPosition, slot.positionBlock, data.data(), dataLength,
                                     key, 0, 0);
    return st == status::kOk ? static_cast<int32_t>(readLe32(data.data())) : 0;
  }
  writeLe32(data.data(), static_cast<uint32_t>(position));
  uint8_t key[kKeyBufferSize] = {};
  int16_t st = files.engine.call(op::kGetDirect, slot.positionBlock, data.data(), dataLength, key,
                                   kKeyBufferSize - 1, slot.keyNumber);
  takeReturnedKey(slot, key);
  if (st == status::kDataBufferLength) st = status::kOk;
  if (st == status::kOk && slot.recordAddress) {
    size_t n = std::min<size_t>(dataLength, static_cast<size_t>(std::max(slot.recordLength, 0)));
    std::memcpy(slot.recordAddress, data.data(), n);
  }
  return st;
}

int16_t setLockMode(DataFiles& files, int16_t fileId, const std::string& letters) {
  int16_t s = findFileSlot(files, fileId);
  if (s <= 0) return status::kFileNotOpen;
  FileSlot& slot = files.table.slots[s];
  std::string& stack = files.table.lockModeStack;
  for (char c : letters) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
      case 'D': slot.lockMode = 0; break;
      case 'A': slot.lockMode = 1; break;
      case 'B': slot.lockMode = 2; break;
      case '+':
        stack += static_cast<char>(s);
        stack += static_cast<char>(slot.lockMode);
        break;
      case '-':
        for (size_t i = stack.size() / 2; i-- > 0;) {
          if (static_cast<uint8_t>(stack[2 * i]) == static_cast<uint8_t>(s)) {
            slot.lockMode = static_cast<uint8_t>(stack[2 * i + 1]);
            stack.erase(2 * i, 2);
            break;
          }
        }
        break;
      default: break;
    }
  }
  return status::kOk;
}

std::string keySortImage(DataFiles& files, const std::string& key, int16_t fileId) {
  int16_t s = findFileSlot(files, fileId);
  if (s <= 0) return key;
  FileSlot& slot = files.table.slots[s];
  std::vector<uint8_t> data(kDataBufferSize, ' ');
  uint8_t scratch[kKeyBufferSize];
  std::memset(scratch, ' ', sizeof scratch);
  uint32_t dataLength = kDataBufferSize;
  (void)files.engine.call(op::kStat, slot.positionBlock, data.data(), dataLength, scratch, 255, 0);

  // The current key's segments; the collating sequence follows the last
  // key's, after its signature and 8-byte name.
  const StatLayout layout = readStatLayout(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  if (!layout.complete()) return key;
  const size_t table = layout.acsOffset + 9;
  std::vector<SegmentSpec> current;
  if (slot.keyNumber >= 0 && slot.keyNumber < static_cast<int>(layout.keys.size()))
    current = layout.keys[static_cast<size_t>(slot.keyNumber)].segments;

  std::string image = key;
  size_t p = 1;
  for (const SegmentSpec& seg : current) {
    if (seg.flags & keyflag::kBinary) {
      if (image.size() < p + seg.length - 1) image.resize(p + seg.length - 1, '\0');
      std::reverse(image.begin() + static_cast<long>(p - 1), image.begin() + static_cast<long>(p - 1 + seg.length));
    } else if (seg.flags & keyflag::kAlternate) {
      for (size_t j = 0; j < seg.length && p + j <= image.size(); ++j) {
        size_t at = table + static_cast<uint8_t>(image[p + j - 1]);
        if (at < data.size()) image[p + j - 1] = static_cast<char>(data[at]);
      }
    }
    p += seg.length;
  }
  return image;
}

std::string currentKeySortImage(DataFiles& files, int16_t fileId) {
  int16_t s = findFileSlot(files, fileId);
  if (s <= 0) return {};
  return keySortImage(files, files.table.slots[s].keyBuffer, fileId);
}

}  // namespace xt
