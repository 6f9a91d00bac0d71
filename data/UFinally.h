#pragma once
// Scope guard for clean-up steps that must run on every path.
#include <utility>

template <typename F>
class TFinally {
public:
    explicit TFinally(F f) : m_f(std::move(f)) {}
    ~TFinally() { m_f(); }
    TFinally(const TFinally &) = delete;
    TFinally &operator=(const TFinally &) = delete;

private:
    F m_f;
};
