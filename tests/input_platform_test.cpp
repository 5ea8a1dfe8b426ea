// The input service below the library: device buffers, acquisition, refusals, axis properties, the
// polled key state.
#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless.h"
#include "platform/headless/headless_input.h"
#include "platform/input.h"

namespace hl = plat::headless;
namespace in = plat::input;

namespace {

class InputServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    hl::ResetInput();
    ASSERT_EQ(in::Open(), in::kOk);
  }
  void TearDown() override { hl::ResetInput(); }

  static std::vector<in::Record> ReadAll(in::Device d, int32_t* result, uint32_t max = 64) {
    std::vector<in::Record> out(max);
    uint32_t n = max;
    *result = in::GetDeviceData(d, sizeof(in::Record), out.data(), &n);
    out.resize(n);
    return out;
  }
};

TEST_F(InputServiceTest, BuffersOnlyWhileAcquiredOldestFirst) {
  ASSERT_EQ(in::CreateDevice(in::kKeyboard), in::kOk);
  int32_t r;
  EXPECT_TRUE(ReadAll(in::kKeyboard, &r).empty());
  EXPECT_EQ(r, in::kNotAcquired);
  ASSERT_EQ(in::SetBufferSize(in::kKeyboard, 4), in::kOk);
  hl::KeyPress(0x10);  // not acquired: dropped
  ASSERT_EQ(in::Acquire(in::kKeyboard), in::kOk);
  hl::KeyPress(0x11);
  hl::KeyRelease(0x11);
  hl::KeyPress(0x12);
  auto recs = ReadAll(in::kKeyboard, &r, 2);
  EXPECT_EQ(r, in::kOk);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0].ofs, 0x11u);
  EXPECT_EQ(recs[0].data, 0x80u);
  EXPECT_EQ(recs[1].data, 0u);
  EXPECT_LT(recs[0].seq, recs[1].seq);
  recs = ReadAll(in::kKeyboard, &r);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].ofs, 0x12u);

  // Five into four: the newest is dropped and the read says data was lost.
  for (uint8_t k = 0x20; k < 0x25; ++k) hl::KeyPress(k);
  recs = ReadAll(in::kKeyboard, &r);
  EXPECT_EQ(r, in::kBufferOverflow);
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[3].ofs, 0x23u);
  ReadAll(in::kKeyboard, &r);
  EXPECT_EQ(r, in::kOk);

  // Unacquiring drops what was buffered.
  hl::KeyPress(0x30);
  in::Unacquire(in::kKeyboard);
  in::Acquire(in::kKeyboard);
  EXPECT_TRUE(ReadAll(in::kKeyboard, &r).empty());
}

TEST_F(InputServiceTest, RefusesWhatWouldTouchMemoryItShouldNot) {
  uint32_t n = 4;
  in::Record rec[4];
  EXPECT_EQ(in::GetDeviceData(-1, sizeof rec[0], rec, &n), in::kInvalidParam);
  EXPECT_EQ(in::GetDeviceData(in::kDeviceCount, sizeof rec[0], rec, &n), in::kInvalidParam);
  EXPECT_EQ(in::GetDeviceData(in::kMouse, sizeof rec[0], rec, &n), in::kNotInitialized);
  ASSERT_EQ(in::CreateDevice(in::kMouse), in::kOk);
  ASSERT_EQ(in::SetBufferSize(in::kMouse, 8), in::kOk);
  ASSERT_EQ(in::Acquire(in::kMouse), in::kOk);
  hl::MouseMove(1, 1);
  n = 4;
  EXPECT_EQ(in::GetDeviceData(in::kMouse, 20, rec, &n), in::kInvalidParam);  // wrong record size
  EXPECT_EQ(in::GetDeviceData(in::kMouse, sizeof rec[0], nullptr, &n), in::kInvalidParam);
  EXPECT_EQ(in::GetDeviceData(in::kMouse, sizeof rec[0], rec, nullptr), in::kInvalidParam);
  n = 0;  // a zero-count read moves nothing
  EXPECT_EQ(in::GetDeviceData(in::kMouse, sizeof rec[0], nullptr, &n), in::kOk);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(in::SetBufferSize(in::kMouse, in::kMaxBufferSize + 1), in::kInvalidParam);
  EXPECT_EQ(in::SetBufferSize(-3, 8), in::kInvalidParam);
  EXPECT_EQ(in::Acquire(99), in::kInvalidParam);
  // Axis properties exist for joystick axes only.
  const int j = hl::AttachJoystick();
  const in::Device jd = in::JoystickDevice(j);
  ASSERT_EQ(in::CreateDevice(jd), in::kOk);
  EXPECT_EQ(in::SetAxisRange(in::kMouse, 0, -10, 10), in::kInvalidParam);
  EXPECT_EQ(in::SetAxisRange(jd, 32, -10, 10), in::kInvalidParam);  // a hat
  EXPECT_EQ(in::SetAxisRange(jd, 2, -10, 10), in::kInvalidParam);   // not an object offset
  EXPECT_EQ(in::SetAxisRange(jd, 0, 10, 10), in::kInvalidParam);
  EXPECT_EQ(in::SetAxisDeadZone(jd, 0, 10001), in::kInvalidParam);
  EXPECT_EQ(in::SetAxisRange(jd, 28, INT32_MIN, INT32_MAX), in::kOk);
  in::JoyPos p{};
  EXPECT_EQ(in::JoyGetPos(static_cast<uint32_t>(j), in::kJoyReturnAll, nullptr), in::kJoyErrParms);
  EXPECT_EQ(in::JoyGetPos(1000, in::kJoyReturnAll, &p), in::kJoyErrParms);
  // Feeding out of range is ignored.
  hl::JoystickAxis(j, 8, 5);
  hl::JoystickButton(j, 32, true);
  hl::JoystickPov(j, -1, 0);
  hl::JoystickAxis(40, 0, 5);
  hl::MouseButton(7, true);
}

TEST_F(InputServiceTest, LostAndUnpluggedDevices) {
  const int j = hl::AttachJoystick();
  const in::Device jd = in::JoystickDevice(j);
  ASSERT_EQ(in::CreateDevice(jd), in::kOk);
  ASSERT_EQ(in::SetBufferSize(jd, 8), in::kOk);
  ASSERT_EQ(in::Acquire(jd), in::kOk);
  hl::JoystickButton(j, 0, true);
  hl::DetachJoystick(j);
  int32_t r;
  EXPECT_TRUE(ReadAll(jd, &r).empty());
  EXPECT_EQ(r, in::kInputLost);
  EXPECT_EQ(in::Acquire(jd), in::kUnplugged);
  ReadAll(jd, &r);
  EXPECT_EQ(r, in::kNotAcquired);
  EXPECT_EQ(in::EnumJoysticks(nullptr, 0), 0);

  // Leaving the foreground loses every acquired device; coming back allows Acquire again.
  ASSERT_EQ(in::CreateDevice(in::kKeyboard), in::kOk);
  in::SetBufferSize(in::kKeyboard, 8);
  in::Acquire(in::kKeyboard);
  hl::SetInputForeground(false);
  ReadAll(in::kKeyboard, &r);
  EXPECT_EQ(r, in::kInputLost);
  EXPECT_EQ(in::Acquire(in::kKeyboard), in::kOtherAppHasPrio);
  hl::SetInputForeground(true);
  EXPECT_EQ(in::Acquire(in::kKeyboard), in::kOk);
}

TEST_F(InputServiceTest, PolledKeyStateAndToggle) {
  EXPECT_EQ(in::GetKeyState('A') & 0x80, 0);
  hl::KeyPress(0x1E);
  EXPECT_NE(in::GetKeyState('A') & 0x80, 0);
  EXPECT_EQ(in::GetKeyState('A') & 1, 1);
  hl::KeyRelease(0x1E);
  EXPECT_EQ(in::GetKeyState('A') & 0x80, 0);
  EXPECT_EQ(in::GetKeyState('A') & 1, 1);
  hl::KeyPress(0x1E);
  hl::KeyRelease(0x1E);
  EXPECT_EQ(in::GetKeyState('A') & 1, 0);
  // Digits, F keys, Enter from the keypad, Control from the right.
  hl::KeyPress(0x0B);
  hl::KeyPress(0x44);
  hl::KeyPress(0x9C);
  hl::KeyPress(0x9D);
  EXPECT_NE(in::GetKeyState('0') & 0x80, 0);
  EXPECT_NE(in::GetKeyState(0x79) & 0x80, 0);  // F10
  EXPECT_NE(in::GetKeyState(0x0D) & 0x80, 0);
  EXPECT_NE(in::GetKeyState(0x11) & 0x80, 0);
  EXPECT_EQ(in::GetKeyState(0xA2) & 0x80, 0);  // left Control is up
  EXPECT_NE(in::GetKeyState(0xA3) & 0x80, 0);
  hl::MouseButton(2, true);
  EXPECT_NE(in::GetKeyState(4) & 0x80, 0);
  EXPECT_EQ(in::GetKeyState(0), 0);
  EXPECT_EQ(in::GetKeyState(-1), 0);
  EXPECT_EQ(in::GetKeyState(1 << 20), 0);
}

}  // namespace
