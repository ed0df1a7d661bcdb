// The sheets of a BIFF workbook (.xls), read through FreeXL, which holds the
// cells of a workbook in memory (a BIFF sheet has at most 65536 rows).

#include "core/reader/sheetlines.h"
#include "core/reader/workbook.h"
#include "core/state/failure.h"

#include <freexl.h>

#include <charconv>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace kov {

namespace {

using sheet::refuse;

/// An OLE compound file holding an EncryptedPackage stream: an Office Open
/// XML workbook encrypted with a password. Looked for as a directory entry
/// of that name (entries are 128 bytes, aligned to 128 in the file).
bool holdsEncryptedPackage(int fd)
{
    static constexpr char16_t Name[] = u"EncryptedPackage";
    constexpr std::size_t NameBytes = sizeof Name; // with its terminating 0, as the entry counts it
    std::vector<unsigned char> block(1 << 16);
    for (off_t at = 512;; at += static_cast<off_t>(block.size())) {
        const ssize_t n = ::pread(fd, block.data(), block.size(), at);
        if (n <= 0)
            return false;
        for (std::size_t e = 0; e + 128 <= static_cast<std::size_t>(n); e += 128) {
            const unsigned char *entry = block.data() + e;
            bool same = entry[64] == NameBytes && entry[65] == 0;
            for (std::size_t i = 0; same && i < NameBytes / 2; ++i)
                same = entry[2 * i] == (Name[i] & 0xFF) && entry[2 * i + 1] == (Name[i] >> 8);
            if (same)
                return true;
        }
    }
}

/// Why FreeXL could not open the workbook.
[[noreturn]] void refuseOpen(int fd, int code)
{
    if (holdsEncryptedPackage(fd))
        refuse("the workbook is encrypted (protected by a password): save it without one to read it");
    switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY: throw Failure(err::OutOfMemory);
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: refuse("not a workbook: an OLE compound file without a workbook stream");
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER: refuse("the workbook's texts are in a character set that cannot be read");
    case FREEXL_CRAFTED_FILE: refuse("the workbook is damaged (its records contradict each other)");
    default: break;
    }
    if (code <= FREEXL_INVALID_CFBF_HEADER && code >= FREEXL_CFBF_ILLEGAL_FAT_ENTRY)
        refuse("the workbook is damaged or cut short: its compound file structure is broken");
    refuse("the workbook is damaged: its BIFF records cannot be read (FreeXL error " + std::to_string(code) + ")");
}

/// A workbook opened by FreeXL, through the record's descriptor (so the file
/// read is the one opened, whatever is renamed meanwhile).
class Book {
public:
    explicit Book(int fd)
    {
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        const void *handle = nullptr;
        const int code = freexl_open(path.c_str(), &handle);
        m_handle.reset(handle); // closed even when the open failed
        if (code != FREEXL_OK)
            refuseOpen(fd, code);
        unsigned int password = 0;
        if (freexl_get_info(m_handle.get(), FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK && password == FREEXL_BIFF_OBFUSCATED)
            refuse("the workbook is encrypted (protected by a password): save it without one to read it");
        unsigned int count = 0;
        if (freexl_get_info(m_handle.get(), FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
            refuse("the workbook is damaged: it does not say how many sheets it has");
        for (unsigned short i = 0; i < count; ++i) {
            const char *name = nullptr;
            if (freexl_get_worksheet_name(m_handle.get(), i, &name) != FREEXL_OK || name == nullptr)
                refuse("the workbook is damaged: sheet " + std::to_string(i + 1) + " has no name");
            m_sheets.push_back({name, 0, 0});
        }
    }

    std::vector<SheetInfo> &sheets() { return m_sheets; }

    /// Makes sheet i the one read, and finds its extent.
    void select(std::size_t i)
    {
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(m_handle.get(), static_cast<unsigned short>(i)) != FREEXL_OK ||
            freexl_worksheet_dimensions(m_handle.get(), &rows, &columns) != FREEXL_OK)
            refuse("the workbook is damaged: its sheet '" + m_sheets[i].name + "' cannot be read");
        SheetInfo &sheet = m_sheets[i];
        sheet.rows = sheet.columns = 0;
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < columns; ++c)
                if (cell(r, c).type != FREEXL_CELL_NULL) {
                    sheet.rows = r + 1;
                    sheet.columns = std::max<long long>(sheet.columns, c + 1);
                }
    }

    FreeXL_CellValue cell(unsigned int row, unsigned short column) const
    {
        FreeXL_CellValue value{};
        if (freexl_get_cell_value(m_handle.get(), row, column, &value) != FREEXL_OK)
            value.type = FREEXL_CELL_NULL;
        return value;
    }

private:
    struct Close {
        void operator()(const void *handle) const { freexl_close(handle); }
    };
    std::unique_ptr<const void, Close> m_handle;
    std::vector<SheetInfo> m_sheets;
};

class XlsSheetLines : public LineSource {
public:
    XlsSheetLines(int fd, unsigned long long fileSize, const RecordConvention &convention) : m_book(fd)
    {
        const std::size_t chosen = chooseSheet(m_book.sheets(), convention.sheet);
        m_book.select(chosen);
        m_sheet = m_book.sheets()[chosen];
        m_writer = std::make_unique<sheet::RowWriter>(convention, m_sheet.columns, inflatedLimitFor(fileSize));
    }

    std::size_t read(unsigned char *to, std::size_t capacity) override
    {
        while (m_writer->pending() < capacity && m_row < m_sheet.rows)
            writeRow(static_cast<unsigned int>(m_row++));
        return m_writer->read(to, capacity);
    }

    void rewind() override
    {
        m_writer->restart();
        m_row = 0;
    }

private:
    void writeRow(unsigned int row)
    {
        m_writer->startRow(row + 1);
        for (unsigned short c = 0; c < m_sheet.columns; ++c) {
            const FreeXL_CellValue value = m_book.cell(row, c);
            char number[32];
            switch (value.type) {
            case FREEXL_CELL_INT: {
                const auto end = std::to_chars(number, number + sizeof number, value.value.int_value).ptr;
                m_writer->number(c + 1, std::string_view(number, static_cast<std::size_t>(end - number)));
                break;
            }
            case FREEXL_CELL_DOUBLE: {
                // The shortest text that reads back as the stored double.
                const auto end = std::to_chars(number, number + sizeof number, value.value.double_value).ptr;
                m_writer->number(c + 1, std::string_view(number, static_cast<std::size_t>(end - number)));
                break;
            }
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                m_writer->text(c + 1, value.value.text_value ? value.value.text_value : "");
                break;
            default: break;
            }
        }
        m_writer->endRow();
    }

    Book m_book;
    SheetInfo m_sheet;
    std::unique_ptr<sheet::RowWriter> m_writer;
    long long m_row = 0;
};

} // namespace

std::unique_ptr<LineSource> openXlsSheet(int fd, unsigned long long fileSize, const RecordConvention &convention)
{
    return std::make_unique<XlsSheetLines>(fd, fileSize, convention);
}

std::vector<SheetInfo> xlsSheets(int fd, bool extents)
{
    Book book(fd);
    if (extents)
        for (std::size_t i = 0; i < book.sheets().size(); ++i)
            book.select(i);
    return book.sheets();
}

} // namespace kov
