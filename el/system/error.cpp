// The shared error report, the general message boxes, the beep and the debug log.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "el/elSystem.h"
#include "platform/host.h"

namespace elSystem {

namespace {

constexpr unsigned kReportStyle = plat::MB_ICONEXCLAMATION | plat::MB_SYSTEMMODAL;  // 0x1030

// Formats into a 256-byte buffer and appends "\r\n". Texts are cut so that the line end always
// fits inside the buffer: a caller's overlong text must not write past it.
void FormatBox(char (&buf)[256], const char* format, va_list args) {
  int n = std::vsnprintf(buf, sizeof buf - 2, format ? format : "", args);
  size_t len = n < 0 ? 0 : (static_cast<size_t>(n) < sizeof buf - 2 ? static_cast<size_t>(n) : sizeof buf - 3);
  buf[len] = '\r';
  buf[len + 1] = '\n';
  buf[len + 2] = 0;
}

// The box shows in a window of its own on this platform, so there is nothing to flip to the
// desktop's surface first; the pointer is made visible for as long as the box is up.
int ShowGeneralBox(const char* text, unsigned style) {
  if (CursorShown == 0) {
    plat::SetCursorVisible(true);
    CursorShown = 1;
  }
  MessageBoxUp = 1;
  int answer = plat::MessageBox(text, "メッセージ", style);
  MessageBoxUp = 0;
  ResetFrameClock();
  return answer;
}

}  // namespace

int ReportError(const char* operation, const char* message, long /*code*/) {
  char text[256];
  std::snprintf(text, sizeof text, "%s : %s", operation ? operation : "", message ? message : "");
  Beep();
  plat::MessageBox(text, "エラー発生", kReportStyle);
  ErrorFlag = 1;
  return 0;
}

int GetError() { return ErrorFlag; }

int CheckError() {
  if (ErrorFlag) Shutdown();
  return ErrorFlag;
}

void Message(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  FormatBox(text, format, args);
  va_end(args);
  ShowGeneralBox(text, kReportStyle);
}

int Question(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  FormatBox(text, format, args);
  va_end(args);
  return ShowGeneralBox(text, plat::MB_YESNO | plat::MB_ICONQUESTION) == plat::IDYES ? 1 : 0;
}

void Beep() { plat::Beep(); }

void DebugLog(const char* format, ...) {
  FILE* f = std::fopen("DEBUG.TXT", "a");
  if (!f) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(f, format ? format : "", args);
  va_end(args);
  std::fputc('\n', f);
  std::fclose(f);
}

}  // namespace elSystem
