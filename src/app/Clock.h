// The 60 Hz logic clock: a timer callback that counts ticks for the screen loops to consume.
#pragma once
#include <atomic>
#include <cstdint>

inline constexpr int kTickRate = 60;

extern std::atomic<int32_t> pendingTicks;
extern int16_t tickRate;

void onTick();
void installTick();
void removeTick();
