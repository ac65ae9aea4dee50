#pragma once
// Persistent classes that publish one property of every kind, a nested object, a string list, an
// object list and an object of a non-persistent class.

#include <QByteArray>
#include <QObject>
#include <QString>

#include "settings/BaseConfig.h"
#include "settings/BaseObjList.h"
#include "settings/StringsObj.h"

namespace testobjects {

class TPoint : public settings::TProjObj {
    Q_OBJECT
    Q_PROPERTY(int X READ X WRITE SetX)
    Q_PROPERTY(int Y READ Y WRITE SetY)

public:
    int X() const { return x_; }
    void SetX(int v) { x_ = v; }
    int Y() const { return y_; }
    void SetY(int v) { y_ = v; }

public:
    Q_INVOKABLE explicit TPoint(QObject* owner) : TProjObj(owner) {}

private:
    int x_ = 0;
    int y_ = 0;
};

// A point with a label: list items keep their own class.
class TLabelPoint : public TPoint {
    Q_OBJECT
    Q_PROPERTY(QString Label READ Label WRITE SetLabel)

public:
    QString Label() const { return label_; }
    void SetLabel(const QString& v) { label_ = v; }

public:
    Q_INVOKABLE explicit TLabelPoint(QObject* owner) : TPoint(owner) {}

private:
    QString label_;
};

class TPointList : public settings::TBaseObjList {
    Q_OBJECT

public:
    Q_INVOKABLE explicit TPointList(QObject* owner) : TBaseObjList(owner) {}
};

class TSample : public settings::TProjObj {
    Q_OBJECT

public:
    enum TShade { shLight, shMedium, shDark };
    Q_ENUM(TShade)
    enum TStyle { stBold = 1, stItalic = 2, stUnderline = 4 };
    Q_DECLARE_FLAGS(TStyles, TStyle)
    Q_FLAG(TStyles)

private:
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(qint64 Big READ Big WRITE SetBig)
    Q_PROPERTY(bool Flag READ Flag WRITE SetFlag)
    Q_PROPERTY(TShade Shade READ Shade WRITE SetShade)
    Q_PROPERTY(TStyles Style READ Style WRITE SetStyle)
    Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
    Q_PROPERTY(QByteArray Name READ Name WRITE SetName)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(testobjects::TPoint* Origin READ Origin WRITE SetOrigin)
    Q_PROPERTY(settings::TStringsObj* Tags READ Tags WRITE SetTags)
    Q_PROPERTY(testobjects::TPointList* Points READ Points WRITE SetPoints)
    Q_PROPERTY(QObject* Helper READ Helper WRITE SetHelper)

public:
    int Count() const { return count_; }
    void SetCount(int v) { count_ = v; }
    qint64 Big() const { return big_; }
    void SetBig(qint64 v) { big_ = v; }
    bool Flag() const { return flag_; }
    void SetFlag(bool v) { flag_ = v; }
    TShade Shade() const { return shade_; }
    void SetShade(TShade v) { shade_ = v; }
    TStyles Style() const { return style_; }
    void SetStyle(TStyles v) { style_ = v; }
    double Ratio() const { return ratio_; }
    void SetRatio(double v) { ratio_ = v; }
    QByteArray Name() const { return name_; }
    void SetName(const QByteArray& v) { name_ = v; }
    QString Title() const { return title_; }
    void SetTitle(const QString& v) { title_ = v; }
    TPoint* Origin() const { return origin_; }
    settings::TStringsObj* Tags() const { return tags_; }
    TPointList* Points() const { return points_; }
    QObject* Helper() const { return helper_; }

public:
    Q_INVOKABLE explicit TSample(QObject* owner) : TProjObj(owner) {}

private:
    void SetOrigin(TPoint* v) { origin_ = v; }
    void SetTags(settings::TStringsObj* v) { tags_ = v; }
    void SetPoints(TPointList* v) { points_ = v; }
    void SetHelper(QObject* v) { helper_ = v; }

    int count_ = 7;
    qint64 big_ = 0;
    bool flag_ = false;
    TShade shade_ = shLight;
    TStyles style_;
    double ratio_ = 0;
    QByteArray name_;
    QString title_;
    TPoint* origin_ = nullptr;
    settings::TStringsObj* tags_ = nullptr;
    TPointList* points_ = nullptr;
    QObject* helper_ = nullptr;
};

// A settings file with one nested object.
class TSampleConfig : public settings::TBaseConfig {
    Q_OBJECT
    Q_PROPERTY(int Level READ Level WRITE SetLevel)
    Q_PROPERTY(settings::TStringsObj* Recent READ Recent WRITE SetRecent)

public:
    int Level() const { return level_; }
    void SetLevel(int v) { level_ = v; }
    settings::TStringsObj* Recent() const { return recent_; }
    int LoadedCalls = 0;

public:
    Q_INVOKABLE explicit TSampleConfig(QObject* owner = nullptr) : TBaseConfig(owner) {}

protected:
    void Loaded() override { ++LoadedCalls; }

private:
    void SetRecent(settings::TStringsObj* v) { recent_ = v; }

    int level_ = 3;
    settings::TStringsObj* recent_ = nullptr;
};

}  // namespace testobjects

Q_DECLARE_OPERATORS_FOR_FLAGS(testobjects::TSample::TStyles)
