// The pause between ticks: the one a run starts with, and the bounds the speed keys keep to.
#pragma once
#include <cstdint>

namespace tarvex {

constexpr int64_t PLAINDELAYMS = 128;
constexpr int64_t MINDELAYMS = 1;
constexpr int64_t MAXDELAYMS = 2000;

} // namespace tarvex
