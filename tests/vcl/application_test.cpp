#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/vcl/Forms.h"

using namespace vcl;

TEST(Application, SynchronizeRunsOnTheMainThreadAndWaits) {
  TApplication app;
  std::thread::id ranOn;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    app.Synchronize([&] { ranOn = std::this_thread::get_id(); });
    returned = true;
    app.Synchronize([&] { app.Terminate(); });
  });
  app.Run();
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(Application, SynchronizeDoesNotHangOnceTerminated) {
  TApplication app;
  std::atomic<int> ran{0};
  std::thread worker([&] {
    for (int i = 0; i < 1000; ++i) app.Synchronize([&] { ++ran; });
  });
  // The loop ends while the worker is still handing calls over: the worker must not stay stuck.
  while (ran < 10) app.ProcessMessages();
  app.Terminate();
  worker.join();
  EXPECT_LT(ran.load(), 1000);
}
