// apr1 hashes per second with our MD5 against the same loop over OpenSSL's
// MD5, and the rewrite of a 100,000-line .HTPASSWD against a plain copy of
// the same file.
#include <benchmark/benchmark.h>

#include <string>

#include "intranet/access_files.h"
#include "intranet/apr1.h"
#include "platform/files.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_system.h"
#include "testing/test_program.h"

#ifdef XT_HAVE_OPENSSL
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>
#endif

namespace xt {
namespace {

const std::string kPassword = "OPERADOR";
const std::string kSalt = "abcdefgh";

void BM_Apr1Ours(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(apr1Crypt(kPassword, kSalt, md5Raw));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Apr1Ours);

#ifdef XT_HAVE_OPENSSL
Md5Digest opensslMd5(const void* data, size_t length) {
  Md5Digest digest;
  MD5(static_cast<const unsigned char*>(data), length, digest.data());
  return digest;
}

void BM_Apr1OpenSsl(benchmark::State& state) {
  if (apr1Crypt(kPassword, kSalt, opensslMd5) != apr1Crypt(kPassword, kSalt, md5Raw)) {
    state.SkipWithError("the two MD5s disagree");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(apr1Crypt(kPassword, kSalt, opensslMd5));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Apr1OpenSsl);
#endif

// A directory holding .HTPASSWD with 100,000 operators.
struct PasswordFile {
  PasswordFile() {
    std::string text;
    for (int i = 0; i < 100000; ++i)
      text += "OP" + std::to_string(100000 + i) + ":$apr1$abcdefgh$L.PT565ESX4Tp2bqNs7Ie.\r\n";
    dir.write(".HTPASSWD", text);
    bytes = text.size();
  }
  ScratchDir dir;
  size_t bytes = 0;
};

// One rewrite: the same operator's line replaced at the end each time, so
// the file keeps its size.
void BM_RewriteHtpasswd100k(benchmark::State& state) {
  PasswordFile file;
  PosixSystem system;
  PosixFileSystem disk;
  for (auto _ : state)
    if (rewriteAccessFiles(system, disk, file.dir.path(), "NEWOP", "NEWOP", false) != AccessStatus::Ok)
      state.SkipWithError("rewrite failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.bytes));
}
BENCHMARK(BM_RewriteHtpasswd100k)->Unit(benchmark::kMillisecond);

// The same file read and written to another name; with state.range(0) the
// copy is also flushed to disk, as the rewrite does.
void BM_CopyHtpasswd100k(benchmark::State& state) {
  PasswordFile file;
  for (auto _ : state) {
    std::string data = readWholeFile(file.dir / ".HTPASSWD").value_or("");
    BinaryFile out;
    (void)out.open(file.dir / "COPY", BinaryFile::Mode::Truncate);
    (void)out.writeAt(0, data);
    if (state.range(0)) (void)out.sync();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.bytes));
}
BENCHMARK(BM_CopyHtpasswd100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace xt
