#include "platform/SafeThread.h"

#include <exception>

#include "platform/Log.h"

namespace platform {

TSafeThread::TSafeThread(QObject* parent) : QThread(parent) {}

TSafeThread::~TSafeThread() {
    DestroyThread();
}

void TSafeThread::Resume() {
    // Set before the thread exists, so that a check right after Resume() already sees the work as running.
    running_ = true;
    start();
}

void TSafeThread::Terminate() {
    // Our own flag as well: QThread ignores an interruption request made before the thread runs.
    terminated_ = true;
    requestInterruption();
}

void TSafeThread::DestroyThread() {
    Terminate();
    wait();
    if (!destroyed_) {
        destroyed_ = true;
        SafeDestroy();
    }
}

void TSafeThread::DoThreadError(const QString& text) {
    MsgOut(QStringLiteral("Thread error: ") + text);
}

void TSafeThread::run() {
    running_ = true;
    try {
        try {
            SafeExecute();
        } catch (const std::exception& error) {
            DoThreadError(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            DoThreadError(QStringLiteral("unknown error"));
        }
    } catch (...) {
        // An error while reporting an error has nowhere left to go; the thread must still end cleanly.
    }
    running_ = false;
}

}  // namespace platform
