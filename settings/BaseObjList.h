#pragma once
// A persistent list of owned TProjObj items, written one element per item named by the item's class,
// and the notifying pointer list inside it.

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

#include <pugixml.hpp>

#include "settings/ProjObj.h"

namespace settings {

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };

// A list of owned items that reports every entry it adds, hands out (Extract) or drops (Delete,
// Clear, destruction; emptying drops from the last entry to the first). A dropped entry is reported
// first and freed afterwards; an extracted one passes to the caller.
class TNotifyList {
public:
    using TNotifyEvent = std::function<void(TProjObj* item, TListNotification action)>;

    TNotifyList() = default;
    virtual ~TNotifyList();
    TNotifyList(const TNotifyList&) = delete;
    TNotifyList& operator=(const TNotifyList&) = delete;

    int Count() const noexcept { return static_cast<int>(items_.size()); }
    // Bounds are checked: std::out_of_range.
    TProjObj* Items(int index) const;
    int IndexOf(const TProjObj* item) const noexcept;

    int Add(std::unique_ptr<TProjObj> item);
    void Insert(int index, std::unique_ptr<TProjObj> item);
    void Delete(int index);
    std::unique_ptr<TProjObj> Extract(int index);
    void Clear();
    void Move(int curIndex, int newIndex);
    void Exchange(int index1, int index2);

    TNotifyEvent OnNotify;

protected:
    // The base does nothing; this one forwards to OnNotify when set.
    virtual void Notify(TProjObj* item, TListNotification action);

private:
    void CheckIndex(int index, int limit) const;

    std::vector<std::unique_ptr<TProjObj>> items_;
};

class TBaseObjList : public QObject {
    Q_OBJECT

public:
    // Frees the items, last first.
    ~TBaseObjList() override;
    TBaseObjList(const TBaseObjList&) = delete;
    TBaseObjList& operator=(const TBaseObjList&) = delete;

    // Replaces the items with copies of the source's items, each of its own class, added with Add.
    virtual void Assign(const TBaseObjList& source);
    // One element per item, named by its class, in list order.
    virtual void SaveToXML(pugi::xml_node node) const;
    // Replaces the items with those the elements name. A class that nobody registered raises
    // EClassNotFound, which ends the reading; the items read before it stay.
    virtual void LoadFromXML(pugi::xml_node node);
    // Climbs to the owner. Nothing while reading.
    virtual void Changed();
    // Called for every entry the inner list adds, extracts or drops.
    virtual void ItemNotify(TProjObj* item, TListNotification action);

    // Adds the item at the end and returns its index; the item's Owner becomes this list, and the
    // item's Changed runs.
    virtual int Add(std::unique_ptr<TProjObj> item);
    virtual void Insert(int index, std::unique_ptr<TProjObj> item);
    // These change the list, then run Changed. Delete and Clear free the items they drop.
    virtual void Clear();
    virtual void Delete(int index);
    virtual void Move(int curIndex, int newIndex);
    virtual void Exchange(int index1, int index2);

    int Count() const noexcept { return list_.Count(); }
    TProjObj* Items(int index) const { return list_.Items(index); }
    int IndexOf(const TProjObj* item) const noexcept { return list_.IndexOf(item); }

    QObject* Owner() const noexcept { return owner_; }
    void SetOwner(QObject* owner) noexcept { owner_ = owner; }
    bool Loading() const noexcept { return loading_; }

public:
    // Public for the meta-object system; create through TProjObj::Create, which also makes the children.
    Q_INVOKABLE explicit TBaseObjList(QObject* owner);

private:
    TNotifyList list_;
    QObject* owner_;
    bool loading_ = false;
};

}  // namespace settings
