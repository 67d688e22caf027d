#pragma once
// Runs a function when the scope it guards is left, by its end or by an
// exception: a setting switched for the length of a task (repaint requests
// off for a paint, a dialog put aside) comes back, and a count kept while
// work goes on is recorded, whatever happens inside.

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
