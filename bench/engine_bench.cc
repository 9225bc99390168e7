// The record engine beside raw SQLite doing the same work on the same kind
// of file (the engine's own schema, indexes and pragmas): insert in its own
// transaction, Get Equal, Get Next over the whole file and Get Direct, on
// 10,000 records (and 1,000,000 with XT_BENCH_LARGE=1). The raw side uses
// the queries the engine uses, with prepared statements, minus the record
// manager's buffers, key images and currency. After the runs the ratios
// engine/raw are printed.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/key_image.h"
#include "platform/sqlite_engine.h"
#include "testing/test_program.h"

namespace xt {
namespace {

constexpr int kRecordLength = 64;

std::string keyOf(int64_t i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "K%07lld", static_cast<long long>(i % 10000000));
  return std::string(buf, 8);
}

std::string recordOf(int64_t i) {
  std::string r = keyOf(i) + " operator record payload ";
  r.resize(kRecordLength, '.');
  return r;
}

std::string fileSpec() {
  FileSpec fileSpec;
  fileSpec.recordLength = kRecordLength;
  fileSpec.pageSize = 4096;
  KeySpec key;
  SegmentSpec s;
  s.position = 1;
  s.length = 8;
  key.segments.push_back(s);
  fileSpec.keys.push_back(key);
  return encodeFileSpec(fileSpec);
}

ScratchDir& scratch() {
  static ScratchDir dir;
  return dir;
}

// Creates a data file through the engine and fills it with records 0..n-1
// in one raw transaction (the stored form is what the engine would store:
// key 0 of a plain string key is its own image).
std::string makeFile(const std::string& name, int64_t n) {
  std::string path = scratch() / name;
  SqliteEngine engine;
  uint8_t pb[kPositionBlockSize] = {};
  std::string creation = fileSpec();
  uint32_t len = uint32_t(creation.size());
  std::string key = path;
  key.resize(256, '\0');
  if (engine.call(op::kCreate, pb, reinterpret_cast<uint8_t*>(creation.data()), len,
                  reinterpret_cast<uint8_t*>(key.data()), int(path.size()), -1) != 0)
    std::abort();
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO records(data, k0, s0) VALUES(?1, ?2, 0)", -1, &st, nullptr);
  for (int64_t i = 0; i < n; ++i) {
    std::string r = recordOf(i * 2);  // even keys: odd ones are free for inserts
    sqlite3_bind_blob(st, 1, r.data(), int(r.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(st, 2, r.data(), 8, SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return path;
}

// One engine position block on a file.
struct EngineSide {
  explicit EngineSide(const std::string& path) {
    std::string owner(5, '\0');
    owner.resize(1536, ' ');
    uint32_t len = 5;
    std::string key = path;
    key.resize(256, '\0');
    if (engine.call(op::kOpen, pb, reinterpret_cast<uint8_t*>(owner.data()), len,
                    reinterpret_cast<uint8_t*>(key.data()), int(path.size()), 0) != 0)
      std::abort();
  }
  int16_t call(int16_t operation, uint8_t* key, uint32_t dataLength = 1536) {
    length = dataLength;
    return engine.call(operation, pb, data, length, key, 255, 0);
  }
  SqliteEngine engine;
  uint8_t pb[kPositionBlockSize] = {};
  uint8_t data[1536] = {};
  uint32_t length = 0;
};

// A raw connection with the engine's pragmas and queries.
struct RawSide {
  explicit RawSide(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    prepare(equal, "SELECT id, data, k0, s0 FROM records WHERE k0 = ?1 ORDER BY k0 LIMIT 1");
    prepare(next, "SELECT id, data, k0, s0 FROM records WHERE k0 > ?1 ORDER BY k0 LIMIT 1");
    prepare(direct, "SELECT id, data, k0, s0 FROM records WHERE id = ?1");
    prepare(begin, "BEGIN IMMEDIATE");
    prepare(insert, "INSERT INTO records(data, k0, s0) VALUES(?1, ?2, 0)");
    prepare(commit, "COMMIT");
    prepare(scan, "SELECT id, data, k0, s0 FROM records WHERE k0 IS NOT NULL ORDER BY k0");
  }
  ~RawSide() {
    for (sqlite3_stmt* s : {equal, next, direct, begin, insert, commit, scan}) sqlite3_finalize(s);
    sqlite3_close(db);
  }
  void prepare(sqlite3_stmt*& st, const char* sql) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) std::abort();
  }
  // Steps a one-row read and copies the record out, as the engine does.
  bool readRow(sqlite3_stmt* st) {
    bool found = sqlite3_step(st) == SQLITE_ROW;
    if (found) {
      std::memcpy(data, sqlite3_column_blob(st, 1), size_t(sqlite3_column_bytes(st, 1)));
      lastKey.assign(static_cast<const char*>(sqlite3_column_blob(st, 2)), size_t(sqlite3_column_bytes(st, 2)));
    }
    sqlite3_reset(st);
    return found;
  }
  void run(sqlite3_stmt* st) {
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3* db = nullptr;
  sqlite3_stmt *equal = nullptr, *next = nullptr, *direct = nullptr, *begin = nullptr,
               *insert = nullptr, *commit = nullptr, *scan = nullptr;
  uint8_t data[1536] = {};
  std::string lastKey;
};

int64_t sizeOf(const benchmark::State& state) { return state.range(0); }

std::string readFile(int64_t n) {
  static std::map<int64_t, std::string> files;
  auto it = files.find(n);
  if (it == files.end()) it = files.emplace(n, makeFile("read-" + std::to_string(n) + ".dat", n)).first;
  return it->second;
}

void Insert_Engine(benchmark::State& state) {
  std::string path = makeFile("ins-engine-" + std::to_string(sizeOf(state)) + ".dat", sizeOf(state));
  EngineSide e(path);
  uint8_t key[256] = {};
  int64_t i = 0;
  for (auto _ : state) {
    std::string r = recordOf(2 * (i++) + 1);
    std::memcpy(e.data, r.data(), r.size());
    if (e.call(op::kInsert, key, kRecordLength) != 0) state.SkipWithError("insert failed");
  }
}

void Insert_Raw(benchmark::State& state) {
  std::string path = makeFile("ins-raw-" + std::to_string(sizeOf(state)) + ".dat", sizeOf(state));
  RawSide raw(path);
  int64_t i = 0;
  for (auto _ : state) {
    std::string r = recordOf(2 * (i++) + 1);
    raw.run(raw.begin);
    sqlite3_bind_blob(raw.insert, 1, r.data(), int(r.size()), SQLITE_STATIC);
    sqlite3_bind_blob(raw.insert, 2, r.data(), 8, SQLITE_STATIC);
    if (sqlite3_step(raw.insert) != SQLITE_DONE) state.SkipWithError("insert failed");
    sqlite3_reset(raw.insert);
    raw.run(raw.commit);
  }
}

void GetEqual_Engine(benchmark::State& state) {
  EngineSide e(readFile(sizeOf(state)));
  std::mt19937_64 rng(1);
  uint8_t key[256] = {};
  for (auto _ : state) {
    std::string k = keyOf(int64_t(rng() % uint64_t(sizeOf(state))) * 2);
    std::memcpy(key, k.data(), 8);
    if (e.call(op::kGetEqual, key) != 0) state.SkipWithError("not found");
  }
}

void GetEqual_Raw(benchmark::State& state) {
  RawSide raw(readFile(sizeOf(state)));
  std::mt19937_64 rng(1);
  for (auto _ : state) {
    std::string k = keyOf(int64_t(rng() % uint64_t(sizeOf(state))) * 2);
    sqlite3_bind_blob(raw.equal, 1, k.data(), 8, SQLITE_STATIC);
    if (!raw.readRow(raw.equal)) state.SkipWithError("not found");
  }
}

void GetNext_Engine(benchmark::State& state) {
  EngineSide e(readFile(sizeOf(state)));
  uint8_t key[256] = {};
  if (e.call(op::kGetFirst, key) != 0) std::abort();
  for (auto _ : state) {
    if (e.call(op::kGetNext, key) == status::kEndOfFile) e.call(op::kGetFirst, key);
  }
}

void GetNext_Raw(benchmark::State& state) {
  RawSide raw(readFile(sizeOf(state)));
  std::string first(8, '\0');
  raw.lastKey = first;
  for (auto _ : state) {
    sqlite3_bind_blob(raw.next, 1, raw.lastKey.data(), int(raw.lastKey.size()), SQLITE_TRANSIENT);
    if (!raw.readRow(raw.next)) raw.lastKey = first;
  }
}

// For comparison only: one statement stepping through the index, the
// fastest a full pass can be (it holds a read snapshot, which the engine
// never does between calls).
void GetNext_RawScan(benchmark::State& state) {
  RawSide raw(readFile(sizeOf(state)));
  for (auto _ : state) {
    if (sqlite3_step(raw.scan) != SQLITE_ROW) {
      sqlite3_reset(raw.scan);
      sqlite3_step(raw.scan);
    }
    std::memcpy(raw.data, sqlite3_column_blob(raw.scan, 1), size_t(sqlite3_column_bytes(raw.scan, 1)));
  }
  sqlite3_reset(raw.scan);
}

void GetDirect_Engine(benchmark::State& state) {
  EngineSide e(readFile(sizeOf(state)));
  std::mt19937_64 rng(2);
  uint8_t key[256] = {};
  for (auto _ : state) {
    writeLe32(e.data, uint32_t(rng() % uint64_t(sizeOf(state)) + 1));
    if (e.call(op::kGetDirect, key) != 0) state.SkipWithError("no record");
  }
}

void GetDirect_Raw(benchmark::State& state) {
  RawSide raw(readFile(sizeOf(state)));
  std::mt19937_64 rng(2);
  for (auto _ : state) {
    sqlite3_bind_int64(raw.direct, 1, int64_t(rng() % uint64_t(sizeOf(state)) + 1));
    if (!raw.readRow(raw.direct)) state.SkipWithError("no record");
  }
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10000);
  const char* large = std::getenv("XT_BENCH_LARGE");
  if (large && *large && std::string(large) != "0") b->Arg(1000000);
}

BENCHMARK(Insert_Engine)->Apply(sizes)->Iterations(20000);
BENCHMARK(Insert_Raw)->Apply(sizes)->Iterations(20000);
BENCHMARK(GetEqual_Engine)->Apply(sizes);
BENCHMARK(GetEqual_Raw)->Apply(sizes);
BENCHMARK(GetNext_Engine)->Apply(sizes);
BENCHMARK(GetNext_Raw)->Apply(sizes);
BENCHMARK(GetNext_RawScan)->Apply(sizes);
BENCHMARK(GetDirect_Engine)->Apply(sizes);
BENCHMARK(GetDirect_Raw)->Apply(sizes);

// Prints the runs as usual, then engine/raw for each operation and size.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) times_[r.benchmark_name()] = r.GetAdjustedCPUTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nengine / raw (CPU time per operation):\n");
    for (auto& [name, engineTime] : times_) {
      const std::string marker = "_Engine/";
      size_t at = name.find(marker);
      if (at == std::string::npos) continue;
      std::string operation = name.substr(0, at);
      std::string size = name.substr(at + marker.size());
      auto raw = times_.find(operation + "_Raw/" + size);
      if (raw != times_.end() && raw->second > 0)
        std::printf("  %-10s %-24s %6.2f\n", operation.c_str(), size.c_str(), engineTime / raw->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace
}  // namespace xt

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  xt::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
