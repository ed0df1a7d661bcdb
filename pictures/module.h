#pragma once

// The entry of kov-batch's picture module: the drawing code of the window
// (Qt), built as a shared module that kov-batch loads only when a picture is
// asked for, so that a run without one loads no GUI library.
//
// kov-batch and the module are built from the same sources and installed
// together; the module refuses a request whose abi text is not its own.
// A new kind of output is a new PictureKind (and, where it needs them, new
// fields at the end of PictureRequest); the entry stays the same.

#include <cstddef>

namespace kov {
struct SharedState;
}

extern "C" {

/// What the module is asked to make.
enum KovPictureKind {
    /// The loop of the analysed record, as "Draw" draws it with the record's
    /// own range, written whole to path: .svg as a vector picture, else PNG,
    /// at the plot area's size times scale.
    KovLoopPicture = 1,
};

struct KovPictureRequest {
    const char *abi;                   ///< KOV_PICTURE_ABI of the caller
    int kind;                          ///< a KovPictureKind
    const kov::SharedState *state;     ///< KovLoopPicture: the analysed record
    const char *path;                  ///< KovLoopPicture: the file to write
    double scale;                      ///< KovLoopPicture: the plot area times scale
    char error[512];                   ///< why the request failed (the module fills it)
};

/// Makes what the request asks for. Returns 0 on success, else fills
/// request->error with a text that names the file and the reason. Never throws.
typedef int (*KovPictureEntry)(KovPictureRequest *request);
}

/// The module's file name, and the name of its entry.
#define KOV_PICTURE_MODULE "kov-pictures.so"
#define KOV_PICTURE_ENTRY "kov_make_picture"
/// Both sides must come from the same build of the same version.
#define KOV_PICTURE_ABI "kov " KOV_VERSION " picture module 3"
