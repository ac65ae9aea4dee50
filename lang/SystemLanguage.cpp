#include "lang/SystemLanguage.h"

#include <map>
#include <utility>

namespace lang {

namespace {

// Primary language identifiers; the sublanguage is 1 (the language's main country) unless a country
// below says otherwise.
const std::map<QLocale::Language, std::uint16_t>& PrimaryIds() {
    static const std::map<QLocale::Language, std::uint16_t> ids = {
        {QLocale::Arabic, 0x01},    {QLocale::Bulgarian, 0x02},
        {QLocale::Catalan, 0x03},   {QLocale::Chinese, 0x04},
        {QLocale::Czech, 0x05},     {QLocale::Danish, 0x06},
        {QLocale::German, 0x07},    {QLocale::Greek, 0x08},
        {QLocale::English, 0x09},   {QLocale::Spanish, 0x0A},
        {QLocale::Finnish, 0x0B},   {QLocale::French, 0x0C},
        {QLocale::Hebrew, 0x0D},    {QLocale::Hungarian, 0x0E},
        {QLocale::Icelandic, 0x0F}, {QLocale::Italian, 0x10},
        {QLocale::Japanese, 0x11},  {QLocale::Korean, 0x12},
        {QLocale::Dutch, 0x13},     {QLocale::NorwegianBokmal, 0x14},
        {QLocale::Polish, 0x15},    {QLocale::Portuguese, 0x16},
        {QLocale::Romanian, 0x18},  {QLocale::Russian, 0x19},
        {QLocale::Croatian, 0x1A},  {QLocale::Slovak, 0x1B},
        {QLocale::Albanian, 0x1C},  {QLocale::Swedish, 0x1D},
        {QLocale::Thai, 0x1E},      {QLocale::Turkish, 0x1F},
        {QLocale::Urdu, 0x20},      {QLocale::Indonesian, 0x21},
        {QLocale::Ukrainian, 0x22}, {QLocale::Belarusian, 0x23},
        {QLocale::Slovenian, 0x24}, {QLocale::Estonian, 0x25},
        {QLocale::Latvian, 0x26},   {QLocale::Lithuanian, 0x27},
        {QLocale::Persian, 0x29},   {QLocale::Vietnamese, 0x2A},
        {QLocale::Hindi, 0x39},     {QLocale::Malay, 0x3E},
    };
    return ids;
}

// Countries whose sublanguage is not 1.
const std::map<std::pair<QLocale::Language, QLocale::Territory>, std::uint16_t>& Sublanguages() {
    static const std::map<std::pair<QLocale::Language, QLocale::Territory>, std::uint16_t> subs = {
        {{QLocale::Chinese, QLocale::China}, 2},         {{QLocale::Chinese, QLocale::HongKong}, 3},
        {{QLocale::Chinese, QLocale::Singapore}, 4},     {{QLocale::Chinese, QLocale::Macau}, 5},
        {{QLocale::English, QLocale::UnitedKingdom}, 2}, {{QLocale::English, QLocale::Australia}, 3},
        {{QLocale::English, QLocale::Canada}, 4},        {{QLocale::English, QLocale::NewZealand}, 5},
        {{QLocale::English, QLocale::Ireland}, 6},       {{QLocale::German, QLocale::Switzerland}, 2},
        {{QLocale::German, QLocale::Austria}, 3},        {{QLocale::French, QLocale::Belgium}, 2},
        {{QLocale::French, QLocale::Canada}, 3},         {{QLocale::French, QLocale::Switzerland}, 4},
        {{QLocale::Spanish, QLocale::Spain}, 3},         {{QLocale::Spanish, QLocale::Mexico}, 2},
        {{QLocale::Portuguese, QLocale::Portugal}, 2},   {{QLocale::Dutch, QLocale::Belgium}, 2},
        {{QLocale::Italian, QLocale::Switzerland}, 2},
    };
    return subs;
}

}  // namespace

std::uint16_t LangIdOf(const QLocale& locale) {
    if (locale.language() == QLocale::C) return 0x0409;
    const auto primary = PrimaryIds().find(locale.language());
    if (primary == PrimaryIds().end()) return 0;
    const auto sub = Sublanguages().find({locale.language(), locale.territory()});
    const std::uint16_t sublanguage = sub == Sublanguages().end() ? 1 : sub->second;
    return static_cast<std::uint16_t>(sublanguage << 10 | primary->second);
}

std::uint16_t GetSystemDefaultLangID() {
    return LangIdOf(QLocale::system());
}

}  // namespace lang
