// The batch report as one self-contained HTML page (report.html): the results table, with the
// rows that did not pass highlighted, and for every calibrated compound its calibration plot
// as inline SVG beside the curve's description. No scripts, no outside links, UTF-8 only, so
// the page opens the same way on any machine and can be archived with the batch.
#pragma once

#include <string>

#include "tools/batch/BatchResults.h"

namespace Batch {

// The whole page. Every text from the batch is escaped, bytes that are not UTF-8 become U+FFFD,
// and no coordinate that is not a finite number reaches the SVG.
std::string HtmlReport(const BatchResults& results);

// The same page in three parts, for a batch written sample by sample: the head and the table's
// start (from the method file), the table rows of some results, and the table's end with the
// calibration section (from the curves). Head + rows of every sample + tail is HtmlReport for a
// batch with results.
std::string HtmlReportHead(const BatchResults& results);
std::string HtmlReportRows(const BatchResults& results, const std::vector<ResultRow>& rows);
std::string HtmlReportTail(const BatchResults& results);

// Writes HtmlReport(results) to `path` under a temporary name renamed when complete. False
// with `error` set (and any earlier report untouched) when the file cannot be written.
bool WriteHtmlReport(const std::string& path, const BatchResults& results, std::string& error);

}  // namespace Batch
