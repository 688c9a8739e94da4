// Runs a clean-up when a scope is left, by return or by exception, unless
// dismissed first: the one way to undo a half-done step.
#pragma once

#include <utility>

namespace ferry {

template <typename F>
class ScopeGuard {
 public:
  explicit ScopeGuard(F cleanup) : cleanup_(std::move(cleanup)) {}
  ~ScopeGuard() {
    if (active_) cleanup_();
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

  void Dismiss() { active_ = false; }

 private:
  F cleanup_;
  bool active_ = true;
};

}  // namespace ferry
