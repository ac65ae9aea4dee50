#include "engine/JobSetUp.h"

#include "engine/KZVThread.h"
#include "platform/Utility.h"

namespace engine {

void SetUpJob(TKZVThread& job, const TJobOptions& options) {
    job.Params.Key = options.Key.substr(0, kMaxKeyBytes);
    job.Params.FileType = options.FileType;
    // New trailers name the version that wrote them, as far as their field holds it.
    job.Params.Version = platform::GetProVersion(true).substr(0, kVersionFieldSize);
    job.Params.Blocks = options.Blocks;
    job.Params.WholeStreams = options.WholeStreams;
    job.Params.NotifyWnd = options.NotifyWnd;
    job.KeepFileTime = options.KeepFileTime;
    job.RemoveThumbnails = options.RemoveThumbnails;
    job.JournalFolder = options.JournalFolder;
}

}  // namespace engine
