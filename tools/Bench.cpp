// bench: one operation in a loop on T threads (one session each, one device)
// for S seconds; a progress line a second on stderr, then throughput and
// latency percentiles of the operations that succeeded.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/Commands.h"
#include "tools/Device.h"

namespace QuorTool {

namespace {

using Clock = std::chrono::steady_clock;

enum class Op { Random, Sm4Cbc, Sm3 };

struct alignas(64) Worker {
  std::atomic<uint64_t> ops{0};
  std::atomic<uint64_t> errors{0};
  SGD_RV firstError = SDR_OK;
  std::vector<uint32_t> latencyNs;  // of successful operations; capped at 4.29 s each
  std::string setupFailure;
};

double Percentile(const std::vector<uint32_t>& sorted, double p) {
  if (sorted.empty()) return 0;
  const size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
  return sorted[std::min(sorted.size(), std::max<size_t>(rank, 1)) - 1] / 1e6;
}

// slot 0: an imported random key.
void RunWorker(Worker& w, const Device& device, Op op, size_t n, uint32_t slot, const std::atomic<bool>& stop) {
  try {
    Session session(device);
    SGD_HANDLE s = session.handle();
    std::string data(n, '\0'), out(n, '\0');
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i * 131 + 7);
    std::unique_ptr<KeyHandle> key;
    if (op == Op::Sm4Cbc) {
      if (slot != 0) {
        key = std::make_unique<KeyHandle>(KeyHandle::Slot(session, slot));
      } else {
        std::string k(16, '\0');
        CheckSdr(SDF_GenerateRandom(s, 16, reinterpret_cast<SGD_UCHAR*>(k.data())), "SDF_GenerateRandom");
        key = std::make_unique<KeyHandle>(KeyHandle::Import(session, k));
      }
    }
    auto* in = reinterpret_cast<SGD_UCHAR*>(data.data());
    auto* o = reinterpret_cast<SGD_UCHAR*>(out.data());
    unsigned char iv[16] = {};
    unsigned char digest[64];
    w.latencyNs.reserve(1 << 16);
    while (!stop.load(std::memory_order_relaxed)) {
      const auto t0 = Clock::now();
      SGD_RV rv = SDR_OK;
      SGD_UINT32 len = 0;
      switch (op) {
        case Op::Random:
          rv = SDF_GenerateRandom(s, static_cast<SGD_UINT32>(n), o);
          break;
        case Op::Sm4Cbc:
          rv = SDF_Encrypt(s, key->handle(), SGD_SM4_CBC, iv, in, static_cast<SGD_UINT32>(n), o, &len);
          break;
        case Op::Sm3:
          rv = SDF_HashInit(s, SGD_SM3, nullptr, nullptr, 0);
          if (rv == SDR_OK) rv = SDF_HashUpdate(s, in, static_cast<SGD_UINT32>(n));
          len = sizeof digest;
          if (rv == SDR_OK) rv = SDF_HashFinal(s, digest, &len);
          break;
      }
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count();
      if (rv == SDR_OK) {
        w.latencyNs.push_back(static_cast<uint32_t>(std::min<int64_t>(ns, UINT32_MAX)));
        w.ops.fetch_add(1, std::memory_order_relaxed);
      } else {
        if (w.errors.load(std::memory_order_relaxed) == 0) w.firstError = rv;
        w.errors.fetch_add(1, std::memory_order_relaxed);
        // A failing device answers at once; do not spin on it.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  } catch (const ToolError& e) {
    w.setupFailure = e.what();
  }
}

}  // namespace

int RunBench(const Args& args) {
  const auto& pos = args.Positional();
  if (pos.size() != 2) UsageError("bench takes an operation (random, sm4-cbc, sm3) and a size in bytes");
  Op op;
  if (pos[0] == "random")
    op = Op::Random;
  else if (pos[0] == "sm4-cbc")
    op = Op::Sm4Cbc;
  else if (pos[0] == "sm3")
    op = Op::Sm3;
  else
    UsageError("unknown operation " + pos[0] + " (random, sm4-cbc or sm3)");
  const size_t n = Args::Number(pos[1], "the size", 1, 1 << 20);
  if (op == Op::Sm4Cbc && n % 16 != 0) UsageError("sm4-cbc needs a size that is a multiple of 16");
  const unsigned threads = static_cast<unsigned>(Args::Number(args.Get("threads", "1"), "--threads", 1, 256));
  const unsigned seconds = static_cast<unsigned>(Args::Number(args.Get("seconds", "5"), "--seconds", 1, 3600));
  if (args.Has("slot") && op != Op::Sm4Cbc) UsageError("--slot is only used by sm4-cbc");
  const auto slot =
      args.Has("slot") ? static_cast<uint32_t>(Args::Number(args.Get("slot"), "--slot", 1, 0x7FFFFFFF)) : 0u;

  ConfigSelection config(args.Get("config"));
  Device device;
  std::vector<Worker> workers(threads);
  std::atomic<bool> stop{false};
  std::vector<std::thread> pool;
  const auto start = Clock::now();
  for (Worker& w : workers) pool.emplace_back(RunWorker, std::ref(w), std::cref(device), op, n, slot, std::cref(stop));

  uint64_t lastOps = 0, lastErrors = 0;
  for (unsigned sec = 1; sec <= seconds; ++sec) {
    std::this_thread::sleep_until(start + std::chrono::seconds(sec));
    uint64_t ops = 0, errors = 0;
    for (const Worker& w : workers) {
      ops += w.ops.load(std::memory_order_relaxed);
      errors += w.errors.load(std::memory_order_relaxed);
    }
    std::fprintf(stderr, "bench: %3us  %8llu ops/s  %10llu ops  %6llu errors (+%llu)\n", sec,
                 static_cast<unsigned long long>(ops - lastOps), static_cast<unsigned long long>(ops),
                 static_cast<unsigned long long>(errors), static_cast<unsigned long long>(errors - lastErrors));
    lastOps = ops;
    lastErrors = errors;
  }
  stop = true;
  for (std::thread& t : pool) t.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  std::vector<uint32_t> all;
  uint64_t errors = 0;
  SGD_RV firstError = SDR_OK;
  for (const Worker& w : workers) {
    if (!w.setupFailure.empty()) Fail("a bench thread could not start: " + w.setupFailure);
    all.insert(all.end(), w.latencyNs.begin(), w.latencyNs.end());
    errors += w.errors;
    if (firstError == SDR_OK) firstError = w.firstError;
  }
  std::sort(all.begin(), all.end());
  const double opsPerSec = static_cast<double>(all.size()) / elapsed;
  std::printf("operation   %s of %zu bytes, %u thread%s, %.2f s\n", pos[0].c_str(), n, threads, threads == 1 ? "" : "s",
              elapsed);
  std::printf("operations  %zu succeeded, %llu failed\n", all.size(), static_cast<unsigned long long>(errors));
  std::printf("throughput  %.1f ops/s  %.3f MB/s\n", opsPerSec, opsPerSec * static_cast<double>(n) / 1e6);
  std::printf("latency     p50 %.3f ms  p90 %.3f ms  p99 %.3f ms  max %.3f ms\n", Percentile(all, 50),
              Percentile(all, 90), Percentile(all, 99), all.empty() ? 0.0 : all.back() / 1e6);
  if (errors) {
    std::printf("first error %s\n", DescribeSdr(firstError).c_str());
    return kExitFailure;
  }
  return 0;
}

}  // namespace QuorTool
