#include "app/Clock.h"

#include <allegro.h>

std::atomic<int32_t> pendingTicks{0};
int16_t tickRate = kTickRate;

// Runs in Allegro's timer thread: touches nothing but the counter.
void onTick() { pendingTicks.fetch_add(1); }
END_OF_FUNCTION(onTick)

void installTick() {
  LOCK_VARIABLE(pendingTicks);
  LOCK_FUNCTION(onTick);
  install_int_ex(onTick, BPS_TO_TIMER(tickRate));
}

void removeTick() {
  remove_int(onTick);
  pendingTicks.store(0);
}
