// The pseudo-random generator of the experiments: a 32-bit linear
// congruential state, cheap enough to sit inside a timed loop.
#pragma once

#include <cstdint>

class TPseudoRandom {
public:
  explicit TPseudoRandom(uint32_t Seed = 0) : FState(Seed) {}

  // Seeds from the time of day (UTC) in milliseconds, so runs differ.
  static uint32_t ClockSeed();

  uint32_t State() const { return FState; }
  void SetState(uint32_t Value) { FState = Value; }

  // Advances the state and returns a value in 0 .. N-1 (0 when N is 0): the
  // upper 32 bits of State x N, so every value is equally likely up to the
  // state's resolution.
  uint32_t Below(uint32_t N) {
    FState = FState * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(FState) * N) >> 32);
  }

private:
  uint32_t FState;
};
