#include "cnumbers.h"

namespace plat {

namespace {

locale_t CLocale() {
    // Made once and kept for the life of the process.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

ScopedCNumbers::ScopedCNumbers() : previous_(nullptr) {
    const locale_t c = CLocale();
    if (c) previous_ = uselocale(c);
}

ScopedCNumbers::~ScopedCNumbers() {
    if (previous_) uselocale(previous_);
}

}  // namespace plat
