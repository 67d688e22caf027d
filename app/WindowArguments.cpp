#include "WindowArguments.h"

#include "Batch.h"
#include "Currency.h"
#include "LineFile.h"
#include "OptionText.h"
#include "StringList.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

const char* const kWindowUsage =
    "usage: quelmora --window [--curve CURVE[@YYYY-MM-DD]]... [--flood FLOOD] [--compute]\n"
    "                [--outflow mean|end] [--bank-storage K] [--losses F[,F...]]\n"
    "                [--smooth N] [--negative redistribute]\n"
    "                [--columns MAP] [--curve-columns MAP] [--units LIST]\n"
    "                [--date-order dmy|mdy|ymd] [--time-format unix-s|unix-ms]\n"
    "                [--utc-offset +HH:MM] [--missing skip] [--missing-value V]... [FILE...]\n";

bool WantsWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--window") return true;
    return false;
}

TRecordFileKind RecordFileKind(const std::string& fileName) {
    try {
        LineFile file;
        file.OpenRead(fileName);
        std::string line;
        if (file.AtEnd()) return TRecordFileKind::Unknown;
        file.ReadLine(line);   // the heading
        if (file.AtEnd()) return TRecordFileKind::Unknown;
        file.ReadLine(line);
        const std::string_view text = TrimText(line);
        const std::size_t comma = text.find(',');
        if (comma == std::string_view::npos) return TRecordFileKind::Unknown;
        const bool twoFields = text.find(',', comma + 1) == std::string_view::npos;
        bool number = true;
        try {
            DecimalFromText(text.substr(0, comma));
        } catch (const std::exception&) {
            number = false;
        }
        return twoFields || number ? TRecordFileKind::Curve : TRecordFileKind::Flood;
    } catch (const std::exception&) {
        return TRecordFileKind::Unknown;
    }
}

TWindowArguments ParseWindowArguments(int argc, char** argv) {
    TWindowArguments a;
    std::vector<std::pair<std::string, std::string>> method;
    std::vector<std::string> files, curveTexts;
    TOptionPairs format;
    bool floodGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--window") continue;
        if (arg == "--compute") {
            a.compute = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            if (arg.empty()) throw std::invalid_argument("an empty file name");
            files.emplace_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name(arg.substr(0, equals));
        const bool layout = IsFormatOption(TFileKind::Curve, name) || IsFormatOption(TFileKind::Flood, name);
        if (name != "--curve" && name != "--flood" && !layout && !IsMethodOption(name))
            throw std::invalid_argument("unknown argument '" + std::string(arg) + "' with --window");
        std::string value;
        if (equals != std::string_view::npos) {
            value = std::string(arg.substr(equals + 1));
        } else {
            if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
            value = argv[++i];
        }
        if (value.empty()) throw std::invalid_argument(name + " needs a value");
        if (name == "--curve") {
            curveTexts.push_back(value);
        } else if (name == "--flood") {
            if (floodGiven) throw std::invalid_argument(name + " given twice");
            floodGiven = true;
            a.flood = value;
        } else if (layout) {
            format.emplace_back(name, value);
        } else {
            method.emplace_back(name, value);
        }
    }
    const TMethodChoices choices = ReadMethodChoices(method);
    a.balance = choices.balance;
    a.correction = choices.correction;
    try {
        // As batch mode takes them: a single curve that names an existing
        // file is that file, '@' and all; several, each but one dated.
        std::error_code noFile;
        if (curveTexts.size() == 1 && std::filesystem::exists(curveTexts.front(), noFile))
            a.curves.push_back({curveTexts.front(), std::nullopt});
        else
            for (const std::string& text : curveTexts) a.curves.push_back(ParseCurveArgument(text));
        if (!a.curves.empty()) TCurveSchedule{a.curves};   // two undated, two from one day
        for (const auto& pair : format) {
            if (IsFormatOption(TFileKind::Curve, pair.first)) a.curveFormat.push_back(pair);
            if (IsFormatOption(TFileKind::Flood, pair.first)) a.floodFormat.push_back(pair);
        }
        static_cast<void>(ReadRecordFormat(TFileKind::Curve, a.curveFormat));
        const TRecordFormat flood = ReadRecordFormat(TFileKind::Flood, a.floodFormat);
        if (flood.columns && !a.balance.lossFields.empty())
            throw std::invalid_argument("--losses counts the fields of the plain record; with --columns, name the "
                                        "losses there as loss=COL");
    } catch (const EOptionError& e) {
        throw std::invalid_argument(e.what());
    }
    // The curve that holds first is read first; the others after it by day.
    std::stable_sort(a.curves.begin(), a.curves.end(), [](const TCurveArgument& x, const TCurveArgument& y) {
        return x.fromDay.value_or(INT64_MIN) < y.fromDay.value_or(INT64_MIN);
    });
    if (!a.curves.empty()) a.curve = a.curves.front().file;
    // Files without an option: a curve or a record by their fields; one that
    // cannot be read takes the first free place, where its reader says why.
    for (const std::string& file : files) {
        TRecordFileKind kind = RecordFileKind(file);
        if (kind == TRecordFileKind::Unknown) kind = a.curve.empty() ? TRecordFileKind::Curve : TRecordFileKind::Flood;
        std::string& slot = kind == TRecordFileKind::Curve ? a.curve : a.flood;
        if (!slot.empty())
            throw std::invalid_argument("two " + std::string(kind == TRecordFileKind::Curve ? "curves" : "flood records") +
                                        " given: '" + slot + "' and '" + file + "'");
        slot = file;
    }
    if (a.compute && a.flood.empty()) throw std::invalid_argument("--compute needs a flood record");
    for (const auto& pair : format)
        if (!IsFormatOption(TFileKind::Curve, pair.first) && a.flood.empty())
            throw std::invalid_argument(pair.first + " describes the flood record: it needs --flood");
    // A curve given by name alone with its layout described is imported too;
    // one plain curve is read as the first button reads it.
    if (a.curves.empty() && !a.curve.empty() && !a.curveFormat.empty()) a.curves.push_back({a.curve, std::nullopt});
    if (a.curves.size() == 1 && !a.curves.front().fromDay && a.curveFormat.empty()) a.curves.clear();
    return a;
}
