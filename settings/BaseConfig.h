#pragma once
// A persistent object bound to one settings file: read once, written on demand.

#include <QByteArray>
#include <QString>

#include "settings/ProjObj.h"

namespace settings {

class TBaseConfig : public TProjObj {
    Q_OBJECT

public:
    // Reads the file once. A missing file leaves the defaults; a file that does not parse, or an error
    // while reading it, ends the reading silently: what was read stays, and the next Load tries again.
    void Load();
    // Writes the whole object as a fresh document (root "Config" with the project name and the program
    // version) and returns true when the file was written. See SaveDocument for the failures.
    bool Save(bool silent);
    // The document that Save writes.
    void BuildDocument(pugi::xml_document& doc) const;

    bool FileLoaded() const noexcept { return fileLoaded_; }
    const QByteArray& ProjectName() const noexcept { return projectName_; }
    void SetProjectName(const QByteArray& name) { projectName_ = name; }
    const QString& FileName() const noexcept { return fileName_; }
    void SetFileName(const QString& name) { fileName_ = name; }

public:
    // Public for the meta-object system; create through TProjObj::Create, which also makes the children.
    Q_INVOKABLE explicit TBaseConfig(QObject* owner = nullptr);

protected:
    // Runs after a Load that read the whole file.
    virtual void Loaded() {}

private:
    bool fileLoaded_ = false;
    QByteArray projectName_;
    QString fileName_;
};

}  // namespace settings
