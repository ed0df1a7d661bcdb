// kov-batch's picture module: the window's drawing code (Qt) and the report
// behind one C entry, loaded at run time only when they are asked for.

#include "batch/picturemodule.h"

#include "plot/render.h"
#include "report/report.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

void fail(KovPictureRequest *request, const std::string &text)
{
    std::snprintf(request->error, sizeof request->error, "%s", text.c_str());
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
            fail(request, error);
            return 1;
        case KovCallReport:
            if (kov::writeReport(*request->report, error))
                return 0;
            fail(request, error);
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
