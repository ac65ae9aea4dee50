#pragma once
// The language object: one loaded language file ("Languages/" + name + ".xml" in the program folder)
// whose root holds one element per text key. Windows look their texts up by key; while no file is
// loaded they keep their built-in English texts.

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pugi {
class xml_document;
}

namespace lang {

class TLanguage {
public:
    // `languagesFolder` ends with "/"; the program passes its own folder + "Languages/".
    explicit TLanguage(QString languagesFolder);
    ~TLanguage();
    TLanguage(const TLanguage&) = delete;
    TLanguage& operator=(const TLanguage&) = delete;

    // Loads "<folder><name>.xml" and returns true when it did. "English" while nothing is loaded reads
    // no file (the built-in texts serve). A missing file, or a name that would reach outside the
    // folder, changes nothing. A file that does not load reports the error, and lookups give empty
    // texts until a later load succeeds.
    bool LoadLanguageFile(const QByteArray& name);
    // A language document is in use. The first query of any kind loads LanguageName.
    bool IsLoaded();
    // The text of the key's element, or empty (no document, failed load, or no such key).
    QString GetText(const QString& key);
    // The loaded file's "Id"; "English" when it has none or nothing is loaded.
    QString GetLanguageId();

    const QString& LanguagesFolder() const noexcept { return languagesFolder_; }
    const QString& LanguageId() const noexcept { return languageId_; }
    const QString& LanguageFile() const noexcept { return languageFile_; }
    bool LoadFailed() const noexcept { return loadFailed_; }
    bool LoadTried() const noexcept { return loadTried_; }
    const QByteArray& LanguageName() const noexcept { return languageName_; }
    void SetLanguageName(const QByteArray& name) { languageName_ = name; }

    // Shows the error of a file that does not load ("Load language failed, please check!", title
    // "Error"). The program routes it to a message box; unset, it goes to the Qt warning log.
    std::function<void(const QString& text, const QString& title)> OnLoadError;

private:
    void LoadOnFirstUse();
    bool DocumentInUse() const noexcept { return document_ != nullptr && !loadFailed_; }

    QString languagesFolder_;
    std::unique_ptr<pugi::xml_document> document_;
    QString languageId_;
    QString languageFile_;
    bool loadFailed_ = false;
    bool loadTried_ = false;
    QByteArray languageName_ = "Default";
};

// The program's language object: created when the log starts, freed when it stops.
extern std::unique_ptr<TLanguage> Language;

// Language->GetText(key). The language object exists while the program runs.
QString LangText(const QString& key);

// A language file's menu caption: the root's "Name", empty when absent or when the file does not load.
QString GetLanguageCaption(const QString& fileName);

// One entry of the "Languages" menu.
struct TLanguageMenuEntry {
    QString Caption;
    QString FileName;  // full path of the language file
    bool Checked = false;
};

// The widget-free half of the "Languages" menu: which files it offers, in which order, and which one
// is checked. The window turns the entries into menu items and calls Click for a chosen one.
class TLanguageMenu {
public:
    // Every ".xml" file of the language's folder that has a caption, in listing order, except that an
    // entry captioned "English" goes to the top. The entry of the loaded file is checked, or, while
    // none is loaded, the one whose file is named English.
    explicit TLanguageMenu(TLanguage& language);

    const std::vector<TLanguageMenuEntry>& Entries() const noexcept { return entries_; }

    // The user picked entry `index`. Nothing when it is already checked (nullopt). Otherwise loads its
    // language, moves the check mark to it whatever the load gave, and returns the new LangFileId (the
    // file's base name), which the caller stores in the settings before it announces the change.
    std::optional<QString> Click(int index);

private:
    TLanguage& language_;
    std::vector<TLanguageMenuEntry> entries_;
};

}  // namespace lang
