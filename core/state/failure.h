#pragma once

#include <stdexcept>
#include <string>

namespace kov {

/// Error numbers of the program's failures. The numbers are those the user
/// sees in messages; each has a plain English description.
namespace err {
inline constexpr int Overflow = 6;         ///< a value does not fit its type
inline constexpr int OutOfMemory = 7;      ///< no memory left for the record
inline constexpr int OutOfRange = 9;       ///< an index outside its array
inline constexpr int TypeMismatch = 13;    ///< a field that is not a number
inline constexpr int BadFileName = 52;     ///< a file name that cannot be used
inline constexpr int FileNotFound = 53;    ///< the file does not exist
inline constexpr int DeviceIO = 57;        ///< the device failed to read or write
inline constexpr int FileExists = 58;      ///< the file already exists (another output of the call)
inline constexpr int DiskFull = 61;
inline constexpr int TooManyFiles = 67;    ///< the process has as many files open as it may        ///< no space left on the device
inline constexpr int PastEnd = 62;         ///< input past end of file
inline constexpr int AccessDenied = 70;    ///< permission denied
inline constexpr int PathAccess = 75;      ///< the path cannot be accessed
inline constexpr int PathNotFound = 76;    ///< a folder of the path does not exist
inline constexpr int BadFileFormat = 321;  ///< a workbook that cannot be read (the description says why)
} // namespace err

/// Plain English description of an error number ("Overflow", "File not found"...).
std::string errorDescription(int number);

/// The one failure type of the program: thrown by the core, caught only at the
/// boundaries (a window handler that shows a message, kov-batch's record loop).
class Failure : public std::runtime_error {
public:
    /// What the failure is about, for a handler that words its message by it.
    enum class Kind {
        General,
        FileWrite, ///< writing a named file failed; the description names the file
        Input,     ///< the user's input (a steps file, a row range, a record of a kind not read, one past a limit) does not fit; the description says how
    };

    /// A failure with the standard description of its number.
    explicit Failure(int number);
    /// A failure with a description of its own (for instance naming a file).
    Failure(int number, const std::string &description, Kind kind = Kind::General);

    int number() const noexcept { return m_number; }
    Kind kind() const noexcept { return m_kind; }

private:
    int m_number;
    Kind m_kind;
};

/// The line by which a failure is shown: "DESCRIPTION (N)".
std::string failureLine(const std::string &description, int number);
/// The line of a caught failure: its description and its number.
std::string failureLine(const Failure &f);
/// The line of a failure with the standard description of its number.
std::string failureLine(int number);

/// Maps an errno value of a failed file operation to the program's error number.
int errorNumberOfErrno(int errnoValue, int fallback);

} // namespace kov
