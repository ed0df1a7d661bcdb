// libFuzzer harness: the .xlsx reader (libzip, expat and the sheet's lines)
// under the header finder and the test record reader, on arbitrary bytes.
//
// The first byte chooses what the rest is:
//   bit 0 clear  the file itself (a ZIP archive, or anything)
//   bit 0 set    the parts of a workbook separated by NUL bytes, put into a
//                ZIP archive: the sheet, its shared strings, and the
//                workbook part (a standard one when absent)
//   bit 1        decimal commas
//   bits 2-3     the sheet chosen: the first, "2", "Data", "x"
// Only kov::Failure may come out of the reader; anything else is a finding.

#include "core/reader/recordlayout.h"
#include "core/reader/testrecord.h"
#include "core/state/failure.h"

#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace {

const std::string &scratchPath()
{
    static const std::string path = [] {
        const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/kov-fuzz-workbook-" + std::to_string(getpid()) + ".xlsx";
    }();
    return path;
}

void writeScratch(std::string_view bytes)
{
    std::FILE *f = std::fopen(scratchPath().c_str(), "wb");
    if (!f || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()))
        std::abort();
    std::fclose(f);
}

/// A ZIP archive of the parts, stored without compression.
std::string archive(const std::map<std::string, std::string> &parts)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *zip = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!zip)
        std::abort();
    zip_source_keep(buffer);
    for (const auto &[name, bytes] : parts) {
        zip_source_t *part = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = zip_file_add(zip, name.c_str(), part, 0);
        if (index < 0)
            std::abort();
        zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(zip) != 0)
        std::abort();
    zip_stat_t st;
    std::string out;
    if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
        out.resize(st.size);
        if (zip_source_read(buffer, out.data(), st.size) != static_cast<zip_int64_t>(st.size))
            std::abort();
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

std::string workbookOf(std::string_view rest)
{
    std::vector<std::string> pieces;
    for (std::size_t at = 0; pieces.size() < 3;) {
        const std::size_t end = std::min(rest.find('\0', at), rest.size());
        pieces.emplace_back(rest.substr(at, end - at));
        if (end >= rest.size())
            break;
        at = end + 1;
    }
    const std::string ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::map<std::string, std::string> parts = {
        {"_rels/.rels", "<Relationships><Relationship Id=\"r\" Type=\"" + ns +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships><Relationship Id=\"a\" Type=\"" + ns + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
         "<Relationship Id=\"b\" Type=\"" + ns + "/worksheet\" Target=\"/xl/worksheets/sheet2.xml\"/>"
         "<Relationship Id=\"s\" Type=\"" + ns + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook><sheets><sheet name=\"Data\" r:id=\"a\"/><sheet name=\"x\" r:id=\"b\"/></sheets></workbook>"},
        {"xl/worksheets/sheet1.xml", pieces[0]},
        {"xl/worksheets/sheet2.xml", pieces[0]},
    };
    if (pieces.size() > 1)
        parts["xl/sharedStrings.xml"] = pieces[1];
    if (pieces.size() > 2)
        parts["xl/workbook.xml"] = pieces[2];
    return archive(parts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    const std::string_view rest(reinterpret_cast<const char *>(data + 1), size - 1);
    // .xls goes to FreeXL, which this harness is not about.
    if (!(mode & 1) && rest.starts_with("\xD0\xCF\x11\xE0"))
        return 0;
    writeScratch(mode & 1 ? workbookOf(rest) : std::string(rest));
    static const char *const Sheets[] = {"", "2", "Data", "x"};
    const kov::RecordConvention convention{.decimalComma = (mode & 2) != 0, .workbooks = true, .sheet = Sheets[(mode >> 2) & 3]};
    try {
        (void)kov::RecordFile(scratchPath()).workbookSheets(true);
    } catch (const kov::Failure &) {
    }
    int skip = 0;
    try {
        skip = static_cast<int>(kov::readLayout(scratchPath(), -1, convention).header.size());
    } catch (const kov::Failure &) {
    }
    auto state = std::make_unique<kov::SharedState>();
    state->DataFileName = scratchPath();
    state->SkipLines = static_cast<std::int16_t>(skip);
    state->XColumn = 1;
    state->YColumn = 2;
    state->setLimits(kov::RecordLimits);
    try {
        kov::LoadTestRecord(*state, convention, nullptr);
    } catch (const kov::Failure &) {
    }
    return 0;
}
