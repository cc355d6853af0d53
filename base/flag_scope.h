// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace base {

// Sets a flag for as long as it lives and clears it however the scope is left (a return, an
// exception): "an export runs", "a load runs", "inside a device call".
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
};

} // namespace base
