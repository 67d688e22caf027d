#include "ChartLayout.h"

#include <strings.h>

#include <cstdint>

#include "ChartCanvas.h"
#include "Exceptions.h"

namespace {

[[noreturn]] void InvalidValue() { throw Exception("Invalid property value"); }

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

struct TNamedColor {
    const char* Name;
    TColor Value;
};
constexpr TNamedColor kColorNames[] = {
    {"clBlack", clBlack},           {"clMaroon", clMaroon},
    {"clGreen", clGreen},           {"clOlive", clOlive},
    {"clNavy", clNavy},             {"clPurple", clPurple},
    {"clTeal", clTeal},             {"clGray", clGray},
    {"clSilver", clSilver},         {"clRed", clRed},
    {"clLime", clLime},             {"clYellow", clYellow},
    {"clBlue", clBlue},             {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},             {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen}, {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},           {"clMedGray", clMedGray},
    {"clNone", clNone},             {"clDefault", clDefault},
    {"clScrollBar", clScrollBar},   {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption}, {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},             {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame}, {"clMenuText", clMenuText},
    {"clWindowText", clWindowText}, {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder}, {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace}, {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText}, {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},   {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},       {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight}, {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},       {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},         {"clHotLight", clHotLight},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clMenuHighlight", clMenuHighlight}, {"clMenuBar", clMenuBar},
};

}  // namespace

std::string ColorName(TColor c) {
    for (const auto& n : kColorNames)
        if (n.Value == c) return n.Name;
    return {};
}

// ---------------------------------------------------------------------------
TLayoutValue TLayoutValue::Ident(std::string name) {
    TLayoutValue v;
    v.FKind = lvIdent;
    v.FText = std::move(name);
    return v;
}
TLayoutValue TLayoutValue::Integer(long long value) {
    TLayoutValue v;
    v.FKind = lvInteger;
    v.FInteger = value;
    return v;
}
TLayoutValue TLayoutValue::Float(double value) {
    TLayoutValue v;
    v.FKind = lvFloat;
    v.FFloat = value;
    return v;
}
TLayoutValue TLayoutValue::String(std::string text) {
    TLayoutValue v;
    v.FKind = lvString;
    v.FText = std::move(text);
    return v;
}
TLayoutValue TLayoutValue::Strings(std::vector<std::string> lines) {
    TLayoutValue v;
    v.FKind = lvStrings;
    v.FStrings = std::move(lines);
    return v;
}
TLayoutValue TLayoutValue::Integers(std::vector<long long> values) {
    TLayoutValue v;
    v.FKind = lvIntegers;
    v.FIntegers = std::move(values);
    return v;
}

bool TLayoutValue::AsBool() const {
    if (FKind == lvIdent) {
        if (SameText(FText, "True")) return true;
        if (SameText(FText, "False")) return false;
    }
    InvalidValue();
}
long long TLayoutValue::AsInteger() const {
    if (FKind != lvInteger) InvalidValue();
    return FInteger;
}
double TLayoutValue::AsDouble() const {
    if (FKind == lvInteger) return static_cast<double>(FInteger);
    if (FKind != lvFloat) InvalidValue();
    return FFloat;
}
TColor TLayoutValue::AsColor() const {
    if (FKind == lvInteger) return static_cast<TColor>(FInteger);
    if (FKind == lvIdent)
        for (const auto& n : kColorNames)
            if (SameText(FText, n.Name)) return n.Value;
    InvalidValue();
}
const std::string& TLayoutValue::AsString() const {
    if (FKind != lvString) InvalidValue();
    return FText;
}
const std::string& TLayoutValue::AsIdent() const {
    if (FKind != lvIdent) InvalidValue();
    return FText;
}
const std::vector<std::string>& TLayoutValue::AsStrings() const {
    if (FKind != lvStrings) InvalidValue();
    return FStrings;
}
const std::vector<long long>& TLayoutValue::AsIntegers() const {
    if (FKind != lvIntegers) InvalidValue();
    return FIntegers;
}

const TLayoutValue* TLayoutRecord::Find(std::string_view name) const {
    for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it)
        if (SameText(it->first, name)) return &it->second;
    return nullptr;
}

// ---------------------------------------------------------------------------
std::string TPublisher::Full(std::string_view name) const {
    std::string s = FPrefix;
    s += name;
    return s;
}

void TPublisher::Bool(std::string_view name, bool value, const std::function<void(bool)>& set) {
    Visit(Full(name), TLayoutValue::Bool(value), [&set](const TLayoutValue& v) { set(v.AsBool()); });
}

void TPublisher::Integer(std::string_view name, long long value, const std::function<void(int)>& set) {
    Visit(Full(name), TLayoutValue::Integer(value), [&set](const TLayoutValue& v) {
        const long long n = v.AsInteger();
        if (n < INT32_MIN || n > INT32_MAX) InvalidValue();
        set(static_cast<int>(n));
    });
}

void TPublisher::Double(std::string_view name, double value, const std::function<void(double)>& set) {
    Visit(Full(name), TLayoutValue::Float(value), [&set](const TLayoutValue& v) { set(v.AsDouble()); });
}

void TPublisher::Color(std::string_view name, TColor value, const std::function<void(TColor)>& set) {
    const std::string n = ColorName(value);
    Visit(Full(name), n.empty() ? TLayoutValue::Integer(value) : TLayoutValue::Ident(n),
          [&set](const TLayoutValue& v) { set(v.AsColor()); });
}

void TPublisher::String(std::string_view name, const std::string& value,
                        const std::function<void(const std::string&)>& set) {
    Visit(Full(name), TLayoutValue::String(value), [&set](const TLayoutValue& v) { set(v.AsString()); });
}

void TPublisher::Strings(std::string_view name, const std::vector<std::string>& value,
                         const std::function<void(const std::vector<std::string>&)>& set) {
    Visit(Full(name), TLayoutValue::Strings(value), [&set](const TLayoutValue& v) { set(v.AsStrings()); });
}

void TPublisher::EnumValue(std::string_view name, int value, std::span<const char* const> names,
                           const std::function<void(int)>& set) {
    const std::string current =
        value >= 0 && static_cast<std::size_t>(value) < names.size() ? names[static_cast<std::size_t>(value)] : "";
    Visit(Full(name), TLayoutValue::Ident(current), [&](const TLayoutValue& v) {
        const std::string& id = v.AsIdent();
        for (std::size_t i = 0; i < names.size(); ++i)
            if (SameText(id, names[i])) return set(static_cast<int>(i));
        InvalidValue();
    });
}

void TPublisher::Object(std::string_view name, const std::function<void(TPublisher&)>& properties) {
    const std::size_t saved = FPrefix.size();
    FPrefix += name;
    FPrefix += '.';
    properties(*this);
    FPrefix.resize(saved);
}

void TPublisher::LazyObject(std::string_view name, bool exists,
                            const std::function<void(TPublisher&)>& properties) {
    if (exists || Reaches(Full(name) + ".")) Object(name, properties);
}

bool TPropertyWriter::Reaches(const std::string& prefix) const {
    return FName.size() > prefix.size() && SameText(std::string_view(FName).substr(0, prefix.size()), prefix);
}

void TPropertyWriter::Visit(const std::string& name, const TLayoutValue&,
                            const std::function<void(const TLayoutValue&)>& set) {
    if (!FFound && SameText(name, FName)) {
        FFound = true;
        set(FValue);
    }
}

void TPropertyCollector::Visit(const std::string& name, const TLayoutValue& current,
                               const std::function<void(const TLayoutValue&)>&) {
    Record.Add(name, current);
}

// ---------------------------------------------------------------------------
namespace {
constexpr const char* kPenStyles[] = {"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear",
                                      "psInsideFrame"};
constexpr const char* kPenModes[] = {"pmBlack", "pmWhite", "pmNop", "pmNot", "pmCopy", "pmNotCopy",
                                     "pmMergePenNot", "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen",
                                     "pmMerge", "pmNotMerge", "pmMask", "pmNotMask", "pmXor", "pmNotXor"};
constexpr const char* kEndStyles[] = {"esRound", "esSquare", "esFlat"};
constexpr const char* kBrushStyles[] = {"bsSolid", "bsClear", "bsHorizontal", "bsVertical",
                                        "bsFDiagonal", "bsBDiagonal", "bsCross", "bsDiagCross"};
constexpr const char* kGradientDirections[] = {"gdTopBottom", "gdBottomTop", "gdLeftRight", "gdRightLeft"};
}  // namespace

void PublishPen(TPublisher& p, TChartPen& pen) {
    p.Color("Color", pen.Color(), [&](TColor v) { pen.SetColor(v); });
    p.Enum<TPenEndStyle>("EndStyle", pen.EndStyle(), kEndStyles, [&](TPenEndStyle v) { pen.SetEndStyle(v); });
    p.Enum<TPenMode>("Mode", pen.Mode(), kPenModes, [&](TPenMode v) { pen.SetMode(v); });
    p.Bool("SmallDots", pen.SmallDots(), [&](bool v) { pen.SetSmallDots(v); });
    p.Integer("SmallSpace", pen.SmallSpace(), [&](int v) { pen.SetSmallSpace(v); });
    p.Enum<TPenStyle>("Style", pen.Style(), kPenStyles, [&](TPenStyle v) { pen.SetStyle(v); });
    p.Bool("Visible", pen.Visible(), [&](bool v) { pen.SetVisible(v); });
    p.Integer("Width", pen.Width(), [&](int v) { pen.SetWidth(v); });
}

void PublishBrush(TPublisher& p, TChartBrush& brush) {
    p.Color("Color", brush.Color(), [&](TColor v) { brush.SetColor(v); });
    p.Enum<TBrushStyle>("Style", brush.Style(), kBrushStyles, [&](TBrushStyle v) { brush.SetStyle(v); });
}

void PublishShadow(TPublisher& p, TChartShadow& shadow) {
    p.Color("Color", shadow.Color(), [&](TColor v) { shadow.SetColor(v); });
    p.Integer("HorizSize", shadow.HorizSize(), [&](int v) { shadow.SetHorizSize(v); });
    p.Integer("Transparency", shadow.Transparency(), [&](int v) { shadow.SetTransparency(v); });
    p.Integer("VertSize", shadow.VertSize(), [&](int v) { shadow.SetVertSize(v); });
}

void PublishGradient(TPublisher& p, TChartGradient& gradient) {
    p.Enum<TGradientDirection>("Direction", gradient.Direction(), kGradientDirections,
                               [&](TGradientDirection v) { gradient.SetDirection(v); });
    p.Color("EndColor", gradient.EndColor(), [&](TColor v) { gradient.SetEndColor(v); });
    p.Color("StartColor", gradient.StartColor(), [&](TColor v) { gradient.SetStartColor(v); });
    p.Bool("Visible", gradient.Visible(), [&](bool v) { gradient.SetVisible(v); });
}

void PublishFont(TPublisher& p, TChartFont& font) {
    p.Integer("Charset", font.Charset(), [&](int v) { font.SetCharset(v); });
    p.Color("Color", font.Color(), [&](TColor v) { font.SetColor(v); });
    p.Object("Gradient", [&](TPublisher& q) { PublishGradient(q, font.Gradient()); });
    p.Integer("InterCharSize", font.InterCharSize(), [&](int v) { font.SetInterCharSize(v); });
    p.String("Name", font.Name(), [&](const std::string& v) { font.SetName(v); });
    p.Object("OutLine", [&](TPublisher& q) { PublishPen(q, font.OutLine()); });
    p.Object("Shadow", [&](TPublisher& q) { PublishShadow(q, font.Shadow()); });
    p.Integer("Size", font.Size(), [&](int v) { font.SetSize(v); });
    p.Bool("Smooth", font.Smooth(), [&](bool v) { font.SetSmooth(v); });
    // The style set, stored as its flag bits.
    p.Integer("Style", font.Style(), [&](int v) { font.SetStyle(static_cast<TFontStyles>(v) & 15u); });
}
