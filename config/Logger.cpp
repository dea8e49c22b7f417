#include "config/Logger.h"

#include <sys/time.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace Quor::Base {

namespace {

constexpr auto kTick = std::chrono::milliseconds(10);
constexpr size_t kWakeThreshold = 1048576;
constexpr const char* kTags[] = {"[DEBUG]<", "[INFO ]<", "[WARN ]<", "[ERROR]<"};

struct FileClose {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

struct Logger::State {
  explicit State(const LoggerSettings& s) : settings(s), threshold(s.level) {}

  const LoggerSettings settings;
  std::atomic<int32_t> threshold;
  std::atomic<bool> writerDone{false};

  std::mutex lock;  // buffer, stop, and the cached second of the timestamp
  std::condition_variable wake;
  std::string buffer;
  bool stop = false;
  std::atomic<bool> tick{false};

  std::mutex tickerLock;
  std::condition_variable tickerWake;
  bool tickerStop = false;

  // localtime_r and strftime once a second, not once a line.
  time_t cachedSecond = -1;
  char cachedText[32] = {};
  size_t cachedLen = 0;

  std::thread writer;
  std::thread ticker;

  void AppendTimestamp() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    if (tv.tv_sec != cachedSecond) {
      tm local{};
      localtime_r(&tv.tv_sec, &local);
      cachedLen = std::strftime(cachedText, sizeof cachedText, "%Y-%m-%d_%H:%M:%S", &local);
      cachedSecond = tv.tv_sec;
    }
    buffer.append(cachedText, cachedLen);
    const int ms = static_cast<int>(tv.tv_usec / 1000);
    const char frac[4] = {'.', static_cast<char>('0' + ms / 100), static_cast<char>('0' + ms / 10 % 10),
                          static_cast<char>('0' + ms % 10)};
    buffer.append(frac, 4);
  }

  void WriterLoop() {
    std::string out;
    std::unique_lock lk(lock);
    for (;;) {
      // stop is set under the lock, so it is seen here whether the writer was
      // waiting or busy flushing when it was requested.
      wake.wait_for(lk, 2 * kTick, [this] {
        return stop || tick.load(std::memory_order_relaxed) || buffer.size() >= kWakeThreshold;
      });
      tick.store(false, std::memory_order_relaxed);
      const bool final = stop;
      out.swap(buffer);
      if (!out.empty()) {
        // File work happens without the lock, so callers of Write never wait
        // for the disk; only this thread touches the file.
        lk.unlock();
        Flush(out);
        out.clear();
        lk.lock();
      }
      if (final) break;
    }
    writerDone.store(true);
  }

  // A file that cannot be opened or written costs this flush's text only.
  void Flush(const std::string& text) {
    std::unique_ptr<FILE, FileClose> f(std::fopen(settings.path.c_str(), "ab"));
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f.get());
    std::fflush(f.get());
    const long end = std::ftell(f.get());
    f.reset();
    if (end >= 0 && static_cast<int64_t>(end) >= static_cast<int64_t>(settings.maxSize) * 1048576) Rotate();
  }

  // Rename and delete failures are ignored: a backup that cannot be moved
  // is lost or overwritten at worst, and logging must carry on regardless.
  void Rotate() {
    const std::string base = settings.path + ".bak";
    for (int32_t n = settings.backupNum; n >= 2; --n) {
      const std::string to = base + std::to_string(n);
      std::remove(to.c_str());
      std::rename((base + std::to_string(n - 1)).c_str(), to.c_str());
    }
    std::rename(settings.path.c_str(), (base + "1").c_str());
  }

  void TickerLoop() {
    std::unique_lock lk(tickerLock);
    while (!tickerWake.wait_for(lk, kTick, [this] { return tickerStop; })) {
      tick.store(true, std::memory_order_relaxed);
      wake.notify_one();
    }
  }
};

Logger::Logger(const LoggerSettings& settings) : state_(new State(settings)) {
  state_->writer = std::thread([s = state_] { s->WriterLoop(); });
  try {
    state_->ticker = std::thread([s = state_] { s->TickerLoop(); });
  } catch (...) {
    {
      std::lock_guard lk(state_->lock);
      state_->stop = true;
    }
    state_->wake.notify_all();
    state_->writer.join();
    delete state_;
    throw;
  }
}

Logger::~Logger() {
  {
    std::lock_guard lk(state_->lock);
    state_->stop = true;
  }
  state_->wake.notify_all();
  state_->writer.join();
  {
    std::lock_guard lk(state_->tickerLock);
    state_->tickerStop = true;
  }
  state_->tickerWake.notify_all();
  state_->ticker.join();
  delete state_;
}

void Logger::Write(int32_t level, std::string_view message) {
  if (level < 1 || level > 4) return;
  State& s = *state_;
  std::lock_guard lk(s.lock);
  s.buffer.append(kTags[level - 1], 8);
  s.AppendTimestamp();
  s.buffer.append(">|", 2);
  s.buffer.append(message);
  s.buffer.push_back('\n');
  if (s.buffer.size() >= kWakeThreshold) s.wake.notify_one();
}

int32_t Logger::GetLevel() const { return state_->threshold.load(std::memory_order_relaxed); }

}  // namespace Quor::Base
