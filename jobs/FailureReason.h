#pragma once
// Why a file failed, in a front end's own words: the window's tool tips and end box, and the
// notification velmora-cli sends, tell the same causes apart.

#include <QString>

#include <vector>

#include "engine/KZVThread.h"

namespace jobs {

// The words for the causes the program knows; any other failure is told in the system's own words.
struct TFailureWords {
    QString OtherKey;  // scrambled with another key
    QString TooSmall;  // too small to scramble
    QString InUse;     // another program holds it open
    QString Unknown;   // a failure without the system's words
};

QString FailureReason(const engine::TFailedFile& failed, const TFailureWords& words);

// The reason every failure shares; empty when there are none or they differ.
QString SharedFailureReason(const std::vector<engine::TFailedFile>& failed, const TFailureWords& words);

}  // namespace jobs
