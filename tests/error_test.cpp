#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "el/elSystem.h"
#include "platform/headless/headless.h"

namespace hl = plat::headless;

namespace {

std::string ReadFile(const char* name) {
  std::ifstream f(name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(ErrorReport, ComposesTextCaptionStyleAndSetsTheFlag) {
  hl::Reset();
  ErrorFlag = 0;
  EXPECT_EQ(elSystem::ReportError("elDraw::Screen", "DirectDrawが使用できません", 0x887600E1), 0);
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(hl::Boxes()[0].text, "elDraw::Screen : DirectDrawが使用できません");
  EXPECT_EQ(hl::Boxes()[0].caption, "エラー発生");
  EXPECT_EQ(hl::Boxes()[0].style, 0x1030u);
  EXPECT_FALSE(hl::Boxes()[0].owned);  // no window yet
  EXPECT_EQ(hl::BeepCount(), 1);
  EXPECT_EQ(elSystem::GetError(), 1);
}

TEST(ErrorReport, OverlongTextsStayInsideTheirBuffers) {
  hl::Reset();
  std::string longName(600, 'x');
  elSystem::ReportError(longName.c_str(), "m");
  EXPECT_EQ(hl::Boxes().back().text.size(), 255u);
  elSystem::Message("%s", longName.c_str());
  const std::string& t = hl::Boxes().back().text;
  EXPECT_EQ(t.size(), 255u);
  EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
}

TEST(GeneralBoxes, MessageAndQuestion) {
  hl::Reset();
  CursorShown = 0;
  elSystem::Message("score %d", 42);
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(hl::Boxes()[0].text, "score 42\r\n");
  EXPECT_EQ(hl::Boxes()[0].caption, "メッセージ");
  EXPECT_EQ(hl::Boxes()[0].style, 0x1030u);
  EXPECT_EQ(CursorShown, 1u);
  EXPECT_EQ(MessageBoxUp, 0);

  hl::SetBoxAnswer(plat::IDYES);
  EXPECT_EQ(elSystem::Question("again?"), 1);
  EXPECT_EQ(hl::Boxes().back().style, 0x24u);
  hl::SetBoxAnswer(plat::IDNO);
  EXPECT_EQ(elSystem::Question("again?"), 0);
  hl::SetBoxAnswer(plat::IDCANCEL);
  EXPECT_EQ(elSystem::Question("again?"), 0);
}

TEST(GeneralBoxes, TimeInTheBoxIsNotFrameTime) {
  hl::Reset();
  hl::SetReadStepMicros(0);
  hl::SetTimeMs(5000);
  LastTurnTime = 1000;
  FrameSeconds = 3.0f;
  elSystem::Message("x");
  EXPECT_EQ(FrameSeconds, 0.0f);
  EXPECT_EQ(LastTurnTime, 5000u);
}

TEST(DebugLog, AppendsLinesAndNeverTruncates) {
  std::remove("DEBUG.TXT");
  elSystem::DebugLog("first %d", 1);
  elSystem::DebugLog("second");
  EXPECT_EQ(ReadFile("DEBUG.TXT"), "first 1\nsecond\n");
  std::remove("DEBUG.TXT");
}

}  // namespace
