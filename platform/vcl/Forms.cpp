#include "platform/vcl/Forms.h"

#include <chrono>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/SysUtils.h"

namespace vcl {

namespace {
WindowFactory& Factory() {
  static WindowFactory factory;
  return factory;
}
}  // namespace

void SetWindowFactory(WindowFactory factory) { Factory() = std::move(factory); }

TForm::TForm(TComponent* AOwner) : TControl(AOwner) {}

TForm::~TForm() {
  if (Application().MainForm == this) Application().MainForm = nullptr;
}

HWND TForm::Handle() {
  if (!FWindowTried) {
    FWindowTried = true;
    if (Factory()) FWindow = Factory()(*this);
    if (FWindow) {
      FWindow->SetBorderless(FBorderStyle == TBorderStyle::bsNone);
      if (Width() > 0 && Height() > 0) FWindow->SetSize(Width(), Height());
      if (!FCaption.empty()) FWindow->SetCaption(FCaption);
    }
  }
  return FWindow.get();
}

void TForm::SetBorderStyle(TBorderStyle style) {
  FBorderStyle = style;
  if (FWindow) FWindow->SetBorderless(style == TBorderStyle::bsNone);
}

void TForm::SetWidth(std::int32_t w) {
  TControl::SetWidth(w);
  if (FWindow && Width() > 0 && Height() > 0) FWindow->SetSize(Width(), Height());
}

void TForm::SetHeight(std::int32_t h) {
  TControl::SetHeight(h);
  if (FWindow && Width() > 0 && Height() > 0) FWindow->SetSize(Width(), Height());
}

void TForm::SetCaption(const std::string& caption) {
  FCaption = caption;
  if (FWindow) FWindow->SetCaption(caption);
}

void TForm::Show() {
  TControl::Show();
  if (HWND w = Handle()) w->Show();
}

void TForm::Hide() {
  TControl::Hide();
  if (FWindow) FWindow->Hide();
}

void TForm::Close() {
  if (FClosed) return;
  FClosed = true;
  if (OnClose) OnClose(this);
  Hide();
  if (Application().MainForm == this) Application().Terminate();
}

void TForm::DoKeyPress(char key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TForm::DoKeyDown(std::uint16_t key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TForm::DoMouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

struct TApplication::Pending {
  const std::function<void()>* call;
  bool done = false;
};

TApplication::TApplication() : TComponent(nullptr), FMainThread(std::this_thread::get_id()) {}

TApplication::~TApplication() {
  // The window system's pump may already be gone at the end of the program.
  FPump = nullptr;
  Terminate();
}

void TApplication::Initialize() { FMainThread = std::this_thread::get_id(); }

bool TApplication::Terminated() const {
  std::lock_guard lock(FMutex);
  return FTerminated;
}

void TApplication::Terminate() {
  std::deque<Pending*> abandoned;
  {
    std::lock_guard lock(FMutex);
    FTerminated = true;
    abandoned.swap(FQueue);
    for (Pending* p : abandoned) p->done = true;  // released without running
  }
  FWake.notify_all();
  if (FPump) FPump->Wake();
}

void TApplication::Synchronize(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  Pending pending{&call};
  {
    std::unique_lock lock(FMutex);
    if (FTerminated) return;
    FQueue.push_back(&pending);
  }
  FWake.notify_all();
  if (FPump) FPump->Wake();
  std::unique_lock lock(FMutex);
  FWake.wait(lock, [&] { return pending.done; });
}

void TApplication::RunPosted() {
  // Only the calls already waiting run now: a worker that hands over call after call
  // cannot keep the main thread here, so input and Terminate are still seen between them.
  std::deque<Pending*> batch;
  {
    std::lock_guard lock(FMutex);
    if (FQueue.empty()) return;
    batch.swap(FQueue);
  }
  for (Pending* p : batch) {
    if (Terminated()) {
      // Ended by an earlier call of this batch: the rest are released without running, as
      // Terminate releases those still queued.
      {
        std::lock_guard lock(FMutex);
        p->done = true;
      }
      FWake.notify_all();
      continue;
    }
    try {
      (*p->call)();
    } catch (const std::exception& e) {
      ShowException(e);
    } catch (...) {
      ShowException(Exception("An unexpected error occurred."));
    }
    {
      std::lock_guard lock(FMutex);
      p->done = true;
    }
    FWake.notify_all();
  }
}

bool TApplication::WaitForWork(int timeoutMs) {
  if (FPump) return FPump->Pump(timeoutMs);
  std::unique_lock lock(FMutex);
  FWake.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return FTerminated || !FQueue.empty(); });
  return false;
}

void TApplication::ProcessMessages() {
  if (FPump) FPump->Pump(0);
  RunPosted();
}

void TApplication::Run() {
  while (!Terminated()) {
    RunPosted();
    bool busy = false;
    if (OnIdle) {
      bool done = true;
      OnIdle(this, done);
      busy = !done;
    }
    WaitForWork(busy ? 0 : 10);
  }
}

void TApplication::ShowException(const std::exception& e) {
  std::uintptr_t owner = 0;
  if (MainForm && MainForm->HandleAllocated()) owner = MainForm->Handle()->XWindowId();
  ShowMessageBox(owner, e.what(), Title);
}

void TApplication::SetActive(bool active) {
  if (FActive == active) return;
  FActive = active;
  if (active && OnActivate) OnActivate(this);
  if (!active && OnDeactivate) OnDeactivate(this);
}

void TApplication::SetEventPump(EventPump* pump) { FPump = pump; }

TApplication& Application() {
  static TApplication app;
  return app;
}

}  // namespace vcl
