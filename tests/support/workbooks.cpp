#include "tests/support/workbooks.h"

#include <zip.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace kov::test {

namespace {

std::string xmlEscaped(const std::string &text)
{
    std::string out;
    for (const char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

std::string column(std::size_t c)
{
    std::string letters;
    for (std::size_t n = c + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

/// The kind letter of a cell ('n' for a plain number) and its text.
std::pair<char, std::string> kindOf(const std::string &cell)
{
    if (cell.size() >= 2 && cell[1] == ':' && std::string("sifbe").find(cell[0]) != std::string::npos)
        return {cell[0], cell.substr(2)};
    return {'n', cell};
}

constexpr const char *Main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char *Relations = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

} // namespace

std::map<std::string, std::string> xlsxParts(const std::vector<TestSheet> &sheets, bool references)
{
    std::map<std::string, std::string> parts;
    std::vector<std::string> strings;
    std::string types = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    std::string book = std::string("<workbook xmlns=\"") + Main + "\" xmlns:r=\"" + Relations + "\"><sheets>";
    std::string bookRels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        book += "<sheet name=\"" + xmlEscaped(sheets[i].name) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        bookRels += "<Relationship Id=\"rId" + n + "\" Type=\"" + Relations + "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<worksheet xmlns=\"") + Main + "\">";
        // The dimension a spreadsheet program states: up to the last cell that holds a value.
        std::size_t rows = 0, width = 0;
        for (std::size_t r = 0; r < sheets[i].rows.size(); ++r)
            for (std::size_t c = 0; c < sheets[i].rows[r].size(); ++c)
                if (!sheets[i].rows[r][c].empty()) {
                    rows = r + 1;
                    width = std::max(width, c + 1);
                }
        if (references && rows > 0)
            xml += "<dimension ref=\"A1:" + column(width - 1) + std::to_string(rows) + "\"/>";
        xml += "<sheetData>";
        for (std::size_t r = 0; r < sheets[i].rows.size(); ++r) {
            xml += references ? "<row r=\"" + std::to_string(r + 1) + "\">" : "<row>";
            const auto &cells = sheets[i].rows[r];
            for (std::size_t c = 0; c < cells.size(); ++c) {
                if (cells[c].empty() && references)
                    continue;
                const auto [kind, text] = kindOf(cells[c]);
                xml += "<c" + (references ? " r=\"" + column(c) + std::to_string(r + 1) + "\"" : std::string());
                if (cells[c].empty()) {
                    xml += "/>";
                } else if (kind == 's') {
                    xml += " t=\"s\"><v>" + std::to_string(strings.size()) + "</v></c>";
                    strings.push_back(text);
                } else if (kind == 'i') {
                    xml += " t=\"inlineStr\"><is><t>" + xmlEscaped(text) + "</t></is></c>";
                } else if (kind == 'f') {
                    xml += "><f>PI()*0+" + xmlEscaped(text) + "</f><v>" + text + "</v></c>";
                } else {
                    xml += std::string(kind == 'b' ? " t=\"b\"" : kind == 'e' ? " t=\"e\"" : "") + "><v>" + xmlEscaped(text) + "</v></c>";
                }
            }
            xml += "</row>";
        }
        parts["xl/worksheets/sheet" + n + ".xml"] = xml + "</sheetData></worksheet>";
        types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                 ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    std::string sst = std::string("<sst xmlns=\"") + Main + "\" count=\"" + std::to_string(strings.size()) + "\">";
    for (const std::string &s : strings)
        sst += "<si><t xml:space=\"preserve\">" + xmlEscaped(s) + "</t></si>";
    parts["xl/sharedStrings.xml"] = sst + "</sst>";
    bookRels += "<Relationship Id=\"rIdS\" Type=\"" + std::string(Relations) + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    parts["xl/workbook.xml"] = book + "</sheets></workbook>";
    parts["xl/_rels/workbook.xml.rels"] = bookRels + "</Relationships>";
    parts["_rels/.rels"] = std::string("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                       "<Relationship Id=\"rId1\" Type=\"") + Relations + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    parts["[Content_Types].xml"] = types + "</Types>";
    return parts;
}

std::string zipBytes(const std::map<std::string, std::string> &parts, bool encrypted)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (!archive)
        throw std::runtime_error("cannot make a ZIP archive");
    zip_source_keep(buffer);
    for (const auto &[name, bytes] : parts) {
        zip_source_t *part = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = part ? zip_file_add(archive, name.c_str(), part, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0 || (encrypted && zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, "secret") != 0))
            throw std::runtime_error("cannot add " + name);
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("cannot write the ZIP archive");
    zip_stat_t st;
    std::string out;
    if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
        out.resize(st.size);
        out.resize(static_cast<std::size_t>(std::max<zip_int64_t>(0, zip_source_read(buffer, out.data(), st.size))));
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

namespace {

void put16(std::string &out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string &out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void record(std::string &out, unsigned type, const std::string &data)
{
    put16(out, type);
    put16(out, static_cast<unsigned>(data.size()));
    out += data;
}

std::string bof(unsigned kind)
{
    std::string d;
    put16(d, 0x0600);
    put16(d, kind);
    put16(d, 0x0DBB);
    put16(d, 0x07CC);
    put32(d, 0);
    put32(d, 6);
    return d;
}

} // namespace

std::string xlsBytes(const std::vector<TestSheet> &sheets)
{
    // The shared strings, and each sheet's substream.
    std::vector<std::string> strings;
    std::vector<std::string> substreams;
    for (const TestSheet &sheet : sheets) {
        std::string s;
        record(s, 0x0809, bof(0x0010));
        std::size_t width = 0;
        for (const auto &row : sheet.rows)
            width = std::max(width, row.size());
        std::string dims;
        put32(dims, 0);
        put32(dims, static_cast<std::uint32_t>(sheet.rows.size()));
        put16(dims, 0);
        put16(dims, static_cast<unsigned>(width));
        put16(dims, 0);
        record(s, 0x0200, dims);
        for (std::size_t r = 0; r < sheet.rows.size(); ++r)
            for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
                if (sheet.rows[r][c].empty())
                    continue;
                const auto [kind, text] = kindOf(sheet.rows[r][c]);
                std::string d;
                put16(d, static_cast<unsigned>(r));
                put16(d, static_cast<unsigned>(c));
                put16(d, 15);
                if (kind == 'n' || kind == 'f') {
                    const auto bits = std::bit_cast<std::uint64_t>(std::stod(text));
                    put32(d, static_cast<std::uint32_t>(bits));
                    put32(d, static_cast<std::uint32_t>(bits >> 32));
                    record(s, 0x0203, d);
                } else if (kind == 'b') {
                    d += static_cast<char>(text == "1");
                    d += '\0';
                    record(s, 0x0205, d);
                } else {
                    put32(d, static_cast<std::uint32_t>(strings.size()));
                    strings.push_back(text);
                    record(s, 0x00FD, d);
                }
            }
        record(s, 0x000A, "");
        substreams.push_back(s);
    }
    // The globals: BOF, the code page, one sheet entry each, the strings.
    std::string sst;
    put32(sst, static_cast<std::uint32_t>(strings.size()));
    put32(sst, static_cast<std::uint32_t>(strings.size()));
    for (const std::string &s : strings) {
        put16(sst, static_cast<unsigned>(s.size()));
        sst += '\0';
        sst += s;
    }
    std::string tail;
    record(tail, 0x00FC, sst);
    record(tail, 0x000A, "");
    std::string head;
    record(head, 0x0809, bof(0x0005));
    std::string codepage;
    put16(codepage, 1252);
    record(head, 0x0042, codepage);
    std::size_t at = head.size() + tail.size();
    for (const TestSheet &sheet : sheets)
        at += 4 + 8 + sheet.name.size();
    std::string globals = head;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        std::string d;
        put32(d, static_cast<std::uint32_t>(at));
        d += '\0';
        d += '\0';
        d += static_cast<char>(sheets[i].name.size());
        d += '\0';
        d += sheets[i].name;
        record(globals, 0x0085, d);
        at += substreams[i].size();
    }
    std::string workbook = globals + tail;
    for (const std::string &s : substreams)
        workbook += s;
    return compoundFile({{"Workbook", workbook}});
}

std::string compoundFile(const std::map<std::string, std::string> &streams)
{
    constexpr std::uint32_t Free = 0xFFFFFFFF, End = 0xFFFFFFFE, FatSector = 0xFFFFFFFD;
    // Sector 0 the allocation table, 1 the directory, the streams after them.
    std::vector<std::uint32_t> fat = {FatSector, End};
    std::string data;
    std::string directory;
    auto entry = [&](const std::u16string &name, int type, std::uint32_t child, std::uint32_t right, std::uint32_t start,
                     std::size_t size) {
        std::string e(128, '\0');
        for (std::size_t i = 0; i < name.size(); ++i) {
            e[2 * i] = static_cast<char>(name[i] & 0xFF);
            e[2 * i + 1] = static_cast<char>(name[i] >> 8);
        }
        const std::size_t length = name.empty() ? 0 : 2 * (name.size() + 1);
        e[64] = static_cast<char>(length);
        e[66] = static_cast<char>(type);
        e[67] = 1;
        std::string links;
        put32(links, Free); // left
        put32(links, right);
        put32(links, child);
        e.replace(68, 12, links);
        std::string tail;
        put32(tail, start);
        put32(tail, static_cast<std::uint32_t>(size));
        e.replace(116, 8, tail);
        directory += e;
    };
    // Siblings in the directory's order: shorter names first, then by name.
    std::vector<std::pair<std::string, std::string>> ordered(streams.begin(), streams.end());
    std::sort(ordered.begin(), ordered.end(),
              [](const auto &a, const auto &b) { return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first; });
    entry(u"Root Entry", 5, ordered.empty() ? Free : 1, Free, End, 0);
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        std::string bytes = ordered[i].second;
        bytes.resize(std::max<std::size_t>(bytes.size(), 4096), '\0');
        bytes.resize((bytes.size() + 511) / 512 * 512, '\0');
        const auto start = static_cast<std::uint32_t>(fat.size());
        const std::size_t sectors = bytes.size() / 512;
        for (std::size_t k = 0; k < sectors; ++k)
            fat.push_back(k + 1 == sectors ? End : static_cast<std::uint32_t>(fat.size() + 1));
        data += bytes;
        const std::u16string name(ordered[i].first.begin(), ordered[i].first.end());
        entry(name, 2, Free, i + 1 < ordered.size() ? static_cast<std::uint32_t>(i + 2) : Free, start,
              std::max<std::size_t>(ordered[i].second.size(), 4096));
    }
    if (fat.size() > 128 || directory.size() > 512)
        throw std::runtime_error("a compound file too large for one allocation sector");
    directory.resize(512, '\0');
    fat.resize(128, Free);
    std::string header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header.append(16, '\0');
    put16(header, 0x003E);
    put16(header, 0x0003);
    put16(header, 0xFFFE);
    put16(header, 9);
    put16(header, 6);
    header.append(6, '\0');
    put32(header, 0);     // directory sectors (none counted in version 3)
    put32(header, 1);     // allocation sectors
    put32(header, 1);     // first directory sector
    put32(header, 0);
    put32(header, 4096);  // the mini stream's cutoff
    put32(header, End);   // no mini allocation table
    put32(header, 0);
    put32(header, End);   // no further allocation sectors
    put32(header, 0);
    put32(header, 0);     // the allocation table in sector 0
    while (header.size() < 512)
        put32(header, Free);
    std::string table;
    for (const std::uint32_t v : fat)
        put32(table, v);
    return header + table + directory + data;
}

std::string csvText(const TestSheet &sheet)
{
    std::size_t width = 0, rows = 0;
    for (std::size_t r = 0; r < sheet.rows.size(); ++r)
        for (std::size_t c = 0; c < sheet.rows[r].size(); ++c)
            if (!sheet.rows[r][c].empty()) {
                width = std::max(width, c + 1);
                rows = r + 1;
            }
    std::string text;
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < width; ++c) {
            const std::string cell = c < sheet.rows[r].size() ? sheet.rows[r][c] : "";
            const auto [kind, value] = kindOf(cell);
            text += (c ? "," : "") + (kind == 'b' ? (value == "1" ? std::string("TRUE") : "FALSE") : value);
        }
        text += '\n';
    }
    return text;
}

} // namespace kov::test
