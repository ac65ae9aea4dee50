#include "jobs/FailureReason.h"

#include "engine/FileTransform.h"
#include "platform/FileIo.h"
#include "platform/Utility.h"

namespace jobs {

QString FailureReason(const engine::TFailedFile& failed, const TFailureWords& words) {
    switch (failed.Code) {
        case engine::kErrorWrongKey:
            return words.OtherKey;
        case engine::kErrorTooSmall:
            return words.TooSmall;
        default:
            if (failed.Reason == platform::kFileInUseText) return words.InUse;
            return failed.Reason.empty() ? words.Unknown : platform::FromLocal8Bit(failed.Reason);
    }
}

QString SharedFailureReason(const std::vector<engine::TFailedFile>& failed, const TFailureWords& words) {
    if (failed.empty()) return {};
    const QString first = FailureReason(failed.front(), words);
    for (const engine::TFailedFile& other : failed)
        if (FailureReason(other, words) != first) return {};
    return first;
}

}  // namespace jobs
