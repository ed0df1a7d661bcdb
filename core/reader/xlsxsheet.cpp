// The sheets of an Office Open XML workbook, read as they are unpacked:
// libzip inflates a part a chunk at a time and expat parses each chunk, so
// that a sheet of any length is read in bounded memory.

#include "core/reader/sheetlines.h"
#include "core/reader/workbook.h"
#include "core/state/failure.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace kov {

namespace {

using sheet::cellName;
using sheet::refuse;

/// The functions of libzip that the reader calls.
#define KOV_LIBZIP_FUNCTIONS(F) F(zip_discard) F(zip_error_code_zip) F(zip_error_fini) F(zip_error_init_with_code) F(zip_error_strerror) F(zip_fclose) F(zip_fdopen) F(zip_file_get_error) F(zip_fopen_index) F(zip_fread) F(zip_get_error) F(zip_name_locate) F(zip_stat_index) F(zip_stat_init)

/// libzip, loaded when the first workbook is read rather than linked: with
/// the libraries it links (a cryptographic one among them) it would add
/// about 1 ms to the start of every kov-batch call, most of which read no
/// workbook.
struct LibZip {
#define KOV_LIBZIP_FUNCTION(name) decltype(&::name) name = nullptr;
    KOV_LIBZIP_FUNCTIONS(KOV_LIBZIP_FUNCTION)
#undef KOV_LIBZIP_FUNCTION
};

const LibZip &libzip()
{
    static const LibZip api = [] {
        LibZip functions;
        void *library = ::dlopen(KOV_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return functions;
#define KOV_LIBZIP_FUNCTION(name) functions.name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name));
        KOV_LIBZIP_FUNCTIONS(KOV_LIBZIP_FUNCTION)
#undef KOV_LIBZIP_FUNCTION
        return functions;
    }();
#define KOV_LIBZIP_FUNCTION(name) &&api.name
    if (!(true KOV_LIBZIP_FUNCTIONS(KOV_LIBZIP_FUNCTION)))
        refuse("it cannot be unpacked: the library " KOV_LIBZIP_SONAME " (package libzip4) cannot be loaded");
#undef KOV_LIBZIP_FUNCTION
    return api;
}

[[noreturn]] void refuseEncrypted()
{
    refuse("the workbook is encrypted (protected by a password): save it without one to read it");
}

[[noreturn]] void refuseBomb(const std::string &what, unsigned long long limit)
{
    refuse(what + " would unpack into more than " + std::to_string(limit) +
           " bytes, more than a workbook of this size may (" + std::to_string(WorkbookLimits::InflationRatio) +
           " times its size, at most " + std::to_string(WorkbookLimits::InflatedLimit >> 30) +
           " GiB): refused as a ZIP bomb");
}

/// Why libzip could not open the archive or one of its parts.
[[noreturn]] void refuseZip(int code, const std::string &part)
{
    const std::string where = part.empty() ? "" : " (part " + part + ")";
    switch (code) {
    case ZIP_ER_MEMORY: throw Failure(err::OutOfMemory);
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP: refuseEncrypted();
    case ZIP_ER_NOZIP: refuse("the workbook is damaged or cut short: it begins as a ZIP archive but has no ZIP directory");
    case ZIP_ER_INCONS: refuse("the workbook is damaged: its ZIP archive is inconsistent" + where);
    case ZIP_ER_CRC: refuse("the workbook is damaged: a part fails its checksum" + where);
    case ZIP_ER_COMPNOTSUPP: refuse("a part of the workbook is compressed by a method that cannot be unpacked" + where);
    default: {
        zip_error_t error;
        libzip().zip_error_init_with_code(&error, code);
        const std::string text = libzip().zip_error_strerror(&error);
        libzip().zip_error_fini(&error);
        refuse("the workbook is damaged or cut short: " + text + where);
    }
    }
}

/// A ZIP archive opened on a copy of the record's descriptor, and the bytes
/// each part of it may unpack into.
class Archive {
public:
    Archive(int fd, unsigned long long fileSize) : m_limit(inflatedLimitFor(fileSize))
    {
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0)
            throw Failure(errorNumberOfErrno(errno, err::DeviceIO));
        int code = 0;
        m_zip = libzip().zip_fdopen(copy, ZIP_CHECKCONS, &code);
        if (m_zip == nullptr) {
            ::close(copy);
            refuseZip(code, "");
        }
    }
    ~Archive() { libzip().zip_discard(m_zip); }
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    /// The index of the part named name (the names of parts ignore case).
    std::optional<zip_uint64_t> find(const std::string &name) const
    {
        const zip_int64_t index = libzip().zip_name_locate(m_zip, name.c_str(), ZIP_FL_NOCASE);
        return index < 0 ? std::nullopt : std::optional<zip_uint64_t>(static_cast<zip_uint64_t>(index));
    }

    zip_t *zip() const { return m_zip; }
    unsigned long long limit() const { return m_limit; }

private:
    zip_t *m_zip = nullptr;
    unsigned long long m_limit;
};

/// One part of the archive, inflated as it is read, within the archive's bound.
class Part {
public:
    Part(const Archive &archive, const std::string &name) : m_name(name), m_limit(archive.limit())
    {
        const std::optional<zip_uint64_t> index = archive.find(name);
        if (!index)
            refuse("the workbook is damaged: it lists the part " + name + " but does not hold it");
        zip_stat_t st;
        libzip().zip_stat_init(&st);
        if (libzip().zip_stat_index(archive.zip(), *index, 0, &st) != 0)
            refuseZip(libzip().zip_error_code_zip(libzip().zip_get_error(archive.zip())), name);
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            refuseEncrypted();
        if ((st.valid & ZIP_STAT_SIZE) && st.size > m_limit)
            refuseBomb("the part " + name, m_limit);
        m_file = libzip().zip_fopen_index(archive.zip(), *index, 0);
        if (m_file == nullptr)
            refuseZip(libzip().zip_error_code_zip(libzip().zip_get_error(archive.zip())), name);
    }
    ~Part() { libzip().zip_fclose(m_file); }
    Part(const Part &) = delete;
    Part &operator=(const Part &) = delete;

    /// Up to count bytes of the part; 0 at its end.
    std::size_t read(void *to, std::size_t count)
    {
        const zip_int64_t n = libzip().zip_fread(m_file, to, count);
        if (n < 0)
            refuseZip(libzip().zip_error_code_zip(libzip().zip_file_get_error(m_file)), m_name);
        m_read += static_cast<unsigned long long>(n);
        if (m_read > m_limit)
            refuseBomb("the part " + m_name, m_limit);
        return static_cast<std::size_t>(n);
    }

    const std::string &name() const { return m_name; }

private:
    std::string m_name;
    unsigned long long m_limit;
    unsigned long long m_read = 0;
    zip_file_t *m_file = nullptr;
};

/// A name without its namespace prefix ("x:row" is row).
std::string_view localName(const XML_Char *name)
{
    const std::string_view text(name);
    const std::size_t colon = text.rfind(':');
    return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

/// The value of the attribute of that local name, or nullptr.
const char *attribute(const XML_Char **attributes, std::string_view name)
{
    for (; *attributes != nullptr; attributes += 2)
        if (localName(attributes[0]) == name)
            return attributes[1];
    return nullptr;
}

/// What a part's elements say, as the parser meets them.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void start(std::string_view name, const XML_Char **attributes) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void characters(std::string_view) {}
};

/// Parses one part with expat, a chunk at a time. A document type
/// declaration is refused at its start, so no entity is ever declared, let
/// alone expanded. Failures inside the handlers stop the parser and are
/// thrown from parseSome, never through expat.
class PartParser {
public:
    PartParser(const Archive &archive, const std::string &name, XmlHandler &handler)
        : m_part(archive, name), m_handler(handler), m_parser(XML_ParserCreate(nullptr))
    {
        if (m_parser == nullptr)
            throw Failure(err::OutOfMemory);
        XML_SetUserData(m_parser, this);
        XML_SetElementHandler(m_parser, onStart, onEnd);
        XML_SetCharacterDataHandler(m_parser, onCharacters);
        XML_SetStartDoctypeDeclHandler(m_parser, onDoctype);
        XML_SetEntityDeclHandler(m_parser, onEntity);
        XML_SetParamEntityParsing(m_parser, XML_PARAM_ENTITY_PARSING_NEVER);
    }
    ~PartParser() { XML_ParserFree(m_parser); }
    PartParser(const PartParser &) = delete;
    PartParser &operator=(const PartParser &) = delete;

    /// Parses on until the part ends (false) or the handler pauses (true).
    bool parseSome()
    {
        if (m_suspended) {
            m_suspended = false;
            if (checked(XML_ResumeParser(m_parser)))
                return true;
        }
        while (!m_final) {
            constexpr int ChunkSize = 65536;
            void *buffer = XML_GetBuffer(m_parser, ChunkSize);
            if (buffer == nullptr)
                throw Failure(err::OutOfMemory);
            const std::size_t n = m_part.read(buffer, ChunkSize);
            m_final = n == 0;
            if (checked(XML_ParseBuffer(m_parser, static_cast<int>(n), m_final)))
                return true;
        }
        return false;
    }

    /// Stops parsing after the current element, until parseSome is called again.
    void pause()
    {
        XML_ParsingStatus status;
        XML_GetParsingStatus(m_parser, &status);
        if (status.parsing == XML_PARSING)
            XML_StopParser(m_parser, XML_TRUE);
    }

private:
    /// True when the parser was paused; throws when it failed.
    bool checked(XML_Status status)
    {
        if (m_failure)
            std::rethrow_exception(m_failure);
        if (status == XML_STATUS_SUSPENDED) {
            m_suspended = true;
            return true;
        }
        if (status == XML_STATUS_ERROR)
            refuse("the workbook is damaged: its part " + m_part.name() + " is not well-formed XML (line " +
                   std::to_string(XML_GetCurrentLineNumber(m_parser)) + ": " +
                   XML_ErrorString(XML_GetErrorCode(m_parser)) + ")");
        return false;
    }

    void fail(std::exception_ptr failure)
    {
        if (!m_failure)
            m_failure = std::move(failure);
        XML_StopParser(m_parser, XML_FALSE);
    }

    template <typename Body>
    static void guarded(void *self, Body body)
    {
        auto &parser = *static_cast<PartParser *>(self);
        if (parser.m_failure)
            return;
        try {
            body(parser.m_handler);
        } catch (...) {
            parser.fail(std::current_exception());
        }
    }

    static void XMLCALL onStart(void *self, const XML_Char *name, const XML_Char **attributes)
    {
        guarded(self, [&](XmlHandler &h) { h.start(localName(name), attributes); });
    }
    static void XMLCALL onEnd(void *self, const XML_Char *name)
    {
        guarded(self, [&](XmlHandler &h) { h.end(localName(name)); });
    }
    static void XMLCALL onCharacters(void *self, const XML_Char *text, int length)
    {
        guarded(self, [&](XmlHandler &h) { h.characters(std::string_view(text, static_cast<std::size_t>(length))); });
    }
    static void XMLCALL onDoctype(void *self, const XML_Char *, const XML_Char *, const XML_Char *, int)
    {
        refuseDeclarations(self);
    }
    static void XMLCALL onEntity(void *self, const XML_Char *, int, const XML_Char *, int, const XML_Char *,
                                 const XML_Char *, const XML_Char *, const XML_Char *)
    {
        refuseDeclarations(self);
    }
    static void refuseDeclarations(void *self)
    {
        auto &parser = *static_cast<PartParser *>(self);
        parser.fail(std::make_exception_ptr(
            Failure(err::BadFileFormat, "the workbook's part " + parser.m_part.name() +
                                            " holds a document type declaration, where entities are declared: "
                                            "such XML is refused, its entities never expanded")));
    }

    Part m_part;
    XmlHandler &m_handler;
    XML_Parser m_parser;
    std::exception_ptr m_failure;
    bool m_suspended = false;
    bool m_final = false;
};

/// Parses a whole part.
void parsePart(const Archive &archive, const std::string &name, XmlHandler &handler)
{
    PartParser parser(archive, name, handler);
    while (parser.parseSome()) {
    }
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

/// The part a relationship of the part source targets: from the archive's
/// root when the target begins with a slash, else from the source's folder.
std::string partPath(const std::string &source, const std::string &target)
{
    const std::string path = target.starts_with('/') ? target.substr(1) : source.substr(0, source.rfind('/') + 1) + target;
    std::vector<std::string> segments;
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t slash = std::min(path.find('/', at), path.size());
        const std::string segment = path.substr(at, slash - at);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        at = slash + 1;
    }
    std::string joined;
    for (const std::string &s : segments)
        joined += (joined.empty() ? "" : "/") + s;
    return joined;
}

struct Relationship {
    std::string id;
    std::string type;
    std::string target;
};

class RelationshipsHandler : public XmlHandler {
public:
    void start(std::string_view name, const XML_Char **attributes) override
    {
        if (name != "Relationship")
            return;
        const char *id = attribute(attributes, "Id");
        const char *type = attribute(attributes, "Type");
        const char *target = attribute(attributes, "Target");
        const char *mode = attribute(attributes, "TargetMode");
        if (id && type && target && !(mode && std::string_view(mode) == "External"))
            relationships.push_back({id, type, target});
    }
    void end(std::string_view) override {}

    std::vector<Relationship> relationships;
};

/// The relationships of the part source ("" the archive's root); none
/// when it has no relationships part.
std::vector<Relationship> relationshipsOf(const Archive &archive, const std::string &source)
{
    const std::size_t slash = source.rfind('/') + 1;
    const std::string name = source.substr(0, slash) + "_rels/" + source.substr(slash) + ".rels";
    if (!archive.find(name))
        return {};
    RelationshipsHandler handler;
    parsePart(archive, name, handler);
    return std::move(handler.relationships);
}

class WorkbookHandler : public XmlHandler {
public:
    void start(std::string_view name, const XML_Char **attributes) override
    {
        if (name != "sheet")
            return;
        const char *sheetName = attribute(attributes, "name");
        const char *id = attribute(attributes, "id");
        if (!sheetName || !id)
            refuse("the workbook is damaged: a sheet of it has no name or no part");
        sheets.emplace_back(sheetName, id);
    }
    void end(std::string_view) override {}

    std::vector<std::pair<std::string, std::string>> sheets; ///< name and relationship
};

/// What the workbook part says: its worksheets (chart sheets aside) with
/// their parts, and the part of its shared strings ("" none).
struct Workbook {
    std::vector<SheetInfo> sheets;
    std::vector<std::string> parts;
    std::string sharedStrings;
};

Workbook readWorkbook(const Archive &archive)
{
    std::string main = "xl/workbook.xml";
    for (const Relationship &r : relationshipsOf(archive, ""))
        if (endsWith(r.type, "/officeDocument"))
            main = partPath("", r.target);
    if (!archive.find(main))
        refuse("not a workbook: a ZIP archive without a workbook part");
    WorkbookHandler handler;
    parsePart(archive, main, handler);
    const std::vector<Relationship> relationships = relationshipsOf(archive, main);
    Workbook book;
    for (const Relationship &r : relationships)
        if (endsWith(r.type, "/sharedStrings"))
            book.sharedStrings = partPath(main, r.target);
    for (const auto &sheet : handler.sheets) {
        const std::string &name = sheet.first, &id = sheet.second;
        const auto r = std::find_if(relationships.begin(), relationships.end(), [&](const Relationship &x) { return x.id == id; });
        if (r == relationships.end())
            refuse("the workbook is damaged: its sheet '" + name + "' has no part");
        if (!endsWith(r->type, "/worksheet"))
            continue;
        book.sheets.push_back({name, 0, 0});
        book.parts.push_back(partPath(main, r->target));
    }
    return book;
}

/// Counts the characters of a cell's text as it grows, and refuses a text
/// longer than a cell may hold.
class TextLength {
public:
    /// Counts bytes; where() names the cell when it holds too much.
    template <typename Where>
    void add(std::string_view bytes, Where where)
    {
        for (const char c : bytes)
            m_characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (m_characters > WorkbookLimits::CellTextLimit)
            refuse(where() + " holds a text of more than " + std::to_string(WorkbookLimits::CellTextLimit) +
                   " characters, more than a cell may");
    }
    void reset() { m_characters = 0; }

private:
    std::size_t m_characters = 0;
};

/// The workbook's shared strings, one after the other in one block.
class StringTable {
public:
    std::size_t size() const { return m_ends.size(); }
    std::string_view at(std::size_t i) const
    {
        const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
        return std::string_view(m_bytes).substr(begin, m_ends[i] - begin);
    }
    void append(std::string_view text) { m_bytes += text; }
    void endString() { m_ends.push_back(m_bytes.size()); }

private:
    std::string m_bytes;
    std::vector<std::size_t> m_ends;
};

/// The text of a string item: its text elements (of its runs, when it has
/// several), without the phonetic readings (rPh) that some add.
class StringItem {
public:
    void start(std::string_view name)
    {
        if (name == "t")
            m_inText = true;
        else if (name == "rPh")
            ++m_phonetic;
    }
    void end(std::string_view name)
    {
        if (name == "t")
            m_inText = false;
        else if (name == "rPh")
            --m_phonetic;
    }
    /// Character data here is the item's text.
    bool takes() const { return m_inText && m_phonetic == 0; }
    void reset() { m_inText = false, m_phonetic = 0; }

private:
    bool m_inText = false;
    int m_phonetic = 0;
};

class SharedStringsHandler : public XmlHandler {
public:
    explicit SharedStringsHandler(StringTable &table) : m_table(table) {}
    void start(std::string_view name, const XML_Char **) override
    {
        if (name == "si") {
            m_inItem = true;
            m_item.reset();
            m_length.reset();
        } else if (m_inItem) {
            m_item.start(name);
        }
    }
    void end(std::string_view name) override
    {
        if (name == "si") {
            m_table.endString();
            m_inItem = false;
        } else if (m_inItem) {
            m_item.end(name);
        }
    }
    void characters(std::string_view text) override
    {
        if (m_inItem && m_item.takes()) {
            m_length.add(text, [&] { return "shared string " + std::to_string(m_table.size()); });
            m_table.append(text);
        }
    }

private:
    StringTable &m_table;
    StringItem m_item;
    TextLength m_length;
    bool m_inItem = false;
};

/// A whole number of at most digits digits, or -1.
long long wholeNumber(std::string_view text, std::size_t digits = 9)
{
    if (text.empty() || text.size() > digits)
        return -1;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

/// The last row and column of a dimension such as "A1:D33002"; 0 and 0
/// when it states a single cell or cannot be read.
std::pair<long long, long long> statedEnd(std::string_view reference)
{
    const std::size_t colon = reference.find(':');
    if (colon == std::string_view::npos)
        return {0, 0};
    const std::string_view last = reference.substr(colon + 1);
    std::size_t i = 0;
    long long column = 0;
    for (; i < last.size() && i < 3 && last[i] >= 'A' && last[i] <= 'Z'; ++i)
        column = column * 26 + (last[i] - 'A' + 1);
    const long long row = wholeNumber(last.substr(i), 7);
    if (i == 0 || row <= 0 || column > WorkbookLimits::MaxColumns || row > WorkbookLimits::MaxRows || (row == 1 && column == 1))
        return {0, 0};
    return {row, column};
}

/// Follows a sheet's rows and cells: in a pass that finds its extent, or in
/// one that writes its lines. Rows and the cells within a row must come in
/// increasing order, as every spreadsheet program writes them; a row or
/// cell without its number follows the one before it.
class SheetHandler : public XmlHandler {
public:
    /// strings: the shared strings (nullptr: not checked, in a pass that
    /// only finds the extent); writer: where the lines go (nullptr: the
    /// extent is found), for a sheet of columns columns (a cell beyond them
    /// is refused) stated by dimension.
    SheetHandler(const StringTable *strings, sheet::RowWriter *writer, long long columns = 0, std::string dimension = {})
        : m_strings(strings), m_writer(writer), m_width(columns), m_dimension(std::move(dimension))
    {
    }

    /// parser pauses when the writer has lines enough, or at the start of
    /// the cells with atData.
    void pauseWith(PartParser *parser, bool atData = false)
    {
        m_parser = parser;
        m_pauseAtData = atData;
    }

    /// The sheet's dimension before its cells, when it states more than one cell.
    const std::string &dimension() const { return m_dimension; }
    std::pair<long long, long long> dimensionEnd() const { return statedEnd(m_dimension); }

    void start(std::string_view name, const XML_Char **attributes) override
    {
        if (name == "dimension" && !m_inData) {
            const char *reference = attribute(attributes, "ref");
            m_dimension = reference ? reference : "";
        } else if (name == "sheetData") {
            m_inData = true;
            if (m_pauseAtData)
                m_parser->pause();
        } else if (!m_inData) {
        } else if (name == "row") {
            startRow(attribute(attributes, "r"));
        } else if (name == "c" && m_inRow) {
            startCell(attribute(attributes, "r"), attribute(attributes, "t"));
        } else if (!m_inCell) {
        } else if (name == "v") {
            m_inValue = true;
        } else if (name == "is") {
            m_inInline = true;
            m_item.reset();
        } else if (m_inInline) {
            m_item.start(name);
        }
    }

    void end(std::string_view name) override
    {
        if (name == "sheetData") {
            m_inData = false;
        } else if (!m_inData) {
        } else if (name == "row" && m_inRow) {
            m_inRow = false;
            if (m_writer) {
                m_writer->endRow();
                if (m_parser && m_writer->pending() >= PauseAt)
                    m_parser->pause();
            }
        } else if (name == "c" && m_inCell) {
            endCell();
        } else if (name == "v") {
            m_inValue = false;
        } else if (name == "is") {
            m_inInline = false;
        } else if (m_inInline) {
            m_item.end(name);
        }
    }

    void characters(std::string_view text) override
    {
        if (m_inCell && (m_inValue || (m_inInline && m_item.takes()))) {
            m_length.add(text, [&] { return "cell " + cellName(m_row, m_column); });
            m_value += text;
        }
    }

    long long rows() const { return m_lastRow; }
    long long columns() const { return m_lastColumn; }

private:
    /// Lines made ahead of what was read before the parser pauses.
    static constexpr std::size_t PauseAt = 65536;

    /// what: "the cell reference XFE1", "row 1048577".
    [[noreturn]] static void beyondLimits(const std::string &what)
    {
        refuse(what + " lies beyond a sheet's limits (" +
               cellName(WorkbookLimits::MaxRows, WorkbookLimits::MaxColumns) + ")");
    }

    void startRow(const char *number)
    {
        long long row = m_row + 1;
        if (number) {
            row = wholeNumber(number);
            if (row > WorkbookLimits::MaxRows || (row < 0 && wholeNumber(number, 30) >= 0))
                beyondLimits(std::string("row ") + number);
            if (row <= 0)
                refuse("the workbook is damaged: a row is numbered '" + std::string(number) + "'");
        }
        if (row > WorkbookLimits::MaxRows)
            beyondLimits("row " + std::to_string(row));
        if (row <= m_row)
            refuse("the workbook is damaged: row " + std::to_string(row) + " comes after row " + std::to_string(m_row));
        m_row = row;
        m_column = 0;
        m_inRow = true;
        if (m_writer)
            m_writer->startRow(row);
    }

    /// The column (from 1) of a cell reference such as "AB12".
    static long long columnOf(std::string_view reference)
    {
        std::size_t i = 0;
        long long column = 0;
        for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z'; ++i) {
            column = column * 26 + (reference[i] - 'A' + 1);
            if (column > WorkbookLimits::MaxColumns)
                beyondLimits("the cell reference " + std::string(reference));
        }
        const std::string_view digits = reference.substr(i);
        const long long row = wholeNumber(digits, 30);
        if (i == 0 || row <= 0)
            refuse("the workbook is damaged: a cell is named '" + std::string(reference) + "'");
        if (digits.size() > 7 || row > WorkbookLimits::MaxRows)
            beyondLimits("the cell reference " + std::string(reference));
        return column;
    }

    void startCell(const char *reference, const char *type)
    {
        const long long column = reference ? columnOf(reference) : m_column + 1;
        if (column > WorkbookLimits::MaxColumns)
            beyondLimits("cell " + cellName(m_row, column));
        if (column <= m_column)
            refuse("the workbook is damaged: cell " + cellName(m_row, column) + " comes after cell " +
                   cellName(m_row, m_column));
        m_column = column;
        m_type = type ? type : "n";
        m_value.clear();
        m_length.reset();
        m_inCell = true;
        m_inValue = m_inInline = false;
    }

    void endCell()
    {
        m_inCell = false;
        if (m_value.empty())
            return;
        if (!m_writer) {
            m_lastRow = m_row;
            m_lastColumn = std::max(m_lastColumn, m_column);
            if (m_type == "s")
                sharedString();
            return;
        }
        if (m_column > m_width)
            refuse("the workbook is damaged: cell " + cellName(m_row, m_column) + " lies beyond the sheet's dimension " +
                   m_dimension);
        if (m_type == "s")
            m_writer->text(m_column, sharedString());
        else if (m_type == "b" && (m_value == "0" || m_value == "1"))
            m_writer->text(m_column, m_value == "1" ? "TRUE" : "FALSE");
        else if (m_type == "n")
            m_writer->number(m_column, m_value);
        else // a string, a formula's string, an error, a date as text
            m_writer->text(m_column, m_value);
    }

    std::string_view sharedString() const
    {
        if (!m_strings)
            return {};
        const long long index = wholeNumber(m_value, 10);
        if (index < 0 || static_cast<unsigned long long>(index) >= m_strings->size())
            refuse("the workbook is damaged: cell " + cellName(m_row, m_column) + " refers to shared string " +
                   m_value + ", but the workbook holds " + std::to_string(m_strings->size()));
        return m_strings->at(static_cast<std::size_t>(index));
    }

    const StringTable *m_strings;
    sheet::RowWriter *m_writer;
    const long long m_width;
    std::string m_dimension;
    PartParser *m_parser = nullptr;
    bool m_pauseAtData = false;
    bool m_inData = false;
    bool m_inRow = false;
    bool m_inCell = false;
    bool m_inValue = false;
    bool m_inInline = false;
    StringItem m_item;
    TextLength m_length;
    long long m_row = 0;
    long long m_column = 0;
    std::string m_type;
    std::string m_value;
    long long m_lastRow = 0;
    long long m_lastColumn = 0;
};

/// The extent of a sheet: as the dimension before its cells states it (as
/// spreadsheet programs write it), else found by a pass over its cells.
/// Sets dimension to the one it states ("" none).
SheetInfo extentOf(const Archive &archive, const std::string &part, const StringTable *strings, SheetInfo sheet,
                   std::string &dimension)
{
    SheetHandler head(nullptr, nullptr);
    {
        PartParser parser(archive, part, head);
        head.pauseWith(&parser, true);
        parser.parseSome();
    }
    if (const auto [rows, columns] = head.dimensionEnd(); columns > 0) {
        dimension = head.dimension();
        sheet.rows = rows;
        sheet.columns = columns;
        return sheet;
    }
    dimension.clear();
    SheetHandler handler(strings, nullptr);
    parsePart(archive, part, handler);
    sheet.rows = handler.rows();
    sheet.columns = handler.columns();
    return sheet;
}

class XlsxSheetLines : public LineSource {
public:
    XlsxSheetLines(int fd, unsigned long long fileSize, const RecordConvention &convention)
        : m_archive(fd, fileSize)
    {
        const Workbook book = readWorkbook(m_archive);
        const std::size_t chosen = chooseSheet(book.sheets, convention.sheet);
        m_part = book.parts[chosen];
        if (!m_archive.find(m_part))
            refuse("the workbook is damaged: it lists the sheet '" + book.sheets[chosen].name + "' but does not hold its part " + m_part);
        if (!book.sharedStrings.empty() && m_archive.find(book.sharedStrings)) {
            SharedStringsHandler handler(m_strings);
            parsePart(m_archive, book.sharedStrings, handler);
        }
        // The lines have as many fields as the sheet has columns.
        const SheetInfo extent = extentOf(m_archive, m_part, &m_strings, book.sheets[chosen], m_dimension);
        m_columns = extent.columns;
        m_writer = std::make_unique<sheet::RowWriter>(convention, m_columns, m_archive.limit());
        start();
    }

    std::size_t read(unsigned char *to, std::size_t capacity) override
    {
        while (m_parser && m_writer->pending() < capacity)
            if (!m_parser->parseSome())
                m_parser.reset();
        return m_writer->read(to, capacity);
    }

    void rewind() override
    {
        m_parser.reset();
        m_writer->restart();
        start();
    }

private:
    void start()
    {
        m_handler = std::make_unique<SheetHandler>(&m_strings, m_writer.get(), m_columns, m_dimension);
        m_parser = std::make_unique<PartParser>(m_archive, m_part, *m_handler);
        m_handler->pauseWith(m_parser.get());
    }

    Archive m_archive;
    std::string m_part;
    std::string m_dimension;
    long long m_columns = 0;
    StringTable m_strings;
    std::unique_ptr<sheet::RowWriter> m_writer;
    std::unique_ptr<SheetHandler> m_handler;
    std::unique_ptr<PartParser> m_parser;
};

} // namespace

std::unique_ptr<LineSource> openXlsxSheet(int fd, unsigned long long fileSize, const RecordConvention &convention)
{
    return std::make_unique<XlsxSheetLines>(fd, fileSize, convention);
}

std::vector<SheetInfo> xlsxSheets(int fd, unsigned long long fileSize, bool extents)
{
    const Archive archive(fd, fileSize);
    Workbook book = readWorkbook(archive);
    if (extents)
        for (std::size_t i = 0; i < book.sheets.size(); ++i) {
            std::string dimension;
            book.sheets[i] = extentOf(archive, book.parts[i], nullptr, book.sheets[i], dimension);
        }
    return book.sheets;
}

} // namespace kov
