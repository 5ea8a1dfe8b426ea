// Shared set-up of the input tests: a fresh headless host and input service, the library state reset,
// full screen at 640 x 480, and helpers to run a frame and collect its events.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_input.h"

extern int32_t FadeStep;

namespace inputtest {

struct Ev {
  uint8_t kind;
  uint8_t joystick;
  uint16_t code;
  int32_t value;
  float age;
};

// Walks the queue like a scene does (wantEmpty 0: real events only).
inline std::vector<Ev> Walk() {
  std::vector<Ev> out;
  while (elSystem::GetEvent(0)) {
    out.push_back(Ev{InputEvent.kind, InputEvent.joystick, InputEvent.code, InputEvent.value, InputEvent.age});
  }
  return out;
}

// One frame as the main loop runs it: the update, then InputTime.
inline std::vector<Ev> Frame() {
  elSystem::UpdateInput();
  InputTime = plat::TimeMs();
  return Walk();
}

inline std::vector<uint16_t> Codes(const std::vector<Ev>& evs) {
  std::vector<uint16_t> c;
  for (const Ev& e : evs) c.push_back(e.code);
  return c;
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::headless::Reset();
    plat::headless::ResetInput();
    elSystem::ResetState();
    FullScreen = 1;
    ScreenWidth = 640;
    ScreenHeight = 480;
    ClientX = ClientY = 0;
    FadeStep = 0;
    PauseShown = 0;
    PointerSyncPending = 0;
    TriggerState = 0;
    TriggerCode = 0;
  }
  void TearDown() override {
    elSystem::ReleaseInput();
    plat::headless::ResetInput();
  }
  // Devices set up and acquired, as after start-up and the window's activation (without the pointer
  // re-sync, which tests ask for themselves).
  void StartActive() {
    ASSERT_EQ(elSystem::Init(), 1);
    elSystem::ActivateInput(1);
  }
};

}  // namespace inputtest
