#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/SafeThread.h"

using platform::TMessageEvent;

namespace {

struct Received {
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool onMainThread;
};

// Stands for a window: collects the messages posted to it.
class Window : public QObject {
public:
    std::vector<Received> messages;

protected:
    bool event(QEvent* event) override {
        if (const auto* m = platform::AsMessage(event)) {
            messages.push_back({m->Msg, m->WParam, m->LParam, QThread::currentThread() == thread()});
            return true;
        }
        return QObject::event(event);
    }
};

}  // namespace

TEST(CheckPostMessage, DeliversInOrderOnTheReceiversThreadWithoutWaiting) {
    Window window;
    std::thread poster([&] {
        for (std::uint32_t i = 0; i < 100; ++i)
            EXPECT_TRUE(
                platform::CheckPostMessage(&window, 6000 + i, ~std::uintptr_t{0} - i, -std::intptr_t(i)));
    });
    poster.join();  // all posted before any is delivered: posting does not wait for the receiver
    EXPECT_TRUE(window.messages.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.messages.size() == 100; }, 5000));
    for (std::uint32_t i = 0; i < 100; ++i) {
        EXPECT_EQ(window.messages[i].msg, 6000 + i);
        EXPECT_EQ(window.messages[i].wParam, ~std::uintptr_t{0} - i) << "wide enough for an address";
        EXPECT_EQ(window.messages[i].lParam, -std::intptr_t(i));
        EXPECT_TRUE(window.messages[i].onMainThread);
    }
}

TEST(CheckPostMessage, RefusesAMissingWindowAndIgnoresOtherEvents) {
    EXPECT_FALSE(platform::CheckPostMessage(nullptr, 6124, 0, 0));
    QEvent other(QEvent::User);
    EXPECT_EQ(platform::AsMessage(&other), nullptr);
    EXPECT_EQ(platform::AsMessage(nullptr), nullptr);
}

namespace {

// A worker whose behaviour each test chooses.
class Worker : public platform::TSafeThread {
public:
    std::function<void(Worker&)> body;
    std::atomic<int> executed{0};
    std::atomic<int>* destroyed = nullptr;  // counts SafeDestroy calls; outlives the worker
    QString errorText;
    bool errorOnWorker = false;

    ~Worker() override { DestroyThread(); }

protected:
    void SafeExecute() override {
        ++executed;
        if (body) body(*this);
    }
    void SafeDestroy() override {
        if (destroyed) ++*destroyed;
        TSafeThread::SafeDestroy();
    }
    void DoThreadError(const QString& text) override {
        TSafeThread::DoThreadError(text);
        errorText = text;
        errorOnWorker = QThread::currentThread() == this;
    }
};

}  // namespace

TEST(TSafeThread, CreatedSuspendedAndRunningUntilTheWorkReturns) {
    std::atomic<bool> release{false};
    Worker worker;
    worker.body = [&](Worker&) {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(worker.executed, 0);
    EXPECT_FALSE(worker.Running());

    worker.Resume();
    EXPECT_TRUE(worker.Running()) << "running as soon as it is resumed";
    ASSERT_TRUE(QTest::qWaitFor([&] { return worker.executed == 1; }, 5000));
    EXPECT_TRUE(worker.Running());
    release = true;
    ASSERT_TRUE(worker.wait(5000));
    EXPECT_FALSE(worker.Running());
}

TEST(TSafeThread, AnEscapingErrorReachesDoThreadErrorOnTheWorker) {
    Worker worker;
    worker.body = [](Worker&) { throw std::runtime_error("disk on fire"); };
    worker.Resume();
    ASSERT_TRUE(worker.wait(5000));
    EXPECT_EQ(worker.errorText, QStringLiteral("disk on fire"));
    EXPECT_TRUE(worker.errorOnWorker);
    EXPECT_FALSE(worker.Running());

    Worker odd;
    odd.body = [](Worker&) { throw 42; };
    odd.Resume();
    ASSERT_TRUE(odd.wait(5000));
    EXPECT_FALSE(odd.errorText.isEmpty()) << "errors of any type are caught";
}

TEST(TSafeThread, DestructionTerminatesWaitsThenRunsSafeDestroyOnce) {
    std::atomic<int> destroyed{0};
    std::atomic<bool> sawTermination{false};
    {
        Worker worker;
        worker.destroyed = &destroyed;
        worker.body = [&](Worker& self) {
            while (!self.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the item in hand is finished
            sawTermination = true;
        };
        worker.Resume();
        ASSERT_TRUE(QTest::qWaitFor([&] { return worker.executed == 1; }, 5000));
    }
    EXPECT_TRUE(sawTermination) << "the destructor returned before the work routine";
    EXPECT_EQ(destroyed, 1);
}

TEST(TSafeThread, TerminateBeforeResumeIsHonoured) {
    std::atomic<bool> terminatedAtStart{false};
    Worker worker;
    worker.body = [&](Worker& self) { terminatedAtStart = self.Terminated(); };
    worker.Terminate();
    worker.Resume();
    ASSERT_TRUE(worker.wait(5000));
    EXPECT_TRUE(terminatedAtStart);
}
