#pragma once
// The program's fixed names, its web addresses and the folders built from them. Every folder ends
// with "/".

#include <QString>

namespace settings {

inline constexpr const char* kProductName = "Velmora";
inline constexpr const char* kCompanyName = "Brindlework";

// "Brindlework Velmora": the main window's title.
QString DisplayName();
// The maker's home page and the program's own page, each ending with "/".
QString HomePage();
QString ProductPage();

// The per-user data folder: the platform's application-data path + "Brindlework/Velmora/".
QString AppDataFolder();
// Where jobs keep their recovery journals: the data folder + "Journal/".
QString JournalFolder();
// The folder of the running executable (symlinks resolved). Needs the Qt application object.
QString ProgramFolder();
// The window program beside velmora-cli in that folder.
QString WindowProgram();
// The file whose lock a running window holds: "MX_KZV_EXE" in the per-user runtime folder. Empty, with
// `problem` saying why, when there is no safe runtime folder.
QString InstanceLockPath(QString* problem = nullptr);
// Whether a window of this user's runs now (it holds the instance lock).
bool WindowIsOpen();

}  // namespace settings
