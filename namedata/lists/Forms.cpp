#include "Forms.h"

#include "Columns.h"
#include "CsvList.h"
#include "JsonList.h"
#include "PoList.h"
#include "TextList.h"
#include "Utf8.h"

#include <algorithm>
#include <array>

namespace NameList {
namespace {

constexpr std::string_view LinesEndings[] = {".txt", ".tsv"};
constexpr std::string_view CsvEndings[] = {".csv"};
constexpr std::string_view JsonEndings[] = {".json"};
constexpr std::string_view PoEndings[] = {".po", ".pot"};

bool startsAsJson(std::string_view text)
{
    const std::string_view start = Utf8::trimmed(text);
    return start.starts_with('[') || start.starts_with('{');
}

bool endsWithOneOf(std::string_view path, std::span<const std::string_view> endings)
{
    return std::any_of(endings.begin(), endings.end(),
                       [&](std::string_view ending) { return Utf8::endsWithWord(path, ending); });
}

// Rows of columns are told apart by the separator of their first row,
// whatever the file is called: spreadsheets keep ".csv" for any separator.
bool claimsLines(std::string_view, std::string_view text)
{
    return !startsAsJson(text) && Columns::separatorOf(text) == '\t';
}

bool claimsCsv(std::string_view, std::string_view text)
{
    return !startsAsJson(text) && Columns::separatorOf(text) != '\t';
}

bool claimsJson(std::string_view, std::string_view text)
{
    return startsAsJson(text);
}

bool claimsPo(std::string_view path, std::string_view text)
{
    return endsWithOneOf(path, PoEndings) || Po::looksLikePo(text);
}

Written writeLines(const std::vector<Row> &rows, const Origin &)
{
    return {true, Text::write(rows), {}};
}

Written writeCsv(const std::vector<Row> &rows, const Origin &)
{
    return {true, Csv::write(rows), {}};
}

Written writeJson(const std::vector<Row> &rows, const Origin &)
{
    return {true, Json::write(rows), {}};
}

Written writePo(const std::vector<Row> &rows, const Origin &origin)
{
    return {true, Po::write(rows, origin.project, origin.generator), {}};
}

const std::array<Form, 4> All{{
    {"lines", "lines", LinesEndings, "text/tab-separated-values", false, claimsLines, Text::read, writeLines, false},
    {"JSON", "json", JsonEndings, "application/json", false, claimsJson, Json::read, writeJson, false},
    {"CSV", "csv", CsvEndings, "text/csv", false, claimsCsv, Csv::read, writeCsv, false},
    {"PO", "po", PoEndings, "text/x-gettext-translation", true, claimsPo, Po::read, writePo, true},
}};

} // namespace

Origin originOf(std::string_view imagePath, std::string_view version)
{
    const std::size_t slash = imagePath.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? imagePath : imagePath.substr(slash + 1);
    return {Utf8::shown(Utf8::repaired(name)), "orvane-names " + std::string(version)};
}

std::span<const Form> forms()
{
    return All;
}

const Form *formNamed(std::string_view name)
{
    for (const Form &form : All)
        if (Utf8::sameWord(name, form.keyword))
            return &form;
    return nullptr;
}

const Form *formForEnding(std::string_view path)
{
    for (const Form &form : All)
        if (endsWithOneOf(path, form.endings))
            return &form;
    return nullptr;
}

const Form *formClaiming(std::string_view path, std::string_view text, bool ownCharset)
{
    for (const Form &form : All)
        if (form.ownCharset == ownCharset && form.claims(path, text))
            return &form;
    return nullptr;
}

} // namespace NameList
