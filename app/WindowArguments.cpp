#include "WindowArguments.h"

#include "Batch.h"
#include "Currency.h"
#include "LineFile.h"
#include "StringList.h"

#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

const char* const kWindowUsage =
    "usage: quelmora --window [--curve CURVE] [--flood FLOOD] [--compute]\n"
    "                [--outflow mean|end] [--bank-storage K] [--losses F[,F...]]\n"
    "                [--smooth N] [--negative redistribute] [FILE...]\n";

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
    std::vector<std::string> files;
    bool curveGiven = false, floodGiven = false;
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
        if (name != "--curve" && name != "--flood" && !IsMethodOption(name))
            throw std::invalid_argument("unknown argument '" + std::string(arg) + "' with --window");
        std::string value;
        if (equals != std::string_view::npos) {
            value = std::string(arg.substr(equals + 1));
        } else {
            if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
            value = argv[++i];
        }
        if (value.empty()) throw std::invalid_argument(name + " needs a value");
        if (name == "--curve" || name == "--flood") {
            bool& given = name == "--curve" ? curveGiven : floodGiven;
            if (given) throw std::invalid_argument(name + " given twice");
            given = true;
            (name == "--curve" ? a.curve : a.flood) = value;
        } else {
            method.emplace_back(name, value);
        }
    }
    const TMethodChoices choices = ReadMethodChoices(method);
    a.balance = choices.balance;
    a.correction = choices.correction;
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
    return a;
}
