#pragma once
// A persistent list of 8-bit strings (unsorted, duplicates allowed), written one "Value" element per
// string. The interface speaks wide strings and converts them.

#include <QByteArray>
#include <QList>
#include <QString>

#include "settings/ProjObj.h"

namespace settings {

class TStringsObj : public TProjObj {
    Q_OBJECT

public:
    void Assign(const TProjObj& source) override;
    void SaveToXML(pugi::xml_node node) const override;
    // Replaces the whole list with the texts of the child elements, whatever their names.
    void LoadFromXML(pugi::xml_node node) override;

    int Count() const noexcept { return static_cast<int>(strings_.size()); }
    // Bounds are checked: std::out_of_range.
    QString Strings(int index) const;
    // Compared without regard to case; -1 when absent.
    int IndexOf(const QString& s, Qt::CaseSensitivity cs = Qt::CaseInsensitive) const;
    void Insert(int index, const QString& s);
    int Add(const QString& s);
    // Then Changed.
    void Delete(int index);

public:
    // Public for the meta-object system; create through TProjObj::Create, which also makes the children.
    Q_INVOKABLE explicit TStringsObj(QObject* owner);

private:
    void CheckIndex(int index, int limit) const;

    QList<QByteArray> strings_;
};

}  // namespace settings
