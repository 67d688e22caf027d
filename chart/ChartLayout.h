#pragma once
// The chart's part of a stored window layout: a record of property names and
// values, as the window keeps them for its components ("Title.Text", "MarginLeft",
// "BottomAxis.Title.Caption", legacy keys such as "AllowZoom"). The window feeds
// such a record to the chart (TCustomChart::LoadLayout) and gets one back
// (StoreLayout).
//
// The chart's published properties are reached through TPublisher: every object
// lists its properties with a getter and a setter, once, and the same list
// serves reading one property by name and writing every property that differs
// from its default.

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ChartColors.h"

// One stored value: an identifier (True, clWhite, bvRaised), a number, a text,
// or a list of texts or numbers.
class TLayoutValue {
public:
    enum TKind { lvIdent, lvInteger, lvFloat, lvString, lvStrings, lvIntegers };

    static TLayoutValue Ident(std::string name);
    static TLayoutValue Integer(long long value);
    static TLayoutValue Float(double value);
    static TLayoutValue String(std::string text);
    static TLayoutValue Strings(std::vector<std::string> lines);
    static TLayoutValue Integers(std::vector<long long> values);
    static TLayoutValue Bool(bool value) { return Ident(value ? "True" : "False"); }

    TKind Kind() const { return FKind; }

    // Each conversion raises Exception("Invalid property value") on a value of
    // the wrong kind.
    bool AsBool() const;
    long long AsInteger() const;
    double AsDouble() const;
    TColor AsColor() const;  // a number or a colour name
    const std::string& AsString() const;
    const std::string& AsIdent() const;
    const std::vector<std::string>& AsStrings() const;
    const std::vector<long long>& AsIntegers() const;

    friend bool operator==(const TLayoutValue&, const TLayoutValue&) = default;

private:
    TKind FKind = lvInteger;
    std::string FText;
    long long FInteger = 0;
    double FFloat = 0;
    std::vector<std::string> FStrings;
    std::vector<long long> FIntegers;
};

// The stored name of a colour (clRed, clBtnFace, ...), empty for a colour without one.
std::string ColorName(TColor c);

// Name -> value, in stored order.
class TLayoutRecord {
public:
    void Add(std::string name, TLayoutValue value) { FEntries.emplace_back(std::move(name), std::move(value)); }
    // The last entry of that name, or nullptr.
    const TLayoutValue* Find(std::string_view name) const;
    const std::vector<std::pair<std::string, TLayoutValue>>& Entries() const { return FEntries; }
    bool Empty() const { return FEntries.empty(); }

private:
    std::vector<std::pair<std::string, TLayoutValue>> FEntries;
};

// Visits published properties. Names are dotted paths below the object the
// visit started at: an owned object's properties appear under its name.
class TPublisher {
public:
    virtual ~TPublisher() = default;

    void Bool(std::string_view name, bool value, const std::function<void(bool)>& set);
    void Integer(std::string_view name, long long value, const std::function<void(int)>& set);
    void Double(std::string_view name, double value, const std::function<void(double)>& set);
    void Color(std::string_view name, TColor value, const std::function<void(TColor)>& set);
    void String(std::string_view name, const std::string& value, const std::function<void(const std::string&)>& set);
    void Strings(std::string_view name, const std::vector<std::string>& value,
                 const std::function<void(const std::vector<std::string>&)>& set);
    // An enumeration stored by the names of its values, in order.
    template <class E>
    void Enum(std::string_view name, E value, std::span<const char* const> names, const std::function<void(E)>& set) {
        EnumValue(name, static_cast<int>(value), names, [&set](int v) { set(static_cast<E>(v)); });
    }
    // The properties of an owned object, under name.
    void Object(std::string_view name, const std::function<void(TPublisher&)>& properties);
    // The same for an object created on first access: visited when it exists,
    // or when the visit is after one of its properties (which creates it).
    void LazyObject(std::string_view name, bool exists, const std::function<void(TPublisher&)>& properties);

protected:
    // Whether a property below this dotted prefix may be what the visit is after.
    virtual bool Reaches(const std::string& prefix) const = 0;
    // One property: its full name, its current value, and how to store a new one.
    virtual void Visit(const std::string& name, const TLayoutValue& current,
                       const std::function<void(const TLayoutValue&)>& set) = 0;

private:
    void EnumValue(std::string_view name, int value, std::span<const char* const> names,
                   const std::function<void(int)>& set);
    std::string Full(std::string_view name) const;
    std::string FPrefix;
};

// Stores one value into the property of that name; Found() tells whether a
// property of that name was met.
class TPropertyWriter : public TPublisher {
public:
    TPropertyWriter(std::string_view name, const TLayoutValue& value) : FName(name), FValue(value) {}
    bool Found() const { return FFound; }

protected:
    bool Reaches(const std::string& prefix) const override;
    void Visit(const std::string& name, const TLayoutValue& current,
               const std::function<void(const TLayoutValue&)>& set) override;

private:
    std::string FName;
    const TLayoutValue& FValue;
    bool FFound = false;
};

// Collects every property with its current value.
class TPropertyCollector : public TPublisher {
public:
    TLayoutRecord Record;

protected:
    bool Reaches(const std::string&) const override { return false; }
    void Visit(const std::string& name, const TLayoutValue& current,
               const std::function<void(const TLayoutValue&)>& set) override;
};

// The published properties of the drawing surface's objects.
class TChartPen;
class TChartBrush;
class TChartFont;
class TChartShadow;
class TChartGradient;
void PublishPen(TPublisher& p, TChartPen& pen);
void PublishBrush(TPublisher& p, TChartBrush& brush);
void PublishFont(TPublisher& p, TChartFont& font);
void PublishShadow(TPublisher& p, TChartShadow& shadow);
void PublishGradient(TPublisher& p, TChartGradient& gradient);
