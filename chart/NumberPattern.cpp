#include "NumberPattern.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

struct TPatternSection {
    std::string Prefix, Suffix;
    int MinIntDigits = 0, MinDecimals = 0, MaxDecimals = 0;
    bool Thousands = false, HasDigits = false;
};

TPatternSection ParseSection(std::string_view s) {
    TPatternSection sec;
    bool afterPoint = false, seenDigit = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\'' || c == '"') {
            const std::size_t close = s.find(c, i + 1);
            const std::string_view lit = s.substr(i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1);
            (seenDigit ? sec.Suffix : sec.Prefix) += lit;
            if (close == std::string_view::npos) break;
            i = close;
        } else if (c == '0' || c == '#') {
            if (!sec.Suffix.empty()) continue;  // digits after trailing text: not supported, dropped
            seenDigit = sec.HasDigits = true;
            if (afterPoint) {
                ++sec.MaxDecimals;
                if (c == '0') sec.MinDecimals = sec.MaxDecimals;
            } else if (c == '0') {
                ++sec.MinIntDigits;
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            seenDigit = true;
        } else if (c == ',') {
            if (!afterPoint) sec.Thousands = true;
        } else {
            (seenDigit ? sec.Suffix : sec.Prefix) += c;
        }
    }
    return sec;
}

// |v| with exactly `decimals` decimals and a '.' between the parts; v is finite.
std::string FixedText(double v, int decimals) {
    // The largest double has 309 integer digits.
    std::string buf(320 + static_cast<std::size_t>(decimals), '\0');
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(v), std::chars_format::fixed, decimals);
    buf.resize(static_cast<std::size_t>(r.ptr - buf.data()));
    return buf;
}

// |v| written by the section, digits only; sets `zero` when every digit is 0.
std::string FormatDigits(double v, const TPatternSection& sec, char decimalMark, char thousandsMark, bool& zero) {
    const std::string digits = FixedText(v, sec.MaxDecimals);
    std::string intPart = digits, frac;
    if (const std::size_t dot = digits.find('.'); dot != std::string::npos) {
        intPart = digits.substr(0, dot);
        frac = digits.substr(dot + 1);
    }
    while (static_cast<int>(frac.size()) > sec.MinDecimals && !frac.empty() && frac.back() == '0') frac.pop_back();
    zero = intPart.find_first_not_of('0') == std::string::npos && frac.find_first_not_of('0') == std::string::npos;
    // Leading zeros only as far as the pattern asks for them.
    const std::size_t firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? std::string() : intPart.substr(firstNonZero);
    if (static_cast<int>(intPart.size()) < sec.MinIntDigits)
        intPart.insert(0, static_cast<std::size_t>(sec.MinIntDigits) - intPart.size(), '0');
    if (sec.Thousands && intPart.size() > 3) {
        std::string grouped;
        const std::size_t n = intPart.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0) grouped += thousandsMark;
            grouped += intPart[i];
        }
        intPart = std::move(grouped);
    }
    if (!frac.empty()) intPart += decimalMark + frac;
    return intPart;
}

}  // namespace

std::string SignificantDigitsText(double v, int digits) {
    char buf[48];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, std::clamp(digits, 1, 17));
    return std::string(buf, r.ptr);
}

std::string FormatNumberPattern(double v, std::string_view pattern, char decimalMark, char thousandsMark) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (pattern.empty()) {
        std::string s = SignificantDigitsText(v, 15);
        std::replace(s.begin(), s.end(), '.', decimalMark);
        return s;
    }
    std::vector<std::string_view> sections;
    std::string_view rest(pattern);
    for (std::size_t pos; (pos = rest.find(';')) != std::string_view::npos && sections.size() < 2;) {
        sections.push_back(rest.substr(0, pos));
        rest = rest.substr(pos + 1);
    }
    sections.push_back(rest);

    const TPatternSection first = ParseSection(sections[0]);
    bool zero = false;
    if (!first.HasDigits) return first.Prefix + first.Suffix;
    std::string digits = FormatDigits(v, first, decimalMark, thousandsMark, zero);
    if (zero && sections.size() == 3 && !sections[2].empty()) {
        const TPatternSection z = ParseSection(sections[2]);
        bool ignored;
        return z.Prefix + (z.HasDigits ? FormatDigits(0, z, decimalMark, thousandsMark, ignored) : "") + z.Suffix;
    }
    if (v < 0 && sections.size() >= 2 && !sections[1].empty()) {
        const TPatternSection neg = ParseSection(sections[1]);
        if (!neg.HasDigits) return neg.Prefix + neg.Suffix;
        return neg.Prefix + FormatDigits(v, neg, decimalMark, thousandsMark, zero) + neg.Suffix;
    }
    // A value that rounds to zero is written without a sign.
    const bool minus = v < 0 && !zero;
    return (minus ? "-" : "") + first.Prefix + digits + first.Suffix;
}

namespace {

// Calls each(start, end) for the sections of a pattern (split at ';' outside
// quotes).
template <class F>
void ForEachSection(std::string_view pattern, F each) {
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i <= pattern.size(); ++i) {
        const char c = i < pattern.size() ? pattern[i] : ';';
        if (quote) {
            if (c == quote) quote = 0;
            if (i < pattern.size()) continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (c == ';') {
            each(start, i);
            start = i + 1;
        }
    }
}

// In pattern[start, end): the place just after the last digit placeholder of
// the decimals (or of the whole section when it has no point), the count of
// decimal placeholders, and whether there is a point.
struct TDecimalsPlace {
    std::size_t after = std::string_view::npos;
    int count = 0;
    bool point = false;
};

TDecimalsPlace DecimalsPlace(std::string_view pattern, std::size_t start, std::size_t end) {
    TDecimalsPlace d;
    char quote = 0;
    for (std::size_t i = start; i < end; ++i) {
        const char c = pattern[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '.' && !d.point) {
            d.point = true;
            d.after = i + 1;
        } else if (c == '0' || c == '#') {
            if (d.point) ++d.count;
            d.after = i + 1;
        } else if (c == 'E' || c == 'e') {
            break;   // an exponent's digits are not decimals
        }
    }
    return d;
}

}  // namespace

int PatternDecimals(std::string_view pattern) {
    int most = 0;
    ForEachSection(pattern, [&](std::size_t start, std::size_t end) {
        most = std::max(most, DecimalsPlace(pattern, start, end).count);
    });
    return most;
}

std::string WidenPatternDecimals(std::string_view pattern, int decimals) {
    std::string out;
    std::size_t copied = 0;
    ForEachSection(pattern, [&](std::size_t start, std::size_t end) {
        const TDecimalsPlace d = DecimalsPlace(pattern, start, end);
        if (d.after == std::string_view::npos || d.count >= decimals) return;
        out.append(pattern.substr(copied, d.after - copied));
        if (!d.point) out += '.';
        out.append(static_cast<std::size_t>(decimals - d.count), '#');
        copied = d.after;
    });
    out.append(pattern.substr(copied));
    return out;
}
