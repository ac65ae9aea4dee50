#include "settings/BaseObjList.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace settings {

TNotifyList::~TNotifyList() {
    // Dropped last to first, each reported, as Clear does.
    while (!items_.empty()) Delete(Count() - 1);
}

void TNotifyList::CheckIndex(int index, int limit) const {
    if (index < 0 || index >= limit) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
}

TProjObj* TNotifyList::Items(int index) const {
    CheckIndex(index, Count());
    return items_[static_cast<std::size_t>(index)].get();
}

int TNotifyList::IndexOf(const TProjObj* item) const noexcept {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == item) return static_cast<int>(i);
    }
    return -1;
}

int TNotifyList::Add(std::unique_ptr<TProjObj> item) {
    const int index = Count();
    Insert(index, std::move(item));
    return index;
}

void TNotifyList::Insert(int index, std::unique_ptr<TProjObj> item) {
    CheckIndex(index, Count() + 1);
    TProjObj* raw = item.get();
    items_.insert(items_.begin() + index, std::move(item));
    Notify(raw, TListNotification::lnAdded);
}

void TNotifyList::Delete(int index) {
    CheckIndex(index, Count());
    std::unique_ptr<TProjObj> item = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
    Notify(item.get(), TListNotification::lnDeleted);
}  // the dropped entry is freed here

std::unique_ptr<TProjObj> TNotifyList::Extract(int index) {
    CheckIndex(index, Count());
    std::unique_ptr<TProjObj> item = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
    Notify(item.get(), TListNotification::lnExtracted);
    return item;
}

void TNotifyList::Clear() {
    while (!items_.empty()) Delete(Count() - 1);
}

void TNotifyList::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    CheckIndex(curIndex, Count());
    CheckIndex(newIndex, Count());
    std::unique_ptr<TProjObj> item = std::move(items_[static_cast<std::size_t>(curIndex)]);
    items_.erase(items_.begin() + curIndex);
    items_.insert(items_.begin() + newIndex, std::move(item));
}

void TNotifyList::Exchange(int index1, int index2) {
    CheckIndex(index1, Count());
    CheckIndex(index2, Count());
    std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
}

void TNotifyList::Notify(TProjObj* item, TListNotification action) {
    if (OnNotify) OnNotify(item, action);
}

TBaseObjList::TBaseObjList(QObject* owner) : owner_(owner) {
    list_.OnNotify = [this](TProjObj* item, TListNotification action) { ItemNotify(item, action); };
}

TBaseObjList::~TBaseObjList() {
    list_.Clear();  // while this object can still hear about it
    list_.OnNotify = nullptr;
}

void TBaseObjList::ItemNotify(TProjObj* /*item*/, TListNotification /*action*/) {
    // The inner list frees what it drops; an item that is extracted goes to the caller.
}

void TBaseObjList::Changed() {
    if (loading_) return;
    if (auto* obj = qobject_cast<TProjObj*>(owner_)) {
        obj->Changed();
    } else if (auto* list = qobject_cast<TBaseObjList*>(owner_)) {
        list->Changed();
    }
}

int TBaseObjList::Add(std::unique_ptr<TProjObj> item) {
    TProjObj* raw = item.get();
    raw->SetOwner(this);
    const int index = list_.Add(std::move(item));
    raw->Changed();
    return index;
}

void TBaseObjList::Insert(int index, std::unique_ptr<TProjObj> item) {
    TProjObj* raw = item.get();
    raw->SetOwner(this);
    list_.Insert(index, std::move(item));
    raw->Changed();
}

void TBaseObjList::Clear() {
    list_.Clear();
    Changed();
}

void TBaseObjList::Delete(int index) {
    list_.Delete(index);
    Changed();
}

void TBaseObjList::Move(int curIndex, int newIndex) {
    list_.Move(curIndex, newIndex);
    Changed();
}

void TBaseObjList::Exchange(int index1, int index2) {
    list_.Exchange(index1, index2);
    Changed();
}

void TBaseObjList::SaveToXML(pugi::xml_node node) const {
    for (int i = 0; i < Count(); ++i) {
        const TProjObj* item = Items(i);
        item->SaveToXML(node.append_child(PersistentClassName(*item->metaObject()).constData()));
    }
}

void TBaseObjList::LoadFromXML(pugi::xml_node node) {
    const LoadingGuard guard(loading_);
    list_.Clear();
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const QByteArray name(child.name());
        const QMetaObject* meta = FindClass(name);
        if (meta == nullptr || !meta->inherits(&TProjObj::staticMetaObject)) throw EClassNotFound(name);
        std::unique_ptr<QObject> object = TProjObj::CreateInstance(*meta, this);
        std::unique_ptr<TProjObj> item(static_cast<TProjObj*>(object.release()));
        item->LoadFromXML(child);
        Add(std::move(item));
    }
}

void TBaseObjList::Assign(const TBaseObjList& source) {
    if (&source == this) return;
    list_.Clear();
    for (int i = 0; i < source.Count(); ++i) {
        const TProjObj* from = source.Items(i);
        std::unique_ptr<QObject> object = TProjObj::CreateInstance(*from->metaObject(), this);
        std::unique_ptr<TProjObj> item(static_cast<TProjObj*>(object.release()));
        item->Assign(*from);
        Add(std::move(item));
    }
}

}  // namespace settings
