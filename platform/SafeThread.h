#pragma once
// The base of worker threads: runs a work routine, turns an error escaping it into a call of
// DoThreadError instead of ending the process, and offers a running flag that another thread may read.

#include <QString>
#include <QThread>

#include <atomic>

namespace platform {

class TSafeThread : public QThread {
    Q_OBJECT

public:
    // Created suspended: nothing runs before Resume().
    explicit TSafeThread(QObject* parent = nullptr);
    // Requests termination and waits for the work routine to return.
    ~TSafeThread() override;

    TSafeThread(const TSafeThread&) = delete;
    TSafeThread& operator=(const TSafeThread&) = delete;

    void Resume();
    // Asks the work routine to stop at its next check; it may still finish what it has in hand.
    void Terminate();
    bool Terminated() const noexcept { return terminated_.load(); }
    // The running flag: true from Resume() until the work routine (and its error handling) has returned.
    bool Running() const noexcept { return running_.load(); }

protected:
    // The work routine, run on the worker thread.
    virtual void SafeExecute() = 0;
    // Runs once, after the worker has stopped, while the object is being destroyed.
    virtual void SafeDestroy() {}
    // Called on the worker thread with the message of an error that escaped SafeExecute. This one logs it.
    virtual void DoThreadError(const QString& text);

    // Stops and waits for the worker, then runs SafeDestroy once. A class that overrides SafeExecute or
    // SafeDestroy calls it first in its own destructor, while its members still exist.
    void DestroyThread();

private:
    void run() final;

    std::atomic<bool> running_{false};
    std::atomic<bool> terminated_{false};
    bool destroyed_ = false;
};

}  // namespace platform
