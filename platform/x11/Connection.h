#pragma once
// A private connection to the X server for the short-lived windows of the run modes (the preview's
// foreign window, the message box). Only platform/ includes this header.
//
// Errors the server reports on this connection are collected instead of ending the process, and a
// connection whose server has gone away is noticed without letting Xlib end the process either.
#include <X11/Xlib.h>

#include <cstdint>

namespace x11 {

class Connection {
 public:
  // Opens the display named by DISPLAY; Ok() is false when there is none or it cannot be reached.
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Ok() const { return FDisplay != nullptr && !FDead; }
  // Ok(), after a look at the socket: a server that has gone away is noticed here, before a request
  // would make Xlib notice it.
  bool Alive();
  ::Display* Get() const { return FDisplay; }

  // Waits for all requests sent so far to be answered; returns the number of errors the server
  // has reported on this connection since the last call (and forgets them).
  int SyncErrors();
  // The error code of the last error reported (BadWindow ...), 0 when none since SyncErrors.
  int LastError() const { return FLastError; }

  // True when the window exists on this server (checked under the error trap).
  bool WindowExists(::Window window);

  // Waits up to timeoutMs for events on the connection; false when the server has gone away.
  // Afterwards XPending tells what has arrived.
  bool WaitForEvents(int timeoutMs);

 private:
  friend int HandleError(::Display*, XErrorEvent*);
  friend int HandleIOError(::Display*);
  friend void HandleIOErrorExit(::Display*, void*);

  void MarkDead();

  ::Display* FDisplay = nullptr;
  bool FDead = false;
  int FErrors = 0;
  int FLastError = 0;
  bool FSigpipeWasPending = false;
  bool FSigpipeWasBlocked = false;
};

}  // namespace x11
