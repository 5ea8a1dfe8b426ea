#include "platform/message_queue.h"

#include <deque>
#include <mutex>

namespace plat {

namespace {
std::deque<Msg> messages;
std::mutex lock;
}  // namespace

void PostMsg(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> g(lock);
  messages.push_back({message, wParam, lParam});
}

void PostQuit(int code) { PostMsg(WM_QUIT, static_cast<uintptr_t>(code), 0); }

namespace queue {

bool Empty() {
  std::lock_guard<std::mutex> g(lock);
  return messages.empty();
}

bool Pop(Msg* out) {
  std::lock_guard<std::mutex> g(lock);
  if (messages.empty()) return false;
  *out = messages.front();
  messages.pop_front();
  return true;
}

void Clear() {
  std::lock_guard<std::mutex> g(lock);
  messages.clear();
}

}  // namespace queue
}  // namespace plat
