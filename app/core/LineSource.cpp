#include "LineSource.h"

#include "ColumnMap.h"
#include "Exceptions.h"

#include <exception>
#include <utility>

namespace {

TLineSourceOpener& Opener() {
    static TLineSourceOpener opener;
    return opener;
}

}  // namespace

void SetLineSourceOpener(TLineSourceOpener opener) { Opener() = std::move(opener); }

std::unique_ptr<TLineSource> OpenLineSource(const std::string& name) {
    if (const TLineSourceOpener& open = Opener())
        if (std::unique_ptr<TLineSource> source = open(name)) return source;
    return std::make_unique<TTextSource>(name);
}

void ReadHeadingLine(TLineSource& source, const std::optional<TColumnOption>& columns, std::string_view fileName,
                     std::string& line, std::int64_t* lineNumber) {
    line.clear();
    if (lineNumber) *lineNumber = 1;
    if (source.AtEnd()) return;
    source.ReadLine(line);
    if (lineNumber) *lineNumber = source.LineNumber();
    if (!source.SeeksHeading() || !columns || !columns->NamesHeadings()) return;
    // No line holds them all: the refusal of the line that comes closest
    // (the first of those) lists the headings the user most likely meant.
    std::exception_ptr best;
    std::string bestLine;
    std::int64_t bestNumber = source.LineNumber();
    std::size_t bestFound = 0;
    for (;;) {
        try {
            ResolveColumns(*columns, line, fileName);
            if (lineNumber) *lineNumber = source.LineNumber();
            return;
        } catch (const Exception&) {
            const std::size_t found = HeadingsFound(*columns, line);
            if (!best || found > bestFound) {
                best = std::current_exception();
                bestLine = line;
                bestNumber = source.LineNumber();
                bestFound = found;
            }
        }
        if (source.AtEnd()) break;
        source.ReadLine(line);
    }
    line = std::move(bestLine);
    if (lineNumber) *lineNumber = bestNumber;
    std::rethrow_exception(best);
}

std::optional<std::string> SourceLineAt(const std::string& name, std::int64_t number,
                                        const std::optional<TFileVersion>& version) {
    std::unique_ptr<TLineSource> source;
    try {
        if (const TLineSourceOpener& open = Opener()) source = open(name);
        if (!source) return ReadLineAt(name, number, version);
        std::string line;
        while (!source->AtEnd()) {
            source->ReadLine(line);
            if (source->LineNumber() == number) return line;
            if (source->LineNumber() > number) break;
        }
    } catch (const Exception&) {
    }
    return std::nullopt;
}
