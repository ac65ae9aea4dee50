#include "settings/ProjObj.h"

#include <QLocale>
#include <QMetaEnum>
#include <QMetaType>
#include <QSaveFile>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <string>

#include "platform/Log.h"
#include "platform/Utility.h"
#include "settings/BaseObjList.h"

namespace settings {

TPropKind PropKind(const QMetaProperty& prop) {
    if (prop.isFlagType()) return TPropKind::Set;
    if (prop.isEnumType()) return TPropKind::Enumeration;
    const QMetaType type = prop.metaType();
    if (type.flags().testFlag(QMetaType::PointerToQObject)) return TPropKind::Object;
    switch (type.id()) {
        case QMetaType::Bool:
            return TPropKind::Enumeration;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return TPropKind::Integer;
        case QMetaType::Double:
        case QMetaType::Float:
            return TPropKind::Float;
        case QMetaType::QByteArray:
            return TPropKind::String;
        case QMetaType::QString:
            return TPropKind::WString;
        default:
            return TPropKind::Unknown;
    }
}

QByteArray PersistentClassName(const QMetaObject& meta) {
    const QByteArray name(meta.className());
    const qsizetype colon = name.lastIndexOf("::");
    return colon < 0 ? name : name.mid(colon + 2);
}

EClassNotFound::EClassNotFound(const QByteArray& name)
    : std::runtime_error("Class " + name.toStdString() + " not found") {}

ESaveDocumentError::ESaveDocumentError() : std::runtime_error("error occurs when save xml file.") {}

bool IsPersistentClass(const QMetaObject* meta) {
    return meta != nullptr &&
           (meta->inherits(&TProjObj::staticMetaObject) || meta->inherits(&TBaseObjList::staticMetaObject));
}

namespace {

// The registry lives as long as the program: classes register once and are never removed.
std::map<QByteArray, const QMetaObject*>& Registry() {
    static std::map<QByteArray, const QMetaObject*> registry;
    return registry;
}

// The declared class of an object property.
const QMetaObject* DeclaredClass(const QMetaProperty& prop) {
    return prop.metaType().metaObject();
}

// A QVariant of the property's own pointer type holding `object`. The QObject part of every Q_OBJECT
// class is its first base, so the pointer value is the same for both types.
QVariant PointerVariant(const QMetaProperty& prop, QObject* object) {
    void* raw = object;
    return QVariant(prop.metaType(), &raw);
}

void LoadNested(QObject* held, pugi::xml_node node) {
    if (auto* obj = qobject_cast<TProjObj*>(held)) {
        obj->LoadFromXML(node);
    } else if (auto* list = qobject_cast<TBaseObjList*>(held)) {
        list->LoadFromXML(node);
    }
}

void SaveNested(const QObject* held, pugi::xml_node node) {
    if (const auto* obj = qobject_cast<const TProjObj*>(held)) {
        obj->SaveToXML(node);
    } else if (const auto* list = qobject_cast<const TBaseObjList*>(held)) {
        list->SaveToXML(node);
    }
}

constexpr const char* kFalseTrue[] = {"False", "True"};

QByteArray IntegerText(const QVariant& value) {
    const bool isUnsigned =
        value.metaType().id() == QMetaType::UInt || value.metaType().id() == QMetaType::ULong ||
        value.metaType().id() == QMetaType::ULongLong || value.metaType().id() == QMetaType::UShort ||
        value.metaType().id() == QMetaType::UChar;
    return isUnsigned ? QByteArray::number(value.toULongLong()) : QByteArray::number(value.toLongLong());
}

// The integer in `text` if it is one that the property's type can hold.
std::optional<QVariant> IntegerValue(QMetaType type, const QByteArray& text) {
    bool ok = false;
    const QByteArray t = text.trimmed();
    switch (type.id()) {
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
        case QMetaType::UChar: {
            if (t.startsWith('-')) return std::nullopt;
            const qulonglong v = t.toULongLong(&ok);
            const qulonglong max = type.sizeOf() >= 8 ? std::numeric_limits<qulonglong>::max()
                                                      : (qulonglong{1} << (8 * type.sizeOf())) - 1;
            if (!ok || v > max) return std::nullopt;
            QVariant result(v);
            result.convert(type);
            return result;
        }
        default: {
            const qlonglong v = t.toLongLong(&ok);
            const int bits = 8 * static_cast<int>(type.sizeOf());
            const qlonglong max =
                bits >= 64 ? std::numeric_limits<qlonglong>::max() : (qlonglong{1} << (bits - 1)) - 1;
            const qlonglong min = bits >= 64 ? std::numeric_limits<qlonglong>::min() : -max - 1;
            if (!ok || v < min || v > max) return std::nullopt;
            QVariant result(v);
            result.convert(type);
            return result;
        }
    }
}

// Sets are written as their identifiers joined by "|" (Qt's form); every identifier must be known.
std::optional<int> SetValue(const QMetaEnum& meta, const QByteArray& text) {
    const QByteArray t = text.trimmed();
    int value = 0;
    if (t.isEmpty()) return value;
    for (const QByteArray& piece : t.split('|')) {
        const QByteArray key = piece.trimmed();
        bool found = false;
        for (int i = 0; i < meta.keyCount() && !found; ++i) {
            if (qstricmp(meta.key(i), key.constData()) == 0) {
                value |= meta.value(i);
                found = true;
            }
        }
        if (!found) return std::nullopt;
    }
    return value;
}

std::optional<int> EnumValue(const QMetaEnum& meta, const QByteArray& text) {
    for (int i = 0; i < meta.keyCount(); ++i) {
        if (qstricmp(meta.key(i), text.constData()) == 0) return meta.value(i);
    }
    return std::nullopt;
}

QByteArray PropertyText(const QMetaProperty& prop, const QVariant& value) {
    switch (PropKind(prop)) {
        case TPropKind::Enumeration:
            if (!prop.isEnumType()) return kFalseTrue[value.toBool() ? 1 : 0];
            return QByteArray(prop.enumerator().valueToKey(value.toInt()));
        case TPropKind::Set:
            return prop.enumerator().valueToKeys(value.toInt());
        case TPropKind::Integer:
            return IntegerText(value);
        case TPropKind::Float: {
            QLocale locale;  // the user's number format, but never with group separators
            locale.setNumberOptions(QLocale::OmitGroupSeparator);
            return locale.toString(value.toDouble(), 'g', QLocale::FloatingPointShortest).toLocal8Bit();
        }
        case TPropKind::String:
            return value.toByteArray();
        case TPropKind::WString:
            return value.toString().toLocal8Bit();
        case TPropKind::Object:
        case TPropKind::Unknown:
            break;
    }
    return {};
}

// The value that `text` gives the property, or nothing when the property stays unchanged.
std::optional<QVariant> PropertyValue(const QMetaProperty& prop, const QByteArray& text, TPropKind kind) {
    switch (kind) {
        case TPropKind::Enumeration: {
            if (!prop.isEnumType()) {
                if (qstricmp(text.constData(), kFalseTrue[0]) == 0) return QVariant(false);
                if (qstricmp(text.constData(), kFalseTrue[1]) == 0) return QVariant(true);
                return std::nullopt;
            }
            const std::optional<int> v = EnumValue(prop.enumerator(), text);
            return v ? std::optional<QVariant>(QVariant(*v)) : std::nullopt;
        }
        case TPropKind::Set: {
            const std::optional<int> v = SetValue(prop.enumerator(), text);
            return v ? std::optional<QVariant>(QVariant(*v)) : std::nullopt;
        }
        case TPropKind::Integer: {
            std::optional<QVariant> v = IntegerValue(prop.metaType(), text);
            if (v) return v;
            QVariant zero(0);
            zero.convert(prop.metaType());
            return zero;
        }
        case TPropKind::Float:
            return QVariant(platform::StrToFloatDefEx(QString::fromLocal8Bit(text), 0));
        case TPropKind::String:
            return QVariant(text);
        case TPropKind::WString:
            return QVariant(QString::fromLocal8Bit(text));
        case TPropKind::Object:
        case TPropKind::Unknown:
            break;
    }
    return std::nullopt;
}

// Collects pugixml's output in memory.
class ByteWriter final : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    std::string bytes;
};

}  // namespace

void RegisterClass(const QMetaObject& meta) {
    Registry()[PersistentClassName(meta).toLower()] = &meta;
}

const QMetaObject* FindClass(const QByteArray& name) {
    const auto it = Registry().find(name.toLower());
    return it == Registry().end() ? nullptr : it->second;
}

TProjObj::TProjObj(QObject* owner) : owner_(owner) {}

TProjObj::~TProjObj() = default;

std::unique_ptr<QObject> TProjObj::CreateInstance(const QMetaObject& meta, QObject* owner) {
    if (!IsPersistentClass(&meta)) {
        throw std::logic_error(std::string(meta.className()) + " is not a persistent class");
    }
    std::unique_ptr<QObject> object(meta.newInstance(Q_ARG(QObject*, owner)));
    if (!object) {
        throw std::logic_error(std::string(meta.className()) +
                               " has no invokable constructor (QObject* owner)");
    }
    if (auto* obj = qobject_cast<TProjObj*>(object.get())) obj->CreateChildren();
    return object;
}

std::vector<QMetaProperty> TProjObj::PublishedProperties() const {
    std::vector<QMetaProperty> props;
    const QMetaObject* meta = metaObject();
    for (int i = TProjObj::staticMetaObject.propertyOffset(); i < meta->propertyCount(); ++i) {
        props.push_back(meta->property(i));
    }
    return props;
}

QMetaProperty TProjObj::FindProperty(const QByteArray& name) const {
    for (const QMetaProperty& prop : PublishedProperties()) {
        if (qstricmp(prop.name(), name.constData()) == 0) return prop;
    }
    return {};
}

QObject* TProjObj::HeldObject(const QMetaProperty& prop) const {
    return prop.read(this).value<QObject*>();
}

void TProjObj::CreateChildren() {
    for (const QMetaProperty& prop : PublishedProperties()) {
        if (PropKind(prop) != TPropKind::Object) continue;
        if (QObject* held = HeldObject(prop)) {
            // Adopted: handed over with Own() by the constructor of the class being built.
            if (auto* obj = qobject_cast<TProjObj*>(held)) obj->SetOwner(this);
            if (auto* list = qobject_cast<TBaseObjList*>(held)) list->SetOwner(this);
            continue;
        }
        const QMetaObject* declared = DeclaredClass(prop);
        if (!IsPersistentClass(declared)) continue;
        std::unique_ptr<QObject> child = CreateInstance(*declared, this);
        if (!prop.write(this, PointerVariant(prop, child.get()))) {
            throw std::logic_error(std::string("cannot store a new object in property ") + prop.name());
        }
        owned_.push_back(std::move(child));
    }
}

QByteArray TProjObj::PropText(const QMetaProperty& prop) const {
    return PropertyText(prop, prop.read(this));
}

void TProjObj::SaveToXML(pugi::xml_node node) const {
    for (const QMetaProperty& prop : PublishedProperties()) {
        const TPropKind kind = PropKind(prop);
        if (kind == TPropKind::Unknown) continue;
        if (kind == TPropKind::Object) {
            if (!IsPersistentClass(DeclaredClass(prop))) continue;
            pugi::xml_node child = node.append_child(prop.name());
            SaveNested(HeldObject(prop), child);
            continue;
        }
        pugi::xml_node child = node.append_child(prop.name());
        const QByteArray text = PropText(prop);
        if (!text.isEmpty()) child.text().set(text.constData());
    }
}

void TProjObj::LoadFromXML(pugi::xml_node node) {
    const LoadingGuard guard(loading_);
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const QMetaProperty prop = FindProperty(QByteArray(child.name()));
        if (!prop.isValid()) continue;
        const TPropKind kind = PropKind(prop);
        if (kind == TPropKind::Object) {
            if (IsPersistentClass(DeclaredClass(prop))) LoadNested(HeldObject(prop), child);
            continue;
        }
        SetPropText(QByteArray(prop.name()), QByteArray(child.text().get()), kind);
    }
}

void TProjObj::SetPropText(const QByteArray& name, const QByteArray& text, TPropKind kind) {
    const QMetaProperty prop = FindProperty(name);
    if (!prop.isValid() || kind == TPropKind::Object || kind == TPropKind::Unknown) return;
    if (const std::optional<QVariant> value = PropertyValue(prop, text, kind)) prop.write(this, *value);
}

void TProjObj::Changed() {
    if (loading_) return;
    if (OnChange) OnChange(this);
    if (auto* obj = qobject_cast<TProjObj*>(owner_)) {
        obj->Changed();
    } else if (auto* list = qobject_cast<TBaseObjList*>(owner_)) {
        list->Changed();
    }
}

int TProjObj::IndexInOwner() const {
    const auto* list = qobject_cast<const TBaseObjList*>(owner_);
    return list ? list->IndexOf(this) : -1;
}

void TProjObj::RemoveFromOwner() {
    auto* list = qobject_cast<TBaseObjList*>(owner_);
    const int index = IndexInOwner();
    if (list && index >= 0) list->Delete(index);  // frees this object: nothing may follow
}

void TProjObj::Assign(const TProjObj& source) {
    if (&source == this) return;  // copying its lists onto themselves would empty them first
    if (!source.metaObject()->inherits(metaObject())) {
        throw std::invalid_argument(std::string("Cannot assign a ") + source.metaObject()->className() +
                                    " to a " + metaObject()->className());
    }
    OnChange = source.OnChange;
    for (const QMetaProperty& prop : PublishedProperties()) {
        // The source is of this class, so it has the property at the same index.
        const QMetaProperty from = source.metaObject()->property(prop.propertyIndex());
        switch (const TPropKind kind = PropKind(prop)) {
            case TPropKind::Object: {
                if (!IsPersistentClass(DeclaredClass(prop))) break;
                QObject* mine = HeldObject(prop);
                const QObject* theirs = source.HeldObject(from);
                if (auto* obj = qobject_cast<TProjObj*>(mine)) {
                    if (const auto* src = qobject_cast<const TProjObj*>(theirs)) obj->Assign(*src);
                } else if (auto* list = qobject_cast<TBaseObjList*>(mine)) {
                    if (const auto* src = qobject_cast<const TBaseObjList*>(theirs)) list->Assign(*src);
                }
                break;
            }
            case TPropKind::Enumeration:
            case TPropKind::Set:
                SetPropText(QByteArray(prop.name()), source.PropText(from), kind);
                break;
            case TPropKind::Integer:
            case TPropKind::Float:
            case TPropKind::String:
            case TPropKind::WString:
                prop.write(this, from.read(&source));
                break;
            case TPropKind::Unknown:
                break;
        }
    }
    Changed();
}

bool TProjObj::SaveDocument(const pugi::xml_document& doc, const QString& fileName, bool silent) {
    ByteWriter image;
    doc.save(image, "  ", pugi::format_indent | pugi::format_write_bom, pugi::encoding_utf16_le);

    pugi::xml_document check;
    const bool valid = !image.bytes.empty() && check.load_buffer(image.bytes.data(), image.bytes.size());
    if (!valid) {
        if (!silent) throw ESaveDocumentError();
        return false;
    }

    // Never over what is not a settings file (a FIFO, a device, a folder): the settings stay in
    // memory and the thing stays where it is.
    QString problem;
    if (!platform::IsReplaceableFile(fileName, &problem)) {
        if (!silent)
            throw EFileCreateError("Cannot write file \"" + fileName.toStdString() + "\". " +
                                   problem.toStdString());
        platform::MsgOut(QStringLiteral("The settings are not saved: ") + problem);
        return false;
    }
    // Written beside the old file (or the file a link names) and renamed over it only once complete.
    QSaveFile file(fileName);
    // Unbuffered: a buffered write that fails only when flushed at commit() goes unnoticed by
    // QSaveFile in Qt 6.4, which would then replace the old file with a truncated one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        throw EFileCreateError("Cannot create file \"" + fileName.toStdString() + "\". " +
                               file.errorString().toStdString());
    }
    const qint64 size = static_cast<qint64>(image.bytes.size());
    if (file.write(image.bytes.data(), size) != size || !file.flush() || !file.commit()) {
        throw EFileCreateError("Cannot write file \"" + fileName.toStdString() + "\". " +
                               file.errorString().toStdString());
    }
    return true;
}

}  // namespace settings
