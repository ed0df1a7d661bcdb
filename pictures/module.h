#pragma once

// The entry of kov-batch's picture module: the drawing code of the window
// (Qt) and the report drawn with it, built as a shared module that kov-batch
// loads only when a picture or a report is asked for, so that a run without
// them loads no GUI library.
//
// kov-batch and the module are built from the same sources and installed
// together; the module refuses a request whose abi text is not its own.
// A new kind of output is a new PictureKind (and, where it needs them, new
// fields at the end of PictureRequest); the entry stays the same.

#include <cstddef>

namespace kov {
struct SharedState;
struct ReportRecord;
struct ReportSettings;
}

extern "C" {

/// What the module is asked to make.
enum KovPictureKind {
    /// The loop of the analysed record, as "Draw" draws it with the record's
    /// own range, written whole to path: .svg as a vector picture, else PNG,
    /// at the plot area's size times scale.
    KovLoopPicture = 1,
    /// The HTML report of the call (kov::ReportWriter), in three steps:
    /// opened for path with settings, which sets report (the handle of the
    /// steps after it), even when it fails; each record of the call added
    /// in order; finished, which writes the page whole to path and frees the
    /// handle. A report abandoned before it is finished is closed, which
    /// frees the handle without writing. Finishing gives the first failure
    /// of any step.
    KovReportOpen = 2,
    KovReportAdd = 3,
    KovReportFinish = 4,
    KovReportClose = 5,
};

struct KovPictureRequest {
    const char *abi;                   ///< KOV_PICTURE_ABI of the caller
    int kind;                          ///< a KovPictureKind
    const kov::SharedState *state;     ///< KovLoopPicture: the analysed record
    const char *path;                  ///< KovLoopPicture: the file to write; KovReport*: the report
    double scale;                      ///< KovLoopPicture: the plot area times scale
    char error[512];                   ///< why the request failed (the module fills it)
    void *report;                      ///< KovReport*: the report's handle (KovReportOpen sets it)
    const kov::ReportSettings *settings; ///< KovReportOpen: the settings of the call
    const kov::ReportRecord *record;   ///< KovReportAdd: the next record
    const char *generated;             ///< KovReportFinish: date and time of the call, as shown
    const char *program;               ///< KovReportFinish: "kov-batch 1.0.0"
    int picturesBetween;               ///< KovReportOpen: 1 when loop pictures are drawn while the report is open
};

/// Makes what the request asks for. Returns 0 on success, else fills
/// request->error with a text that names the file and the reason. Never throws.
typedef int (*KovPictureEntry)(KovPictureRequest *request);
}

/// The module's file name, and the name of its entry.
#define KOV_PICTURE_MODULE "kov-pictures.so"
#define KOV_PICTURE_ENTRY "kov_make_picture"
/// Both sides must come from the same build of the same version.
#define KOV_PICTURE_ABI "kov " KOV_VERSION " picture module 2"
