// The Foundation stand-in across threads: objects made and released on several threads at
// once, and child tasks.
#include <Foundation/Foundation.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

void waitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(FoundationThreads, ObjectsComeAndGoOnManyThreadsAtOnce) {
  NSObject* shared = new NSObject;
  const size_t before = ns_standin::liveCount(NSObject::class_());
  // Strings made here and freed on the threads while a counter reads each live object's class.
  const size_t strings = ns_standin::liveCount(NSString::class_());
  std::vector<std::vector<NSObject*>> owned(4);
  {
    NSAutoreleasePool pool;
    for (auto& list : owned)
      for (int i = 0; i < 500; ++i) list.push_back(NSString::stringWithUTF8String("freed elsewhere")->retain());
  }
  std::atomic<bool> done{false};
  std::thread counter([&done] {
    while (!done.load()) ns_standin::liveCount(NSString::class_());
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([shared, mine = owned[t]] {
      for (int i = 0; i < 5000; ++i) {
        if (i < int(mine.size())) mine[i]->release();
        NSAutoreleasePool pool;
        (new NSObject)->autorelease();
        shared->retain();
        EXPECT_TRUE(ns_standin::isLive(shared));
        shared->release();
      }
    });
  for (std::thread& t : threads) t.join();
  done.store(true);
  counter.join();
  EXPECT_EQ(ns_standin::liveCount(NSString::class_()), strings);
  EXPECT_EQ(shared->retainCount(), 1u);
  EXPECT_EQ(ns_standin::liveCount(NSObject::class_()), before);
  shared->release();
}

TEST(FoundationTasks, ATaskRunsReportsItsStatusAndRefusesASecondLaunch) {
  NSAutoreleasePool pool;
  auto* task = static_cast<NSTask*>(NSTask::class_()->alloc());
  task->setLaunchPath(NSString::stringWithUTF8String("/bin/sh"));
  task->setArguments(NSArray::arrayWithObjects(
      {NSString::stringWithUTF8String("-c"), NSString::stringWithUTF8String("exit 7")}));
  EXPECT_FALSE(task->isRunning()) << "not launched";
  task->launch();
  EXPECT_GT(task->processIdentifier(), 0);
  waitUntil([task] { return !task->isRunning(); });
  EXPECT_EQ(task->terminationStatus(), 7);
  bool refused = false;
  try {
    task->launch();
  } catch (NSException* e) {
    refused = e->name() == "NSInvalidArgumentException";
  }
  EXPECT_TRUE(refused);
  task->release();
}

}  // namespace
