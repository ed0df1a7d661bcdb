// kov-batch's picture module: the window's drawing code (Qt) behind one C
// entry, loaded at run time only when a picture is asked for.

#include "pictures/module.h"

#include "pictures/render.h"

#include <cstring>
#include <exception>
#include <string>

namespace {

/// Whether byte i of text starts a character (is not a UTF-8 continuation
/// byte), so that text may be cut there.
bool startsCharacter(const std::string &text, std::size_t i)
{
    return i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
}

/// The message in at most limit bytes. A long path in it loses its middle to
/// "..." (the start and the file name stay), so that the reason and the
/// error number after it are kept; only a message still too long is cut at
/// its end. Neither ever splits a UTF-8 character.
std::string fitted(const std::string &text, const std::string &path, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::string out = text;
    const std::size_t at = path.empty() ? std::string::npos : out.find(path);
    const std::size_t excess = text.size() - limit + 3;
    if (at != std::string::npos && path.size() > excess + 8) {
        const std::size_t kept = path.size() - excess;
        std::size_t head = kept / 3;
        std::size_t tail = path.size() - (kept - head);
        while (head > 0 && !startsCharacter(path, head))
            --head;
        while (!startsCharacter(path, tail))
            ++tail;
        out.replace(at, path.size(), path.substr(0, head) + "..." + path.substr(tail));
    }
    if (out.size() > limit) {
        std::size_t end = limit;
        while (end > 0 && !startsCharacter(out, end))
            --end;
        out.resize(end);
    }
    return out;
}

/// Puts the message into the request, shortened to fit (see fitted); path is
/// the file the message names.
void fail(KovPictureRequest *request, const std::string &text, const std::string &path = {})
{
    const std::string message = fitted(text, path, sizeof request->error - 1);
    std::memcpy(request->error, message.c_str(), message.size() + 1);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int kov_make_picture(KovPictureRequest *request)
{
    if (std::strcmp(request->abi, KOV_PICTURE_ABI) != 0) {
        fail(request, std::string("the picture module is \"") + KOV_PICTURE_ABI + "\", not \"" + request->abi + "\"");
        return 1;
    }
    try {
        std::string error;
        switch (request->kind) {
        case KovLoopPicture:
            if (kov::renderLoopPicture(*request->state, request->path, request->scale, error))
                return 0;
            fail(request, error, request->path);
            return 1;
        default:
            fail(request, "the picture module cannot make pictures of kind " + std::to_string(request->kind));
            return 1;
        }
    } catch (const std::exception &e) {
        fail(request, std::string("cannot draw the picture: ") + e.what());
        return 1;
    }
}
