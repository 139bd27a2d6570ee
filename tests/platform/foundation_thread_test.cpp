// The Foundation stand-in across threads: objects made and released on several threads at
// once, detached threads with their own pools and exit, and child tasks.
#include <Foundation/Foundation.h>
#include <gtest/gtest.h>

#include <unistd.h>

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
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([shared] {
      for (int i = 0; i < 5000; ++i) {
        NSAutoreleasePool pool;
        (new NSObject)->autorelease();
        shared->retain();
        EXPECT_TRUE(ns_standin::isLive(shared));
        shared->release();
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(shared->retainCount(), 1u);
  EXPECT_EQ(ns_standin::liveCount(NSObject::class_()), before);
  shared->release();
}

// Records how far its thread got.
class Runner : public NSObject {
  NS_STANDIN_CLASS(Runner)
 public:
  std::atomic<int> stage{0};
  std::atomic<bool> onMain{true};
  static NSObject* Run(NSObject* self, SEL, NSObject* arg) {
    auto* r = static_cast<Runner*>(self);
    r->onMain = NSThread::isMainThread();
    NSString::stringWithUTF8String("autoreleased on the thread");
    r->stage = arg ? 1 : 2;
    if (arg) NSThread::exit();
    r->stage = 3;  // only without an argument
    return nullptr;
  }
};
NS_STANDIN_CLASS_IMPL(Runner, NSObject)

TEST(FoundationThreads, ADetachedThreadHoldsItsTargetAndEndsAtExit) {
  Runner::class_()->addMethod(sel_registerName("run:"), &Runner::Run);
  EXPECT_TRUE(NSThread::isMainThread());
  NSThread::exit();  // the main thread goes on
  const size_t strings = ns_standin::liveCount(NSString::class_());
  for (bool withExit : {true, false}) {
    auto* r = static_cast<Runner*>(Runner::class_()->alloc());
    NSObject* arg = withExit ? new NSObject : nullptr;
    NSThread::detachNewThreadSelector(sel_registerName("run:"), r, arg);
    if (arg) arg->release();
    waitUntil([r] { return r->retainCount() == 1; });
    EXPECT_EQ(r->retainCount(), 1u) << "the thread let go of its target";
    EXPECT_EQ(r->stage.load(), withExit ? 1 : 3);
    EXPECT_FALSE(r->onMain.load());
    r->release();
  }
  EXPECT_TRUE(NSThread::isMultiThreaded());
  waitUntil([&] { return ns_standin::liveCount(NSString::class_()) == strings; });
  EXPECT_EQ(ns_standin::liveCount(NSString::class_()), strings) << "each thread's pool drained";
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
