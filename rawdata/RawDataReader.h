// Reading raw data into chromatograms: mzML files (chromatograms, or spectra turned into
// extracted-ion chromatograms) and detector channels exported as text. A reader keeps only what
// the requests ask for (see TraceRequest.h) and reports every problem of the file; a file with
// problems yields no chromatograms worth integrating, and the caller runs nothing on it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rawdata/Chromatogram.h"
#include "platform/Problem.h"
#include "rawdata/TraceRequest.h"

namespace RawData {

// A reader's problems name the file, the line of a text export, or the chromatogram id or
// spectrum index of an mzML file (`where`).
using Problem = Quan::Problem;

struct ReadOptions {
    // Keep every chromatogram of an mzML file, not only those a request matches (spectra are
    // still extracted only for the requests). Chromatograms no request matched carry the trace
    // TraceOf gives them.
    bool everyChromatogram = false;
};

struct ReadResult {
    // Chromatograms the file holds, in file order, then the traces extracted from spectra, in
    // request order. A chromatogram that answers several requests of different trace texts
    // appears once for each.
    std::vector<Chromatogram> chromatograms;
    std::vector<Problem> problems;
    std::vector<std::string> unmatched;  // traces of the requests nothing in the file answered
    bool Ok() const { return problems.empty(); }
};

enum class RawFileKind { Mzml, Text, Unknown };

// By the file name: ".mzML" (also ".mzML.gz") is mzML; ".txt", ".tsv", ".asc" and ".arw" are
// text exports; anything else is not known as raw data (a ".csv" may be either a text export
// or a peak list, so the caller decides).
RawFileKind KindOfRawFile(const std::string& path);

// Reads an mzML or text file (a name of unknown kind is read as text). Returns result.Ok();
// results are appended to `result`.
bool ReadRawFile(const std::string& path, const std::vector<TraceRequest>& requests, ReadResult& result,
                 const ReadOptions& options = {});

// mzML 1.1, indexed or not, read in one streaming pass.
bool ReadMzmlFile(const std::string& path, const std::vector<TraceRequest>& requests, ReadResult& result,
                  const ReadOptions& options = {});
// The same from memory; `name` is the file name problems give.
bool ReadMzmlBuffer(std::string_view data, const std::string& name, const std::vector<TraceRequest>& requests,
                    ReadResult& result, const ReadOptions& options = {});

// One detector channel as text: optional "key<TAB>value" header lines, then a table whose
// header row names a time column and a signal column. The channel is named by the header's
// "Channel" line, else by the file name without its extension. It is kept when `requests` is
// empty or a name request matches it (or options.everyChromatogram).
bool ReadTextChromatogramFile(const std::string& path, const std::vector<TraceRequest>& requests,
                              ReadResult& result, const ReadOptions& options = {});
bool ReadTextChromatogram(std::string_view text, const std::string& name, const std::vector<TraceRequest>& requests,
                          ReadResult& result, const ReadOptions& options = {});

}  // namespace RawData
