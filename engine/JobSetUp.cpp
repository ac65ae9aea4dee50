#include "engine/JobSetUp.h"

#include <algorithm>

#include "engine/KZVThread.h"
#include "platform/Utility.h"

namespace engine {

void SetUpJob(TKZVThread& job, const TJobOptions& options, QObject* notifyWnd) {
    static_cast<TJobOptions&>(job.Params) = options;
    job.Params.Key.resize(std::min(job.Params.Key.size(), kMaxKeyBytes));
    // New trailers name the version that wrote them, as far as their field holds it.
    job.Params.Version = platform::GetProVersion(true).substr(0, kVersionFieldSize);
    job.Params.NotifyWnd = notifyWnd;
}

}  // namespace engine
