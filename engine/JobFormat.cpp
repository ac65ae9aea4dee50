#include "engine/JobFormat.h"

#include "platform/Utility.h"

namespace engine {

namespace {

QString fixed(const QLocale& locale, double value, int decimals) {
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(value, 'f', decimals);
}

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = kKiB * 1024;
constexpr std::int64_t kGiB = kMiB * 1024;
constexpr std::int64_t kTiB = kGiB * 1024;

}  // namespace

QString FormatElapsed(std::uint32_t ms, const TJobTexts& texts, const QLocale& locale) {
    if (ms < 60'000) return fixed(locale, ms / 1000.0, 1) + texts.Second;
    const std::uint32_t seconds = ms / 1000;
    return texts.ChineseDurations ? FormatSecondsChinese(static_cast<std::int32_t>(seconds))
                                  : platform::FormatSecond(seconds);
}

QString FormatByteSize(std::int64_t bytes, const TJobTexts& texts, const QLocale& locale) {
    const auto n = static_cast<double>(bytes);
    if (bytes < kKiB) return QString::number(bytes) + QLatin1Char(' ') + texts.Byte;
    if (bytes < kMiB) return fixed(locale, n / kKiB, 1) + QStringLiteral(" KB");
    if (bytes < kGiB) return fixed(locale, n / kMiB, 1) + QStringLiteral(" MB");
    if (bytes < kTiB) return fixed(locale, n / kGiB, 2) + QStringLiteral(" GB");
    return fixed(locale, n / kTiB, 2) + QStringLiteral(" TB");
}

QString FormatMegabytes(std::int32_t mib, const QLocale& locale) {
    if (mib < 1024) return QString::number(mib) + QStringLiteral(" MB");
    if (mib < 1024 * 1024) return fixed(locale, mib / 1024.0, 2) + QStringLiteral(" GB");
    return fixed(locale, mib / 1024.0 / 1024.0, 2) + QStringLiteral(" TB");
}

QString FormatSecondsChinese(std::int32_t seconds) {
    const std::int32_t hours = seconds / 3600;
    const std::int32_t minutes = seconds / 60 % 60;
    const std::int32_t rest = seconds % 60;
    if (hours != 0) return QStringLiteral("%1小时%2分%3秒").arg(hours).arg(minutes).arg(rest);
    return QStringLiteral("%1分%2秒").arg(minutes).arg(rest);
}

QString FailedCodePart(int code, const TJobTexts& texts) {
    const QString prefix = QStringLiteral("ErrCode: %1; ").arg(code);
    switch (code) {
        case 1:
            return prefix + texts.FailedRead;
        case 2:
            return prefix + texts.IncorrectKey;
        case 3:
            return prefix + texts.SmallFile;
        default:
            return prefix + texts.UnknownErr;
    }
}

QString FailedLine(const QString& path, int code, const TJobTexts& texts, const QString& reason) {
    QString line = QLatin1Char('"') + path + QStringLiteral("\" ") + FailedCodePart(code, texts);
    if (!reason.isEmpty()) line += QStringLiteral(" (") + reason + QLatin1Char(')');
    return line;
}

}  // namespace engine
