#pragma once
// The system default language as a Windows language identifier (LANGID), which the log records and
// the windows choose their fonts by.

#include <QLocale>

#include <cstdint>

namespace lang {

// en_US 0x0409, zh_CN 0x0804, ja 0x0411, ko 0x0412, ru 0x0419, ...; the "C" locale counts as English
// (United States); a language without an identifier gives 0 (neutral).
std::uint16_t LangIdOf(const QLocale& locale);
std::uint16_t GetSystemDefaultLangID();

}  // namespace lang
