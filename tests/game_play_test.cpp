// Whole games on the headless host: scripted clicks through the real main loop, checked on the
// captured screen, the sounds and music started, and rank.dat's bytes.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "el/sound/sound_state.h"
#include "el/system/sysinfo.h"
#include "game/game_state.h"
#include "game/ranking.h"
#include "game/scenes.h"
#include "platform/audio.h"
#include "platform/bmp.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/headless_input.h"
#include "platform/midi.h"
#include "platform/resources.h"
#include "tests/support/files.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"

using namespace gametest;
using testfiles::RankFile;

namespace {

const char kNotice[] = "左クリックで食べて右クリックでおかわり！制限時間は30秒";
constexpr uint32_t kMenu = 0x212121;

// A frame (or any picture) as 0x00RRGGBB pixels.
struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

struct Rect { int left, top, right, bottom; };

// A BITMAP resource of the program; empty when it cannot be read. (The decoder is checked on its own
// against files of every depth; here the pictures' places on screen are what is checked.)
Image ResourceBitmap(const char* name) {
  plat::Resource res;
  plat::Image bmp;
  if (!plat::FindResource("BITMAP", name, &res) || !plat::DecodeBmp(res.data, res.size, &bmp)) return {};
  return Image{bmp.width, bmp.height, bmp.pixels};
}

// The picture stretched to width x height, each pixel taking the source pixel under its centre.
Image Stretched(const Image& src, int width, int height) {
  Image out{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out.px.push_back(src.At((2 * x + 1) * src.width / (2 * width), (2 * y + 1) * src.height / (2 * height)));
  return out;
}

// Two colours are the same on the 16-bit screen: each channel within one step of 5 bits.
bool SameOnScreen(uint32_t a, uint32_t b) {
  for (int shift : {16, 8, 0})
    if (std::abs(static_cast<int>(a >> shift & 0xFF) / 8 - static_cast<int>(b >> shift & 0xFF) / 8) > 1) return false;
  return true;
}

// Share (0..1) of the picture's pixels inside `part` that the frame shows at (x, y) + their position;
// pure green (transparent) pixels and pixels outside the frame are skipped.
double PictureMatch(const Image& frame, const Image& picture, int x, int y, Rect part) {
  long total = 0, same = 0;
  for (int py = part.top; py < part.bottom && py < picture.height; ++py)
    for (int px = part.left; px < part.right && px < picture.width; ++px) {
      const uint32_t want = picture.At(px, py);
      const int fx = x + px, fy = y + py;
      if (want == 0x00FF00 || fx < 0 || fy < 0 || fx >= frame.width || fy >= frame.height) continue;
      ++total;
      same += SameOnScreen(frame.At(fx, fy), want);
    }
  return total == 0 ? 0.0 : static_cast<double>(same) / total;
}

Image CapturedFrame() {
  const plat::headless::Frame& f = plat::headless::LastFrame();
  return Image{f.width, f.height, f.pixels};
}

// The frame shows the line of text in the gothic face at the normal weight, upright, in its colour:
// at least 95% of the glyphs' full pixels, and in their bounding box few of that colour where the
// line leaves the background untouched.
// Draws the label alone and presents it, so call it between frames only.
testing::AssertionResult Label(const Image& f, const char* text, int x, int y, int size, uint32_t colourRef) {
  const uint32_t rgb = (colourRef & 0xFF) << 16 | (colourRef & 0xFF00) | (colourRef >> 16 & 0xFF);
  // The glyphs alone, on a background far from their colour.
  const bool dark = (rgb >> 16 & 0xFF) + (rgb >> 8 & 0xFF) + (rgb & 0xFF) < 384;
  dark ? elDraw::FillWhite(0, 0, 640, 480) : elDraw::ClearScreen();
  elDraw::SetFont(1, size, 0, 0, 0, 0);
  elDraw::SetTextColor(colourRef, colourRef, 1);
  elDraw::Text(x, y, text);
  elDraw::EndFont();
  elDraw::Present();
  const Image drawn = CapturedFrame();
  long glyph = 0, same = 0, extra = 0;
  Rect box{640, 480, 0, 0};
  for (size_t i = 0; i < drawn.px.size() && i < f.px.size(); ++i)
    if (SameOnScreen(drawn.px[i], rgb)) {
      ++glyph, same += SameOnScreen(f.px[i], rgb);
      const int px = static_cast<int>(i % 640), py = static_cast<int>(i / 640);
      box = {std::min(box.left, px), std::min(box.top, py), std::max(box.right, px + 1), std::max(box.bottom, py + 1)};
    }
  for (int py = box.top; py < std::min(box.bottom + size / 4, 480); ++py)  // and an underline's room below
    for (int px = box.left; px < box.right; ++px) extra += drawn.At(px, py) == (dark ? 0xFFFFFFu : 0u) && SameOnScreen(f.At(px, py), rgb);
  const double m = glyph ? static_cast<double>(same) / glyph : 0.0;
  if (m >= 0.95 && extra * 20 <= glyph) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "\"" << text << "\" at (" << x << ", " << y << "): " << m << ", " << extra << " more of " << glyph;
}

// The picture (its `part`) is on screen at (x, y), and matches there better than one pixel off.
testing::AssertionResult Placed(const Image& f, const char* name, int x, int y, Rect part) {
  const Image pic = ResourceBitmap(name);
  const double at = PictureMatch(f, pic, x, y, part);
  if (at < 0.97) return testing::AssertionFailure() << name << " at (" << x << ", " << y << "): " << at;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if ((dx || dy) && PictureMatch(f, pic, x + dx, y + dy, part) >= at)
        return testing::AssertionFailure() << name << " fits (" << x + dx << ", " << y + dy << ") as well";
  return testing::AssertionSuccess();
}

bool Absent(const Image& f, const char* name, int x, int y, Rect part) {
  return PictureMatch(f, ResourceBitmap(name), x, y, part) < 0.5;
}

// The room and table behind the three game scenes, and the eater (his parts left and right of the
// heap's column and the grains).
void ExpectRoom(const Image& f, const char* eater) {
  const Image back = Stretched(ResourceBitmap("BACK"), 640, 480);
  EXPECT_GE(PictureMatch(f, back, 0, 0, {0, 60, 140, 330}), 0.97) << "room";
  EXPECT_GE(PictureMatch(f, back, 0, 0, {480, 0, 640, 330}), 0.97) << "room";
  EXPECT_GE(PictureMatch(f, ResourceBitmap("TABLE"), 120, 330, {345, 0, 400, 150}), 0.97) << "table";
  EXPECT_TRUE(Placed(f, "MISO", 360, 320, {0, 0, 100, 87}));
  EXPECT_TRUE(Placed(f, eater, 170, 30, {0, 0, 100, 170}));
  EXPECT_TRUE(Placed(f, eater, 170, 30, {200, 0, 240, 170}));
}

bool MusicPlaying(int32_t object) {
  const MusicSlot& m = MusicObject[object];
  return m.performance && m.segment && plat::MidiPerformanceIsPlaying(m.performance, m.segment, 0) == plat::MIDI_OK;
}

bool SoundPlaying(int32_t object) {
  uint32_t status = 0;
  plat::AudioGetStatus(SoundObject[object].buffer[0], &status);
  return (status & plat::kAudioStatusPlaying) != 0;
}

// Plays the title tune to its end: the mix the device would pull in three seconds.
void PlayOut() {
  for (int i = 0; i < 150; ++i) plat::headless::PullAudio(960);
}

// A program in a fresh directory holding this file of the source tree (none for nullptr).
std::filesystem::path ProgramIn(const char* from, const char* name) {
  char templ[] = "/tmp/oomori-progdir-XXXXXX";
  const std::filesystem::path dir = mkdtemp(templ) ? templ : "/nonexistent", src = std::getenv("OOMORI_SOURCE_DIR");
  if (from) std::filesystem::copy_file(src / from, dir / name);
  return dir / "oomori";
}

// Verdicts by the first bowl count of their band.
const std::pair<int, const char*> kVerdicts[] = {
    {0, "おなかすいたよぉ"}, {1, "びみょ～だよぉ"}, {21, "わんこソバみたいだよぉ"}, {31, "食べまくりだよぉ"},
    {51, "うすくちしょうゆが欲しいよぉ"}, {61, "ごはんやまもりすぎるよぉ"}, {71, "世界大会にいきたいよぉ"},
    {81, "ごはんに見えて実はさとうだよぉ"}, {91, "みそしるも飲みたいよぉ"}, {96, "給食多すぎるよぉ"},
    {100, "ついに全国大会レベルだよぉ"}, {106, "よく見たらチョークの粉だよぉ"}, {111, "ふりかけくらい欲しいよぉ"},
    {116, "ごはんだけが友達だよぉ"}, {121, "もうかんべんしてよぉ(*>ε<*)"}};

}  // namespace

// One game of three bowls, every screen on the way checked as the player sees and hears it, then a
// second game switched away from and left during play.
TEST(Game, ThreeBowlsThroughEveryScreen) {
  RunResult r = RunGame([](Driver& d) {
    static Image title, menu;
    static Grain flying[kGrainCount];
    static int readyStart;
    static std::vector<int32_t> assets;
    d.WhenScene(10, [] {
      title = CapturedFrame();
      EXPECT_EQ(PortCount, 1) << "the synthesizer is the only MIDI port";
      EXPECT_FALSE(plat::headless::ImeOn()) << "no input method over the game";
      RightClick();  // no menu yet: nothing
    });
    d.Then([] {
      EXPECT_TRUE(CapturedFrame().px == title.px);
      LeftClick();
    });
    // The click is read after the frame is drawn: the menu shows from the frame after.
    d.AfterFrames(1, [] {
      menu = CapturedFrame();
      EXPECT_TRUE(Label(menu, "左クリックでゲームスタート", 164, 330, 24, kMenu));
      EXPECT_TRUE(Label(menu, "ＥＳＣキーでゲームを終了します", 140, 390, 24, kMenu));
      EXPECT_FALSE(Label(menu, "右クリックでスコアランキング表示", 128, 360, 24, kMenu)) << "empty ranking";
      // The panel: each pixel halfway between the picture and white; outside it the picture as it was.
      long inside = 0, blended = 0, changed = 0;
      for (int y = 300; y < 455; ++y)
        for (int x = 90; x < 550; ++x) {
          const uint32_t before = title.At(x, y), after = menu.At(x, y);
          if (x >= 110 && x < 530 && y >= 325 && y < 420)
            ++inside, blended += SameOnScreen(after, (before >> 1 & 0x7F7F7F) + 0x7F7F7F);
          else
            changed += after != before;
        }
      EXPECT_GT(blended, inside * 3 / 4) << "pale panel (110, 325)-(530, 420)";
      EXPECT_EQ(changed, 0) << "outside the panel";
      RightClick();  // empty ranking: nothing
    });
    d.AfterFrames(1, [] {
      EXPECT_TRUE(CapturedFrame().px == menu.px);
      EXPECT_EQ(BackPic, 0) << "no game asset is loaded before a game starts";
      LeftClick();
    });
    d.WhenScene(15, [&d] {
      readyStart = d.Frame() - 1;
      ExpectRoom(CapturedFrame(), "HITO1");
      EXPECT_NE(elStream::GetState(), 1) << "the title tune stops";
      EXPECT_FALSE(SoundPlaying(ReadySound));
    });
    d.When([] { return ReadyFrame == 61; }, [] {
      EXPECT_TRUE(Placed(CapturedFrame(), "READY", 220, 220, {0, 0, 200, 40}));
      EXPECT_TRUE(SoundPlaying(ReadySound));
      EXPECT_FALSE(SoundPlaying(GoSound));
    });
    d.When([] { return ReadyFrame == 121; }, [] {
      const Image f = CapturedFrame();
      EXPECT_GE(PictureMatch(f, Stretched(ResourceBitmap("GO"), 400, 80), 120, 200, {0, 0, 400, 80}), 0.97) << "GO";
      EXPECT_TRUE(Absent(f, "READY", 220, 220, {0, 0, 200, 40}));
      EXPECT_TRUE(SoundPlaying(GoSound));
      EXPECT_FALSE(MusicPlaying(PlayMusic));
    });
    d.WhenScene(20, [&d] {
      EXPECT_EQ(d.Frame() - 1 - readyStart, 182) << "frames of the ready scene";
      EXPECT_TRUE(MusicPlaying(PlayMusic));
      const Image f = CapturedFrame();
      ExpectRoom(f, "HITO1");
      EXPECT_TRUE(Placed(f, "OWAN", 270, 320, {0, 0, 90, 100}));
      EXPECT_TRUE(Placed(f, "GOHAN1", 270, 70, {0, 0, 100, 25}));
      for (int i = 0; i < 9; ++i) EXPECT_TRUE(Placed(f, "GOHAN2", 270, 295 - 25 * i, {0, 0, 100, 25}));
      EXPECT_TRUE(Label(f, "残り 30秒", 10, 10, 32, 0xFFFFFF));
      LeftClick();
      LeftClick();  // two in one frame eat once
    });
    // Each frame shows the state the frame before left: the bite's frame still the full bowl.
    d.Then([] {
      std::copy(std::begin(Grains), std::end(Grains), flying);
      EXPECT_TRUE(SoundPlaying(PakuSound));
    });
    d.Then([] {
      const Image f = CapturedFrame();
      ExpectRoom(f, "HITO4");
      EXPECT_TRUE(Placed(f, "OWAN", 270, 320, {0, 0, 90, 100}));
      EXPECT_TRUE(Absent(f, "GOHAN2", 270, 295, {0, 0, 100, 25})) << "no rice left";
      // One bite throws five grains, drawn where the frame found them, one over the other.
      const Image tsubu = ResourceBitmap("TSUBU");
      std::vector<int64_t> want(f.px.size(), -1);
      int active = 0;
      for (const Grain& g : flying)
        for (int i = 0; g.active && i < 64; ++i)
          if (tsubu.At(i % 8, i / 8) != 0x00FF00 && g.x + i % 8 < 640 && g.y + i / 8 < 480)
            want[static_cast<size_t>(g.y + i / 8) * 640 + g.x + i % 8] = tsubu.At(i % 8, i / 8), active += i == 0;
      long total = 0, same = 0;
      for (size_t i = 0; i < want.size(); ++i)
        if (want[i] >= 0) ++total, same += SameOnScreen(f.px[i], static_cast<uint32_t>(want[i]));
      EXPECT_EQ(std::count_if(std::begin(flying), std::end(flying), [](const Grain& g) { return g.active; }), 5);
      EXPECT_GE(same, total * 97 / 100) << "grains";
      EXPECT_FALSE(SoundPlaying(OkawariSound));
      RightClick();
    });
    // The call for another bowl: still eating for a frame, then holding the new bowl up; the counted
    // bowl stands in the stack, none on the table.
    d.AfterFrames(1, [] {
      const Image f = CapturedFrame();
      ExpectRoom(f, "HITO2");
      EXPECT_TRUE(Placed(f, "OWAN", 150, 418, {0, 0, 100, 62}));
      EXPECT_TRUE(SoundPlaying(OkawariSound));
    });
    d.AfterFrames(1, [] {
      const Image f = CapturedFrame();
      EXPECT_TRUE(Placed(f, "HITO3", 170, 30, {0, 0, 100, 170}));
      EXPECT_TRUE(Placed(f, "OWAN", 410, 100, {30, 0, 100, 100}));
      EXPECT_TRUE(Absent(f, "OWAN", 270, 320, {0, 0, 90, 100}));
    });
    EatBowls(d, 2);
    FastClock(d);
    static int timeUpStart;
    d.WhenScene(25, [&d] {
      timeUpStart = d.Frame();
      const Image f = CapturedFrame();
      ExpectRoom(f, "HITO1");
      EXPECT_TRUE(Placed(f, "SOKO", 220, 220, {0, 0, 200, 40}));
      EXPECT_TRUE(Label(f, "残り  0秒", 10, 10, 32, 0xFFFFFF));
      EXPECT_FALSE(MusicPlaying(PlayMusic));
      EXPECT_TRUE(MusicPlaying(OwariMusic));
      // Three bowls, the lowest number on top.
      EXPECT_TRUE(Placed(f, "OWAN", 150, 394, {0, 0, 100, 12}));
      EXPECT_TRUE(Placed(f, "OWAN", 150, 418, {0, 0, 100, 62}));
      EXPECT_TRUE(Absent(f, "OWAN", 190, 418, {60, 0, 100, 62}));
      Bowls = 31;
    });
    // The stack in runs of thirty: bowls 31 and 61 start a run, 90 tops the third, 91 to 95 lie under 61 to 65.
    static Image at90;
    struct Top { int next, x, y, h; };
    for (Top t : {Top{61, 190, 418, 62}, Top{90, 230, 418, 62}, Top{95, 230, 70, 12}})
      d.Then([t] {
        EXPECT_TRUE(Placed(at90 = CapturedFrame(), "OWAN", t.x, t.y, {60, 0, 100, t.h})) << Bowls;
        Bowls = t.next;
      });
    d.Then([] {
      EXPECT_TRUE(CapturedFrame().px == at90.px) << "bowls 91 to 95";
      Bowls = 3;
    });
    d.WhenScene(30, [&d] {
      EXPECT_EQ(d.Frame() - timeUpStart, 242) << "frames of the time-up scene";
      EXPECT_TRUE(MusicPlaying(ResultMusic));
      const Image f = CapturedFrame();
      EXPECT_TRUE(Label(f, "食べたご飯：3杯", 30, 40, 48, 0xC88C50));
      EXPECT_TRUE(Label(f, "摂取カロリー：7560Kcal", 30, 100, 48, 0xC88C50));
      EXPECT_TRUE(Label(f, "ランク：Ｅ", 30, 160, 48, 0x648CB4));
      EXPECT_TRUE(Label(f, "1位にランクインしました", 320, 220, 24, 0x0000FF));
      EXPECT_TRUE(Label(f, "左クリックでタイトルに戻るよ", 290, 430, 24, 0x000000));
      EXPECT_TRUE(Placed(f, "HITO1", 30, 200, {0, 0, 260, 280}));
      // The speech box: white along its edges from (300, 300) to (580, 340), not beyond them.
      auto white = [&f](int x, int y, int across) {
        int n = 0;
        for (int i = 0; i < (across ? 280 : 40); ++i) n += SameOnScreen(f.At(x + i * across, y + i * !across), 0xFFFFFF);
        return n;
      };
      EXPECT_EQ(white(300, 300, 0) + white(579, 300, 0) + white(300, 300, 1) + white(300, 339, 1), 640);
      EXPECT_LT(white(299, 300, 0) + white(580, 300, 0) + white(300, 299, 1) + white(300, 340, 1), 40);
    });
    // The verdict of every band, at its first and its last bowl count.
    for (size_t i = 0; i < std::size(kVerdicts); ++i)
      for (int bowls : {kVerdicts[i].first, i + 1 < std::size(kVerdicts) ? kVerdicts[i + 1].first - 1 : 200}) {
        d.Then([bowls] { Bowls = bowls; });
        d.Then([i, bowls] { EXPECT_TRUE(Label(CapturedFrame(), kVerdicts[i].second, 305, 310, 18, 0)) << bowls; });
      }
    auto loaded = [] { return std::vector<int32_t>{BackPic, TsubuPic, Hito4Pic, ReadySound, OkawariSound, PlayMusic}; };
    d.Then([loaded] {
      Bowls = 3;
      assets = loaded();
      LeftClick();
    });
    d.WhenScene(10, [] {
      EXPECT_FALSE(MusicPlaying(ResultMusic));
      EXPECT_EQ(elStream::GetState(), 1) << "title tune again";
      EXPECT_FALSE(Label(CapturedFrame(), "左クリックでゲームスタート", 164, 330, 24, kMenu)) << "the menu waits for a click";
    });
    StartFromTitle(d);
    d.WhenScene(20, [loaded] {
      const Image f = CapturedFrame();
      EXPECT_TRUE(Placed(f, "GOHAN1", 270, 70, {0, 0, 100, 25}));
      EXPECT_TRUE(Absent(f, "OWAN", 150, 418, {0, 0, 100, 62})) << "no bowls yet";
      EXPECT_EQ(loaded(), assets) << "nothing loaded again";
    });
    // Switching away stops the frames; back again, the countdown has lost one second, and the next
    // second is a full one.
    static int resumeFrame;
    d.When([] { return TimeLeft == 27; }, [&d] { d.PauseApp(10000); });
    d.Then([&d] {
      EXPECT_EQ(TimeLeft, 26);
      resumeFrame = d.Frame() - 1;
    });
    d.When([] { return TimeLeft == 25; }, [&d] {
      EXPECT_GE(d.Frame() - resumeFrame, 55);
      EXPECT_LE(d.Frame() - resumeFrame, 66);
      PressEscape();
    });
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(testfiles::ReadFile("rank.dat"), RankFile({30, -1, -1, -1, -1}));
}

// A full ranking shown from the title's menu, then two games of no bowl: the first takes the empty
// fifth place, the second only equals it. The title tune is a short tone here, played out at will.
TEST(Game, RankingScreenAndResultsThatDoNotRank) {
  const std::string exe = ProgramIn("tests/data/tone.mp3", "titlebgm.mp3");
  RunResult r = RunGame([&exe](Driver& d) {
    elSystem::SetExecutablePathForTest(exe.c_str());
    // The first is no result a game can give, but one edited into rank.dat: its calories pass 2^31.
    for (int32_t v : {8521770, 1215, 1150, 30}) Ranking.Insert(v);
    d.WhenScene(10, LeftClick);
    d.AfterFrames(1, [] {
      EXPECT_TRUE(Label(CapturedFrame(), "右クリックでスコアランキング表示", 128, 360, 24, kMenu));
      RightClick();
    });
    d.WhenScene(40, [] {
      const Image f = CapturedFrame();
      EXPECT_TRUE(Label(f, "ランキング", 220, 50, 40, 0x00E6E6));
      const char* rows[][2] = {{"1位　852177杯　2147486040 Kcal", "神"}, {"2位　121杯　306180 Kcal", "神"},
                               {"3位　115杯　289800 Kcal", "SS"}, {"4位　 3杯　7560 Kcal", "Ｅ"}, {"5位　--杯　-- Kcal", "-"}};
      for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(Label(f, rows[i][0], 30, 130 + 50 * i, 32, 0xC88C50));
        EXPECT_TRUE(Label(f, rows[i][1], 562, 130 + 50 * i, 32, i < 2 ? 0x6464FF : i == 2 ? 0x00FFFF : 0xC8C864));
      }
      EXPECT_TRUE(Label(f, "左クリックでタイトル画面に戻ります", 30, 380, 24, 0x000000));
      // The title tune runs on, and starts again when it reaches its end.
      EXPECT_EQ(elStream::GetState(), 1);
      PlayOut();
      EXPECT_EQ(elStream::GetState(), 4);
      RightClick();  // nothing here
    });
    d.Then([] {
      EXPECT_EQ(elStream::GetState(), 1) << "the tune starts again";
      EXPECT_EQ(SceneNo, 40);
      LeftClick();
    });
    d.AfterFrames(1, [] {
      EXPECT_TRUE(Label(CapturedFrame(), "ＥＳＣキーでゲームを終了します", 140, 390, 24, kMenu)) << "back with the menu up";
      PlayOut();
    });
    d.Then([] {
      EXPECT_EQ(elStream::GetState(), 1) << "the title starts its tune again too";
      LeftClick();  // left and right in one frame: the game starts
      RightClick();
    });
    d.Then([] { EXPECT_EQ(SceneNo, 15); });
    for (int game = 0; game < 2; ++game) {
      const char* line = game ? "ランクインしませんでした" : "5位にランクインしました";
      if (game) StartFromTitle(d);
      FastClock(d);
      d.WhenScene(30, [line] { EXPECT_TRUE(Label(CapturedFrame(), line, 320, 220, 24, 0x0000FF)); });
      d.Then(LeftClick);
    }
    d.WhenScene(10, PressEscape);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(testfiles::ReadFile("rank.dat"), RankFile({8521770, 1215, 1150, 30, 0}));
  std::filesystem::remove_all(std::filesystem::path(exe).parent_path());
}

// The refill: a right click counts the bowl, the new one arrives at the end of the 19th frame; a left
// click while more than 3 frames of it remain brings it at the end of that frame. Fast eating fills
// the table of flying grains, and never more. Killed on the result screen, where no exit hook runs:
// only the save made on entering the result can have put it into rank.dat.
TEST(Game, RefillTimingAndGrains) {
  RunGame([](Driver& d) {
    static std::vector<int> riceAfter;
    static int most = 0;
    d.EachFrame([](int) {
      int active = 0;
      for (const Grain& g : Grains)
        if (g.active) {
          ++active;
          EXPECT_LE(std::abs(g.vx), 5.01) << "up to 30 degrees either side of straight up";
          // Thrown from (320, 300) at 10 pixels a frame, falling half a pixel a frame faster each frame.
          double vy = -std::sqrt(100 - g.vx * g.vx);
          int x = 320, y = 300;
          for (int k = 0; k < 100 && vy < g.vy - 0.25; ++k, vy += 0.5) x = int(x + g.vx), y = int(y + vy);
          EXPECT_EQ(std::make_pair(g.x, g.y), std::make_pair(x, y));
          EXPECT_LE(g.y, 480);
        }
      most = std::max(most, active);
      if (SceneNo == 20 && Bowls == 1 && riceAfter.size() < 20) riceAfter.push_back(Rice);
    });
    StartFromTitle(d);
    d.When([] { return SceneNo == 20 && Rice == 10; }, LeftClick);
    d.Then(LeftClick);  // on the emptied bowl: nothing
    d.Then([] {
      EXPECT_EQ(Rice, -1);
      EXPECT_EQ(Bowls, 0);
      RightClick();
    });
    d.AfterFrames(20, [] {
      ASSERT_EQ(riceAfter.size(), 20u);
      EXPECT_EQ(std::count(riceAfter.begin(), riceAfter.begin() + 18, -1), 18) << "the bowl comes after 19 frames";
      EXPECT_EQ(riceAfter[18], 10);
      RightClick();  // on a full bowl: nothing
    });
    d.Then([] {
      EXPECT_EQ(Bowls, 1);
      LeftClick();
    });
    d.Then(RightClick);
    d.Then(RightClick);  // a second call during the refill: nothing
    d.Then([] {
      EXPECT_EQ(Bowls, 2);
      LeftClick();  // 18 frames left: hurried
    });
    d.Then([] {
      EXPECT_EQ(Rice, 10);
      LeftClick();
    });
    d.Then(RightClick);
    d.When([] { return RefillFrames == 3; }, LeftClick);  // 3 frames left: not hurried
    d.Then([] { EXPECT_EQ(Rice, -1); });
    d.Then([] { EXPECT_EQ(Rice, 10); });
    EatBowls(d, 15, /*hurry=*/true);
    d.Then([] { EXPECT_EQ(most, kGrainCount); });
    FastClock(d);
    d.WhenScene(30, [] { kill(getpid(), SIGKILL); });
  }, SIGKILL);
  EXPECT_EQ(testfiles::ReadFile("rank.dat"), RankFile({180, -1, -1, -1, -1}));
}

// The end of play: a bowl called for in the last 18 frames (or emptied and never called for) is
// counted once, and time-up brings the refill that did not arrive.
TEST(Game, BowlsAtTheEndOfPlay) {
  struct Case {
    int framesBefore;  // between the right click and the end of play; -1: no right click
    int32_t riceAtTimeUp;
  };
  for (Case c : {Case{0, -1}, Case{17, -1}, Case{18, 10}, Case{-1, -1}}) {
    SCOPED_TRACE(c.framesBefore);
    RunResult r = RunGame([c](Driver& d) {
      StartFromTitle(d);
      d.EachFrame([](int) {
        if (SceneNo == 20 && TimeLeft > 1) plat::headless::AdvanceMs(1000);
      });
      d.When([] { return SceneNo == 20 && TimeLeft == 1 && Rice == 10; }, LeftClick);
      if (c.framesBefore < 0) {
        d.Then([] { plat::headless::AdvanceMs(1000); });
      } else {
        d.When([] { return Rice == -1; }, [c] {
          RightClick();
          if (c.framesBefore == 0) plat::headless::AdvanceMs(1000);
        });
        if (c.framesBefore > 0) d.AfterFrames(c.framesBefore - 1, [] { plat::headless::AdvanceMs(1000); });
      }
      d.WhenScene(25, [c] {
        EXPECT_EQ(Bowls, c.framesBefore < 0 ? 0 : 1);
        EXPECT_EQ(Rice, c.riceAtTimeUp);
      });
      ReturnAndQuit(d);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(testfiles::ReadFile("rank.dat"), RankFile({10, -1, -1, -1, -1}));
  }
}

// The title picture comes from oomori.jpg beside the program: its left 600 columns widened to the
// screen (red columns 0-299, blue 300-599, green 600-639 in this one); without it and the tune the
// title is black and silent, one report for each file, and the game plays on.
TEST(Game, TitlePictureAndMissingMedia) {
  for (bool withPicture : {true, false}) {
    const std::string exe = ProgramIn(withPicture ? "tests/data/title_bands.jpg" : nullptr, "oomori.jpg");
    RunResult r = RunGame([&exe, withPicture](Driver& d) {
      elSystem::SetExecutablePathForTest(exe.c_str());
      d.WhenScene(10, [withPicture] {
        const Image f = CapturedFrame();
        long wrong = 0;
        for (int y = 0; y < 440; y += 4)
          for (int x = 0; x < 640; x += 2) {
            if (withPicture && x >= 312 && x < 328) continue;  // the seam, softened by the compression
            wrong += !SameOnScreen(f.At(x, y), !withPicture ? 0 : x < 320 ? 0xFF0000 : 0x0000FF);
          }
        EXPECT_EQ(wrong, 0);
        EXPECT_TRUE(Label(f, kNotice, 82, 460, 18, 0xFFFFFF));
        ASSERT_EQ(plat::headless::Boxes().size(), withPicture ? 1u : 2u);
        for (const auto& box : plat::headless::Boxes()) EXPECT_EQ(box.text, "elStream::LoadObject : ストリームを読み込めません");
        EXPECT_EQ(elStream::GetState(), 0);
      });
      StartFromTitle(d);
      d.WhenScene(20, PressEscape);
    });
    EXPECT_EQ(r.status, 0);
    std::filesystem::remove_all(std::filesystem::path(exe).parent_path());
  }
}

// Pictures that fail to load leave 0, the number of the stretch scratch picture: the scenes draw
// nothing for them (not the scratch picture's leftovers of the widened title).
TEST(Game, FailedPictureLoadsDrawNothing) {
  RunResult r = RunGame([](Driver& d) {
    plat::headless::SetCaps(false, false, false, false);  // stretching through the scratch picture
    d.WhenScene(10, [] {
      while (elDraw::CreateObject(8, 8, 2) != 0) {
      }  // a full table: every picture of the game fails to load
      plat::headless::Boxes().clear();
    });
    StartFromTitle(d);
    d.WhenScene(20, [] {
      EXPECT_EQ(plat::headless::Boxes().size(), 14u) << "each of the fourteen pictures reports once";
      const Image f = CapturedFrame();
      EXPECT_EQ(std::count(f.px.begin() + 60 * 640, f.px.end(), 0u), 420 * 640) << "only the countdown is drawn";
      EXPECT_TRUE(Label(f, "残り 30秒", 10, 10, 32, 0xFFFFFF));
      LeftClick();
    });
    d.Then([] {
      EXPECT_TRUE(SoundPlaying(PakuSound)) << "the sounds still load, the game goes on";
      PressEscape();
    });
  });
  EXPECT_EQ(r.status, 0);
}

// A scene change cancels a running wipe (the whole screen shows again), but leaves a closed screen closed;
// after a fade out the scene named next starts anew.
TEST(Game, SceneChangesWipesAndFades) {
  using Clip = std::vector<int32_t>;
  static auto clip = [] { return Clip{ClipLeft, ClipTop, ClipRight, ClipBottom}; };
  RunResult r = RunGame([](Driver& d) {
    d.WhenScene(10, [] { EXPECT_EQ(elDraw::StartWipe(0, 7, 0.0f, 0), 1); });
    d.AfterFrames(2, [] {
      EXPECT_NE(clip(), (Clip{0, 0, 640, 480})) << "the wipe is still opening";
      SceneNo = 40;  // the ranking screen
    });
    d.Then([] {
      EXPECT_EQ(clip(), (Clip{0, 0, 640, 480}));
      EXPECT_EQ(WipeState, 0);
      Ranking.Insert(1300), SceneNo = 10, NextSceneNo = 40, elDraw::FadeOut();  // back to it, a result later
    });
    d.AfterFrames(1, [] {
      EXPECT_TRUE(Label(CapturedFrame(), "神", 562, 130, 32, 0x6464FF)) << "the grades made afresh";
      elDraw::CloseScreen();
      SceneNo = 10;
    });
    d.Then([] {
      EXPECT_EQ(clip(), (Clip{0, 0, 0, 0}));
      EXPECT_EQ(WipeState, -1);
      PressEscape();
    });
  });
  EXPECT_EQ(r.status, 0);
}
