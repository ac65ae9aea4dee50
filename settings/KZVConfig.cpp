#include "settings/KZVConfig.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <algorithm>

#include "platform/Log.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"

namespace settings {

std::unique_ptr<TKZVConfig> Settings;

namespace {

constexpr const char* kSetupLangIni = "SetupLang.ini";
constexpr const char* kReadKey = "Default/Read";
constexpr const char* kLangIdKey = "Default/LangId";

// An INI Boolean is an integer: 0 false, anything else true; a missing or non-numeric value gives the
// default.
bool ReadIniBool(const QSettings& ini, const char* key, bool defaultValue) {
    if (!ini.contains(QLatin1String(key))) return defaultValue;
    bool ok = false;
    const int value = ini.value(QLatin1String(key)).toString().trimmed().toInt(&ok);
    return ok ? value != 0 : defaultValue;
}

QString ReadIniString(const QSettings& ini, const char* key, const QString& defaultValue) {
    if (!ini.contains(QLatin1String(key))) return defaultValue;
    const QVariant value = ini.value(QLatin1String(key));
    // QSettings splits a value with commas into a list; the installer meant one text.
    if (value.metaType().id() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

}  // namespace

QByteArray DefaultVideoExts() {
    QByteArray exts;
    for (const TExtensionKind& kind : kExtensionKinds) {
        if (!kind.Video) continue;
        for (const QByteArray& ext : QByteArray(kind.Extensions).split(' ')) exts += ext + ';';
    }
    return exts;
}

TKZVConfig::TKZVConfig(QObject* owner) : TBaseConfig(owner), videoExts_(DefaultVideoExts()) {
    SetProjectName("KZV");
    SetFileName(AppDataFolder() + QStringLiteral("ConfigSet.kzvset"));
    langFileId_ = QStringLiteral("English");
}

void TKZVConfig::AddHistoryPath(const QString& path) {
    if (path.isEmpty()) return;
    TStringsObj& history = *HistoryPaths();
    const int found = history.IndexOf(path, platform::kFileNameCase);
    if (found >= 0) history.Delete(found);
    history.Insert(0, path);
    if (history.Count() > kMaxHistoryPaths) history.Delete(kMaxHistoryPaths);
}

bool TKZVConfig::IsVideoFile(const QString& fileName) const {
    // Only the file-name part counts: a dot in a folder name is no extension.
    const qsizetype separator =
        std::max(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
    const QString name = fileName.mid(separator + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return false;
    const QByteArray entry = name.mid(dot).toLower().toLocal8Bit() + ';';
    return videoExts_.contains(entry);
}

QString TKZVConfig::GetVideoMask() const {
    // In one pass: QString::replace inserts in batches, each moving the rest of the text.
    const QString extensions = QString::fromLocal8Bit(videoExts_);
    QString mask;
    mask.reserve(extensions.size() * 2);
    for (const QChar c : extensions) {
        if (c == QLatin1Char('.')) mask += QLatin1Char('*');
        mask += c;
    }
    if (!mask.isEmpty()) mask.chop(1);  // the closing ";"
    return mask;
}

void TKZVConfig::Loaded() {
    blocks_ = std::clamp(blocks_, kMinBlocks, kMaxBlocks);
    if (videoExts_.size() > kMaxVideoExtsBytes) {
        const qsizetype end = videoExts_.lastIndexOf(';', kMaxVideoExtsBytes - 1);
        platform::MsgOut(QStringLiteral("The setting VideoExts holds %1 bytes; only its first %2 are used")
                             .arg(videoExts_.size())
                             .arg(end + 1));
        videoExts_.truncate(end + 1);
    }
}

void TKZVConfig::TakeInstallerLanguage(const QString& programFolder, const QString& dataFolder) {
    const QString source = programFolder + QLatin1String(kSetupLangIni);
    const QString copy = dataFolder + QLatin1String(kSetupLangIni);
    QString problem;
    if (!platform::IsReplaceableFile(copy, &problem)) {
        platform::MsgOut(problem + QStringLiteral("; the installer's language choice is not read"));
        return;
    }
    if (QFileInfo::exists(source) && !QFileInfo::exists(copy))
        platform::CopyFileEx(platform::ToLocal8Bit(source), platform::ToLocal8Bit(copy));
    if (QFileInfo::exists(copy)) {
        QSettings ini(copy, QSettings::IniFormat);
        if (!ReadIniBool(ini, kReadKey, true)) {
            langFileId_ = ReadIniString(ini, kLangIdKey, langFileId_);
            ini.setValue(QLatin1String(kReadKey), 1);  // the installer's choice is taken over once
            ini.sync();
        }
    }
}

}  // namespace settings
