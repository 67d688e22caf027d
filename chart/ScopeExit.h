#pragma once
// Runs a function when the scope it guards is left, by its end or by an
// exception: a setting switched for the length of a paint (repaint requests
// off, an application hook put aside) comes back whatever happens inside.

#include <utility>

template <class F>
class TScopeExit {
public:
    explicit TScopeExit(F onExit) : FOnExit(std::move(onExit)) {}
    ~TScopeExit() { FOnExit(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FOnExit;
};
