#pragma once

// Workbooks made by the tests: .xlsx through libzip, .xls as a small BIFF8
// workbook in a compound file, and the CSV text of the same cells.

#include <map>
#include <string>
#include <vector>

namespace kov::test {

/// A sheet as rows of cells. A cell is written "" (no cell), a number's
/// text ("1.5"), or a kind and its text: "s:" a shared string, "i:" an
/// inline string, "f:" a formula with that cached number, "b:" a boolean
/// (0 or 1), "e:" an error ("e:#N/A").
struct TestSheet {
    std::string name;
    std::vector<std::vector<std::string>> rows;
};

/// The parts of a .xlsx workbook of these sheets, by name; with references,
/// every row and cell carries its "r" attribute and the sheet states its
/// dimension, else none does (cells follow each other, empty ones as cells
/// without a value).
std::map<std::string, std::string> xlsxParts(const std::vector<TestSheet> &sheets, bool references = true);

/// A ZIP archive of these parts (deflated), its entries encrypted with
/// AES-256 under a password when encrypted is set.
std::string zipBytes(const std::map<std::string, std::string> &parts, bool encrypted = false);

/// A .xls workbook of these sheets (numbers, shared strings, booleans).
std::string xlsBytes(const std::vector<TestSheet> &sheets);

/// A compound file of these streams (each padded to 4096 bytes).
std::string compoundFile(const std::map<std::string, std::string> &streams);

/// The same cells as CSV lines: the texts joined by commas, booleans TRUE
/// and FALSE, each row as wide as the widest.
std::string csvText(const TestSheet &sheet);

} // namespace kov::test
