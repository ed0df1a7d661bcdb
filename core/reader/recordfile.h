#pragma once

#include "core/reader/recordconvention.h"
#include "core/reader/workbook.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kov {

/// Receives every byte of a record once, in file order, as it is read (a
/// digest of the file computed in the reader's own pass).
class RecordBytesSink {
public:
    virtual ~RecordBytesSink() = default;
    virtual void bytes(const unsigned char *data, std::size_t size) = 0;
    /// The last byte has been passed on: the file was read to its end.
    virtual void end() = 0;
};

/// One test record, opened once and read in order through a fixed buffer, so
/// memory stays bounded whatever the size of the file. Reading starts again
/// from the beginning with rewind(), on the same descriptor, so a file
/// replaced by another while it is read is read as it was. With the
/// convention's workbooks, a workbook's bytes are not read as lines: its
/// sheet's lines are.
class RecordFile {
public:
    /// Opens the record exactly as named. Throws Failure: 52 an empty name or
    /// one holding a NUL, 53 the file does not exist, 76 a folder of the path
    /// does not exist, 70 no permission or a folder, 75 not a regular file
    /// (a pipe or device could not be read more than once); for a workbook,
    /// what openSheetLines throws.
    explicit RecordFile(const std::string &path, const RecordConvention &convention = {});
    ~RecordFile();
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;

    /// The record is read as the lines of a workbook's sheet.
    bool isWorkbook() const { return m_lines != nullptr; }
    /// The worksheets of the file when it is a workbook by its first bytes,
    /// in order (chart sheets aside); with extents their rows and columns too
    /// (which reads every sheet). nullopt for a text file. Throws Failure 321
    /// for a workbook that cannot be read.
    std::optional<std::vector<SheetInfo>> workbookSheets(bool extents);

    /// Passes every byte read from now on to sink (none: nullptr), each byte
    /// once even when the file is read again after rewind(). A workbook's
    /// bytes are the file's, not its lines: all of them are passed on at the
    /// first read.
    void passBytesTo(RecordBytesSink *sink) { m_sink = sink; }

    /// Reads up to count bytes of the file from offset into to, apart from
    /// the buffered reading (nothing is passed to the sink); fewer only at
    /// the end of the file. A failed read throws Failure.
    std::size_t readAt(unsigned long long offset, unsigned char *to, std::size_t count);

    /// Where the file starts with a UTF-8 byte-order mark, all reading (readAt
    /// too, its offsets then counted after the mark) starts after it; the
    /// sink still gets every byte. Returns whether there is one. A mark of
    /// UTF-16 or UTF-32 throws Failure (13) that says how to save the record
    /// as UTF-8.
    bool skipByteOrderMark();

    /// Starts reading again from the beginning of the file.
    void rewind();

    /// Skips count header lines. A line ends at CR LF, LF or a lone CR;
    /// skipping a line at the end of the file fails with error 62.
    void skipLines(int count);

    /// The unread bytes of the buffer, refilled from the file when it is
    /// empty; false at the end of the file. A failed read throws Failure.
    bool available() { return m_pos < m_len || fill(); }
    const unsigned char *data() const { return m_buffer.get() + m_pos; }
    std::size_t size() const { return m_len - m_pos; }
    /// Marks count of the unread bytes of the buffer as read.
    void consume(std::size_t count) { m_pos += count; }
    /// Marks the unread bytes of the buffer as read.
    void consumeAll() { m_pos = m_len; }

private:
    bool fill();
    void passWholeFile();
    WorkbookKind kind();

    int m_fd = -1;
    unsigned long long m_fileSize = 0;
    // On the heap: the reader may run on a thread with a small stack.
    static constexpr std::size_t BufferSize = 65536;
    std::unique_ptr<unsigned char[]> m_buffer = std::make_unique_for_overwrite<unsigned char[]>(BufferSize);
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    bool m_eof = false;
    RecordBytesSink *m_sink = nullptr;
    unsigned long long m_offset = 0; ///< file offset of the end of the buffer's bytes
    unsigned long long m_passed = 0; ///< bytes passed to the sink so far
    std::unique_ptr<LineSource> m_lines; ///< a workbook's sheet
    std::size_t m_mark = 0;          ///< the byte-order mark's bytes, skipped
};

} // namespace kov
