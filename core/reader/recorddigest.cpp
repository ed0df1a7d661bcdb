#include "core/reader/recorddigest.h"

#include <nettle/sha2.h>

namespace kov {

struct RecordDigest::Context {
    sha256_ctx sha;
};

RecordDigest::RecordDigest() = default;

RecordDigest::~RecordDigest() = default;

RecordDigest::Context &RecordDigest::context()
{
    // Made when the reader first hands on bytes: a digest that is declared
    // but never fed (a call whose outputs do not show it) costs nothing.
    if (!m_context) {
        m_context = std::make_unique<Context>();
        sha256_init(&m_context->sha);
    }
    return *m_context;
}

void RecordDigest::bytes(const unsigned char *data, std::size_t size)
{
    sha256_update(&context().sha, size, data);
}

void RecordDigest::end()
{
    Context &c = context();
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&c.sha, sizeof digest, digest);
    static constexpr char hexDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * sizeof digest);
    for (const unsigned char b : digest) {
        hex += hexDigits[b >> 4];
        hex += hexDigits[b & 15];
    }
    m_hex = std::move(hex);
}

} // namespace kov
