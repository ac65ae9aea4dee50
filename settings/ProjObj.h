#pragma once
// The persistent object model: an object writes its published properties (Q_PROPERTY) to an XML
// element and reads them back, walking the type information instead of carrying per-class code.
// Objects nest: a property may hold another TProjObj or a TBaseObjList, written as a nested element.

#include <QByteArray>
#include <QMetaProperty>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include <pugixml.hpp>

namespace settings {

class TBaseObjList;

// What the model knows of a property's type. Anything else is left alone when reading and writing.
enum class TPropKind { Integer, Enumeration, Float, String, Set, WString, Object, Unknown };

// Bool counts as an enumeration with the identifiers "False" and "True"; QByteArray is the 8-bit
// string, QString the wide one; a pointer to a QObject class is an object.
TPropKind PropKind(const QMetaProperty& prop);

// The class name as it is written into documents: the C++ class name without its namespace.
QByteArray PersistentClassName(const QMetaObject& meta);

// Raised when a document names a class that nobody registered; it ends the reading.
class EClassNotFound : public std::runtime_error {
public:
    explicit EClassNotFound(const QByteArray& name);
};

// Raised when the settings file itself cannot be created or written.
class EFileCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by a non-silent SaveDocument whose document does not survive its own re-parse.
class ESaveDocumentError : public std::runtime_error {
public:
    ESaveDocumentError();
};

// Holds a Loading flag set for its lifetime: a reading that raises must not leave change notification
// switched off for good.
class LoadingGuard {
public:
    explicit LoadingGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~LoadingGuard() { flag_ = false; }
    LoadingGuard(const LoadingGuard&) = delete;
    LoadingGuard& operator=(const LoadingGuard&) = delete;

private:
    bool& flag_;
};

class TProjObj : public QObject {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TProjObj* sender)>;

    // The one way to create a persistent object: construct it, then create the objects that its
    // published object properties are declared to hold. (A base constructor cannot see the properties
    // of the class being built, so this step runs after construction.)
    template <class T>
    static std::unique_ptr<T> Create(QObject* owner = nullptr);
    // The virtual constructor: creates an instance of `meta` (a TProjObj or a TBaseObjList with a
    // Q_INVOKABLE constructor taking the owner), children included. Raises std::logic_error when the
    // class cannot be created that way.
    static std::unique_ptr<QObject> CreateInstance(const QMetaObject& meta, QObject* owner);

    ~TProjObj() override;
    TProjObj(const TProjObj&) = delete;
    TProjObj& operator=(const TProjObj&) = delete;

    // Copies OnChange and every published property from `source`, which must be of this class or
    // derived from it (std::invalid_argument otherwise); nested objects copy themselves. Then Changed.
    virtual void Assign(const TProjObj& source);
    // Appends one child element per published property, in order.
    virtual void SaveToXML(pugi::xml_node node) const;
    // Reads the child elements into the properties they name (letter case aside); others are skipped.
    virtual void LoadFromXML(pugi::xml_node node);
    // Sets one property from its text: enumerations and sets take only their identifiers (anything
    // else leaves them unchanged), integers take 0 for a text that is not one, floats the tolerant
    // parse with default 0, strings the text as it is. No property of that name: nothing happens.
    virtual void SetPropText(const QByteArray& name, const QByteArray& text, TPropKind kind);
    // Calls OnChange, then climbs to the owner. Nothing while reading.
    virtual void Changed();
    // For an item of a TBaseObjList: deletes it from the list, which frees this object. Do not touch it
    // afterwards. Does nothing for an object that is no list's item.
    virtual void RemoveFromOwner();

    // Position in the owning list, -1 when the owner is no list or does not hold this object.
    int IndexInOwner() const;

    // The text that SaveToXML writes for a non-object property.
    QByteArray PropText(const QMetaProperty& prop) const;

    // Serialises `doc` (its declaration decides nothing: the bytes are UTF-16 LE with a byte-order
    // mark), checks that the image parses again and only then replaces `fileName` in one step, so that
    // a crash or a full disk never leaves a truncated file. A document that fails the check is not
    // written: false, or ESaveDocumentError when not silent. A file that cannot be written raises
    // EFileCreateError whatever `silent` says.
    static bool SaveDocument(const pugi::xml_document& doc, const QString& fileName, bool silent);

    QObject* Owner() const noexcept { return owner_; }
    void SetOwner(QObject* owner) noexcept { owner_ = owner; }
    bool Loading() const noexcept { return loading_; }

    TNotifyEvent OnChange;

protected:
    explicit TProjObj(QObject* owner);

    // Hands an object to this one, which frees it on destruction; a published object property may then
    // hold it, and creation adopts it (sets its Owner) instead of creating another.
    template <class T>
    T* Own(std::unique_ptr<T> child) {
        T* raw = child.get();
        owned_.push_back(std::move(child));
        return raw;
    }

    // The published properties, base classes first, in declaration order.
    std::vector<QMetaProperty> PublishedProperties() const;
    // The published property of that name, compared without regard to case; invalid when none.
    QMetaProperty FindProperty(const QByteArray& name) const;

    bool loading_ = false;

private:
    // Adopts what the object properties hold, creates what they are declared to hold and lack.
    void CreateChildren();
    QObject* HeldObject(const QMetaProperty& prop) const;

    QObject* owner_;
    // Everything the published object properties hold: an object owns its children.
    std::vector<std::unique_ptr<QObject>> owned_;
};

// Class registry for the items of object lists, by PersistentClassName. Names compare without regard
// to case. The class needs a Q_INVOKABLE constructor taking the owner (QObject*).
void RegisterClass(const QMetaObject& meta);
template <class T>
void RegisterClass() {
    RegisterClass(T::staticMetaObject);
}
const QMetaObject* FindClass(const QByteArray& name);

// True for TProjObj, TBaseObjList and their descendants: the classes that nest as elements.
bool IsPersistentClass(const QMetaObject* meta);

template <class T>
std::unique_ptr<T> TProjObj::Create(QObject* owner) {
    std::unique_ptr<QObject> object = CreateInstance(T::staticMetaObject, owner);
    return std::unique_ptr<T>(static_cast<T*>(object.release()));
}

}  // namespace settings
