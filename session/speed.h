// The pause between ticks: the one a run starts with, the bounds the speed keys keep to, and the
// longest a run may be given.
#pragma once
#include <cstdint>

namespace tarvex {

constexpr int64_t PLAINDELAYMS = 128;
constexpr int64_t MINDELAYMS = 1;
constexpr int64_t MAXDELAYMS = 2000;
constexpr int64_t LONGESTDELAYMS = 60000;

} // namespace tarvex
