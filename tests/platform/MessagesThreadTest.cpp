#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
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
    std::optional<QString> text;  // the payload of a message that carries a text
    bool onMainThread;
};

// Stands for a window: collects the messages posted to it.
class Window : public QObject {
public:
    std::vector<Received> messages;

protected:
    bool event(QEvent* event) override {
        if (const auto* m = platform::AsMessage(event)) {
            const QString* text = platform::PayloadOf<QString>(event);
            messages.push_back({m->Msg, m->WParam, m->LParam, text ? std::optional(*text) : std::nullopt,
                                QThread::currentThread() == thread()});
            return true;
        }
        return QObject::event(event);
    }
};

}  // namespace

TEST(CheckPostMessage, DeliversInOrderOnTheReceiversThreadWithoutWaiting) {
    Window window;
    std::thread poster([&] {
        // Plain and typed messages mixed: one queue, one order. Each text lives only on this thread,
        // which is gone before any message is read.
        for (std::uint32_t i = 0; i < 100; ++i) {
            if (i % 2 == 0) {
                EXPECT_TRUE(
                    platform::CheckPostMessage(&window, 6000 + i, ~std::uintptr_t{0} - i, -std::intptr_t(i)));
            } else {
                const QString text = QStringLiteral("text %1").arg(i);
                EXPECT_TRUE(platform::PostPayload(&window, 6000 + i, text));
            }
        }
    });
    poster.join();  // all posted before any is delivered: posting does not wait for the receiver
    EXPECT_TRUE(window.messages.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.messages.size() == 100; }, 5000));
    for (std::uint32_t i = 0; i < 100; ++i) {
        const Received& m = window.messages[i];
        EXPECT_EQ(m.msg, 6000 + i);
        if (i % 2 == 0) {
            EXPECT_EQ(m.wParam, ~std::uintptr_t{0} - i) << "the full width of the parameters arrives";
            EXPECT_EQ(m.lParam, -std::intptr_t(i));
            EXPECT_FALSE(m.text) << "a plain message carries no payload";
        } else {
            EXPECT_EQ(m.text, QStringLiteral("text %1").arg(i));
        }
        EXPECT_TRUE(m.onMainThread);
    }
}

TEST(CheckPostMessage, RefusesAMissingWindowAndIgnoresOtherEvents) {
    EXPECT_FALSE(platform::CheckPostMessage(nullptr, 6124, 0, 0));
    EXPECT_FALSE(platform::PostPayload(nullptr, 6124, QString()));
    QEvent other(QEvent::User);
    EXPECT_EQ(platform::AsMessage(&other), nullptr);
    EXPECT_EQ(platform::AsMessage(nullptr), nullptr);
    EXPECT_EQ(platform::PayloadOf<QString>(&other), nullptr);
    platform::TPayloadMessage<int> number(6124, 7);
    EXPECT_EQ(platform::PayloadOf<QString>(&number), nullptr) << "a payload is read only as its own type";
    ASSERT_NE(platform::PayloadOf<int>(&number), nullptr);
    EXPECT_EQ(*platform::PayloadOf<int>(&number), 7);
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
