// The batch report as one self-contained HTML page (report.html) that opens quickly at any
// batch size. The results are embedded once, as compact JSON in the page, and a hand-written
// script builds everything from them on the reader's machine: the summary (samples, compounds,
// curves, flags by kind, QC accuracy), a results grid that is sorted and filtered in place and
// draws only the rows on screen, and per compound a calibration view drawn when it is asked
// for (the curve, the standards with excluded ones marked, the residual plot of each
// standard's back-calculated deviation, the accuracy table, a log-log switch and the curve's
// description). No outside links or files: the page can be archived with the batch.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "workflow/batch/BatchResults.h"
#include "workflow/batch/SampleTraces.h"

namespace Batch {

// The page written sample by sample: Head (before any sample), Rows for each sample's rows as
// they come, Tail when the batch is done (samples and curves complete). The writer keeps the
// short codes it gives repeated texts (flags, verdicts, units), so one writer serves one page.
class HtmlReportWriter {
public:
    std::string Head(const BatchResults& results);
    // `cells` holds ResultCells() of each row.
    std::string Rows(const BatchResults& results, const std::vector<ResultRow>& rows,
                     const std::vector<std::vector<std::string>>& cells);
    std::string Tail(const BatchResults& results);
    // A sample's kept chromatograms, embedded with the page while they stay within
    // kEmbeddedChromatogramBudget; past it, none are, and the page says why.
    void AddChromatograms(const std::vector<ResultRow>& rows, const std::vector<EntryTrace>& traces);
    // The results grid's rows as the page reads them, with each row's nominal concentration
    // given (as the review station reads them back from results.sqlite), and the rest of the
    // batch as the page reads it; the text codes are this writer's.
    std::string RowsJson(const BatchResults& results, const std::vector<ResultRow>& rows,
                         const std::vector<double>& nominals);
    std::string BatchJson(const BatchResults& results);
    // The texts behind the codes given so far, as a JSON array (code i is item i).
    std::string TextsJson() const;

private:
    int TextCode(const std::string& text);
    std::string RowJson(const ResultRow& row, const std::vector<std::string>& cells, double nominal);
    std::string ChromatogramBlock() const;
    std::string m_panels;  // the embedded panels so far, comma-separated
    size_t m_panelCount = 0;
    size_t m_chromatogramBytes = 0;   // all offered, embedded or not (estimated past the budget)
    size_t m_chromatogramPoints = 0;  // their points
    bool m_chromatogramsDropped = false;
    std::map<std::string, int> m_codes;
    std::vector<std::string> m_texts;
    size_t m_rowsWritten = 0;
};

// The whole page for results held whole.
std::string HtmlReport(const BatchResults& results);

// The review station's page (quan-review): the report's page and script, which fetch the batch
// and the chromatograms from the server that serves it rather than reading them embedded.
std::string ReviewStationPage(const std::string& title);

// Writes HtmlReport(results) to `path` under a temporary name renamed when complete. False
// with `error` set (and any earlier report untouched) when the file cannot be written.
bool WriteHtmlReport(const std::string& path, const BatchResults& results, std::string& error);

// Texts as JSON string literals that are safe inside a script element: bytes that are not
// UTF-8 become U+FFFD and "<" is escaped, so no text can end the element.
std::string JsonString(std::string_view text);

// The changes made in review (the audit trail) as a JSON array, one object per row: id, time,
// user, action, sample, compound, slot, change (kind and its numbers, for an integration; else
// null), before and after ({found, start, end, baselineStart, baselineEnd, area, height,
// response, conc, flags}), reason, version, hash. The report embeds it as quan-batch's "audit".
std::string AuditJson(const std::vector<AuditEntry>& audit);
// One curve as the page draws it (entry, fit, points, who excluded which point): the batch's
// curves hold these, and a correction's answer holds those it fitted again.
std::string CurveJson(const CurveResult& result);

}  // namespace Batch
