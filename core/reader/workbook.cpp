#include "core/reader/workbook.h"

#include "core/reader/sheetlines.h"
#include "core/state/failure.h"

#include <algorithm>

namespace kov {

// The two readers, in xlsxsheet.cpp and xlssheet.cpp.
std::unique_ptr<LineSource> openXlsxSheet(int fd, unsigned long long fileSize, const RecordConvention &convention);
std::vector<SheetInfo> xlsxSheets(int fd, unsigned long long fileSize, bool extents);
std::unique_ptr<LineSource> openXlsSheet(int fd, unsigned long long fileSize, const RecordConvention &convention);
std::vector<SheetInfo> xlsSheets(int fd, bool extents);

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

WorkbookKind workbookKindOf(std::string_view firstBytes)
{
    if (firstBytes.size() >= 4 && firstBytes.substr(0, 4) == std::string_view("PK\x03\x04", 4))
        return WorkbookKind::Xlsx;
    // An empty archive begins with its end record.
    if (firstBytes.size() >= 4 && firstBytes.substr(0, 4) == std::string_view("PK\x05\x06", 4))
        return WorkbookKind::Xlsx;
    if (firstBytes.size() >= 8 && firstBytes.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return WorkbookKind::Xls;
    return WorkbookKind::None;
}

unsigned long long inflatedLimitFor(unsigned long long fileSize)
{
    const unsigned long long ratio = WorkbookLimits::InflationRatio;
    if (fileSize >= WorkbookLimits::InflatedLimit / ratio)
        return WorkbookLimits::InflatedLimit;
    return fileSize * ratio;
}

std::unique_ptr<LineSource> openSheetLines(int fd, unsigned long long fileSize, WorkbookKind kind,
                                           const RecordConvention &convention)
{
    if (kind == WorkbookKind::Xlsx)
        return openXlsxSheet(fd, fileSize, convention);
    return openXlsSheet(fd, fileSize, convention);
}

std::vector<SheetInfo> sheetsOf(int fd, unsigned long long fileSize, WorkbookKind kind, bool extents)
{
    return kind == WorkbookKind::Xlsx ? xlsxSheets(fd, fileSize, extents) : xlsSheets(fd, extents);
}

std::string sheetList(const std::vector<SheetInfo> &sheets)
{
    std::string text;
    for (std::size_t i = 0; i < sheets.size(); ++i)
        text += (i ? ", " : "") + std::to_string(i + 1) + " " + sheets[i].name;
    return text;
}

std::size_t chooseSheet(const std::vector<SheetInfo> &sheets, const std::string &choice)
{
    if (sheets.empty())
        sheet::refuse("the workbook holds no worksheet");
    if (choice.empty())
        return 0;
    for (std::size_t i = 0; i < sheets.size(); ++i)
        if (sameIgnoringCase(sheets[i].name, choice))
            return i;
    const bool digits = choice.size() <= 6 && std::all_of(choice.begin(), choice.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
        const std::size_t number = std::stoul(choice);
        if (number >= 1 && number <= sheets.size())
            return number - 1;
    }
    throw Failure(err::OutOfRange, (digits ? "the workbook has no sheet " + choice : "no sheet is named '" + choice + "'") +
                                       "; the sheets are: " + sheetList(sheets));
}


} // namespace kov
