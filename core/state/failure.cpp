#include "core/state/failure.h"

#include <cerrno>

namespace kov {

std::string errorDescription(int number)
{
    switch (number) {
    case err::Overflow: return "Overflow";
    case err::OutOfMemory: return "Out of memory";
    case err::OutOfRange: return "Subscript out of range";
    case err::TypeMismatch: return "Type mismatch";
    case err::BadFileName: return "Bad file name or number";
    case err::FileNotFound: return "File not found";
    case err::DeviceIO: return "Device I/O error";
    case err::FileExists: return "File already exists";
    case err::DiskFull: return "Disk full";
    case err::TooManyFiles: return "Too many files";
    case err::PastEnd: return "Input past end of file";
    case err::AccessDenied: return "Permission denied";
    case err::PathAccess: return "Path/File access error";
    case err::PathNotFound: return "Path not found";
    case err::BadFileFormat: return "Invalid file format";
    default: return "Application-defined or object-defined error";
    }
}

Failure::Failure(int number) : Failure(number, errorDescription(number)) {}

Failure::Failure(int number, const std::string &description, Kind kind)
    : std::runtime_error(description), m_number(number), m_kind(kind)
{
}

std::string failureLine(const std::string &description, int number)
{
    return description + " (" + std::to_string(number) + ")";
}

std::string failureLine(const Failure &f)
{
    return failureLine(f.what(), f.number());
}

std::string failureLine(int number)
{
    return failureLine(errorDescription(number), number);
}

int errorNumberOfErrno(int errnoValue, int fallback)
{
    switch (errnoValue) {
    case ENOENT: return err::FileNotFound;
    case ENOTDIR: return err::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return err::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return err::DiskFull;
    case ENAMETOOLONG: return err::BadFileName;
    case EIO: return err::DeviceIO;
    case EMFILE:
    case ENFILE: return err::TooManyFiles;
    default: return fallback;
    }
}

} // namespace kov
