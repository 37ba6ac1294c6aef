// A fault hook for one scope, removed on the way out even when a test fails.
#pragma once

#include "FaultSeam.h"

#include <functional>
#include <utility>

namespace kvtest {

class FaultScope {
  public:
    using Fn = std::function<BOOL(const kvwin32::FaultContext&, DWORD*)>;
    explicit FaultScope(Fn fn) : m_fn(std::move(fn)) { kvwin32::SetFaultHook(&FaultScope::Thunk, this); }
    ~FaultScope() { kvwin32::SetFaultHook(nullptr, nullptr); }
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;

  private:
    static BOOL Thunk(void* p, const kvwin32::FaultContext& ctx, DWORD* pdwError)
    {
        return static_cast<FaultScope*>(p)->m_fn(ctx, pdwError);
    }
    Fn m_fn;
};

} // namespace kvtest
