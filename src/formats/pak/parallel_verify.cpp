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
  std::mutex mutex;
  std::condition_variable ended;
  std::vector<Verdict> verdicts;
  std::map<size_t, EntryVerdict> damage;
  size_t next = 0;       // the next entry a worker takes
  size_t limit = 0;      // no entry past the first damaged one is taken
  size_t in_order = 0;   // entries before it all have their verdict
  bool stop = false;
};

}  // namespace

unsigned ReaderThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

std::optional<size_t> PakReader::VerifyEntries(unsigned threads, const std::function<void(size_t index)>& verified) {
  last_ = EntryVerdict{};
  VerifyState s;
  s.verdicts.assign(files_.size(), Verdict::kPending);
  s.limit = files_.size();
  auto work = [this, &s] {
    PakEntryReader reader(kWorkerChunkSize);
    for (;;) {
      size_t i;
      {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stop || s.next >= s.limit) return;
        i = s.next++;
      }
      const TPakFile& e = files_[i];
      EntryVerdict check;
      if (e.OrigSize == 0) check.Sound = true;
      else if (!file_) check.Error = "the archive is closed";
      else {
        try {
          check = reader.Verify(*file_, end_, e);
        } catch (const std::exception& failure) {
          check.Error = failure.what();
        }
      }
      const bool sound = check.Sound;
      std::lock_guard<std::mutex> lock(s.mutex);
      s.verdicts[i] = sound ? Verdict::kSound : Verdict::kDamaged;
      if (!sound) {
        s.limit = std::min(s.limit, i + 1);
        s.damage.emplace(i, std::move(check));
      }
      const size_t before = s.in_order;
      while (s.in_order < s.verdicts.size() && s.verdicts[s.in_order] == Verdict::kSound) ++s.in_order;
      if (!sound || (s.in_order == s.verdicts.size() && before != s.in_order)) s.ended.notify_all();
    }
  };

  std::vector<std::thread> workers;
  ScopeGuard join([&] {
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      s.stop = true;
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
      std::unique_lock<std::mutex> lock(s.mutex);
      auto news = [&] { return s.in_order > reported || s.verdicts[reported] == Verdict::kDamaged; };
      while (!news()) s.ended.wait_for(lock, kVerdictPoll);
      if (s.in_order == reported) {  // the entry at `reported` is damaged
        EntryVerdict check = std::move(s.damage[reported]);
        s.stop = true;
        lock.unlock();
        Record(std::move(check));
        return reported;
      }
      ready = s.in_order;
    }
    for (; reported < ready; ++reported)
      if (verified) verified(reported);
  }
  return std::nullopt;
}

}  // namespace ferry
