// PakReader::VerifyEntries: every entry checked on a few threads at once, the
// verdicts handed on in directory order.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/scope_guard.h"
#include "formats/pak/entry_reader.h"
#include "formats/pak/pak_reader.h"

namespace ferry {

namespace {

// How long the calling thread sleeps between looks at the verdicts: it is
// woken early only by the end, so small entries cost no wake each.
constexpr auto kVerdictPoll = std::chrono::milliseconds(10);

enum class Verdict : uint8_t { kPending, kSound, kDamaged };

struct VerifyState {
  std::mutex Mutex;
  std::condition_variable Ended;
  std::vector<Verdict> Verdicts;
  std::map<size_t, EntryVerdict> Damage;
  size_t Next = 0;       // the next entry a worker takes
  size_t Limit = 0;      // no entry past the first damaged one is taken
  size_t InOrder = 0;   // entries before it all have their verdict
  bool Stop = false;
};

}  // namespace

unsigned ReaderThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

std::optional<size_t> PakReader::VerifyEntries(unsigned threads, const std::function<void(size_t index)>& verified) {
  last_ = EntryVerdict{};
  VerifyState s;
  s.Verdicts.assign(files_.size(), Verdict::kPending);
  s.Limit = files_.size();
  auto work = [this, &s] {
    PakEntryReader reader(kWorkerChunkSize);
    for (;;) {
      size_t i;
      {
        std::lock_guard<std::mutex> lock(s.Mutex);
        if (s.Stop || s.Next >= s.Limit) return;
        i = s.Next++;
      }
      const PakFile& e = files_[i];
      EntryVerdict check;
      if (e.OrigSize == 0) check.Sound = true;
      else if (!file_) check.Error = "the archive is closed";
      else {
        try {
          check = reader.Verify(*file_, end_, e, VerifyDepth::kZstdHead);
        } catch (const std::exception& failure) {
          check.Error = failure.what();
        }
      }
      const bool sound = check.Sound;
      std::lock_guard<std::mutex> lock(s.Mutex);
      s.Verdicts[i] = sound ? Verdict::kSound : Verdict::kDamaged;
      if (!sound) {
        s.Limit = std::min(s.Limit, i + 1);
        s.Damage.emplace(i, std::move(check));
      }
      const size_t before = s.InOrder;
      while (s.InOrder < s.Verdicts.size() && s.Verdicts[s.InOrder] == Verdict::kSound) ++s.InOrder;
      if (!sound || (s.InOrder == s.Verdicts.size() && before != s.InOrder)) s.Ended.notify_all();
    }
  };

  std::vector<std::thread> workers;
  ScopeGuard join([&] {
    {
      std::lock_guard<std::mutex> lock(s.Mutex);
      s.Stop = true;
    }
    for (std::thread& t : workers) t.join();
  });
  const unsigned count = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(files_.size())));
  try {
    for (unsigned t = 0; t < count && !files_.empty(); ++t) workers.emplace_back(work);
  } catch (const std::system_error&) {
    if (workers.empty()) work();  // no thread to be had: this one checks them all
  }

  for (size_t reported = 0; reported < files_.size();) {
    size_t ready;
    {
      std::unique_lock<std::mutex> lock(s.Mutex);
      auto news = [&] { return s.InOrder > reported || s.Verdicts[reported] == Verdict::kDamaged; };
      while (!news()) s.Ended.wait_for(lock, kVerdictPoll);
      if (s.InOrder == reported) {  // the entry at `reported` is damaged
        EntryVerdict check = std::move(s.Damage[reported]);
        s.Stop = true;
        lock.unlock();
        Record(std::move(check));
        return reported;
      }
      ready = s.InOrder;
    }
    for (; reported < ready; ++reported)
      if (verified) verified(reported);
  }
  return std::nullopt;
}

}  // namespace ferry
