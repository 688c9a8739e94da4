// Runs a clean-up when the scope ends, however it ends, unless dismissed.
#pragma once

#include <utility>

namespace ferry {

template <typename F>
class ScopeGuard {
 public:
  explicit ScopeGuard(F cleanUp) : clean_up_(std::move(cleanUp)) {}
  ~ScopeGuard() {
    if (armed_) clean_up_();
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

  // The work succeeded: nothing to undo.
  void Dismiss() { armed_ = false; }

 private:
  F clean_up_;
  bool armed_ = true;
};

}  // namespace ferry
