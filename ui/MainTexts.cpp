#include "ui/MainTexts.h"

namespace ui {

engine::TJobTexts TMainTexts::JobTexts(bool chinese) const {
    engine::TJobTexts texts;
    texts.Byte = Byte;
    texts.Second = Second;
    texts.FailedRead = FailedRead;
    texts.IncorrectKey = IncorrectKey;
    texts.SmallFile = SmallFile;
    texts.UnknownErr = UnknownErr;
    texts.ChineseDurations = chinese;
    return texts;
}

}  // namespace ui
