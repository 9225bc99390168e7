// xtdata: the administrator's tool for the program's data files. It creates
// a data file from its dictionary, shows a file's statistics, dumps records
// as hex and text and loads such a dump back, copies a file's records into
// another (between the disk and the installation's server either way),
// writes a dictionary from a short key description, and sets or clears a
// file's owner name. Every request goes through the same record engine as
// the program: "server:PATH" names the table for PATH on the server.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "base/ini_file.h"
#include "data/engine_choice.h"
#include "data/file_table.h"
#include "format/text_lines.h"
#include "platform/native.h"
#include "platform/key_image.h"
#include "platform/pg_engine.h"
#include "platform/record_engine.h"
#include "platform/sqlite_engine.h"
#include "tools/admin_commands.h"
#include "tools/progress.h"

namespace xt {
namespace {

// The tool works on the real disk.
NativeFileSystem& disk() {
  static NativeFileSystem fs;
  return fs;
}

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

const char* kHelp = R"(usage: xtdata [--server CONNINFO] COMMAND ARGUMENTS

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
  copy FROM TO [--key N] [--replace]
      Insert every record of FROM into TO in the order of key N (default 0;
      new positions are given). A missing TO is created with FROM's layout
      and owner name; an existing one must have FROM's layout, and keeps its
      records unless --replace empties it first (refused while another
      process has it open).
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
  new-installation DIR [--group GROUP] [--template TEMPLATE]
      Lay out a new installation in DIR (missing or empty) from the
      template: the form, texts, help, dictionaries and sessio/. Everything
      gets GROUP (default: the caller's), is group-writable, and directories
      keep their group on new files. Default template:
      <program's directory>/../share/xtancar/installation.
  locks [NAME]
      What LOCKS/*.lck (or LOCKS/NAME.lck) of the installation ($TAVROOT,
      else the current directory) hold: each record's holder, age, type,
      key range, and whether it is free or stale. Only reads.

load, dump and copy show their progress on standard error when it is a
terminal (dump: when standard output is not).

A DATAFILE, FROM or TO is a path on the disk, or server:PATH for the table
of PATH on the installation's server: PATH is taken from the current
directory, as for a file on the disk, and the table is named after its place
inside $TAVROOT. The server is --server CONNINFO (a libpq connection string
or service) or else $TAVROOT/Vexa.ini [Dades] Servidor.

Exit codes: 0 done, 1 the request failed, 2 bad arguments.

Examples (the operator file's dictionary of the demo installation; its
operator file moved to the server and back, from $TAVROOT):
  xtdata dictionary demo/ddf/Operador.xdf --record 17 --key 0:8:string
  xtdata copy Operador server:Operador
  xtdata copy server:Operador Operador --replace
)";

int usage(const std::string& message) {
  std::fprintf(stderr, "xtdata: %s\n(xtdata --help shows the usage)\n", message.c_str());
  return kUsageError;
}

int failed(const std::string& message) {
  Progress::finishShown();
  std::fprintf(stderr, "xtdata: %s\n", message.c_str());
  return kFailure;
}

std::string statusText(int16_t st) {
  static const std::map<int16_t, const char*> names = {
      {2, "I/O error"}, {3, "file not open"}, {5, "duplicate key value"}, {12, "file not found"},
      {22, "data buffer too short"}, {26, "bad number of keys"}, {27, "key outside the record"},
      {28, "bad record length"}, {29, "bad key length"}, {30, "not a data file"},
      {45, "unsupported key type or flags"}, {46, "the file is read-only for this user"}, {48, "bad collating sequence"}, {51, "wrong owner name"},
      {59, "the file exists already"}, {84, "record locked"}, {85, "file locked"},
      {95, "the data server cannot be reached"}};
  auto it = names.find(st);
  return "status " + std::to_string(st) + (it == names.end() ? "" : std::string(" (") + it->second + ")");
}

// The status and, when the engine has more to say, its reason (the
// server's words).
std::string statusText(const RecordEngine& engine, int16_t st) {
  std::string reason = engine.lastError();
  return statusText(st) + (reason.empty() ? "" : ": " + reason);
}

// The owner name the program opens its files with, without its NUL.
std::string programOwnerName() { return dataFileOwnerName().substr(0, 4); }

// The data file's name as the program forms it (".dat" when none).
std::string dataFileName(const std::string& name) { return splitDataFileName(name).full(); }

constexpr const char* kServerPrefix = "server:";
constexpr size_t kMaxNameLength = 255;

// A data file named on the command line: a path on the disk, or the table
// for a path on the installation's server.
struct DataFile {
  bool onServer = false;
  std::string path;   // what the engine is given; on the server, from the root
  std::string shown;  // in messages: the path, or "server:" and the table
};

// The absolute form of path, taken from the current directory, with "/"
// separators and its directories' symbolic links resolved where they
// exist: the installation root reached through a link is still the root.
std::string physicalPath(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty() || p[0] != '/') p = disk().currentDirectory() + "/" + p;
  const std::filesystem::path whole(p);
  std::error_code error;
  std::filesystem::path directory = std::filesystem::weakly_canonical(whole.parent_path(), error);
  if (error) return p;
  return whole.has_filename() ? (directory / whole.filename()).string() : directory.string();
}

// The tool's view of the installation: the root and the server that
// server: names need, found on first use, and the engine for each file.
class Tool {
 public:
  explicit Tool(std::string serverOption) : serverOption_(std::move(serverOption)) {}

  // Fills file from a command-line name: 0, or the exit code once the
  // message is out (no TAVROOT, no server configured).
  int locate(const std::string& name, DataFile& file) {
    if (name.rfind(kServerPrefix, 0) != 0) {
      file = {false, dataFileName(name), dataFileName(name)};
    } else {
      std::string rest = name.substr(std::strlen(kServerPrefix));
      if (rest.empty()) return usage("server: needs the path of the data file");
      if (int rc = findServer()) return rc;
      // The engine takes a name inside the installation from its root, as
      // the program gives it.
      const std::string whole = physicalPath(dataFileName(rest));
      const std::string inside = root_.back() == '/' ? root_ : root_ + "/";
      file.onServer = true;
      file.path = whole.rfind(inside, 0) == 0 ? whole.substr(inside.size()) : whole;
      file.shown = kServerPrefix + pgTableName(root_, whole);
    }
    if (file.path.size() > kMaxNameLength)
      return failed(file.path + ": the record manager takes names of up to 255 bytes");
    return 0;
  }

  // A new engine for the file: each has its own connection to the server,
  // and its open files go when it goes.
  std::unique_ptr<RecordEngine> engineFor(const DataFile& file) const {
    return makeRecordEngine(file.onServer ? server_ : std::string(), root_);
  }

  // Sets or clears the owner name of a file no engine of the tool has
  // open: a status, and the server's words in reason.
  int16_t setOwnerName(const DataFile& file, const std::string& owner, std::string& reason) const {
    if (!file.onServer) return SqliteEngine::setOwnerName(file.path, owner);
    PgEngine engine(server_, root_);
    int16_t st = engine.setOwnerName(file.path, owner);
    reason = engine.lastError();
    return st;
  }

  // The same file for both names (a local file reached by two paths).
  static bool sameFile(const DataFile& a, const DataFile& b) {
    if (a.onServer != b.onServer) return false;
    if (a.onServer) return a.shown == b.shown;
    return physicalPath(disk().nativePath(a.path)) == physicalPath(disk().nativePath(b.path));
  }

 private:
  int findServer() {
    if (!root_.empty()) return 0;
    const char* root = std::getenv("TAVROOT");
    if (!root || !*root) return usage("server: names need TAVROOT, the installation root");
    std::string given = root;
    if (given.back() != '/' && given.back() != '\\') given += '/';
    server_ = serverOption_;
    if (server_.empty()) server_ = readIniValue(disk(), given + "Vexa.ini", "Dades", "Servidor");
    if (server_.empty())
      return failed("no data server for " + given + ": give --server CONNINFO or set Servidor in [Dades] of " +
                    given + "Vexa.ini");
    root_ = physicalPath(given);
    return 0;
  }

  std::string serverOption_;
  std::string server_;
  std::string root_;  // absolute; empty until a server: name is met
};

class File {
 public:
  explicit File(RecordEngine& engine) : engine_(engine) {}
  int16_t call(int16_t operation, std::string& data, uint32_t& length, std::string& key, int16_t keyNumber) {
    key.resize(256, '\0');
    return engine_.call(operation, pb_, reinterpret_cast<uint8_t*>(data.data()), length,
                        reinterpret_cast<uint8_t*>(key.data()), 255, keyNumber);
  }
  // Opens with the owner name the program gives.
  int16_t open(const std::string& path) { return open(path, dataFileOwnerName()); }
  int16_t open(const std::string& path, const std::string& owner) {
    std::string data = owner;
    data.resize(1536, ' ');
    uint32_t length = uint32_t(owner.size());
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
  // The position of the current record, 0 when there is none.
  uint32_t position() {
    std::string pos(4, '\0');
    uint32_t length = 4;
    std::string key;
    return call(op::kGetPosition, pos, length, key, 0) == status::kOk ? readLe32(pos.data()) : 0;
  }
  RecordEngine& engine() { return engine_; }

 private:
  RecordEngine& engine_;
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

// Creates file with the layout (a Create data buffer), replacing one that
// exists when replace: 0, or 1 once the message is out.
int createFile(RecordEngine& engine, const DataFile& file, std::string layout, bool replace) {
  layout.resize(std::max<size_t>(layout.size(), 1536), ' ');
  uint32_t length = uint32_t(layout.size());
  std::string name = file.path;
  name.resize(256, '\0');
  uint8_t pb[kPositionBlockSize] = {};
  int16_t st = engine.call(op::kCreate, pb, reinterpret_cast<uint8_t*>(layout.data()), length,
                           reinterpret_cast<uint8_t*>(name.data()), int(file.path.size()), replace ? 0 : -1);
  if (st == status::kFileLocked)
    return failed("cannot create " + file.shown + ": " + statusText(st) +
                  ": another process has the file open; end it and try again");
  if (st) return failed("cannot create " + file.shown + ": " + statusText(engine, st));
  return 0;
}

int commandCreate(Tool& tool, const std::vector<std::string>& args) {
  std::vector<std::string> plain;
  bool replace = false;
  for (const std::string& a : args) {
    if (a == "--replace") replace = true;
    else if (a.rfind("--", 0) == 0) return usage("create: unknown option " + a);
    else plain.push_back(a);
  }
  if (plain.empty() || plain.size() > 2) return usage("create needs DATAFILE [DICTIONARY]");
  DataFile file;
  if (int rc = tool.locate(plain[0], file)) return rc;
  std::string dictionary;
  if (plain.size() == 2) {
    dictionary = plain[1];
  } else {
    const char* root = std::getenv("TAVROOT");
    if (!root) return usage("create: give the dictionary or set TAVROOT");
    dictionary = std::string(root) + "ddf\\" + splitDataFileName(file.path).base + ".xdf";
  }
  std::string error;
  std::optional<std::string> fileSpec = readSpecFromDictionary(dictionary, error);
  if (!fileSpec) return failed(error);
  std::unique_ptr<RecordEngine> engine = tool.engineFor(file);
  if (int rc = createFile(*engine, file, *fileSpec, replace)) return rc;
  std::printf("created %s from %s\n", file.shown.c_str(), dictionary.c_str());
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

int openFile(File& file, const DataFile& name) {
  int16_t st = file.open(name.path);
  if (st) return failed("cannot open " + name.shown + ": " + statusText(file.engine(), st));
  return 0;
}

// Opens the file and reads its statistics (the creation layout with the
// number of records at offset 6): 0, or 1 once the message is out.
int openWithStat(File& file, const DataFile& name, std::string& stat, FileSpec& fileSpec) {
  if (int rc = openFile(file, name)) return rc;
  if (int16_t st = file.stat(stat)) return failed("stat " + name.shown + ": " + statusText(file.engine(), st));
  if (int16_t st = parseFileSpec(stat, fileSpec))
    return failed(name.shown + ": unreadable statistics: " + statusText(st));
  return 0;
}

int commandStat(Tool& tool, const std::vector<std::string>& args) {
  if (args.size() != 1) return usage("stat needs DATAFILE");
  DataFile name;
  if (int rc = tool.locate(args[0], name)) return rc;
  std::unique_ptr<RecordEngine> engine = tool.engineFor(name);
  File file(*engine);
  std::string stat;
  FileSpec fileSpec;
  if (int rc = openWithStat(file, name, stat, fileSpec)) return rc;
  std::printf("file %s\n", name.shown.c_str());
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

int commandDump(Tool& tool, const std::vector<std::string>& args) {
  std::string name;
  int16_t keyNumber = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--key" && i + 1 < args.size()) keyNumber = int16_t(std::atoi(args[++i].c_str()));
    else if (args[i].rfind("--", 0) == 0) return usage("dump: unknown option " + args[i]);
    else if (name.empty()) name = args[i];
    else return usage("dump needs one DATAFILE");
  }
  if (name.empty()) return usage("dump needs DATAFILE");
  DataFile dataFile;
  if (int rc = tool.locate(name, dataFile)) return rc;
  const std::string& path = dataFile.shown;
  std::unique_ptr<RecordEngine> engine = tool.engineFor(dataFile);
  File file(*engine);
  std::string stat;
  FileSpec fileSpec;
  if (int rc = openWithStat(file, dataFile, stat, fileSpec)) return rc;
  std::printf("# xtdata dump of %s, %u records, key %d\n", path.c_str(), readLe32(stat.data() + 6), keyNumber);
  // Records going to the terminal show their own progress.
  Progress progress("dumped", readLe32(stat.data() + 6), standardErrorIsTerminal() && !standardOutputIsTerminal());
  std::string key;
  int16_t operation = op::kGetFirst;
  int count = 0;
  for (;;) {
    std::string data(4096, ' ');
    uint32_t length = uint32_t(data.size());
    int16_t st = file.call(operation, data, length, key, keyNumber);
    if (st == status::kEndOfFile) break;
    if (st) return failed("reading " + path + ": " + statusText(*engine, st));
    std::string record = data.substr(0, length);
    std::string pos(1536, '\0');
    uint32_t posLength = 1536;
    std::string scratch;
    if (file.call(op::kGetPosition, pos, posLength, scratch, keyNumber) != 0) return failed("no position");
    std::printf("@%u\n%s", readLe32(pos.data()), hexLines(record).c_str());
    operation = op::kGetNext;
    ++count;
    progress.step();
  }
  progress.finish();
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

int commandLoad(Tool& tool, const std::vector<std::string>& args) {
  if (args.size() != 2) return usage("load needs DATAFILE DUMPFILE");
  DataFile dataFile;
  if (int rc = tool.locate(args[0], dataFile)) return rc;
  const std::string& path = dataFile.shown;
  std::optional<std::string> text = disk().readWholeFile(args[1]);
  if (!text) return failed("cannot read " + args[1]);
  std::vector<std::string> records;
  std::string error;
  if (!parseDump(*text, records, error)) return failed(args[1] + ": " + error);
  std::unique_ptr<RecordEngine> engine = tool.engineFor(dataFile);
  File file(*engine);
  std::string stat;
  FileSpec fileSpec;
  if (int rc = openWithStat(file, dataFile, stat, fileSpec)) return rc;
  int loaded = 0;
  Progress progress("loaded", records.size(), standardErrorIsTerminal());
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
      return failed("record " + std::to_string(i + 1) + ": " + statusText(*engine, st) + " (" +
                    std::to_string(loaded) + " loaded)");
    ++loaded;
    progress.step();
  }
  progress.finish();
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

int commandOwner(Tool& tool, const std::vector<std::string>& args) {
  if (args.size() != 2) return usage("owner needs DATAFILE and NAME, --program or --clear");
  std::string owner = args[1];
  if (owner == "--clear") owner.clear();
  else if (owner == "--program") owner = programOwnerName();
  else if (owner.rfind("--", 0) == 0) return usage("owner: unknown option " + owner);
  DataFile file;
  if (int rc = tool.locate(args[0], file)) return rc;
  std::string reason;
  if (int16_t st = tool.setOwnerName(file, owner, reason))
    return failed(file.shown + ": " + statusText(st) + (reason.empty() ? "" : ": " + reason));
  std::printf(owner.empty() ? "owner name of %s cleared\n" : "owner name of %s set\n", file.shown.c_str());
  return 0;
}

// The layout of a Stat answer as a Create takes it: the number of records
// in it is no part of the layout.
std::string creationLayout(std::string stat) {
  writeLe32(stat.data() + 6, 0);
  return stat;
}

// A key that leaves out the records whose value is null.
bool keyLeavesOutNulls(const KeySpec& key) {
  for (const SegmentSpec& s : key.segments)
    if (s.flags & (keyflag::kNullAll | keyflag::kNullAny)) return true;
  return false;
}

int commandCopy(Tool& tool, const std::vector<std::string>& args) {
  std::vector<std::string> plain;
  int16_t keyNumber = 0;
  bool replace = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--key" && i + 1 < args.size()) keyNumber = int16_t(std::atoi(args[++i].c_str()));
    else if (args[i] == "--replace") replace = true;
    else if (args[i].rfind("--", 0) == 0) return usage("copy: unknown option " + args[i]);
    else plain.push_back(args[i]);
  }
  if (plain.size() != 2) return usage("copy needs FROM and TO");
  DataFile from, to;
  if (int rc = tool.locate(plain[0], from)) return rc;
  if (int rc = tool.locate(plain[1], to)) return rc;
  if (Tool::sameFile(from, to)) return failed(from.shown + " and " + to.shown + " are the same file");

  std::unique_ptr<RecordEngine> fromEngine = tool.engineFor(from);
  File source(*fromEngine);
  std::string stat;
  FileSpec fileSpec;
  if (int rc = openWithStat(source, from, stat, fileSpec)) return rc;
  if (keyNumber < 0 || size_t(keyNumber) >= fileSpec.keys.size())
    return usage(from.shown + " has no key " + std::to_string(keyNumber));
  if (keyLeavesOutNulls(fileSpec.keys[size_t(keyNumber)]))
    return failed("key " + std::to_string(keyNumber) + " of " + from.shown +
                  " leaves out the records whose value is null; copy by a key that does not (--key N)");
  const std::string layout = creationLayout(stat);
  const uint32_t records = readLe32(stat.data() + 6);
  // A file that opens with the program's owner name has that name or none;
  // an open without a name tells which.
  const bool owned = File(*fromEngine).open(from.path, "") == status::kOwnerName;

  // TO is looked at through an engine of its own, gone before TO is
  // created: a file this process holds open is never replaced.
  bool exists = false;
  {
    std::unique_ptr<RecordEngine> probe = tool.engineFor(to);
    File target(*probe);
    int16_t st = target.open(to.path);
    if (st == status::kOk) {
      exists = true;
      std::string toStat;
      if (int16_t s = target.stat(toStat)) return failed("stat " + to.shown + ": " + statusText(*probe, s));
      if (creationLayout(toStat) != layout)
        return failed(to.shown + " exists with another layout than " + from.shown + " (xtdata stat shows both): " +
                      "nothing copied");
    } else if (st != status::kFileNotFound) {
      return failed("cannot open " + to.shown + ": " + statusText(*probe, st));
    }
  }
  std::unique_ptr<RecordEngine> toEngine = tool.engineFor(to);
  if (!exists || replace) {
    if (int rc = createFile(*toEngine, to, layout, exists)) return rc;
    std::string reason;
    if (owned) {
      if (int16_t st = tool.setOwnerName(to, programOwnerName(), reason))
        return failed("owner name of " + to.shown + ": " + statusText(st) + (reason.empty() ? "" : ": " + reason));
    }
  }
  File target(*toEngine);
  if (int rc = openFile(target, to)) return rc;

  std::string key;
  int16_t operation = op::kGetFirst;
  uint32_t copied = 0;
  Progress progress("copied", records, standardErrorIsTerminal());
  for (;; operation = op::kGetNext) {
    std::string data(65535, ' ');
    uint32_t length = uint32_t(data.size());
    int16_t st = source.call(operation, data, length, key, keyNumber);
    if (st == status::kEndOfFile) break;
    if (st)
      return failed("reading " + from.shown + ": " + statusText(*fromEngine, st) + " (" + std::to_string(copied) +
                    " records copied into " + to.shown + ")");
    data.resize(length);
    std::string scratch;
    if (int16_t ist = target.call(op::kInsert, data, length, scratch, 0)) {
      progress.finish();
      std::fprintf(stderr, "xtdata: record @%u of %s:\n%s", source.position(), from.shown.c_str(),
                   hexLines(data).c_str());
      return failed("inserting into " + to.shown + ": " + statusText(*toEngine, ist) + " (" +
                    std::to_string(copied) + " records copied)");
    }
    ++copied;
    progress.step();
  }
  progress.finish();
  if (copied != records)
    return failed(from.shown + " held " + std::to_string(records) + " records and " + std::to_string(copied) +
                  " were copied into " + to.shown + " (records added or deleted meanwhile)");
  std::printf("%u records copied from %s into %s\n", copied, from.shown.c_str(), to.shown.c_str());
  return 0;
}

}  // namespace
}  // namespace xt

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return xt::usage("no command");
  if (args[0] == "--version") {
    std::puts("xtdata " XT_VERSION);
    return 0;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs(xt::kHelp, stdout);
    return 0;
  }
  std::string server;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--server") continue;
    if (i + 1 >= args.size() || args[i + 1].empty()) return xt::usage("--server needs a connection string");
    server = args[i + 1];
    args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
    break;
  }
  if (args.empty()) return xt::usage("no command");
  std::string command = args[0];
  args.erase(args.begin());
  xt::Tool tool(server);
  if (command == "create") return xt::commandCreate(tool, args);
  if (command == "stat") return xt::commandStat(tool, args);
  if (command == "dump") return xt::commandDump(tool, args);
  if (command == "load") return xt::commandLoad(tool, args);
  if (command == "copy") return xt::commandCopy(tool, args);
  if (command == "dictionary") return xt::commandDictionary(args);
  if (command == "owner") return xt::commandOwner(tool, args);
  if (command == "new-installation") return xt::commandNewInstallation(args, argv[0]);
  if (command == "locks") return xt::commandLocks(args);
  return xt::usage("unknown command " + command);
}
