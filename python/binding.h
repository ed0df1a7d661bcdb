#pragma once

// What the files of the Python module _kov share: the failure of a record
// as Python sees it, the keywords of the options, and the C++ objects
// behind kov.Record and kov.Analysis.

#include "core/output/recordanalysis.h"
#include "core/reader/recordlayout.h"

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kov::python {

namespace py = pybind11;

/// A record that could not be read, analysed or written: raised in Python
/// as kov.RecordError (a ValueError) with the error number as .code and
/// the lines kov-batch prints for it, each "NAME: LINE", as its message.
struct RecordFailure {
    std::optional<int> code; ///< none for a file that is no test record
    std::string path;        ///< the record as named
    std::vector<std::string> lines;
};

/// Registers kov.RecordError and turns a RecordFailure into it.
void registerErrors(py::module_ &m);

/// Whether a keyword decides how a record is read or how it is analysed.
enum class KeywordUse { Reading, Analysis };

/// A keyword of read_record, inspect and analyse, and the kov-batch option
/// it stands for. set stores a Python value (never None: None leaves the
/// default) into the options; a value of the wrong type raises TypeError,
/// one out of range ValueError, both naming the keyword.
struct Keyword {
    const char *name;
    const char *option;
    KeywordUse use;
    void (*set)(RecordOptions &, py::handle value, const char *name);
    const char *doc;
};

std::span<const Keyword> keywordTable();

/// Which keywords a call takes.
enum class KeywordSet {
    Reading,  ///< read_record and inspect
    Analysis, ///< analyse of a Record read already
    All,      ///< analyse of a path
};

/// Options from the keywords of a call named function ("analyse"), applied
/// over base: an unknown keyword or one the call does not take raises
/// TypeError, as Python does for a function's unexpected keyword.
RecordOptions optionsFromKeywords(const py::kwargs &keywords, KeywordSet set, const char *function,
                                  RecordOptions base = {});

/// A record read into memory (kov.Record): the state as the reader left it
/// (never changed afterwards, so that any number of analyses can start from
/// it), and X and Y of its steps in one contiguous array each, which numpy
/// arrays show without copying.
struct RecordData {
    std::string path; ///< as named
    RecordOptions options;
    RecordReading reading;
    RecordAnalysis read; ///< readRecordFile's
    std::optional<RecordLayout> layout; ///< the header, when it can be read
    std::vector<float> x;
    std::vector<float> y;
};

/// Reads a record; throws RecordFailure, or a Python error for a usage
/// mistake. Runs without the GIL.
std::shared_ptr<RecordData> readRecordData(const std::string &path, const RecordOptions &options);

/// One analysis of a record (kov.Analysis).
struct AnalysisData {
    std::shared_ptr<const RecordData> record;
    RecordOptions options;
    RecordAnalysis analysis;
};

void registerRecords(py::module_ &m);
void registerAnalyses(py::module_ &m);

/// The path named by a str, bytes or os.PathLike value, as the file system
/// takes it (os.fsencode); TypeError naming what for anything else.
std::string pathArgument(py::handle path, const char *what);

} // namespace kov::python
