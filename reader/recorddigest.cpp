#include "reader/recorddigest.h"

#include <nettle/sha2.h>

namespace kov {

struct RecordDigest::Context {
    sha256_ctx sha;
};

RecordDigest::RecordDigest() : m_context(std::make_unique<Context>())
{
    sha256_init(&m_context->sha);
}

RecordDigest::~RecordDigest() = default;

void RecordDigest::bytes(const unsigned char *data, std::size_t size)
{
    sha256_update(&m_context->sha, size, data);
}

void RecordDigest::end()
{
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&m_context->sha, sizeof digest, digest);
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
