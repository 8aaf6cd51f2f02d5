#include "HeadlessHost.h"

#include <algorithm>
#include <thread>

#include "Window.h"

namespace vemora::platform {

void HeadlessHost::Start(std::unique_lock<std::mutex>&, Thread& thread) {
  thread.state = ThreadState::Ready;
  thread.baton = false;
  std::thread(RunThread, &thread).detach();
}

void HeadlessHost::Enter(std::unique_lock<std::mutex>& held, Thread& self) {
  while (!self.baton) self.wake.wait(held);
}

void HeadlessHost::Block(std::unique_lock<std::mutex>& held, Thread& self) {
  self.state = ThreadState::Blocked;
  Thread* next = PickNext(held, &self);
  if (next != &self) {
    HandOver(&self, next);
    while (!self.baton) self.wake.wait(held);
  }
  self.state = ThreadState::Running;
}

void HeadlessHost::Leave(std::unique_lock<std::mutex>& held, Thread& self) {
  Thread* next = PickNext(held, &self);
  HandOver(&self, next);
}

void HeadlessHost::LeaveScheduler(std::unique_lock<std::mutex>& held, Thread& self) {
  self.state = ThreadState::Unscheduled;
  HandOver(&self, PickNext(held, &self));
}

void HeadlessHost::Rejoin(std::unique_lock<std::mutex>& held, Thread& self) {
  // A terminated thread is never picked again: it goes straight on to Park.
  self.state = self.terminated ? ThreadState::Blocked : ThreadState::Ready;
  rejoined_.notify_all();
  if (self.terminated) return;
  while (!self.baton) self.wake.wait(held);
}

void HeadlessHost::Park(std::unique_lock<std::mutex>& held, Thread& self) {
  self.state = ThreadState::Blocked;
  if (self.baton) HandOver(&self, PickNext(held, &self));
  rejoined_.notify_all();
  for (;;) self.wake.wait(held);
}

bool HeadlessHost::OthersOutside(const Thread* from) const {
  for (const Thread* thread : Global().threads)
    if (thread != from && thread->state == ThreadState::Unscheduled) return true;
  return false;
}

void HeadlessHost::HandOver(Thread* from, Thread* to) {
  ++handovers_;
  if (options_.recordTrace)
    trace_.push_back(std::to_string(now_) + " " + std::to_string(from->index) + " -> " + std::to_string(to->index));
  from->baton = false;
  to->baton = true;
  to->state = ThreadState::Running;
  to->wake.notify_one();
}

Thread* HeadlessHost::PickNext(std::unique_lock<std::mutex>& held, const Thread* from) {
  std::vector<Thread*>& threads = Global().threads;
  for (;;) {
    RunDue();
    std::size_t count = threads.size();
    std::size_t start = static_cast<std::size_t>(from->index) + 1;
    // Round robin in creation order, the thread that gives up the baton last.
    for (std::size_t k = 0; k < count; ++k) {
      Thread* thread = threads[(start + k) % count];
      if (thread->terminated || thread->suspended) continue;
      if (thread->state == ThreadState::Ready) return thread;
      if (thread->state != ThreadState::Blocked) continue;
      DWORD result;
      if (TrySatisfy(*thread, result)) {
        thread->waitResult = result;
        return thread;
      }
      if (thread->deadline <= now_) {
        thread->waitResult = WAIT_TIMEOUT;
        return thread;
      }
    }
    std::uint64_t earliest = kNoDeadline;
    for (Thread* thread : threads)
      if (thread->state == ThreadState::Blocked && !thread->terminated && !thread->suspended)
        earliest = std::min(earliest, thread->deadline);
    if (!scripted_.empty()) earliest = std::min(earliest, scripted_.front().atUs);
    if (earliest == kNoDeadline && OthersOutside(from)) {
      rejoined_.wait(held);
      continue;
    }
    if (earliest == kNoDeadline) {
      std::string what = "headless host: every thread is blocked and none has a deadline (deadlock) at " +
                         std::to_string(now_ / 1000) + " ms of virtual time";
      Fatal(what.c_str());
    }
    // The limit acts at its own time, but only while something else still has a deadline.
    if (options_.timeLimitMs != 0 && limitStage_ < 2) {
      std::uint64_t limit = options_.timeLimitMs * 1000 + (limitStage_ == 1 ? options_.graceMs * 1000 : 0);
      earliest = std::min(earliest, std::max(limit, now_));
    }
    AdvanceTo(earliest);
  }
}

void HeadlessHost::AdvanceTo(std::uint64_t time) {
  now_ = time;
  if (options_.timeLimitMs == 0) return;
  std::uint64_t limit = options_.timeLimitMs * 1000;
  if (limitStage_ == 0 && now_ >= limit) {
    limitStage_ = 1;
    switch (options_.limitAction) {
      case LimitAction::Abort:
        Fatal("headless host: virtual time limit reached");
      case LimitAction::Close:
        InputClose();
        break;
      case LimitAction::Escape:
        InputKey(VK_ESCAPE, true);
        InputKey(VK_ESCAPE, false);
        break;
    }
  } else if (limitStage_ == 1 && now_ >= limit + options_.graceMs * 1000) {
    limitStage_ = 2;
    Fatal("headless host: the program still runs after the virtual time limit and its grace time");
  }
}

void HeadlessHost::RunDue() {
  while (!scripted_.empty() && scripted_.front().atUs <= now_) {
    std::function<void()> action = std::move(scripted_.front().action);
    scripted_.erase(scripted_.begin());
    action();
  }
}

void HeadlessHost::Schedule(std::uint64_t atUs, std::function<void()> action) {
  Scripted entry{atUs, scriptedOrder_++, std::move(action)};
  auto at = std::upper_bound(scripted_.begin(), scripted_.end(), entry, [](const Scripted& a, const Scripted& b) {
    return a.atUs < b.atUs || (a.atUs == b.atUs && a.order < b.order);
  });
  scripted_.insert(at, std::move(entry));
}

void HeadlessHost::AddCharge(std::uint64_t afterUs, std::uint64_t sleepUs) {
  Charge charge{afterUs, sleepUs};
  auto at = std::upper_bound(charges_.begin(), charges_.end(), charge,
                             [](const Charge& a, const Charge& b) { return a.afterUs < b.afterUs; });
  charges_.insert(at, charge);
}

std::uint64_t HeadlessHost::TakeCharge(Thread& self) {
  if (self.index != 0 || charges_.empty() || charges_.front().afterUs > now_) return 0;
  std::uint64_t sleep = charges_.front().sleepUs;
  charges_.erase(charges_.begin());
  return sleep;
}

int HeadlessHost::MessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  std::unique_lock<std::mutex> held(Global().lock);
  messageBoxes_.push_back(ShownMessageBox{owner, text, caption, style, now_ / 1000});
  // The default button, as if the user pressed Enter at once.
  switch (style & 0xF) {
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDOK;
  }
}

}  // namespace vemora::platform
