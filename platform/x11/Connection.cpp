#include "platform/x11/Connection.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>

#include <algorithm>
#include <ctime>
#include <mutex>
#include <vector>

namespace x11 {

void MarkServerLost(::Display* display);  // LostServer.cpp

namespace {

// The handlers are the process's; they look the display up among the open connections and pass
// every other display's errors on to the handlers that were there before.
std::mutex gMutex;
std::vector<Connection*> gConnections;
XErrorHandler gPreviousError = nullptr;
XIOErrorHandler gPreviousIOError = nullptr;
std::once_flag gInstalled;

Connection* Find(::Display* display) {
  for (Connection* c : gConnections)
    if (c->Get() == display) return c;
  return nullptr;
}

}  // namespace

int HandleError(::Display* display, XErrorEvent* event) {
  XErrorHandler previous = nullptr;
  {
    std::lock_guard lock(gMutex);
    if (Connection* c = Find(display)) {
      ++c->FErrors;
      c->FLastError = event->error_code;
      return 0;
    }
    previous = gPreviousError;
  }
  return previous ? previous(display, event) : 0;
}

int HandleIOError(::Display* display) {
  XIOErrorHandler previous = nullptr;
  {
    std::lock_guard lock(gMutex);
    if (Connection* c = Find(display)) {
      c->FDead = true;
      return 0;
    }
    previous = gPreviousIOError;
  }
  return previous ? previous(display) : 0;
}

// Called after the I/O error handler; returning (instead of exiting, as Xlib would) leaves a
// connection on which every further call returns at once.
void HandleIOErrorExit(::Display* display, void*) {
  std::lock_guard lock(gMutex);
  if (Connection* c = Find(display)) c->FDead = true;
}

Connection::Connection() {
  // A write to a server that has just gone away must not end the process with SIGPIPE: block it
  // on this thread while the connection lives and swallow one that arrives meanwhile.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  sigset_t old;
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  FSigpipeWasBlocked = sigismember(&old, SIGPIPE) == 1;
  sigset_t pending;
  sigpending(&pending);
  FSigpipeWasPending = sigismember(&pending, SIGPIPE) == 1;

  std::call_once(gInstalled, [] {
    std::lock_guard lock(gMutex);
    gPreviousError = XSetErrorHandler(HandleError);
    gPreviousIOError = XSetIOErrorHandler(HandleIOError);
  });
  FDisplay = XOpenDisplay(nullptr);
  if (!FDisplay) return;
  {
    std::lock_guard lock(gMutex);
    gConnections.push_back(this);
  }
  XSetIOErrorExitHandler(FDisplay, HandleIOErrorExit, nullptr);
}

Connection::~Connection() {
  if (FDisplay) {
    XCloseDisplay(FDisplay);
    std::lock_guard lock(gMutex);
    gConnections.erase(std::remove(gConnections.begin(), gConnections.end(), this), gConnections.end());
  }
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  if (!FSigpipeWasPending) {
    sigset_t pending;
    sigpending(&pending);
    if (sigismember(&pending, SIGPIPE) == 1) {
      const timespec now{0, 0};
      sigtimedwait(&pipe, nullptr, &now);
    }
  }
  if (!FSigpipeWasBlocked) pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
}

// Xlib's own way back from a lost server (an I/O error handler that returns) leaves its display
// lock unlocked twice in this libX11; telling it the connection is lost before it tries to use the
// socket keeps it on the quiet path, and XCloseDisplay then only frees.
void Connection::MarkDead() {
  FDead = true;
  MarkServerLost(FDisplay);
}

bool Connection::Alive() {
  if (!Ok()) return false;
  pollfd fd{ConnectionNumber(FDisplay), POLLIN, 0};
  if (poll(&fd, 1, 0) <= 0) return true;
  if (fd.revents & (POLLERR | POLLNVAL)) {
    MarkDead();
    return false;
  }
  char byte;
  const ssize_t n = recv(fd.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) MarkDead();
  return Ok();
}

int Connection::SyncErrors() {
  if (Alive()) XSync(FDisplay, False);
  std::lock_guard lock(gMutex);
  const int errors = FErrors;
  FErrors = 0;
  if (errors == 0) FLastError = 0;
  return errors;
}

bool Connection::WindowExists(::Window window) {
  if (!Alive() || window == 0) return false;
  SyncErrors();
  XWindowAttributes attributes;
  const Status status = XGetWindowAttributes(FDisplay, window, &attributes);
  return SyncErrors() == 0 && status != 0 && Ok();
}

bool Connection::WaitForEvents(int timeoutMs) {
  if (!Alive()) return false;
  XFlush(FDisplay);
  if (XEventsQueued(FDisplay, QueuedAlready) > 0) return Ok();
  pollfd fd{ConnectionNumber(FDisplay), POLLIN, 0};
  poll(&fd, 1, timeoutMs);
  if (fd.revents != 0 && Alive()) XEventsQueued(FDisplay, QueuedAfterReading);
  return Ok();
}

}  // namespace x11
