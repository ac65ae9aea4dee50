#include "settings/StringsObj.h"

#include <stdexcept>
#include <string>

namespace settings {

namespace {
constexpr const char* kValue = "Value";
}

TStringsObj::TStringsObj(QObject* owner) : TProjObj(owner) {}

void TStringsObj::CheckIndex(int index, int limit) const {
    if (index < 0 || index >= limit) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
}

QString TStringsObj::Strings(int index) const {
    CheckIndex(index, Count());
    return QString::fromLocal8Bit(strings_[index]);
}

int TStringsObj::IndexOf(const QString& s, Qt::CaseSensitivity cs) const {
    // Through the 8-bit form, as stored, so that a string that does not survive it is not found.
    const QString wanted = QString::fromLocal8Bit(s.toLocal8Bit());
    for (int i = 0; i < Count(); ++i) {
        if (QString::fromLocal8Bit(strings_[i]).compare(wanted, cs) == 0) return i;
    }
    return -1;
}

void TStringsObj::Insert(int index, const QString& s) {
    CheckIndex(index, Count() + 1);
    strings_.insert(index, s.toLocal8Bit());
}

int TStringsObj::Add(const QString& s) {
    strings_.append(s.toLocal8Bit());
    return Count() - 1;
}

void TStringsObj::Delete(int index) {
    CheckIndex(index, Count());
    strings_.removeAt(index);
    Changed();
}

void TStringsObj::Assign(const TProjObj& source) {
    if (const auto* other = qobject_cast<const TStringsObj*>(&source)) strings_ = other->strings_;
    TProjObj::Assign(source);
}

void TStringsObj::SaveToXML(pugi::xml_node node) const {
    for (const QByteArray& s : strings_) {
        pugi::xml_node child = node.append_child(kValue);
        if (!s.isEmpty()) child.text().set(s.constData());
    }
}

void TStringsObj::LoadFromXML(pugi::xml_node node) {
    const LoadingGuard guard(loading_);
    strings_.clear();
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) strings_.append(QByteArray(child.text().get()));
    }
}

}  // namespace settings
