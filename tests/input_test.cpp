// Input: the device event queue against a small model of its rules over a random script, polled keys
// and per-code state words, the press-and-release trigger, polled joysticks against a model, set-up
// and device faults, the input service's refusals, and clicks through the running program.
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
#include "tests/support/loop_run.h"

extern int32_t FadeStep;

namespace hl = plat::headless;
namespace in = plat::input;

namespace {

struct Ev {
  int kind, joystick, code, value, ageMs;
};

std::string Show(const std::vector<Ev>& evs) {
  std::string s;
  for (const Ev& e : evs)
    s += "(" + std::to_string(e.code) + " v" + std::to_string(e.value) + " k" + std::to_string(e.kind) + " j" +
         std::to_string(e.joystick) + " a" + std::to_string(e.ageMs) + ")";
  return s;
}

// Scaled joystick axes may differ by one from rounding; everything else must match exactly.
bool Same(const std::vector<Ev>& a, const std::vector<Ev>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const int slack = a[i].code >= 8192 && a[i].code < 8224 ? 1 : 0;
    if (a[i].kind != b[i].kind || a[i].joystick != b[i].joystick || a[i].code != b[i].code ||
        std::abs(a[i].value - b[i].value) > slack || a[i].ageMs != b[i].ageMs)
      return false;
  }
  return true;
}

Ev Current() {
  return {InputEvent.kind, InputEvent.joystick, InputEvent.code, InputEvent.value,
          static_cast<int>(std::lround(InputEvent.age * 1000.0f))};
}

// One frame as the main loop runs it, walked as a scene walks it.
std::vector<Ev> Frame(uint32_t wantEmpty = 0) {
  elSystem::UpdateInput();
  InputTime = plat::TimeMs();
  std::vector<Ev> out;
  while (elSystem::GetEvent(wantEmpty)) out.push_back(Current());
  return out;
}

std::vector<int> Codes(const std::vector<Ev>& evs) {
  std::vector<int> c;
  for (const Ev& e : evs) c.push_back(e.code);
  return c;
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    hl::ResetInput();
    hl::SetReadStepMicros(0);
    elSystem::ResetState();
    ScreenWidth = 640;
    ScreenHeight = 480;
    ClientX = ClientY = 0;
    FadeStep = PauseShown = 0;
    InputTime = 0;
    ErrorFlag = 0;
    PointerSyncPending = TriggerState = TriggerCode = 0;
  }
  void TearDown() override {
    elSystem::ReleaseInput();
    hl::ResetInput();
  }
  void StartActive() {
    ASSERT_EQ(elSystem::Init(), 1);
    elSystem::ActivateInput(1);
  }
};

// A device as the queue sees it: records buffer only while acquired, 256 at most (more are lost and
// the next read says so); a read that says data was lost is not counted and is made again.
struct ModelDevice {
  std::deque<Ev> fifo;  // code = object offset, ageMs = time stamp
  bool overflow = false, acquired = true;
  int lostReads = 0;
  void Push(int obj, int data) {
    if (!acquired) return;
    if (fifo.size() >= 256)
      overflow = true;
    else
      fifo.push_back({0, 0, obj, data, static_cast<int>(plat::TimeMs())});
  }
  std::vector<Ev> Read(size_t room) {
    auto take = [&] {
      const size_t n = std::min(room, fifo.size());
      std::vector<Ev> out(fifo.begin(), fifo.begin() + static_cast<long>(n));
      fifo.erase(fifo.begin(), fifo.begin() + static_cast<long>(n));
      return out;
    };
    if (room == 0) return {};
    if (overflow) {
      overflow = false;
      ++lostReads;
      take();
    }
    return take();
  }
  void Unacquire() {
    fifo.clear();
    overflow = acquired = false;
  }
};

// The queue's rules: keyboard, then mouse, then joysticks in slot order, then the two records of a
// pointer re-sync (both or neither); 256 a frame, the rest waits; mouse motion of 5 or more counts
// double; in pointer mode the X and Y records carry the pointer, held inside the clip rectangle.
struct QueueModel {
  ModelDevice kb, mouse, joy[2];
  bool active = true, pointerMode = true, clipped = true, syncPending = false;
  int clip[4] = {0, 0, 640, 480};
  int64_t px = 0, py = 0;
  uint32_t inputTime = 0;
  int fullFrames = 0, syncs = 0;

  static int Kind(int code) { return code < 256 ? 1 : code < 512 ? 2 : code < 4096 ? 3 : code < 8192 ? 2 : 3; }
  std::vector<Ev> Update(int cursorX, int cursorY) {
    std::vector<Ev> out;
    if (!active) return out;
    auto add = [&](int code, int64_t value, int time, int joystick) {
      out.push_back({Kind(code), joystick, code, static_cast<int>(value), time});
    };
    for (const Ev& r : kb.Read(256)) add(r.code, r.value ? 1 : 0, r.ageMs, 0);
    for (const Ev& r : mouse.Read(256 - out.size())) {
      if (r.code >= 12) {
        add(r.code + 256, r.value ? 1 : 0, r.ageMs, 0);
        continue;
      }
      int64_t d = std::abs(r.value) >= 5 ? 2 * int64_t{r.value} : r.value;
      if (pointerMode && r.code != 8) {
        const int a = r.code == 0 ? 0 : 1;
        int64_t& p = a == 0 ? px : py;
        p += d;
        if (clipped) p = std::max<int64_t>(std::min<int64_t>(p, clip[a + 2] - 1), clip[a]);
        d = p;
      }
      add(r.code + 4096, d, r.ageMs, 0);
    }
    for (int j = 0; j < 2; ++j) {
      for (const Ev& r : joy[j].Read(256 - out.size())) {
        const bool button = r.code >= 48;
        add(r.code + (button ? 512 : 8192), button ? (r.value ? 1 : 0) : r.value, r.ageMs, j + 1);
      }
    }
    if (syncPending && out.size() + 2 <= 256) {
      add(4096, cursorX, static_cast<int>(inputTime), 0);
      add(4100, cursorY, static_cast<int>(inputTime), 0);
      syncPending = false;
      ++syncs;
    }
    if (out.size() == 256) ++fullFrames;
    return out;
  }
};

// Axis values after set-up: X, Y and Z ignore the inner half of their travel each side of the rest and
// spread the rest over the range; X..Rz report -1000..1000, the sliders keep 0..65535.
int Scaled(int axis, int32_t raw) {
  double n = std::max(-1.0, raw / 32767.0);
  if (axis <= 2) n = std::fabs(n) < 0.5 ? 0.0 : (n > 0 ? n - 0.5 : n + 0.5) / 0.5;
  return static_cast<int>(axis <= 5 ? std::lround(n * 1000) : std::lround((n + 1) * 65535 / 2));
}

// The state word of elSystem::CheckEvent after one more event.
uint32_t NextWord(uint32_t w, int code, const Ev& e, bool motion) {
  if (w == 0xFF01) w = 0xFF03;
  if (w == 0xFF02) w = 0xFF00;
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

TEST_F(InputTest, QueueFollowsItsRulesOverARandomScript) {
  const int slot[2] = {hl::AttachJoystick(), hl::AttachJoystick()};
  StartActive();
  ASSERT_EQ(InputDevices, kInputKeyboard | kInputMousePointer | kInputJoysticks);
  QueueModel m;
  int reported[2][8];
  for (auto& r : reported)
    for (int a = 0; a < 8; ++a) r[a] = Scaled(a, 0);
  int joyButtons[2] = {}, pov[2] = {-1, -1};
  bool keyDown[256] = {};
  const uint8_t kScans[] = {0x1E, 0x2A, 0x36, 0x30, 0x1F};
  const int kRaws[] = {-32768, -24576, -16000, 0, 16000, 24576, 32767};
  const int kAxes[] = {0, 1, 3, 6};
  const int kPovs[] = {-1, 0, 9000, 27000};
  const int kJoyButtons[] = {0, 1, 5, 31};
  const int kWatched[] = {0x1E, 268, 4096, 8192, 561};
  uint32_t words[5] = {}, modelWords[5] = {}, keys[2] = {}, modelKeys[2] = {};
  std::mt19937 rng(20261206);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  auto clipPick = [&](int axis) { return m.clipped ? m.clip[axis] + pick(m.clip[axis + 2] - m.clip[axis]) : pick(axis ? 480 : 640); };

  for (int frame = 0; frame < 500; ++frame) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    if (pick(10) == 0) {
      for (ModelDevice* d : {&m.kb, &m.mouse, &m.joy[0], &m.joy[1]}) {
        if (m.active) d->Unacquire();
        else d->acquired = true;
      }
      if (!m.active) hl::PlaceCursor(clipPick(0), clipPick(1));
      elSystem::WindowProc(plat::WM_ACTIVATEAPP, m.active ? 0 : 1, 0);
      m.active = !m.active;
      if (m.active) {
        int cx, cy;
        hl::CursorPos(&cx, &cy);
        m.px = cx;
        m.py = cy;
        m.syncPending = m.syncPending || m.pointerMode;
      }
    }
    if (pick(12) == 0) {
      m.pointerMode = !m.pointerMode;
      elSystem::SetInputDevices(kInputKeyboard | kInputJoysticks | (m.pointerMode ? kInputMousePointer : kInputMouseMotion));
    }
    if (pick(10) == 0) {
      m.clipped = pick(3) != 0;
      if (m.clipped) {
        m.clip[0] = pick(300), m.clip[1] = pick(200);
        m.clip[2] = m.clip[0] + 1 + pick(300), m.clip[3] = m.clip[1] + 1 + pick(250);
        elSystem::ClipCursor(m.clip[0], m.clip[1], m.clip[2], m.clip[3]);
      } else {
        elSystem::UnclipCursor();
      }
    }
    // Now and then a burst: of all kinds (fills the queue), or of keys or motion alone (overflows).
    const int burst = pick(8) == 0 ? 1 + pick(3) : 0;
    const int actions = burst ? 100 + pick(300) : pick(7);
    for (int a = 0; a < actions; ++a) {
      hl::AdvanceMs(static_cast<uint32_t>(pick(3)));
      const int j = pick(2);
      switch (burst >= 2 ? burst - 2 : pick(6)) {
        case 0: {
          const uint8_t sc = kScans[pick(5)];
          keyDown[sc] = pick(2);
          keyDown[sc] ? hl::KeyPress(sc) : hl::KeyRelease(sc);
          m.kb.Push(sc, keyDown[sc] ? 0x80 : 0);
          break;
        }
        case 1: {
          const int dx = pick(19) - 9, dy = pick(19) - 9;
          hl::MouseMove(dx, dy);
          if (dx) m.mouse.Push(0, dx);
          if (dy) m.mouse.Push(4, dy);
          break;
        }
        case 2: {
          const int b = pick(5);
          const bool down = pick(2);
          hl::MouseButton(b, down);
          if (b < 4) m.mouse.Push(12 + b, down ? 0x80 : 0);
          break;
        }
        case 3: {
          const int delta = pick(2) ? 120 : -3;
          hl::MouseWheel(delta);
          m.mouse.Push(8, delta);
          break;
        }
        case 4: {
          const int axis = kAxes[pick(4)], raw = kRaws[pick(7)];
          hl::JoystickAxis(slot[j], axis, raw);
          if (Scaled(axis, raw) != reported[j][axis]) m.joy[j].Push(4 * axis, reported[j][axis] = Scaled(axis, raw));
          break;
        }
        default: {
          if (pick(3) == 0) {
            const int v = kPovs[pick(4)];
            hl::JoystickPov(slot[j], 0, static_cast<uint32_t>(v));
            if (v != pov[j]) m.joy[j].Push(32, pov[j] = v);
          } else {
            const int b = kJoyButtons[pick(4)];
            const bool down = pick(2);
            hl::JoystickButton(slot[j], b, down);
            if (((joyButtons[j] >> b) & 1) != down) m.joy[j].Push(48 + b, down ? 0x80 : 0);
            joyButtons[j] = static_cast<int>((joyButtons[j] & ~(1u << b)) | (uint32_t{down} << b));
          }
        }
      }
    }
    if (pick(10) == 0) {
      hl::PlaceCursor(clipPick(0), clipPick(1));
      elSystem::SyncPointer(1);
      int cx, cy;
      hl::CursorPos(&cx, &cy);
      m.px = cx;
      m.py = cy;
      m.syncPending = m.syncPending || m.pointerMode;
    }
    FadeStep = pick(8) == 0;
    PauseShown = pick(8) == 0;
    pick(8) == 0 ? elSystem::LockInput() : elSystem::UnlockInput();
    const bool forced = FadeStep || PauseShown || InputLocked;

    int cx, cy;
    hl::CursorPos(&cx, &cy);
    std::vector<Ev> want = m.Update(cx, cy);
    const uint32_t wantEmpty = static_cast<uint32_t>(pick(2));
    elSystem::UpdateInput();
    InputTime = plat::TimeMs();
    for (Ev& e : want) e.ageMs = static_cast<int>(InputTime - static_cast<uint32_t>(e.ageMs));
    m.inputTime = InputTime;
    const bool empty = want.empty() && wantEmpty;
    if (empty) want.push_back({0, 0, 0xFFFF, 0, 0});
    const bool stopAtEmpty = empty && pick(3) == 0;  // the scene leaves its loop at the empty event
    std::vector<Ev> got;
    std::vector<uint32_t> seenWords, modelSeen;
    while (!(stopAtEmpty && got.size() == 1) && elSystem::GetEvent(wantEmpty)) {
      got.push_back(Current());
      for (int w = 0; w < 5; ++w) {
        float age = -1;
        elSystem::CheckEvent(static_cast<uint16_t>(kWatched[w]), &words[w], &age);
        ASSERT_EQ(static_cast<int>(std::lround(age * 1000.0f)), got.back().ageMs);
        modelWords[w] = NextWord(modelWords[w], kWatched[w], got.back(), !m.pointerMode);
        seenWords.push_back(words[w]);
        modelSeen.push_back(modelWords[w]);
      }
    }
    ASSERT_TRUE(Same(got, want)) << "got  " << Show(got) << "\nwant " << Show(want);
    ASSERT_EQ(seenWords, modelSeen);
    // After the end of a walk the next call answers 0, or the empty event anew.
    EXPECT_EQ(stopAtEmpty || elSystem::GetEvent(wantEmpty) == (empty ? 1 : 0), true);

    elSystem::GetKey('A', &keys[0]);
    elSystem::GetKey(16, &keys[1]);  // either Shift
    modelKeys[0] = NextEdge(modelKeys[0], keyDown[0x1E], forced);
    modelKeys[1] = NextEdge(modelKeys[1], keyDown[0x2A] || keyDown[0x36], forced);
    ASSERT_EQ(keys[0], modelKeys[0]);
    ASSERT_EQ(keys[1], modelKeys[1]);
  }
  // The script reached the limits it is meant to: a full queue, lost reads, re-syncs.
  EXPECT_GT(m.fullFrames, 3) << m.mouse.lostReads << " " << m.kb.lostReads << " " << m.syncs;
  EXPECT_GT(m.mouse.lostReads + m.kb.lostReads, 1);
  EXPECT_GT(m.syncs, 5);
}

// elSystem::WaitTrigger over the window-message state, as described: it arms once nothing is held,
// catches the first listed code that was the last key or button pressed, and fires on its release.
struct TriggerModel {
  uint32_t keyHeld = 0, lastKey = 0, buttonHeld = 0, lastButton = 0, state = 0, code = 0, watched = 0;
  bool locked = false, paused = false;
  void Message(uint32_t msg, uint32_t key) {
    if (msg == plat::WM_KEYDOWN && !locked && !paused) keyHeld = lastKey = key;
    if (msg == plat::WM_KEYUP && keyHeld == key) keyHeld = 0;
    if (msg == plat::WM_KEYUP && key == 'Q') ++watched;
    if ((msg == plat::WM_LBUTTONDOWN || msg == plat::WM_RBUTTONDOWN) && !locked)
      buttonHeld = lastButton = msg == plat::WM_LBUTTONDOWN ? 1 : 2;
    if ((msg == plat::WM_LBUTTONUP && buttonHeld == 1) || (msg == plat::WM_RBUTTONUP && buttonHeld == 2)) buttonHeld = 0;
  }
  uint32_t Trigger(const std::vector<uint32_t>& list) {
    if (state == 0 && keyHeld == 0 && buttonHeld == 0) state = 1;
    for (size_t i = 0; state == 1 && i < list.size(); ++i) {
      if (list[i] == lastKey || list[i] == lastButton) code = list[i], state = 2;
    }
    if (state != 2) return 0;
    const bool button = code == 1 || code == 2;
    if ((button ? lastButton : lastKey) != code) state = 0;
    if ((button ? buttonHeld : keyHeld) != 0) return 0;
    state = lastKey = lastButton = 0;
    return code;
  }
};

TEST_F(InputTest, WaitTriggerFollowsItsRulesOverRandomMessages) {
  const uint32_t kMsgs[] = {plat::WM_LBUTTONDOWN, plat::WM_LBUTTONUP, plat::WM_RBUTTONDOWN, plat::WM_RBUTTONUP,
                            plat::WM_KEYDOWN, plat::WM_KEYUP};
  const uint32_t kKeys[] = {13, 'Z', 'Q', 16};
  const std::vector<uint32_t> kLists[] = {{1}, {1, 'Z', 13}, {2, 'Q'}};
  TriggerModel m;
  elSystem::SetWatchKey('Q');
  std::mt19937 rng(77);
  int fired = 0;
  for (int step = 0; step < 3000; ++step) {
    const uint32_t r = rng() % 20;
    if (r == 0) {
      m.locked = !m.locked;
      if (m.locked) elSystem::LockInput();
      else elSystem::UnlockInput(), m.keyHeld = 0;
    } else if (r == 1) {
      PauseShown = m.paused = !m.paused;
    } else {
      const uint32_t msg = kMsgs[rng() % 6], key = kKeys[rng() % 4];
      elSystem::WindowProc(msg, key, 0);
      m.Message(msg, key);
    }
    const int l = static_cast<int>(rng() % 3);
    const uint32_t got = l == 0 ? elSystem::WaitTrigger(1, 0) : l == 1 ? elSystem::WaitTrigger(1, 'Z', 13, 0)
                                                                       : elSystem::WaitTrigger(2, 'Q', 0);
    ASSERT_EQ(got, m.Trigger(kLists[l])) << "step " << step;
    ASSERT_EQ(elSystem::GetWatchCount(), m.watched);
    fired += got != 0;
  }
  EXPECT_GT(fired, 100);
}

// Polled joysticks 0 and 1 as described: the rest position taken at calibration (0, 0 when the stick
// cannot be read), -1 at or below half the rest and +1 at or above one and a half times it, button
// edges, hold timers and ramps advanced by FrameSeconds at their rates.
struct JoyModel {
  bool attached[3] = {};
  int raw[3][2] = {};
  uint32_t buttons[3] = {};
  int cx[2] = {}, cy[2] = {};
  float ramp[2][2] = {}, rampRate[2] = {}, hold[2][4] = {}, holdRate[2] = {};
  uint32_t state[2][4] = {};

  bool Readable(int j) const { return (j == 0 || j == 1) && attached[j]; }
  bool Pressed(int j, int b) const { return Readable(j) && ((buttons[j] >> (b - 1)) & 1); }
  // The service reports a stick at rest as the middle of its travel, 32767.
  int Reading(int j, int a) const { return raw[j][a] == 0 ? 32767 : raw[j][a] + 32768; }
  int Dir(int j, int a) const {
    const int c = a ? cy[j] : cx[j], x = Reading(j, a);
    return x <= c / 2 ? -1 : x >= c + c / 2 ? 1 : 0;
  }
  void Calibrate() {
    for (int j = 0; j < 2; ++j) {
      cx[j] = Readable(j) ? Reading(j, 0) : 0;
      cy[j] = Readable(j) ? Reading(j, 1) : 0;
    }
  }
  void Reset(bool all) {
    for (int j = 0; j < 2; ++j) {
      ramp[j][0] = ramp[j][1] = 0;
      for (int b = 0; b < 4; ++b) hold[j][b] = 0;
      if (!all) continue;
      rampRate[j] = holdRate[j] = 0;
      for (uint32_t& s : state[j]) s = 0;
    }
  }
  uint32_t Edge(int j, int b, bool forced) {
    uint32_t& s = state[j][b - 1];
    s = Pressed(j, b) ? (s == 0 ? 1 : 3) : (s == 1 || s == 3 ? 2 : 0);
    if (forced) s = 0;
    return s;
  }
  int Hold(int j, int b) {
    float& h = hold[j][b - 1];
    h = Pressed(j, b) ? std::min(h + FrameSeconds * holdRate[j], 100.0f) : 0.0f;
    return static_cast<int>(h);
  }
  int Ramp(int j, int a) {
    float& v = ramp[j][a];
    const int d = Dir(j, a);
    if (d != 0) {
      v = std::clamp(v + static_cast<float>(d) * rampRate[j] * FrameSeconds, -100.0f, 100.0f);
    } else {
      if (v > 0) v = std::max(0.0f, v - FrameSeconds * rampRate[j]);
      if (v < 0) v = std::min(0.0f, v + FrameSeconds * rampRate[j]);
    }
    return static_cast<int>(v);
  }
};

TEST_F(InputTest, PolledJoysticksFollowTheirRulesOverARandomScript) {
  JoyModel m;
  for (bool& a : m.attached) a = hl::AttachJoystick() >= 0;  // the third is no polled joystick
  elSystem::InitJoystick();
  m.Calibrate();
  const int kRaws[] = {-32768, -20000, -16385, -16384, 0, 16381, 16382, 20000, 32767};
  const float kSeconds[] = {0.0f, 0.016f, 0.05f, 0.1f, 0.25f, 1.0f};
  const float kRampRates[] = {0, 60, 200, -100}, kHoldRates[] = {0, 50, 300};
  std::mt19937 rng(4242);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const int j = pick(3), op = pick(40);
    if (op < 12 && m.attached[j]) {
      const int a = pick(2);
      hl::JoystickAxis(j, a, m.raw[j][a] = kRaws[pick(9)]);
    } else if (op < 22 && m.attached[j]) {
      const int b = pick(6);
      m.buttons[j] ^= 1u << b;
      hl::JoystickButton(j, b, (m.buttons[j] >> b) & 1);
    } else if (op < 24 && j < 2) {
      if (m.attached[j]) {
        hl::DetachJoystick(j);
        m.attached[j] = false;
      } else {
        const int s = hl::AttachJoystick();
        m.attached[s] = true;
        m.raw[s][0] = m.raw[s][1] = 0;
        m.buttons[s] = 0;
      }
    } else if (op < 28) {
      const float rr = kRampRates[pick(4)], hr = kHoldRates[pick(3)];
      elSystem::SetJoystickRate(j, rr, hr);
      if (j < 2) m.rampRate[j] = rr, m.holdRate[j] = hr;
    } else if (op == 28) {
      elSystem::CalibrateJoystick();
      m.Calibrate();
    } else if (op == 29) {
      elSystem::ResetJoystick();
      m.Reset(false);
    } else if (op == 30) {
      elSystem::InitJoystick();
      m.Calibrate();
      m.Reset(true);
    }
    FrameSeconds = kSeconds[pick(6)];
    FadeStep = pick(10) == 0;
    PauseShown = pick(10) == 0;
    InputLocked = pick(10) == 0;
    const bool forced = FadeStep || PauseShown || InputLocked;

    const int q = pick(3) == 0 ? 2 : pick(2);  // joystick 2 is refused although attached
    const bool ok = m.Readable(q), polled = q < 2;
    int32_t x = 9, y = 9;
    elSystem::GetJoyDirection(q, &x, &y);
    ASSERT_EQ(x, ok ? m.Dir(q, 0) : 0);
    ASSERT_EQ(y, ok ? m.Dir(q, 1) : 0);
    const int kPad[3][3] = {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}};  // [dy][dx]: the keypad, up on top
    ASSERT_EQ(elSystem::GetJoyDirection8(q), ok ? kPad[m.Dir(q, 1) + 1][m.Dir(q, 0) + 1] : 5);
    elSystem::GetJoyPosition(q, &x, &y);
    ASSERT_EQ(x, ok ? m.Reading(q, 0) : 0);
    ASSERT_EQ(y, ok ? m.Reading(q, 1) : 0);
    elSystem::GetJoystickCenter(q, &x, &y);
    ASSERT_EQ(x, polled ? m.cx[q] : 0);
    ASSERT_EQ(y, polled ? m.cy[q] : 0);
    const int b32 = pick(34);
    ASSERT_EQ(elSystem::GetJoyButton(q, b32), b32 >= 1 && b32 <= 32 && m.Pressed(q, b32) ? 1 : 0);
    uint32_t four[4];
    elSystem::GetJoyButtons(q, four);
    for (int b = 1; b <= 4; ++b) ASSERT_EQ(four[b - 1], m.Pressed(q, b) ? 1u : 0u);
    const int b = pick(6);  // 0 and 5 have no state
    const bool stateful = polled && b >= 1 && b <= 4;
    ASSERT_EQ(elSystem::GetJoyButtonState(q, b), stateful && ok ? m.Edge(q, b, forced) : 0u);
    ASSERT_EQ(elSystem::GetJoyHold(q, b), stateful ? m.Hold(q, b) : 0);
    if (pick(2)) {
      elSystem::GetJoyButtonStates(q, four);
      for (int c = 1; c <= 4; ++c) ASSERT_EQ(four[c - 1], ok ? m.Edge(q, c, forced) : 0u);
      int32_t holds[4];
      elSystem::GetJoyHolds(q, holds);
      for (int c = 1; c <= 4; ++c) ASSERT_EQ(holds[c - 1], ok ? m.Hold(q, c) : 0);
    }
    elSystem::GetJoyRamp(q, &x, &y);
    const int wantX = ok ? m.Ramp(q, 0) : 0, wantY = ok ? m.Ramp(q, 1) : 0;
    ASSERT_EQ(x, wantX);
    ASSERT_EQ(y, wantY);
  }
}

TEST_F(InputTest, InitTakesAtMostSixteenJoysticksAndStartsAfresh) {
  ASSERT_EQ(elSystem::Init(), 1);
  EXPECT_EQ(InputDevices, kInputKeyboard | kInputMousePointer);
  for (int i = 0; i < 20; ++i) hl::AttachJoystick();
  hl::SetDeviceCreateRefused(in::JoystickDevice(1), true);  // skipped; the next one takes its place
  elSystem::SetWait(4, 0);
  elSystem::LockInput();
  elSystem::SetSysKeyMode(1);
  StartActive();
  EXPECT_EQ(InputDevices, kInputKeyboard | kInputMousePointer | kInputJoysticks);
  for (int s = 0; s < 20; ++s) hl::JoystickButton(s, 0, true);
  const auto evs = Frame();
  ASSERT_EQ(evs.size(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(evs[i].joystick, i + 1);
  // Wait slots out of use, input unlocked, system keys swallowed, the cursor held on the screen.
  EXPECT_EQ(elSystem::CheckWait(4), 0);
  elSystem::WindowProc(plat::WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(LButtonHeld, 1u);
  EXPECT_EQ(elSystem::WindowProc(plat::WM_SYSKEYDOWN, 'X', 0), 0);
  EXPECT_EQ(KeyHeld, 0u);
  in::ClipRect r{};
  ASSERT_TRUE(hl::CursorClip(&r));
  EXPECT_EQ(r.right, 640);
  EXPECT_EQ(r.bottom, 480);
}

TEST_F(InputTest, MissingDevicesAreReportedAndReleaseLetsGoOfEverything) {
  hl::SetDeviceCreateRefused(in::kMouse, true);
  EXPECT_EQ(elSystem::Init(), 0);
  hl::SetDeviceCreateRefused(in::kMouse, false);
  hl::SetInputServiceRefused(true);
  EXPECT_EQ(elSystem::Init(), 0);
  ASSERT_EQ(hl::Boxes().size(), 2u);
  for (const hl::Box& b : hl::Boxes()) {
    EXPECT_EQ(b.text, "elSystem::Init : DirectInputが使用できません");
    EXPECT_EQ(b.caption, "エラー発生");
  }
  EXPECT_EQ(elSystem::GetError(), 1);
  elSystem::ActivateInput(1);
  hl::KeyPress(0x1E);
  EXPECT_TRUE(Frame(0).empty());

  hl::SetInputServiceRefused(false);
  hl::AttachJoystick();
  StartActive();
  elSystem::ReleaseInput();
  EXPECT_FALSE(hl::CursorClip(nullptr));
  hl::KeyPress(0x1E);
  hl::JoystickButton(0, 0, true);
  EXPECT_TRUE(Frame().empty());
  StartActive();  // a second display set-up
  hl::KeyPress(0x1E);
  EXPECT_EQ(Codes(Frame()), std::vector<int>{0x1E});
}

TEST_F(InputTest, DeviceThatCannotBeTakenBackLosesWhatHappensMeanwhileButNeverStallsTheFrame) {
  StartActive();
  hl::SetDeviceAcquireRefused(in::kMouse, true);
  hl::LoseInputDevice(in::kMouse);
  hl::KeyPress(0x03);
  EXPECT_EQ(Codes(Frame()), std::vector<int>{0x03});
  hl::MouseButton(0, true);
  EXPECT_TRUE(Frame().empty());
  hl::SetDeviceAcquireRefused(in::kMouse, false);
  EXPECT_TRUE(Frame().empty());  // taken back; the click made meanwhile is gone
  hl::MouseButton(1, true);
  EXPECT_EQ(Codes(Frame()), std::vector<int>{269});

  hl::SetInputForeground(false);
  hl::KeyPress(0x04);
  EXPECT_TRUE(Frame().empty());
  hl::SetInputForeground(true);
  EXPECT_TRUE(Frame().empty());
  hl::KeyPress(0x05);
  EXPECT_EQ(Codes(Frame()), std::vector<int>{0x05});
}

TEST_F(InputTest, WindowedPointerRecordsCarryTheCursorAndTheClipFollowsTheWindow) {
  StartActive();
  FullScreen = 0;
  ClientX = 100;
  ClientY = 50;
  hl::PlaceCursor(300, 200);
  hl::MouseMove(7, 1);
  hl::MouseWheel(120);
  auto evs = Frame();
  ASSERT_EQ(evs.size(), 3u);
  EXPECT_EQ(evs[0].value, 207);
  EXPECT_EQ(evs[1].value, 151);
  EXPECT_EQ(evs[2].value, 240);

  in::ClipRect r{};
  elSystem::ClipCursorToScreen();
  ASSERT_TRUE(hl::CursorClip(&r));
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.bottom, 530);
  CursorClipEnabled = 1;  // a right double click toggles the clip; a move clips afresh
  elSystem::WindowProc(plat::WM_RBUTTONDBLCLK, 0, 0);
  EXPECT_FALSE(hl::CursorClip(nullptr));
  elSystem::WindowProc(plat::WM_MOVE, 0, (20 << 16) | 10);
  ASSERT_TRUE(hl::CursorClip(&r));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right, 650);
  elSystem::WindowProc(plat::WM_RBUTTONDBLCLK, 0, 0);
  EXPECT_EQ(elSystem::IsCursorClipped(), 0);

  elSystem::SetMousePos(5, 6);
  int32_t cx, cy;
  hl::CursorPos(&cx, &cy);
  EXPECT_EQ(cx, 15);
  EXPECT_EQ(cy, 26);
  evs = Frame();
  ASSERT_EQ(Codes(evs), (std::vector<int>{4096, 4100}));
  EXPECT_EQ(evs[0].value, 5);
  EXPECT_EQ(evs[1].value, 6);
}

TEST_F(InputTest, ServiceRefusesBadCallsAndMapsPolledKeys) {
  ASSERT_EQ(in::Open(), in::kOk);
  in::Record rec[4];
  uint32_t n = 4;
  const int j = hl::AttachJoystick();
  const in::Device jd = in::JoystickDevice(j);
  ASSERT_EQ(in::CreateDevice(jd), in::kOk);
  ASSERT_EQ(in::CreateDevice(in::kMouse), in::kOk);
  ASSERT_EQ(in::SetBufferSize(in::kMouse, 8), in::kOk);
  const int32_t kBad = in::kInvalidParam;
  const struct {
    int32_t got, want;
  } cases[] = {
      {in::GetDeviceData(-1, 16, rec, &n), kBad},
      {in::GetDeviceData(in::kDeviceCount, 16, rec, &n), kBad},
      {in::GetDeviceData(in::kMouse, 20, rec, &n), kBad},
      {in::GetDeviceData(in::kMouse, 16, rec, nullptr), kBad},
      {in::GetDeviceData(in::kMouse, 16, rec, &n), in::kNotAcquired},
      {in::Poll(in::kMouse), in::kNotAcquired},
      {in::GetDeviceData(in::kKeyboard, 16, rec, &n), in::kNotInitialized},
      {in::Acquire(in::kKeyboard), in::kNotInitialized},
      {in::SetBufferSize(in::kMouse, in::kMaxBufferSize + 1), kBad},
      {in::SetBufferSize(-3, 8), kBad},
      {in::Acquire(99), kBad},
      {in::SetAxisRange(in::kMouse, 0, -10, 10), kBad},
      {in::SetAxisRange(jd, 32, -10, 10), kBad},  // a hat
      {in::SetAxisRange(jd, 2, -10, 10), kBad},   // between two axes
      {in::SetAxisRange(jd, 0, 10, 10), kBad},
      {in::SetAxisDeadZone(jd, 0, 10001), kBad},
      {in::SetAxisRange(jd, 28, INT32_MIN, INT32_MAX), in::kOk},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
  ASSERT_EQ(in::Acquire(in::kMouse), in::kOk);
  n = 0;  // a read of nothing needs no buffer; a read of something does
  EXPECT_EQ(in::GetDeviceData(in::kMouse, 16, nullptr, &n), in::kOk);
  n = 4;
  EXPECT_EQ(in::GetDeviceData(in::kMouse, 16, nullptr, &n), kBad);
  hl::DetachJoystick(j);
  EXPECT_EQ(in::Acquire(jd), in::kUnplugged);
  in::JoyPos p{};
  EXPECT_EQ(in::JoyGetPos(static_cast<uint32_t>(j), in::kJoyReturnAll, &p), in::kJoyErrUnplugged);
  EXPECT_EQ(in::JoyGetPos(0, in::kJoyReturnAll, nullptr), in::kJoyErrParms);
  EXPECT_EQ(in::JoyGetPos(1000, in::kJoyReturnAll, &p), in::kJoyErrParms);
  for (int i = 0; i < in::kMaxAttachedJoysticks; ++i) EXPECT_GE(hl::AttachJoystick(), 0);
  EXPECT_EQ(hl::AttachJoystick(), -1);
  EXPECT_EQ(in::EnumJoysticks(nullptr, 0), in::kMaxAttachedJoysticks);

  // Keys by virtual key: digits, F keys, keypad Enter, right Control and Alt, arrows, right Shift.
  const struct {
    uint8_t scan;
    int vk;
  } kKeys[] = {{0x0B, '0'}, {0x44, 0x79}, {0x9C, 0x0D}, {0x9D, 0x11}, {0x9D, 0xA3}, {0xB8, 0x12}, {0xCB, 0x25}, {0x36, 0x10}};
  for (const auto& k : kKeys) {
    EXPECT_EQ(in::GetKeyState(k.vk) & 0x80, 0) << k.vk;
    hl::KeyPress(k.scan);
    EXPECT_NE(in::GetKeyState(k.vk) & 0x80, 0) << k.vk;
    EXPECT_EQ(in::GetKeyState(0xA2) & 0x80, 0);               // left Control stays up
    hl::KeyRelease(k.scan);
  }
  hl::MouseButton(2, true);
  EXPECT_NE(in::GetKeyState(4) & 0x80, 0);
  for (int vk : {0, -1, 0x07, 1 << 20}) EXPECT_EQ(in::GetKeyState(vk), 0) << vk;
}

// Through the running program: native clicks reach both the window-message state and the queue that
// the idle turn fills.
TEST(InputGameLoop, ClicksReachTheQueueAndTheWindowState) {
  int turns = 0;
  std::vector<std::pair<uint32_t, uint32_t>> buttons;
  uint32_t latchAfterLeft = 0, rightHeld = 0, lastSeq = 0;
  bool sawPointer = false;
  looptest::RunGame([&] {
    ++turns;
    for (uint32_t i = 0; i < EventCount; ++i) {  // the hook may run more than once between turns
      if (EventQueue[i].seq != 0 && EventQueue[i].seq <= lastSeq) continue;
      lastSeq = std::max(lastSeq, EventQueue[i].seq);
      if (EventQueue[i].code >= 268 && EventQueue[i].code <= 271) buttons.push_back({EventQueue[i].code, EventQueue[i].data});
      sawPointer = sawPointer || (EventQueue[i].code == 4096 && EventQueue[i].data == 400);
    }
    if (turns == 3) hl::PointerMoveTo(200, 150);
    if (turns == 5) hl::PointerClick(0);
    if (turns == 8) latchAfterLeft = LButtonLatch, hl::PointerButton(1, true);
    if (turns == 9) rightHeld = RButtonHeld;
    if (turns == 10) hl::PointerButton(1, false);
    if (turns == 14) hl::Inject(plat::WM_KEYDOWN, 27);
  });
  EXPECT_FALSE(DInput);  // released by the shutdown
  EXPECT_EQ(latchAfterLeft, 1u);
  EXPECT_EQ(rightHeld, 1u);
  EXPECT_EQ(MouseX, 200u);
  EXPECT_EQ(MouseY, 150u);
  const std::vector<std::pair<uint32_t, uint32_t>> want{{268, 0x80}, {268, 0}, {269, 0x80}, {269, 0}};
  EXPECT_EQ(buttons, want);
  EXPECT_TRUE(sawPointer);  // 200 units of motion count double on the pointer
}

}  // namespace
