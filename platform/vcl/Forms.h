#pragma once
// Forms and the application object: the main window, the message loop, calls handed to the main
// thread, activation events and the standard error display.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/vcl/Classes.h"

namespace vcl {

class TForm;

// A form's window on the real window system; forms without one (tests, headless) are fine.
class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void SetBorderless(bool borderless) = 0;
  virtual void SetSize(std::int32_t width, std::int32_t height) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetCursorVisible(bool visible) = 0;
  // The X11 window id, 0 when the window system is not X11.
  virtual std::uintptr_t XWindowId() const = 0;
};

// The window handle the display and the dialogs are given: a form's native window or none.
using HWND = NativeWindow*;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable };

using TShiftState = std::uint32_t;
inline constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8;
inline constexpr std::uint16_t VK_ESCAPE = 27, VK_F2 = 113, VK_F3 = 114;

using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TKeyEvent = std::function<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

class TForm : public TControl {
 public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;
  const char* ClassName() const override { return "TForm"; }

  // The native window, made on first use when the window system is available; else none.
  HWND Handle();
  bool HandleAllocated() const { return FWindow != nullptr; }

  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle style);
  void SetWidth(std::int32_t w) override;
  void SetHeight(std::int32_t h) override;
  void SetCaption(const std::string& caption);
  const std::string& Caption() const { return FCaption; }
  void Show() override;
  void Hide() override;
  // Closes the form; closing the application's main form ends the message loop.
  void Close();
  bool Closed() const { return FClosed; }

  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyDown;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnClose;

  // Input from the window system, delivered on the main thread.
  void DoKeyPress(char key);
  void DoKeyDown(std::uint16_t key, TShiftState shift);
  void DoMouseMove(TShiftState shift, int x, int y);

 private:
  std::unique_ptr<NativeWindow> FWindow;
  bool FWindowTried = false;
  TBorderStyle FBorderStyle = TBorderStyle::bsSizeable;
  std::string FCaption;
  bool FClosed = false;
};

// Makes native windows for forms; installed by the window-system backend.
using WindowFactory = std::function<std::unique_ptr<NativeWindow>(TForm& form)>;
void SetWindowFactory(WindowFactory factory);

// The window system's event source, pumped by the message loop on the main thread.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Handles pending window-system events, waiting at most timeoutMs for the first; true if any came.
  virtual bool Pump(int timeoutMs) = 0;
  // Wakes a Pump that is waiting; callable from any thread.
  virtual void Wake() = 0;
};

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;
  const char* ClassName() const override { return "TApplication"; }

  void Initialize();
  std::string Title = "sorvanta";
  TForm* MainForm = nullptr;

  // The message loop: runs until Terminate (closing the main form terminates).
  void Run();
  // Handles what is pending (window-system events and posted calls) and returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const;

  // Runs `call` on the main thread and waits for it; on the main thread it runs at once. Once the
  // application has terminated it returns without running, so a waiting thread is never stuck.
  void Synchronize(const std::function<void()>& call);
  bool IsMainThread() const { return std::this_thread::get_id() == FMainThread; }

  // The standard error display: a message box captioned with the title, and the text on stderr.
  void ShowException(const std::exception& e);

  std::function<void(TObject* Sender, bool& Done)> OnIdle;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  // The window system reports the application gaining or losing the focus.
  void SetActive(bool active);
  bool Active() const { return FActive; }

  void SetEventPump(EventPump* pump);

 private:
  struct Pending;
  void RunPosted();
  bool WaitForWork(int timeoutMs);

  std::thread::id FMainThread;
  mutable std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<Pending*> FQueue;
  bool FTerminated = false;
  bool FActive = true;
  EventPump* FPump = nullptr;
};

// The process's application object, made on first use (on the main thread).
TApplication& Application();

}  // namespace vcl
