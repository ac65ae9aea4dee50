// The persistent object model: every property kind through XML and back, the reading rules,
// ownership of nested objects and list items, change notification and copying.
#include <gtest/gtest.h>

#include <QPointer>

#include <sstream>
#include <string>
#include <vector>

#include "TestObjects.h"

using settings::TBaseObjList;
using settings::TListNotification;
using settings::TProjObj;
using settings::TPropKind;
using settings::TStringsObj;
using testobjects::TLabelPoint;
using testobjects::TPoint;
using testobjects::TPointList;
using testobjects::TSample;

namespace {

class ProjObjTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        settings::RegisterClass<TPoint>();
        settings::RegisterClass<TLabelPoint>();
    }

    // Reads `xml` (the content of the root element) into `obj`.
    static void Load(TProjObj& obj, const std::string& xml) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(("<Root>" + xml + "</Root>").c_str()));
        obj.LoadFromXML(doc.document_element());
    }

    static pugi::xml_document Save(const TProjObj& obj) {
        pugi::xml_document doc;
        obj.SaveToXML(doc.append_child("Root"));
        return doc;
    }

    static std::string Text(const pugi::xml_document& doc, const char* element) {
        return doc.document_element().child(element).text().get();
    }

    static std::vector<std::string> ChildNames(pugi::xml_node node) {
        std::vector<std::string> names;
        for (pugi::xml_node child : node.children()) names.emplace_back(child.name());
        return names;
    }
};

TEST_F(ProjObjTest, EveryKindIsWrittenInOrderAndReadBack) {
    auto obj = TProjObj::Create<TSample>();
    obj->SetCount(-42);
    obj->SetBig(9000000000LL);
    obj->SetFlag(true);
    obj->SetShade(TSample::shDark);
    obj->SetStyle(TSample::stBold | TSample::stUnderline);
    obj->SetRatio(2.5);
    obj->SetName("eight-bit <&> text");
    obj->SetTitle(QStringLiteral("Wide \u00e9t\u00e9 \u4e2d\u6587"));
    obj->Origin()->SetX(3);
    obj->Origin()->SetY(-4);
    obj->Tags()->Add(QStringLiteral("one"));
    obj->Tags()->Add(QString());
    obj->Tags()->Add(QStringLiteral("three"));
    auto item = TProjObj::Create<TLabelPoint>();
    item->SetX(11);
    item->SetLabel(QStringLiteral("first"));
    obj->Points()->Add(std::move(item));
    obj->Points()->Add(TProjObj::Create<TPoint>());

    const pugi::xml_document doc = Save(*obj);
    EXPECT_EQ(ChildNames(doc.document_element()),
              (std::vector<std::string>{"Count", "Big", "Flag", "Shade", "Style", "Ratio", "Name", "Title",
                                        "Origin", "Tags", "Points"}));
    EXPECT_EQ(Text(doc, "Count"), "-42");
    EXPECT_EQ(Text(doc, "Flag"), "True");
    EXPECT_EQ(Text(doc, "Shade"), "shDark");
    EXPECT_EQ(Text(doc, "Style"), "stBold|stUnderline");
    EXPECT_EQ(ChildNames(doc.document_element().child("Tags")),
              (std::vector<std::string>{"Value", "Value", "Value"}));
    EXPECT_EQ(ChildNames(doc.document_element().child("Points")),
              (std::vector<std::string>{"TLabelPoint", "TPoint"}));

    auto copy = TProjObj::Create<TSample>();
    copy->LoadFromXML(doc.document_element());
    EXPECT_EQ(copy->Count(), -42);
    EXPECT_EQ(copy->Big(), 9000000000LL);
    EXPECT_TRUE(copy->Flag());
    EXPECT_EQ(copy->Shade(), TSample::shDark);
    EXPECT_EQ(copy->Style(), TSample::stBold | TSample::stUnderline);
    EXPECT_DOUBLE_EQ(copy->Ratio(), 2.5);
    EXPECT_EQ(copy->Name(), QByteArray("eight-bit <&> text"));
    EXPECT_EQ(copy->Title(), obj->Title());
    EXPECT_EQ(copy->Origin()->X(), 3);
    EXPECT_EQ(copy->Origin()->Y(), -4);
    ASSERT_EQ(copy->Tags()->Count(), 3);
    EXPECT_EQ(copy->Tags()->Strings(1), QString());  // an empty string survives as an empty element
    EXPECT_EQ(copy->Tags()->Strings(2), QStringLiteral("three"));
    ASSERT_EQ(copy->Points()->Count(), 2);
    const auto* first = qobject_cast<TLabelPoint*>(copy->Points()->Items(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->X(), 11);
    EXPECT_EQ(first->Label(), QStringLiteral("first"));
    EXPECT_EQ(copy->Points()->Items(0)->Owner(), copy->Points());
    EXPECT_STREQ(copy->Points()->Items(1)->metaObject()->className(), "testobjects::TPoint");
}

TEST_F(ProjObjTest, NestedObjectsExistFromCreationAndOthersStayEmpty) {
    auto obj = TProjObj::Create<TSample>();
    ASSERT_NE(obj->Origin(), nullptr);
    ASSERT_NE(obj->Tags(), nullptr);
    ASSERT_NE(obj->Points(), nullptr);
    EXPECT_EQ(obj->Origin()->Owner(), obj.get());
    EXPECT_EQ(obj->Points()->Owner(), obj.get());
    EXPECT_EQ(obj->Helper(), nullptr);

    TPoint* before = obj->Origin();
    Load(*obj, "<Origin><X>5</X></Origin>");
    EXPECT_EQ(obj->Origin(), before);  // read into, never replaced
    EXPECT_EQ(obj->Origin()->X(), 5);
}

TEST_F(ProjObjTest, ReadingMatchesNamesWithoutCaseAndSkipsWhatItDoesNotKnow) {
    auto obj = TProjObj::Create<TSample>();
    Load(*obj, "<count>12</count><Unknown>x</Unknown><!-- note --><TITLE>t</TITLE><Helper>h</Helper>");
    EXPECT_EQ(obj->Count(), 12);
    EXPECT_EQ(obj->Title(), QStringLiteral("t"));
    EXPECT_EQ(obj->Helper(), nullptr);
}

TEST_F(ProjObjTest, EnumerationsTakeOnlyTheirIdentifiers) {
    auto obj = TProjObj::Create<TSample>();
    Load(*obj, "<Flag>true</Flag><Shade>SHMEDIUM</Shade>");
    EXPECT_TRUE(obj->Flag());
    EXPECT_EQ(obj->Shade(), TSample::shMedium);

    Load(*obj, "<Flag>0</Flag><Shade>2</Shade><Shade>purple</Shade>");
    EXPECT_TRUE(obj->Flag()) << "\"0\" names no identifier and leaves the property";
    EXPECT_EQ(obj->Shade(), TSample::shMedium);

    auto fresh = TProjObj::Create<TSample>();
    Load(*fresh, "<Flag>1</Flag>");
    EXPECT_FALSE(fresh->Flag());
}

TEST_F(ProjObjTest, SetsTakeTheirTextualFormOrStayUnchanged) {
    auto obj = TProjObj::Create<TSample>();
    Load(*obj, "<Style>stitalic|stBold</Style>");
    EXPECT_EQ(obj->Style(), TSample::stItalic | TSample::stBold);
    Load(*obj, "<Style>stBold|stWavy</Style>");
    EXPECT_EQ(obj->Style(), TSample::stItalic | TSample::stBold);
    Load(*obj, "<Style></Style>");
    EXPECT_EQ(obj->Style(), TSample::TStyles());
}

TEST_F(ProjObjTest, NumbersThatDoNotParseBecomeZero) {
    auto obj = TProjObj::Create<TSample>();
    ASSERT_EQ(obj->Count(), 7);
    Load(*obj, "<Count>abc</Count><Ratio>x1</Ratio>");
    EXPECT_EQ(obj->Count(), 0) << "not the default";
    EXPECT_EQ(obj->Ratio(), 0.0);

    Load(*obj, "<Count>99999999999</Count><Big>99999999999</Big><Ratio> 1,5 </Ratio>");
    EXPECT_EQ(obj->Count(), 0) << "too large for 32 bits";
    EXPECT_EQ(obj->Big(), 99999999999LL);
    EXPECT_DOUBLE_EQ(obj->Ratio(), 1.5);
}

TEST_F(ProjObjTest, TheLastOfTwoElementsWins) {
    auto obj = TProjObj::Create<TSample>();
    Load(*obj, "<Count>1</Count><Tags><Value>a</Value></Tags><Count>2</Count><Tags><Value>b</Value></Tags>");
    EXPECT_EQ(obj->Count(), 2);
    ASSERT_EQ(obj->Tags()->Count(), 1);
    EXPECT_EQ(obj->Tags()->Strings(0), QStringLiteral("b"));
}

TEST_F(ProjObjTest, AStringListIsReplacedOrEmptied) {
    auto obj = TProjObj::Create<TSample>();
    obj->Tags()->Add(QStringLiteral("old1"));
    obj->Tags()->Add(QStringLiteral("old2"));
    Load(*obj, "<Tags><Value>new</Value><Other>any name</Other></Tags>");
    ASSERT_EQ(obj->Tags()->Count(), 2);
    EXPECT_EQ(obj->Tags()->Strings(0), QStringLiteral("new"));
    EXPECT_EQ(obj->Tags()->Strings(1), QStringLiteral("any name"));

    Load(*obj, "<Tags/>");
    EXPECT_EQ(obj->Tags()->Count(), 0);
}

TEST_F(ProjObjTest, AnUnknownClassEndsTheReadingAndKeepsWhatWasRead) {
    auto obj = TProjObj::Create<TSample>();
    int changes = 0;
    obj->OnChange = [&changes](TProjObj*) { ++changes; };
    pugi::xml_document doc;
    ASSERT_TRUE(
        doc.load_string("<Root><Count>5</Count><Points><TPoint><X>1</X></TPoint><TNoSuchClass/>"
                        "<TPoint><X>3</X></TPoint></Points><Title>late</Title></Root>"));
    EXPECT_THROW(obj->LoadFromXML(doc.document_element()), settings::EClassNotFound);
    EXPECT_EQ(obj->Count(), 5);
    ASSERT_EQ(obj->Points()->Count(), 1);
    EXPECT_EQ(static_cast<TPoint*>(obj->Points()->Items(0))->X(), 1);
    EXPECT_EQ(obj->Title(), QString());

    // The failed reading must not leave change notification switched off.
    EXPECT_FALSE(obj->Loading());
    EXPECT_FALSE(obj->Points()->Loading());
    obj->Points()->Clear();
    EXPECT_EQ(changes, 1);
}

TEST_F(ProjObjTest, ChangesClimbFromAnItemThroughItsListToTheRoot) {
    auto obj = TProjObj::Create<TSample>();
    std::vector<TProjObj*> senders;
    obj->OnChange = [&senders](TProjObj* sender) { senders.push_back(sender); };
    int itemChanges = 0;
    auto item = TProjObj::Create<TPoint>();
    item->OnChange = [&itemChanges](TProjObj*) { ++itemChanges; };
    TPoint* raw = item.get();

    obj->Points()->Add(std::move(item));  // the item's Changed, which climbs
    EXPECT_EQ(itemChanges, 1);
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], obj.get());

    raw->SetX(9);  // writing a property notifies nobody
    EXPECT_EQ(senders.size(), 1u);
    obj->Origin()->Changed();
    obj->Tags()->Add(QStringLiteral("a"));
    obj->Tags()->Delete(0);
    obj->Points()->Exchange(0, 0);
    EXPECT_EQ(senders.size(), 4u);

    Load(*obj, "<Origin><X>1</X></Origin><Points><TPoint/></Points>");  // reading is silent
    EXPECT_EQ(senders.size(), 4u);
}

TEST_F(ProjObjTest, ListItemsAreFreedByDeleteClearRemoveFromOwnerAndDestruction) {
    auto list = TProjObj::Create<TPointList>();
    std::vector<QPointer<TPoint>> items;
    for (int i = 0; i < 5; ++i) {
        auto item = TProjObj::Create<TPoint>();
        item->SetX(i);
        items.emplace_back(item.get());
        list->Add(std::move(item));
    }
    list->Delete(1);
    EXPECT_TRUE(items[1].isNull());
    EXPECT_EQ(list->Count(), 4);

    items[3]->RemoveFromOwner();
    EXPECT_TRUE(items[3].isNull());
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(static_cast<TPoint*>(list->Items(2))->X(), 4);

    list->Move(2, 0);
    EXPECT_EQ(static_cast<TPoint*>(list->Items(0))->X(), 4);
    EXPECT_EQ(items[0]->IndexInOwner(), 1);
    EXPECT_THROW(list->Delete(3), std::out_of_range);

    list->Clear();
    EXPECT_TRUE(items[0].isNull());
    EXPECT_TRUE(items[4].isNull());

    auto item = TProjObj::Create<TPoint>();
    QPointer<TPoint> last(item.get());
    list->Add(std::move(item));
    list.reset();
    EXPECT_TRUE(last.isNull());

    auto loose = TProjObj::Create<TPoint>();
    loose->RemoveFromOwner();  // no list: nothing happens
    EXPECT_EQ(loose->IndexInOwner(), -1);
}

TEST_F(ProjObjTest, TheInnerListReportsDropsLastFirstAndHandsOutExtractedItems) {
    settings::TNotifyList list;
    std::vector<std::pair<int, TListNotification>> events;
    list.OnNotify = [&events](TProjObj* item, TListNotification action) {
        events.emplace_back(static_cast<TPoint*>(item)->X(), action);
    };
    for (int i = 0; i < 3; ++i) {
        auto item = TProjObj::Create<TPoint>();
        item->SetX(i);
        list.Add(std::move(item));
    }
    std::unique_ptr<TProjObj> out = list.Extract(0);
    ASSERT_NE(out, nullptr);
    list.Clear();
    using enum TListNotification;
    EXPECT_EQ(
        events,
        (std::vector<std::pair<int, TListNotification>>{
            {0, lnAdded}, {1, lnAdded}, {2, lnAdded}, {0, lnExtracted}, {2, lnDeleted}, {1, lnDeleted}}));
    EXPECT_EQ(static_cast<TPoint*>(out.get())->X(), 0);
}

TEST_F(ProjObjTest, AssignCopiesValuesNestedObjectsAndItemsOfTheirOwnClass) {
    auto source = TProjObj::Create<TSample>();
    source->SetCount(4);
    source->SetShade(TSample::shMedium);
    source->SetStyle(TSample::stItalic);
    source->SetTitle(QStringLiteral("title"));
    source->Origin()->SetY(8);
    source->Tags()->Add(QStringLiteral("tag"));
    auto labelled = TProjObj::Create<TLabelPoint>();
    labelled->SetLabel(QStringLiteral("L"));
    source->Points()->Add(std::move(labelled));
    int sourceChanges = 0;
    source->OnChange = [&sourceChanges](TProjObj*) { ++sourceChanges; };

    auto target = TProjObj::Create<TSample>();
    target->Points()->Add(TProjObj::Create<TPoint>());
    target->Assign(*source);
    EXPECT_EQ(target->Count(), 4);
    EXPECT_EQ(target->Shade(), TSample::shMedium);
    EXPECT_EQ(target->Style(), TSample::TStyles(TSample::stItalic));
    EXPECT_EQ(target->Title(), QStringLiteral("title"));
    EXPECT_EQ(target->Origin()->Y(), 8);
    EXPECT_NE(target->Origin(), source->Origin());
    ASSERT_EQ(target->Tags()->Count(), 1);
    ASSERT_EQ(target->Points()->Count(), 1);
    const auto* copied = qobject_cast<TLabelPoint*>(target->Points()->Items(0));
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->Label(), QStringLiteral("L"));
    EXPECT_NE(copied, source->Points()->Items(0));
    EXPECT_GE(sourceChanges, 1) << "the target took the source's OnChange and ran it";

    auto point = TProjObj::Create<TPoint>();
    EXPECT_THROW(target->Assign(*point), std::invalid_argument);

    // Onto itself: nothing changes (its lists were emptied before being copied from).
    target->Assign(*target);
    EXPECT_EQ(target->Tags()->Count(), 1);
    EXPECT_EQ(target->Points()->Count(), 1);
    EXPECT_EQ(target->Title(), QStringLiteral("title"));
    target->Points()->Assign(*target->Points());
    EXPECT_EQ(target->Points()->Count(), 1);
}

TEST_F(ProjObjTest, ClassesAreFoundByNameWithoutNamespaceOrCase) {
    EXPECT_EQ(settings::PersistentClassName(TLabelPoint::staticMetaObject), QByteArray("TLabelPoint"));
    EXPECT_EQ(settings::FindClass("tlabelpoint"), &TLabelPoint::staticMetaObject);
    EXPECT_EQ(settings::FindClass("TUnregistered"), nullptr);
    EXPECT_THROW(TProjObj::CreateInstance(QObject::staticMetaObject, nullptr), std::logic_error);
}

}  // namespace
