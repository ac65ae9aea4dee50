#include "lang/Language.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <optional>

#include <pugixml.hpp>

#include "platform/FileSearch.h"
#include "platform/Log.h"
#include "platform/Utility.h"

namespace lang {

std::unique_ptr<TLanguage> Language;

namespace {

constexpr const char* kEnglish = "English";

// A language name is a bare file name: one that could reach another folder counts as missing.
bool IsSafeName(const QByteArray& name) {
    return !name.isEmpty() && !name.contains('/') && !name.contains('\\') && !name.contains(':') &&
           !name.contains("..");
}

// Far above any language file; a FIFO or a device is never read as one.
constexpr qint64 kMaxLanguageFileBytes = 16 * 1024 * 1024;

bool LoadDocument(pugi::xml_document& doc, const QString& fileName) {
    QString problem;
    const std::optional<QByteArray> bytes =
        platform::ReadRegularFile(fileName, kMaxLanguageFileBytes, &problem);
    if (!bytes) {
        if (QFileInfo::exists(fileName))
            platform::MsgOut(QStringLiteral("Language file not used: ") + problem);
        return false;
    }
    return static_cast<bool>(doc.load_buffer(bytes->constData(), static_cast<size_t>(bytes->size())));
}

QString BaseName(const QString& fileName) {
    return platform::FromLocal8Bit(platform::PureFileName(platform::ToLocal8Bit(fileName)));
}

}  // namespace

TLanguage::TLanguage(QString languagesFolder) : languagesFolder_(std::move(languagesFolder)) {}

TLanguage::~TLanguage() = default;

bool TLanguage::LoadLanguageFile(const QByteArray& name) {
    loadTried_ = true;
    if (qstricmp(name.constData(), kEnglish) == 0 && document_ == nullptr) return false;
    if (!IsSafeName(name)) return false;
    const QString path = languagesFolder_ + QString::fromLocal8Bit(name) + QStringLiteral(".xml");
    if (!QFileInfo(path).isFile()) return false;

    document_ = std::make_unique<pugi::xml_document>();
    if (!LoadDocument(*document_, path)) {
        loadFailed_ = true;
        const QString text = QStringLiteral("Load language failed, please check!");
        const QString title = QStringLiteral("Error");
        if (OnLoadError) {
            OnLoadError(text, title);
        } else {
            qWarning("%s (%s)", qPrintable(text), qPrintable(path));
        }
        return false;
    }
    languageId_ = QString::fromUtf8(document_->document_element().attribute("Id").value());
    languageFile_ = path;
    languageName_ = name;
    loadFailed_ = false;  // a good file ends the failed state of an earlier one
    return true;
}

void TLanguage::LoadOnFirstUse() {
    if (!loadTried_) LoadLanguageFile(languageName_);
}

bool TLanguage::IsLoaded() {
    LoadOnFirstUse();
    return DocumentInUse();
}

QString TLanguage::GetText(const QString& key) {
    LoadOnFirstUse();
    if (!DocumentInUse()) return {};
    const QByteArray name = key.toUtf8();
    return QString::fromUtf8(document_->document_element().child(name.constData()).text().get());
}

QString TLanguage::GetLanguageId() {
    LoadOnFirstUse();
    if (languageId_.isEmpty()) languageId_ = QLatin1String(kEnglish);
    return languageId_;
}

QString LangText(const QString& key) {
    return Language->GetText(key);
}

QString GetLanguageCaption(const QString& fileName) {
    pugi::xml_document doc;
    if (!LoadDocument(doc, fileName)) return {};
    return QString::fromUtf8(doc.document_element().attribute("Name").value());
}

TLanguageMenu::TLanguageMenu(TLanguage& language) : language_(language) {
    std::vector<std::string> files;
    platform::FindDirFile(platform::ToLocal8Bit(language.LanguagesFolder()), ".xml", files, false);
    for (const std::string& file : files) {
        const QString fileName = platform::FromLocal8Bit(file);
        const QString caption = GetLanguageCaption(fileName);
        if (caption.isEmpty()) continue;
        TLanguageMenuEntry entry{caption, fileName, false};
        if (!language.LanguageFile().isEmpty()) {
            entry.Checked = QString::compare(language.LanguageFile(), fileName, Qt::CaseInsensitive) == 0;
        } else {
            entry.Checked = BaseName(fileName).compare(QLatin1String(kEnglish), Qt::CaseInsensitive) == 0;
        }
        if (caption.compare(QLatin1String(kEnglish), Qt::CaseInsensitive) == 0) {
            entries_.insert(entries_.begin(), std::move(entry));
        } else {
            entries_.push_back(std::move(entry));
        }
    }
}

std::optional<QString> TLanguageMenu::Click(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return std::nullopt;
    TLanguageMenuEntry& chosen = entries_[static_cast<std::size_t>(index)];
    if (chosen.Checked) return std::nullopt;
    const QString langFileId = BaseName(chosen.FileName);
    language_.LoadLanguageFile(langFileId.toLocal8Bit());
    for (TLanguageMenuEntry& entry : entries_) entry.Checked = false;
    chosen.Checked = true;
    return langFileId;
}

}  // namespace lang
