// Input: the event queue, state words, polled keys, the trigger and the polled joysticks against small
// models of their rules over random scripts; set-up, device faults and the input service's refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_input.h"
#include "platform/input.h"

extern int32_t FadeStep;

namespace hl = plat::headless;
namespace in = plat::input;

namespace {

struct Ev { int kind, joystick, code, value, ageMs; };

// Events as text: code, value, kind, joystick and age (ms) of each.
std::string Show(const std::vector<Ev>& evs) {
  std::string s;
  for (const Ev& e : evs)
    for (int f : {-1, e.code, e.value, e.kind, e.joystick, e.ageMs}) s += f == -1 ? std::string(" |") : std::to_string(f) + ":";
  return s;
}

// One frame as the main loop runs it, walked as a scene walks it; answers the codes.
std::vector<int> Frame() {
  std::vector<int> codes;
  for (elSystem::UpdateInput(), InputTime = plat::TimeMs(); elSystem::GetEvent(0);) codes.push_back(InputEvent.code);
  return codes;
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset(), hl::ResetInput(), hl::SetReadStepMicros(0), elSystem::ResetState();
    ScreenWidth = 640, ScreenHeight = 480, ClientX = ClientY = FadeStep = PauseShown = ErrorFlag = 0;
    InputTime = PointerSyncPending = TriggerState = TriggerCode = 0;
  }
  void TearDown() override { elSystem::ReleaseInput(), hl::ResetInput(); }
  void StartActive() { ASSERT_EQ(elSystem::Init(), 1); elSystem::ActivateInput(1); }
};

// A device: buffers 256 records while acquired; a read that says data was lost is not counted, made again.
struct ModelDevice {
  std::deque<Ev> fifo;  // code = object offset, ageMs = time stamp
  bool overflow = false, acquired = true;
  void Push(int obj, int data) {
    if (acquired && fifo.size() >= 256) overflow = true;
    else if (acquired) fifo.push_back({0, 0, obj, data, static_cast<int>(plat::TimeMs())});
  }
  std::vector<Ev> Read(size_t room) {
    auto take = [&] {
      std::vector<Ev> out(fifo.begin(), fifo.begin() + static_cast<long>(std::min(room, fifo.size())));
      fifo.erase(fifo.begin(), fifo.begin() + static_cast<long>(out.size()));
      return out;
    };
    if (room > 0 && overflow) overflow = false, take();
    return take();
  }
};

// Axes after set-up: X, Y, Z ignore the inner half of their travel; X..Rz -1000..1000, sliders 0..65535.
int Scaled(int axis, int32_t raw) {
  double n = std::max(-1.0, raw / 32767.0);
  if (axis <= 2) n = std::fabs(n) < 0.5 ? 0.0 : (n > 0 ? n - 0.5 : n + 0.5) / 0.5;
  return static_cast<int>(axis <= 5 ? std::lround(n * 1000) : std::lround((n + 1) * 65535 / 2));
}

// The queue: keyboard, mouse, joysticks by slot, then a re-sync's two records (both or neither); 256 a frame,
// the rest waits; motion of 5 or more counts double; pointer mode carries the pointer, held in the clip
// (in a window: the cursor relative to it). Each feed goes to the headless devices and to the model.
struct QueueModel {
  ModelDevice kb, mouse, joy[2];
  bool active = true, pointerMode = true, clipped = true, syncPending = false, windowed = false, keyDown[256] = {}, mouseDown[5] = {};
  int clip[4] = {0, 0, 640, 480}, client[2] = {}, reported[2][8], pov[2] = {-1, -1};
  int64_t px = 0, py = 0;
  uint32_t inputTime = 0, buttons[2] = {};
  QueueModel() {
    for (auto& r : reported)
      for (int a = 0; a < 8; ++a) r[a] = Scaled(a, 0);
  }
  void Key(uint8_t sc, bool down) { down ? hl::KeyPress(sc) : hl::KeyRelease(sc), kb.Push(sc, (keyDown[sc] = down) * 0x80); }
  void Move(int dx, int dy) { hl::MouseMove(dx, dy), dx ? mouse.Push(0, dx) : void(), dy ? mouse.Push(4, dy) : void(); }
  void Wheel(int delta) { hl::MouseWheel(delta), mouse.Push(8, delta); }
  void Button(int b, bool down) { hl::MouseButton(b, mouseDown[b] = down), b < 4 ? mouse.Push(12 + b, down * 0x80) : void(); }
  void Axis(int j, int a, int raw) {
    if (hl::JoystickAxis(j, a, raw), Scaled(a, raw) != reported[j][a]) joy[j].Push(4 * a, reported[j][a] = Scaled(a, raw));
  }
  void JoyButton(int j, int b, bool down) {
    if (hl::JoystickButton(j, b, down), ((buttons[j] >> b) & 1u) != down) joy[j].Push(48 + b, down * 0x80);
    buttons[j] = (buttons[j] & ~(1u << b)) | (uint32_t{down} << b);
  }
  void Pov(int j, int v) { hl::JoystickPov(j, 0, static_cast<uint32_t>(v)), v != pov[j] ? joy[j].Push(32, pov[j] = v) : void(); }
  void Resynced() {  // the pointer was put where the cursor is
    int cx, cy;
    hl::CursorPos(&cx, &cy);
    px = cx - client[0], py = cy - client[1], syncPending = syncPending || pointerMode;
  }
  static int Kind(int code) { return code < 256 ? 1 : code < 512 ? 2 : code < 4096 ? 3 : code < 8192 ? 2 : 3; }
  std::vector<Ev> Update() {
    std::vector<Ev> out;
    int cursor[2];
    if (hl::CursorPos(&cursor[0], &cursor[1]), !active) return out;
    auto add = [&](int code, int64_t value, int time, int j) { out.push_back({Kind(code), j, code, static_cast<int>(value), time}); };
    for (const Ev& r : kb.Read(256)) add(r.code, r.value ? 1 : 0, r.ageMs, 0);
    for (const Ev& r : mouse.Read(256 - out.size())) {
      const int64_t d = std::abs(r.value) >= 5 ? 2 * int64_t{r.value} : r.value;
      const int a = r.code == 0 ? 0 : 1, pointer = pointerMode && r.code < 8;
      int64_t& p = a == 0 ? px : py;
      if (pointer && !windowed) p = clipped ? std::clamp<int64_t>(p + d, clip[a], clip[a + 2] - 1) : p + d;
      if (r.code >= 12) add(r.code + 256, r.value ? 1 : 0, r.ageMs, 0);
      else add(r.code + 4096, pointer ? (windowed ? cursor[a] - client[a] : p) : d, r.ageMs, 0);
    }
    for (int j = 0; j < 2; ++j)
      for (const Ev& r : joy[j].Read(256 - out.size()))
        add(r.code + (r.code >= 48 ? 512 : 8192), r.code >= 48 ? (r.value ? 1 : 0) : r.value, r.ageMs, j + 1);
    if (syncPending && out.size() + 2 <= 256) {
      add(4096, cursor[0] - client[0], static_cast<int>(inputTime), 0);
      add(4100, cursor[1] - client[1], static_cast<int>(inputTime), 0);
      syncPending = false;
    }
    return out;
  }
};

// The state word of elSystem::CheckEvent after one more event.
uint32_t NextWord(uint32_t w, int code, const Ev& e, bool motion) {
  w = w == 0xFF01 ? 0xFF03 : w == 0xFF02 ? 0xFF00 : w;
  if (motion && code >= 4096 && code <= 4104) w = 0;
  if (e.code != code) return w;
  if (code >= 8192) return static_cast<uint32_t>(e.value);
  if (code >= 4096) return static_cast<uint32_t>(motion && std::abs(e.value) >= 5 ? 2 * e.value : e.value);
  return e.value ? 0xFF01 : 0xFF02;
}

// The polled key state after one more poll.
uint32_t NextEdge(uint32_t s, bool down, bool forced) {
  s = down ? (s == 0 ? 1 : 3) : (s == 1 || s == 3 ? 2 : 0);
  return forced ? 0 : s;
}

// WaitTrigger: arms once nothing is held, catches a listed last key or button, fires on its release.
struct TriggerModel {
  uint32_t keyHeld = 0, lastKey = 0, buttonHeld = 0, lastButton = 0, state = 0, code = 0, watched = 0;
  bool locked = false, paused = false;
  void Message(uint32_t msg, uint32_t key) {
    if (msg == plat::WM_KEYDOWN && !locked && !paused) keyHeld = lastKey = key;
    if (msg == plat::WM_KEYUP && keyHeld == key) keyHeld = 0;
    watched += msg == plat::WM_KEYUP && key == 'Q';
    if ((msg == plat::WM_LBUTTONDOWN || msg == plat::WM_RBUTTONDOWN) && !locked)
      buttonHeld = lastButton = msg == plat::WM_LBUTTONDOWN ? 1 : 2;
    if ((msg == plat::WM_LBUTTONUP && buttonHeld == 1) || (msg == plat::WM_RBUTTONUP && buttonHeld == 2)) buttonHeld = 0;
  }
  uint32_t Trigger(const std::vector<uint32_t>& list) {
    if (state == 0 && keyHeld == 0 && buttonHeld == 0) state = 1;
    for (size_t i = 0; state == 1 && i < list.size(); ++i)
      if (list[i] == lastKey || list[i] == lastButton) code = list[i], state = 2;
    if (state != 2) return 0;
    const bool button = code == 1 || code == 2;
    if ((button ? lastButton : lastKey) != code) state = 0;
    if ((button ? buttonHeld : keyHeld) != 0) return 0;
    state = lastKey = lastButton = 0;
    return code;
  }
};

TEST_F(InputTest, QueueStateWordsKeysAndTriggerFollowTheirRulesOverARandomScript) {
  hl::AttachJoystick(), hl::AttachJoystick(), StartActive();
  QueueModel m;
  const uint8_t kScans[] = {0x1E, 0x2A, 0x36, 0x30, 0x1F, 0x01, 0x0B};
  const int kRaws[] = {-32768, -24576, -16000, 0, 16000, 24576, 32767}, kAxes[] = {0, 1, 2, 3, 5, 6};
  const int kPovs[] = {-1, 0, 9000, 27000}, kJoyButtons[] = {0, 1, 5, 31}, kWatched[] = {0x1E, 268, 4096, 8192, 561};
  const uint32_t kMsgs[] = {plat::WM_LBUTTONDOWN, plat::WM_LBUTTONUP, plat::WM_RBUTTONDOWN, plat::WM_RBUTTONUP,
                            plat::WM_KEYDOWN, plat::WM_KEYUP}, kVks[] = {13, 'Z', 'Q', 16};
  const std::vector<uint32_t> kLists[] = {{1}, {1, 'Z', 13}, {2, 'Q'}};
  uint32_t words[5] = {}, modelWords[5] = {}, keys[5] = {}, modelKeys[5] = {};
  TriggerModel tm;
  elSystem::SetWatchKey('Q');
  std::mt19937 rng(20261206);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  auto place = [&] {
    const int* c = m.clip;
    m.clipped ? hl::PlaceCursor(c[0] + pick(c[2] - c[0]), c[1] + pick(c[3] - c[1])) : hl::PlaceCursor(pick(640), pick(480));
  };
  for (int frame = 0; frame < 800; ++frame) {
    if (pick(10) == 0) {  // the window loses or regains the foreground
      for (ModelDevice* d : {&m.kb, &m.mouse, &m.joy[0], &m.joy[1]}) {
        if (m.active) d->fifo.clear(), d->overflow = false;
        d->acquired = !m.active;
      }
      if (!m.active) place();
      elSystem::WindowProc(plat::WM_ACTIVATEAPP, !m.active, 0);
      if ((m.active = !m.active)) m.Resynced();
    }
    if (pick(12) == 0 && ((m.pointerMode = !m.pointerMode) || true))
      elSystem::SetInputDevices(kInputKeyboard | kInputJoysticks | (m.pointerMode ? kInputMousePointer : kInputMouseMotion));
    if (pick(15) == 0) {  // between full screen and a window that moves
      FullScreen = !(m.windowed = !m.windowed);
      m.client[0] = m.windowed ? pick(60) : 0, m.client[1] = m.windowed ? pick(40) : 0;
      elSystem::WindowProc(plat::WM_MOVE, 0, (m.client[1] << 16) | m.client[0]);
    }
    if (pick(10) == 0 && (m.clipped = pick(3) != 0)) {  // a rectangle, or the game screen
      int* c = m.clip;
      const bool screen = pick(2);
      c[0] = screen ? m.client[0] : pick(300), c[1] = screen ? m.client[1] : pick(200);
      c[2] = c[0] + (screen ? 640 : 1 + pick(300)), c[3] = c[1] + (screen ? 480 : 1 + pick(250));
      screen ? elSystem::ClipCursorToScreen() : elSystem::ClipCursor(c[0], c[1], c[2], c[3]);
    } else if (!m.clipped) {
      elSystem::UnclipCursor();
    }
    // Now and then a burst: of all kinds (fills the queue), or of keys or motion alone (overflows).
    const int burst = pick(8) == 0 ? 1 + pick(3) : 0;
    for (int a = 0, actions = burst ? 100 + pick(300) : pick(7); a < actions; ++a) {
      hl::AdvanceMs(static_cast<uint32_t>(pick(3)));
      const int j = pick(2), kind = burst >= 2 ? burst - 2 : pick(7);
      if (kind == 0) m.Key(kScans[pick(7)], pick(2));
      if (kind == 1) m.Move(pick(19) - 9, pick(19) - 9);
      if (kind == 2) m.Button(pick(5), pick(2));
      if (kind == 3) m.Wheel(pick(2) ? 120 : -3);
      if (kind == 4) m.Axis(j, kAxes[pick(6)], kRaws[pick(7)]);
      if (kind == 5) m.JoyButton(j, kJoyButtons[pick(4)], pick(2));
      if (kind == 6) m.Pov(j, kPovs[pick(4)]);
    }
    if (pick(10) == 0) place(), elSystem::SyncPointer(1), m.Resynced();
    if (const int x = pick(600), y = pick(400); pick(20) == 0 && m.pointerMode)
      elSystem::SetMousePos(x, y), m.px = x, m.py = y, m.syncPending = true;
    FadeStep = pick(8) == 0, PauseShown = tm.paused = pick(8) == 0;
    if (pick(8) == 0 && (tm.locked = !tm.locked)) elSystem::LockInput();
    else if (!tm.locked && InputLocked) elSystem::UnlockInput(), tm.keyHeld = 0;
    const bool forced = FadeStep || PauseShown || InputLocked;
    for (int i = pick(4); i > 0; --i) {  // window messages, and the trigger waiting for a listed one
      const uint32_t msg = kMsgs[pick(6)], vk = kVks[pick(4)];
      elSystem::WindowProc(msg, vk, 0), tm.Message(msg, vk);
      const bool left = msg == plat::WM_LBUTTONDOWN;
      if (!tm.locked && (left || msg == plat::WM_RBUTTONDOWN)) {  // a press sets its button's three flags
        ASSERT_EQ((left ? std::vector<uint32_t>{LButtonHeld, LButtonClick, LButtonLatch}
                        : std::vector<uint32_t>{RButtonHeld, RButtonClick, RButtonLatch}), std::vector<uint32_t>(3, 1));
      }
    }
    const int l = pick(3);
    const uint32_t fire = l == 0 ? elSystem::WaitTrigger(1, 0) : l == 1 ? elSystem::WaitTrigger(1, 'Z', 13, 0)
                                                                        : elSystem::WaitTrigger(2, 'Q', 0);
    ASSERT_TRUE(fire == tm.Trigger(kLists[l]) && elSystem::GetWatchCount() == tm.watched);

    std::vector<Ev> want = m.Update();
    const uint32_t wantEmpty = static_cast<uint32_t>(pick(2));
    elSystem::UpdateInput();
    m.inputTime = InputTime = plat::TimeMs();
    for (Ev& e : want) e.ageMs = static_cast<int>(InputTime - static_cast<uint32_t>(e.ageMs));
    const bool empty = want.empty() && wantEmpty;
    if (empty) want.push_back({0, 0, 0xFFFF, 0, 0});
    const bool stopAtEmpty = empty && pick(3) == 0;  // the scene leaves its loop at the empty event
    std::vector<Ev> got;
    std::vector<uint32_t> seenWords, modelSeen;
    while (!(stopAtEmpty && got.size() == 1) && elSystem::GetEvent(wantEmpty)) {
      got.push_back({InputEvent.kind, InputEvent.joystick, InputEvent.code, InputEvent.value,
                     static_cast<int>(std::lround(InputEvent.age * 1000.0f))});
      for (int w = 0; w < 5; ++w) {
        float age = -1;
        elSystem::CheckEvent(static_cast<uint16_t>(kWatched[w]), &words[w], &age);
        ASSERT_EQ(static_cast<int>(std::lround(age * 1000.0f)), got.back().ageMs);
        seenWords.push_back(words[w]);
        modelSeen.push_back(modelWords[w] = NextWord(modelWords[w], kWatched[w], got.back(), !m.pointerMode));
      }
    }
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {  // scaled axes may round either way, but
      const bool end = std::abs(want[i].value) == 1000 || want[i].value == 65535;  // not at the ends of their travel
      if (want[i].code >= 8192 && want[i].code < 8224 && !end && std::abs(want[i].value - got[i].value) <= 1) want[i].value = got[i].value;
    }
    ASSERT_EQ(Show(got), Show(want));
    ASSERT_EQ(seenWords, modelSeen);
    // After the end of a walk the next call answers 0, or the empty event anew.
    EXPECT_TRUE(stopAtEmpty || elSystem::GetEvent(wantEmpty) == (empty ? 1 : 0));

    // Polled keys by their virtual keys: A, either Shift, Escape (scan code 1), 0 (after 9), the left button.
    const bool down[] = {m.keyDown[0x1E], m.keyDown[0x2A] || m.keyDown[0x36], m.keyDown[0x01], m.keyDown[0x0B], m.mouseDown[0]};
    for (int k = 0; k < 5; ++k) {
      elSystem::GetKey(std::vector<uint32_t>{'A', 16, 27, '0', 1}[k], &keys[k]);
      ASSERT_EQ(keys[k], modelKeys[k] = NextEdge(modelKeys[k], down[k], forced)) << k;
    }
  }
}

// Polled joysticks 0 and 1: rest taken at calibration (0, 0 when unreadable), -1 at or below half the rest,
// +1 from one and a half times it; button edges, hold timers and ramps advanced by FrameSeconds.
struct JoyModel {
  bool attached[3] = {true, true, true};  // the third is attached but no polled joystick
  int raw[3][2] = {}, cx[2] = {}, cy[2] = {};
  uint32_t buttons[3] = {}, state[2][4] = {};
  float ramp[2][2] = {}, rampRate[2] = {}, hold[2][4] = {}, holdRate[2] = {};

  bool Readable(int j) const { return j < 2 && attached[j]; }
  bool Pressed(int j, int b) const { return Readable(j) && ((buttons[j] >> (b - 1)) & 1); }
  // The service reports a stick at rest, or within 1/64 of the travel of it, as the middle, 32767.
  int Reading(int j, int a) const { return std::abs(raw[j][a]) < 1024 ? 32767 : raw[j][a] + 32768; }
  int Dir(int j, int a) const {
    const int c = a ? cy[j] : cx[j], x = Reading(j, a);
    return x <= c / 2 ? -1 : x >= c + c / 2 ? 1 : 0;
  }
  void Calibrate() {
    for (int j = 0; j < 2; ++j) cx[j] = Readable(j) ? Reading(j, 0) : 0, cy[j] = Readable(j) ? Reading(j, 1) : 0;
  }
  void Reset(bool all) {  // ramps and hold timers; with all, the rates and button states too
    for (int j = 0; j < 2; ++j) {
      ramp[j][0] = ramp[j][1] = hold[j][0] = hold[j][1] = hold[j][2] = hold[j][3] = 0;
      if (all) rampRate[j] = holdRate[j] = 0, std::fill(state[j], state[j] + 4, 0u);
    }
  }
  uint32_t Edge(int j, int b, bool forced) {
    uint32_t& s = state[j][b - 1];
    s = Pressed(j, b) ? (s == 0 ? 1 : 3) : (s == 1 || s == 3 ? 2 : 0);
    return s = forced ? 0 : s;
  }
  int Hold(int j, int b) {
    float& h = hold[j][b - 1];
    return static_cast<int>(h = Pressed(j, b) ? std::min(h + FrameSeconds * holdRate[j], 100.0f) : 0.0f);
  }
  int Ramp(int j, int a) {
    float& v = ramp[j][a];
    if (const int d = Dir(j, a); d != 0) v = std::clamp(v + static_cast<float>(d) * rampRate[j] * FrameSeconds, -100.0f, 100.0f);
    else if (v > 0) v = std::max(0.0f, v - FrameSeconds * rampRate[j]);
    if (Dir(j, a) == 0 && v < 0) v = std::min(0.0f, v + FrameSeconds * rampRate[j]);
    return static_cast<int>(v);
  }
};

TEST_F(InputTest, PolledJoysticksFollowTheirRulesOverARandomScript) {
  JoyModel m;
  for (int i = 0; i < 3; ++i) hl::AttachJoystick();
  ASSERT_EQ(elSystem::InitJoystick(), 1);
  m.Calibrate();
  const int kRaws[] = {-32768, -20000, -16385, -16384, -1024, 0, 1023, 16381, 16382, 20000, 32767};
  const float kSeconds[] = {0.0f, 0.016f, 0.05f, 0.1f, 0.25f, 1.0f}, kRampRates[] = {0, 60, 200, -100}, kHoldRates[] = {0, 50, 300};
  const int kPad[3][3] = {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}};  // [dy][dx]: the keypad, up on top
  std::mt19937 rng(4242);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  for (int step = 0; step < 3000; ++step) {
    const int j = pick(3), op = pick(40), a = pick(2), b6 = pick(7) % 7 == 6 ? 31 : pick(6);  // and the last button
    if (op < 12 && m.attached[j]) hl::JoystickAxis(j, a, m.raw[j][a] = kRaws[pick(11)]);
    if (op >= 12 && op < 22 && m.attached[j]) hl::JoystickButton(j, b6, ((m.buttons[j] ^= 1u << b6) >> b6) & 1);
    if (op >= 22 && op < 24 && j < 2 && m.attached[j]) hl::DetachJoystick(j), m.attached[j] = false;
    else if (const int s = op >= 22 && op < 24 && j < 2 ? hl::AttachJoystick() : -1; s >= 0)  // the lowest free slot
      m.attached[s] = true, m.raw[s][0] = m.raw[s][1] = 0, m.buttons[s] = 0;
    const float rr = kRampRates[pick(4)], hr = kHoldRates[pick(3)];
    if (op >= 24 && op < 28) elSystem::SetJoystickRate(j, rr, hr);
    if (op >= 24 && op < 28 && j < 2) m.rampRate[j] = rr, m.holdRate[j] = hr;
    if (op == 28 || op == 30) elSystem::CalibrateJoystick(), m.Calibrate();
    if (op == 29) elSystem::ResetJoystick(), m.Reset(false);
    if (op == 30) elSystem::InitJoystick(), m.Reset(true);
    FrameSeconds = kSeconds[pick(6)];
    FadeStep = pick(10) == 0, PauseShown = pick(10) == 0, InputLocked = pick(10) == 0;
    const bool forced = FadeStep || PauseShown || InputLocked;

    const int q = pick(3) == 0 ? 2 : pick(2), b = pick(6), b32 = pick(34);  // buttons 0 and 5 have no state
    const bool ok = m.Readable(q), stateful = q < 2 && b >= 1 && b <= 4;
    int32_t x = 9, y = 9, holds[4];
    uint32_t four[4];
    using P = std::pair<int, int>;
    elSystem::GetJoyDirection(q, &x, &y);
    ASSERT_EQ(P(x, y), ok ? P(m.Dir(q, 0), m.Dir(q, 1)) : P(0, 0));
    ASSERT_EQ(elSystem::GetJoyDirection8(q), ok ? kPad[m.Dir(q, 1) + 1][m.Dir(q, 0) + 1] : 5);
    elSystem::GetJoyPosition(q, &x, &y);
    ASSERT_EQ(P(x, y), ok ? P(m.Reading(q, 0), m.Reading(q, 1)) : P(0, 0));
    ASSERT_EQ(elSystem::GetJoyButton(q, b32), b32 >= 1 && b32 <= 32 && m.Pressed(q, b32) ? 1 : 0);
    elSystem::GetJoyButtons(q, four);
    for (int c = 1; c <= 4; ++c) ASSERT_EQ(four[c - 1], m.Pressed(q, c) ? 1u : 0u);
    ASSERT_EQ(elSystem::GetJoyButtonState(q, b), stateful && ok ? m.Edge(q, b, forced) : 0u);
    ASSERT_EQ(elSystem::GetJoyHold(q, b), stateful ? m.Hold(q, b) : 0);
    if (pick(2)) {
      std::fill_n(four, 4, 99u), std::fill_n(holds, 4, 99);  // every one answered, also for no joystick
      elSystem::GetJoyButtonStates(q, four), elSystem::GetJoyHolds(q, holds);
      for (int c = 1; c <= 4; ++c) ASSERT_EQ(four[c - 1], ok ? m.Edge(q, c, forced) : 0u);
      for (int c = 1; c <= 4; ++c) ASSERT_EQ(holds[c - 1], ok ? m.Hold(q, c) : 0);
    }
    x = y = 9, elSystem::GetJoyRamp(q, &x, &y);
    ASSERT_EQ(P(x, y), ok ? P(m.Ramp(q, 0), m.Ramp(q, 1)) : P(0, 0));
  }
}

TEST_F(InputTest, InitTakesAtMostSixteenJoysticks) {
  for (int i = 0; i < 20; ++i) hl::AttachJoystick();
  hl::SetDeviceCreateRefused(in::JoystickDevice(1), true);  // skipped; the next one takes its place
  StartActive();
  EXPECT_EQ(InputDevices, kInputKeyboard | kInputMousePointer | kInputJoysticks);
  for (int s = 0; s < 20; ++s) hl::JoystickButton(s, 0, true);
  elSystem::UpdateInput();
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(elSystem::GetEvent(0) && InputEvent.joystick == i + 1) << i;
  EXPECT_EQ(elSystem::GetEvent(0), 0);
}

TEST_F(InputTest, MissingDevicesAreReportedAndTheFrameGoesOn) {
  hl::SetDeviceCreateRefused(in::kMouse, true);
  EXPECT_EQ(elSystem::Init(), 0);
  hl::SetDeviceCreateRefused(in::kMouse, false), hl::SetInputServiceRefused(true);
  EXPECT_EQ(elSystem::Init(), 0);
  ASSERT_EQ(hl::Boxes().size(), 2u);
  for (const hl::Box& box : hl::Boxes())
    EXPECT_TRUE(box.text == "elSystem::Init : DirectInputが使用できません" && box.caption == "エラー発生" && ErrorFlag);
  elSystem::ActivateInput(1), hl::KeyPress(0x1E);
  EXPECT_TRUE(Frame().empty());
  hl::SetInputServiceRefused(false), elSystem::SetSysKeyMode(1);
  StartActive();
  hl::MouseButton(1, true);
  EXPECT_EQ(Frame(), std::vector<int>{269});
  elSystem::WindowProc(plat::WM_SYSKEYDOWN, 18, 0);
  EXPECT_EQ(KeyHeld, 0u) << "a new set-up swallows system keys again";
}

// A lost device drops what it held; the next read takes it back, and input arrives as before.
TEST_F(InputTest, ALostDeviceIsTakenBackAtOnce) {
  StartActive();
  hl::KeyPress(0x1F);
  const std::vector<int> press = Frame();
  ASSERT_FALSE(press.empty());
  hl::KeyPress(0x1E);
  hl::LoseInputDevice(in::kKeyboard);
  EXPECT_TRUE(Frame().empty());
  hl::KeyPress(0x1F);
  EXPECT_EQ(Frame(), press);
}

TEST_F(InputTest, ServiceRefusesBadCalls) {
  ASSERT_EQ(in::Open(), in::kOk);
  in::Record rec[4];
  uint32_t n = 4;
  const int j = hl::AttachJoystick();
  const in::Device jd = in::JoystickDevice(j), mouse = in::kMouse, kb = in::kKeyboard;
  ASSERT_TRUE(in::CreateDevice(jd) == in::kOk && in::CreateDevice(mouse) == in::kOk && in::SetBufferSize(mouse, 8) == 0);
  const int32_t kBad = in::kInvalidParam, kNot = in::kNotInitialized, cases[][2] = {
      {in::GetDeviceData(-1, 16, rec, &n), kBad}, {in::GetDeviceData(in::kDeviceCount, 16, rec, &n), kBad},
      {in::GetDeviceData(mouse, 20, rec, &n), kBad}, {in::GetDeviceData(mouse, 16, rec, nullptr), kBad},
      {in::GetDeviceData(mouse, 16, rec, &n), in::kNotAcquired}, {in::GetDeviceData(kb, 16, rec, &n), kNot},
      {in::Acquire(kb), kNot}, {in::Acquire(99), kBad}, {in::SetBufferSize(mouse, in::kMaxBufferSize + 1), kBad},
      {in::SetAxisRange(mouse, 0, -10, 10), kBad}, {in::SetAxisRange(jd, 32, -10, 10), kBad},  // a hat
      {in::SetAxisRange(jd, 2, -10, 10), kBad}, {in::SetAxisRange(jd, 0, 10, 10), kBad},
      {in::SetAxisDeadZone(jd, 0, 10001), kBad}, {(in::Acquire(mouse), n = 4, in::GetDeviceData(mouse, 16, nullptr, &n)), kBad},
      {(hl::DetachJoystick(j), in::Acquire(jd)), in::kUnplugged}, {in::GetKeyState(1 << 20), 0},
      {static_cast<int32_t>(in::JoyGetPos(0, 0, nullptr)), in::kJoyErrParms}};
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i][0], cases[i][1]) << "case " << i;
  for (int i = 0; i < in::kMaxAttachedJoysticks; ++i) EXPECT_GE(hl::AttachJoystick(), 0);
  EXPECT_EQ(hl::AttachJoystick(), -1);
}

}  // namespace
