// Japanese text: a text box that keeps the Japanese line-breaking rules (closing punctuation hangs past
// the right edge instead of starting a line) and reveals its page one character at a time, a smoothed
// title, and shadowed and bold samples. Space, Enter or a click shows the whole page, then the next.
// Escape quits. Sources are compiled with -fexec-charset=CP932: every literal here reaches the
// library as code page 932, as its text interface expects.
#include "../common/example.h"
#include "el/elDraw.h"
#include "el/elSystem.h"

namespace {

constexpr uint16_t kScanReturn = 0x1C, kScanSpace = 0x39;
constexpr float kTypeInterval = 0.05f;  // seconds a character
// Text box flags: the low byte is the extra line spacing; 0x100 draws a shadow in the background
// colour one pixel down and right; 0x200 and 0x400 embolden across and down.
constexpr uint32_t kShadow = 0x100, kBoldAcross = 0x200, kBoldDown = 0x400;

const char* const kPages[] = {
    "吾輩はテキストボックスである。名前は無い。行の終わりに来た句読点「、」や「。」は、"
    "次の行の頭に送らず、この一行目のように右の端からぶら下げる。これが日本語の組版の約束である。",
    "文字は一つずつ、タイプライターのように現れます。スペースキーかクリックで次のページへ。"
    "表示の途中で押すと、そのページを一度に表示します。",
    "箱の幅は自由に決められます。改行は\nこのように入れることもできます。　全角の空白も、"
    "行末ではぶら下がります。",
};
constexpr int kPageCount = sizeof kPages / sizeof kPages[0];

int32_t paper, layer;
int page;
bool pageDone;

// The still part of the screen, composed once on the back screen and kept in an object: the
// smoothed title and the samples use the text machinery that the typewriter box also uses, so they
// are not redrawn while a page is being revealed.
void ComposeLayer() {
  elDraw::PutStretch(0, 0, paper, 0, 0, 80, 60, 640, 480);
  elDraw::SetFontSmooth(1, 30);  // gothic, drawn at twice the size and reduced with smoothing
  elDraw::SetTextColor(0x503010, 0xC0D8E8, 1);
  elDraw::SmoothTextBox(40, 24, 620, 70, "日本語テキストボックス", kShadow);
  elDraw::EndFontSmooth();

  elDraw::FillHalf(40, 100, 600, 330, 0x0000);  // a darkened panel behind the box (half blend)
  elDraw::SetFont(1, 16, 0, 0, 0, 0);
  elDraw::SetTextColor(0x303030, 0xFFFFFF, 1);
  elDraw::TextBox(40, 360, 600, 390, "影付き：背景色で一ドットずらして重ねます", kShadow);
  elDraw::SetTextColor(0x1060C0, 0x000000, 1);
  elDraw::TextBox(40, 392, 600, 420, "太字：横と下に一ドットずつ重ねて描きます", kBoldAcross | kBoldDown);
  elDraw::EndFont();
  elDraw::GrabScreen(layer, 0, 0, 640, 480);
}

// Lays the page out in the text box without showing it: TypeText reveals it frame by frame.
void StartPage(int n) {
  page = n % kPageCount;
  pageDone = false;
  elDraw::SetFont(0, 24, 0, 0, 0, 0);  // mincho, 24 pixels
  elDraw::SetTextColor(0xF8F8F8, 0x202020, 1);
  elDraw::TextBoxNoPut(60, 116, 580, 320, kPages[page], kShadow | 8);
  elDraw::EndFont();
}

bool Setup() {
  paper = elDraw::LoadObject("paper.bmp", 0);
  layer = elDraw::CreateObject(640, 480, 0);
  if (!paper || !layer) return false;
  ComposeLayer();
  StartPage(0);
  return true;
}

void Frame() {
  // Key presses from the event queue (kind 1: keyboard, value 1: pressed); the click from the window.
  bool next = LButtonClick != 0;
  while (elSystem::GetEvent(0))
    if (InputEvent.kind == 1 && InputEvent.value == 1 &&
        (InputEvent.code == kScanSpace || InputEvent.code == kScanReturn))
      next = true;

  elDraw::PutOpaque(0, 0, layer, 0, 0, 640, 480);
  if (next && !pageDone) {
    elDraw::TypeText(0);  // interval 0: the whole page at once
    pageDone = true;
  } else if (next) {
    StartPage(page + 1);
    elDraw::TypeText(kTypeInterval);
  } else {
    pageDone = elDraw::TypeText(kTypeInterval) == 1 || pageDone;  // 1 once every character is out
  }
  if (pageDone && FrameNumber() / 30 % 2) elDraw::FillColor(566, 306, 580, 320, 0xFFFF);  // "more" marker
  elDraw::Present();
}

}  // namespace

int main(int argc, char** argv) { return RunExample({"日本語テキスト", Setup, Frame}, argc, argv); }
