#pragma once

#include "core/reader/recordfile.h"

#include <memory>
#include <optional>
#include <string>

namespace kov {

/// The SHA-256 digest of a record's bytes, computed (by Nettle) as the
/// reader reads them, so the record is read once for both.
class RecordDigest : public RecordBytesSink {
public:
    RecordDigest();
    ~RecordDigest() override;
    RecordDigest(const RecordDigest &) = delete;
    RecordDigest &operator=(const RecordDigest &) = delete;

    void bytes(const unsigned char *data, std::size_t size) override;
    void end() override;

    /// The digest as 64 lowercase hexadecimal digits, once the reader has
    /// passed on the whole file; nullopt when it stopped before its end.
    const std::optional<std::string> &sha256() const { return m_hex; }

private:
    struct Context;
    Context &context();

    std::unique_ptr<Context> m_context;
    std::optional<std::string> m_hex;
};

} // namespace kov
