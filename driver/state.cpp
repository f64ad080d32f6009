#include "driver/state.h"

#include <cmath>
#include <cstring>

synthesis_state st;  // static storage: zero-filled before anything runs
uint32_t rand15_state = 1;

namespace {

void set_constants() {
  double pi = std::atan2(0.0, -1.0);
  st.two_pi = float(2.0 * pi);
  // From the double 2 pi: from the float two_pi the last bit differs.
  st.inv_sqrt_2pi = float(1.0 / std::sqrt(2.0 * pi));
}

// Sets the start-up constants when static data are initialised, before main.
const bool constants_set = (set_constants(), true);

}  // namespace

void reset_state() {
  std::memset(static_cast<void*>(&st), 0, sizeof st);
  set_constants();
  rand15_state = 1;
}
