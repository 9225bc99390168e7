// xtdata: the administrator's tool for the program's data files. It creates
// a data file from its dictionary, shows a file's statistics, dumps records
// as hex and text and loads such a dump back, writes a dictionary from a
// short key description, and sets or clears a file's owner name. Every
// request goes through the same record engine as the program.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "data/file_table.h"
#include "format/text_lines.h"
#include "platform/native.h"
#include "platform/key_image.h"
#include "platform/record_engine.h"
#include "platform/sqlite_engine.h"

namespace xt {
namespace {

// The tool works on the real disk.
NativeFileSystem& disk() {
  static NativeFileSystem fs;
  return fs;
}

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

const char* kHelp = R"(usage: xtdata COMMAND ARGUMENTS

  create DATAFILE [DICTIONARY] [--replace]
      Create a data file from its dictionary (default: $TAVROOT/ddf/<base>.xdf).
      An existing file is kept unless --replace is given. A file that another
      process (a terminal, an SQLite client) has open is never replaced, and
      none is created under the name of a deleted one still open. A name
      without an extension gets ".dat", as the program does.
  stat DATAFILE
      Records, record length, keys with their segments and flags, collating
      sequences.
  dump DATAFILE [--key N]
      Every record in the order of key N (default 0): "@position" lines, each
      followed by lines of 16 bytes in hex with the text beside them.
  load DATAFILE DUMPFILE
      Insert every record of a dump (new positions are given).
  dictionary OUT.xdf --record LENGTH [--page SIZE] [--variable]
             --key OFFSET:LENGTH:TYPE[:FLAG,...] [--segment OFFSET:LENGTH:TYPE[:FLAG,...]]...
             [--acs NAME:TABLEFILE]
      Write a dictionary. Each --key starts a key, each --segment adds a
      segment to the last key. OFFSET counts from 0. TYPE: string, integer,
      unsigned, binary, zstring, lstring, autoinc. FLAG: dup, mod, desc,
      nocase, acs, null=HH (all segments null), nullany=HH (any segment null).
      TABLEFILE holds the 256 bytes of the collating sequence.
  owner DATAFILE NAME | --program | --clear
      Set the owner name (--program: the one the program opens with) or
      clear it. A file with an owner name opens only with that name.

Exit codes: 0 done, 1 the request failed, 2 bad arguments.

Example (the operator file's dictionary of the demo installation):
  xtdata dictionary demo/ddf/Operador.xdf --record 17 --key 0:8:string
)";

int usage(const std::string& message) {
  std::fprintf(stderr, "xtdata: %s\n(xtdata --help shows the usage)\n", message.c_str());
  return kUsageError;
}

int failed(const std::string& message) {
  std::fprintf(stderr, "xtdata: %s\n", message.c_str());
  return kFailure;
}

std::string statusText(int16_t st) {
  static const std::map<int16_t, const char*> names = {
      {2, "I/O error"}, {3, "file not open"}, {5, "duplicate key value"}, {12, "file not found"},
      {22, "data buffer too short"}, {26, "bad number of keys"}, {27, "key outside the record"},
      {28, "bad record length"}, {29, "bad key length"}, {30, "not a data file"},
      {45, "unsupported key type or flags"}, {46, "the file is read-only for this user"}, {48, "bad collating sequence"}, {51, "wrong owner name"},
      {59, "the file exists already"}, {84, "record locked"}, {85, "file locked"}};
  auto it = names.find(st);
  return "status " + std::to_string(st) + (it == names.end() ? "" : std::string(" (") + it->second + ")");
}

// The data file's name as the program forms it (".dat" when none).
std::string dataFileName(const std::string& name) { return splitDataFileName(name).full(); }

class File {
 public:
  explicit File(SqliteEngine& engine) : engine_(engine) {}
  int16_t call(int16_t operation, std::string& data, uint32_t& length, std::string& key, int16_t keyNumber) {
    key.resize(256, '\0');
    return engine_.call(operation, pb_, reinterpret_cast<uint8_t*>(data.data()), length,
                        reinterpret_cast<uint8_t*>(key.data()), 255, keyNumber);
  }
  int16_t open(const std::string& path) {
    std::string data = dataFileOwnerName();
    data.resize(1536, ' ');
    uint32_t length = 5;
    std::string key = path;
    int16_t st = engine_.call(op::kOpen, pb_, reinterpret_cast<uint8_t*>(data.data()), length,
                              reinterpret_cast<uint8_t*>(key.data()), int(key.size()), 0);
    return st;
  }
  int16_t stat(std::string& out) {
    out.assign(1536, ' ');
    uint32_t length = 1536;
    std::string key;
    int16_t st = call(op::kStat, out, length, key, 0);
    out.resize(length);
    return st;
  }

 private:
  SqliteEngine& engine_;
  uint8_t pb_[kPositionBlockSize] = {};
};

std::optional<std::string> readSpecFromDictionary(const std::string& path, std::string& error) {
  std::optional<std::string> content = disk().readWholeFile(path);
  if (!content) {
    error = "cannot read the dictionary " + path;
    return std::nullopt;
  }
  if (content->size() < 2) {
    error = "the dictionary " + path + " is empty";
    return std::nullopt;
  }
  int n = int16_t(readLe16(content->data()));
  if (n <= 0 || size_t(n) > content->size() - 2) {
    error = "the dictionary " + path + " is damaged (length " + std::to_string(n) + ")";
    return std::nullopt;
  }
  return content->substr(2, size_t(n));
}

int commandCreate(SqliteEngine& engine, const std::vector<std::string>& args) {
  std::vector<std::string> plain;
  bool replace = false;
  for (const std::string& a : args) {
    if (a == "--replace") replace = true;
    else if (a.rfind("--", 0) == 0) return usage("create: unknown option " + a);
    else plain.push_back(a);
  }
  if (plain.empty() || plain.size() > 2) return usage("create needs DATAFILE [DICTIONARY]");
  std::string path = dataFileName(plain[0]);
  std::string dictionary;
  if (plain.size() == 2) {
    dictionary = plain[1];
  } else {
    const char* root = std::getenv("TAVROOT");
    if (!root) return usage("create: give the dictionary or set TAVROOT");
    dictionary = std::string(root) + "ddf\\" + splitDataFileName(plain[0]).base + ".xdf";
  }
  std::string error;
  std::optional<std::string> fileSpec = readSpecFromDictionary(dictionary, error);
  if (!fileSpec) return failed(error);
  std::string data = *fileSpec;
  data.resize(std::max<size_t>(data.size(), 1536), ' ');
  uint32_t length = uint32_t(data.size());
  std::string name = path;
  uint8_t pb[kPositionBlockSize] = {};
  name.resize(256, '\0');
  int16_t st = engine.call(op::kCreate, pb, reinterpret_cast<uint8_t*>(data.data()), length,
                           reinterpret_cast<uint8_t*>(name.data()), int(path.size()), replace ? 0 : -1);
  if (st == status::kFileLocked)
    return failed("cannot create " + path + ": " + statusText(st) +
                  ": another process has the file open; end it and try again");
  if (st) return failed("cannot create " + path + ": " + statusText(st));
  std::printf("created %s from %s\n", path.c_str(), dictionary.c_str());
  return 0;
}

std::string flagNames(uint16_t flags) {
  static const std::pair<uint16_t, const char*> names[] = {
      {keyflag::kDuplicates, "dup"}, {keyflag::kModifiable, "mod"}, {keyflag::kBinary, "binary"},
      {keyflag::kNullAll, "null"}, {keyflag::kSegmented, "segmented"}, {keyflag::kAlternate, "acs"},
      {keyflag::kDescending, "desc"}, {keyflag::kExtendedType, "extended"},
      {keyflag::kNullAny, "nullany"}, {keyflag::kCaseInsensitive, "nocase"}};
  std::string out;
  for (auto [bit, name] : names)
    if (flags & bit) out += (out.empty() ? "" : ",") + std::string(name);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%04X", flags);
  return std::string(hex) + (out.empty() ? "" : " " + out);
}

const char* typeName(uint8_t type) {
  switch (type) {
    case keytype::kString: return "string";
    case keytype::kInteger: return "integer";
    case keytype::kLString: return "lstring";
    case keytype::kZString: return "zstring";
    case keytype::kUnsignedBinary: return "unsigned";
    case keytype::kAutoIncrement: return "autoinc";
    default: return "?";
  }
}

int openFile(File& file, const std::string& path) {
  int16_t st = file.open(path);
  if (st) return failed("cannot open " + path + ": " + statusText(st));
  return 0;
}

int commandStat(SqliteEngine& engine, const std::vector<std::string>& args) {
  if (args.size() != 1) return usage("stat needs DATAFILE");
  std::string path = dataFileName(args[0]);
  File file(engine);
  if (int rc = openFile(file, path)) return rc;
  std::string stat;
  if (int16_t st = file.stat(stat)) return failed("stat " + path + ": " + statusText(st));
  FileSpec fileSpec;
  if (int16_t st = parseFileSpec(stat, fileSpec)) return failed("unreadable statistics: " + statusText(st));
  std::printf("file %s\n", path.c_str());
  std::printf("records %u\nrecord length %u%s\npage size %u\nfile flags 0x%04X\nkeys %zu\n",
              readLe32(stat.data() + 6), fileSpec.recordLength, fileSpec.variableLength() ? " (variable)" : "",
              fileSpec.pageSize, fileSpec.fileFlags, fileSpec.keys.size());
  for (size_t k = 0; k < fileSpec.keys.size(); ++k) {
    const KeySpec& key = fileSpec.keys[k];
    std::printf("key %zu: length %d, %s, %s\n", k, key.length, key.duplicates() ? "duplicates" : "unique",
                key.modifiable() ? "modifiable" : "not modifiable");
    for (const SegmentSpec& s : key.segments)
      std::printf("  segment offset %u length %u type %s flags %s null 0x%02X acs %u\n", s.position - 1u,
                  s.length, typeName(s.type), flagNames(s.flags).c_str(), s.nullValue, s.acsNumber);
  }
  for (size_t t = 0; t < fileSpec.tableNames.size(); ++t)
    std::printf("collating sequence %zu: %s\n", t, fileSpec.tableNames[t].c_str());
  return 0;
}

std::string hexLines(const std::string& record) {
  std::string out;
  for (size_t at = 0; at < record.size(); at += 16) {
    char line[128];
    int n = std::snprintf(line, sizeof line, "%04zX:", at);
    std::string text;
    for (size_t i = 0; i < 16; ++i) {
      if (at + i < record.size()) {
        uint8_t b = uint8_t(record[at + i]);
        n += std::snprintf(line + n, sizeof line - size_t(n), " %02X", b);
        text += (b >= 0x20 && b < 0x7F) ? char(b) : '.';
      } else {
        n += std::snprintf(line + n, sizeof line - size_t(n), "   ");
      }
    }
    out += std::string(line) + "  " + text + "\n";
  }
  return out;
}

int commandDump(SqliteEngine& engine, const std::vector<std::string>& args) {
  std::string name;
  int16_t keyNumber = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--key" && i + 1 < args.size()) keyNumber = int16_t(std::atoi(args[++i].c_str()));
    else if (args[i].rfind("--", 0) == 0) return usage("dump: unknown option " + args[i]);
    else if (name.empty()) name = args[i];
    else return usage("dump needs one DATAFILE");
  }
  if (name.empty()) return usage("dump needs DATAFILE");
  std::string path = dataFileName(name);
  File file(engine);
  if (int rc = openFile(file, path)) return rc;
  std::string stat;
  if (int16_t st = file.stat(stat)) return failed("stat " + path + ": " + statusText(st));
  std::printf("# xtdata dump of %s, %u records, key %d\n", path.c_str(), readLe32(stat.data() + 6), keyNumber);
  std::string key;
  int16_t operation = op::kGetFirst;
  int count = 0;
  for (;;) {
    std::string data(4096, ' ');
    uint32_t length = uint32_t(data.size());
    int16_t st = file.call(operation, data, length, key, keyNumber);
    if (st == status::kEndOfFile) break;
    if (st) return failed("reading " + path + ": " + statusText(st));
    std::string record = data.substr(0, length);
    std::string pos(1536, '\0');
    uint32_t posLength = 1536;
    std::string scratch;
    if (file.call(op::kGetPosition, pos, posLength, scratch, keyNumber) != 0) return failed("no position");
    std::printf("@%u\n%s", readLe32(pos.data()), hexLines(record).c_str());
    operation = op::kGetNext;
    ++count;
  }
  std::fprintf(stderr, "xtdata: %d records dumped\n", count);
  return 0;
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Parses a dump: "@position" starts a record, "XXXX: HH HH ...  text" lines
// hold its bytes; "#" lines are comments.
bool parseDump(const std::string& text, std::vector<std::string>& records, std::string& error) {
  int lineNo = 0;
  bool inRecord = false;
  for (const std::string& line : splitLines(text)) {
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '@') {
      records.emplace_back();
      inRecord = true;
      continue;
    }
    size_t colon = line.find(':');
    if (!inRecord || colon != 4 || !isHex(line[0]) || !isHex(line[1]) || !isHex(line[2]) || !isHex(line[3])) {
      error = "line " + std::to_string(lineNo) + " is not a record line";
      return false;
    }
    size_t offset = std::strtoul(line.substr(0, 4).c_str(), nullptr, 16);
    if (offset != records.back().size()) {
      error = "line " + std::to_string(lineNo) + ": offset does not follow the previous line";
      return false;
    }
    size_t at = colon + 1;
    while (at + 3 <= line.size() && line[at] == ' ' && isHex(line[at + 1]) && isHex(line[at + 2])) {
      records.back() += char(std::strtoul(line.substr(at + 1, 2).c_str(), nullptr, 16));
      at += 3;
    }
  }
  return true;
}

int commandLoad(SqliteEngine& engine, const std::vector<std::string>& args) {
  if (args.size() != 2) return usage("load needs DATAFILE DUMPFILE");
  std::string path = dataFileName(args[0]);
  std::optional<std::string> text = disk().readWholeFile(args[1]);
  if (!text) return failed("cannot read " + args[1]);
  std::vector<std::string> records;
  std::string error;
  if (!parseDump(*text, records, error)) return failed(args[1] + ": " + error);
  File file(engine);
  if (int rc = openFile(file, path)) return rc;
  std::string stat;
  if (int16_t st = file.stat(stat)) return failed("stat " + path + ": " + statusText(st));
  FileSpec fileSpec;
  (void)parseFileSpec(stat, fileSpec);
  int loaded = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    std::string data = records[i];
    if (!fileSpec.variableLength() && data.size() != fileSpec.recordLength)
      return failed("record " + std::to_string(i + 1) + " has " + std::to_string(data.size()) +
                    " bytes, the file's records have " + std::to_string(fileSpec.recordLength) + " (" +
                    std::to_string(loaded) + " loaded)");
    uint32_t length = uint32_t(data.size());
    std::string key;
    int16_t st = file.call(op::kInsert, data, length, key, 0);
    if (st)
      return failed("record " + std::to_string(i + 1) + ": " + statusText(st) + " (" +
                    std::to_string(loaded) + " loaded)");
    ++loaded;
  }
  std::printf("%d records loaded into %s\n", loaded, path.c_str());
  return 0;
}

bool parseSegment(const std::string& text, SegmentSpec& s, std::string& error) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string p; std::getline(in, p, ':');) parts.push_back(p);
  if (parts.size() < 3 || parts.size() > 4) {
    error = "a key is OFFSET:LENGTH:TYPE[:FLAGS], not " + text;
    return false;
  }
  char* end = nullptr;
  long offset = std::strtol(parts[0].c_str(), &end, 10);
  if (*end || offset < 0 || offset > 65534) return error = "bad offset in " + text, false;
  long length = std::strtol(parts[1].c_str(), &end, 10);
  if (*end || length <= 0 || length > 255) return error = "bad length in " + text, false;
  s = SegmentSpec{};
  s.position = uint16_t(offset + 1);
  s.length = uint16_t(length);
  static const std::map<std::string, std::pair<uint16_t, uint8_t>> types = {
      {"string", {0, keytype::kString}},
      {"binary", {keyflag::kBinary, 0}},
      {"integer", {keyflag::kExtendedType, keytype::kInteger}},
      {"unsigned", {keyflag::kExtendedType, keytype::kUnsignedBinary}},
      {"zstring", {keyflag::kExtendedType, keytype::kZString}},
      {"lstring", {keyflag::kExtendedType, keytype::kLString}},
      {"autoinc", {keyflag::kExtendedType, keytype::kAutoIncrement}}};
  auto t = types.find(parts[2]);
  if (t == types.end()) return error = "unknown type " + parts[2], false;
  s.flags = t->second.first;
  s.type = t->second.second;
  if (parts.size() == 4) {
    std::stringstream flags(parts[3]);
    for (std::string f; std::getline(flags, f, ',');) {
      if (f == "dup") s.flags |= keyflag::kDuplicates;
      else if (f == "mod") s.flags |= keyflag::kModifiable;
      else if (f == "desc") s.flags |= keyflag::kDescending;
      else if (f == "nocase") s.flags |= keyflag::kCaseInsensitive;
      else if (f == "acs") s.flags |= keyflag::kAlternate;
      else if (f.rfind("null=", 0) == 0 || f.rfind("nullany=", 0) == 0) {
        bool any = f[4] != '=';
        s.flags |= any ? keyflag::kNullAny : keyflag::kNullAll;
        s.nullValue = uint8_t(std::strtoul(f.substr(f.find('=') + 1).c_str(), nullptr, 16));
      } else return error = "unknown flag " + f, false;
    }
  }
  return true;
}

int commandDictionary(const std::vector<std::string>& args) {
  if (args.empty() || args[0].rfind("--", 0) == 0) return usage("dictionary needs OUT.xdf first");
  FileSpec fileSpec;
  fileSpec.pageSize = 4096;
  long record = -1;
  std::string error;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--variable") {
      fileSpec.fileFlags |= 0x01;
    } else if (!hasValue) {
      return usage("dictionary: " + a + " needs a value");
    } else if (a == "--record") {
      record = std::strtol(args[++i].c_str(), nullptr, 10);
    } else if (a == "--page") {
      fileSpec.pageSize = uint16_t(std::strtol(args[++i].c_str(), nullptr, 10));
    } else if (a == "--key" || a == "--segment") {
      SegmentSpec s;
      if (!parseSegment(args[++i], s, error)) return usage(error);
      if (a == "--key") fileSpec.keys.emplace_back();
      else if (fileSpec.keys.empty()) return usage("--segment before any --key");
      fileSpec.keys.back().segments.push_back(s);
    } else if (a == "--acs") {
      const std::string& v = args[++i];
      size_t colon = v.find(':');
      if (colon == std::string::npos) return usage("--acs takes NAME:TABLEFILE");
      std::optional<std::string> table = disk().readWholeFile(v.substr(colon + 1));
      if (!table || table->size() != 256) return failed("the collating table " + v.substr(colon + 1) + " must hold 256 bytes");
      fileSpec.tableNames.push_back(v.substr(0, colon));
      fileSpec.tables.push_back(*table);
    } else {
      return usage("dictionary: unknown option " + a);
    }
  }
  if (record <= 0 || record > 4096) return usage("dictionary needs --record LENGTH (1 to 4096)");
  fileSpec.recordLength = uint16_t(record);
  std::string bytes = encodeFileSpec(fileSpec);
  FileSpec check;
  if (int16_t st = parseFileSpec(bytes, check)) return failed("the description is refused: " + statusText(st));
  std::string content(2, '\0');
  writeLe16(content.data(), uint16_t(bytes.size()));
  FileResult r = disk().writeWholeFile(args[0], content + bytes);
  if (!r.ok()) return failed("cannot write " + args[0] + ": " + r.message);
  std::printf("wrote %s: %zu bytes of specification, %zu keys\n", args[0].c_str(), bytes.size(), fileSpec.keys.size());
  return 0;
}

int commandOwner(const std::vector<std::string>& args) {
  if (args.size() != 2) return usage("owner needs DATAFILE and NAME, --program or --clear");
  std::string path = dataFileName(args[0]);
  std::string owner = args[1];
  if (owner == "--clear") owner.clear();
  else if (owner == "--program") owner = dataFileOwnerName().substr(0, 4);
  else if (owner.rfind("--", 0) == 0) return usage("owner: unknown option " + owner);
  if (int16_t st = SqliteEngine::setOwnerName(path, owner)) return failed(path + ": " + statusText(st));
  std::printf(owner.empty() ? "owner name of %s cleared\n" : "owner name of %s set\n", path.c_str());
  return 0;
}

}  // namespace
}  // namespace xt

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return xt::usage("no command");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs(xt::kHelp, stdout);
    return 0;
  }
  std::string command = args[0];
  args.erase(args.begin());
  xt::SqliteEngine engine;
  if (command == "create") return xt::commandCreate(engine, args);
  if (command == "stat") return xt::commandStat(engine, args);
  if (command == "dump") return xt::commandDump(engine, args);
  if (command == "load") return xt::commandLoad(engine, args);
  if (command == "dictionary") return xt::commandDictionary(args);
  if (command == "owner") return xt::commandOwner(args);
  return xt::usage("unknown command " + command);
}
