// Numbers written and read the same way whatever the process locale. The desktop
// toolkit takes the locale from the environment, and under a comma locale the C
// library would write "0,5" and stop reading "0.5" at the point: scene files, the
// view matrix one-liner and typed matrices would all come out wrong.
#pragma once

#include <locale.h>

namespace plat {

// While it lives, the C library's formatting and scanning on this thread use the "C"
// conventions (a point before the decimals, no grouping). Nests.
class ScopedCNumbers {
  public:
    ScopedCNumbers();
    ~ScopedCNumbers();
    ScopedCNumbers(const ScopedCNumbers&) = delete;
    ScopedCNumbers& operator=(const ScopedCNumbers&) = delete;

  private:
    locale_t previous_;
};

}  // namespace plat
