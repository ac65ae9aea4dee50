#pragma once
// The program's fixed names and the folders built from them. Every folder ends with "/".

#include <QString>

namespace settings {

inline constexpr const char* kProductName = "Velmora";
inline constexpr const char* kCompanyName = "Brindlework";

// The per-user data folder: the platform's application-data path + "Brindlework/Velmora/".
QString AppDataFolder();
// Where jobs keep their recovery journals: the data folder + "Journal/".
QString JournalFolder();
// The folder of the running executable (symlinks resolved). Needs the Qt application object.
QString ProgramFolder();

}  // namespace settings
