// PLACEHOLDERS, to be replaced as a whole: the internal-standard responses, totals location,
// response calculation and peak-list update that complete a location run. Until they are
// written each one succeeds and changes nothing, so that the location driver runs end to end.
#include "calibrate/ElementRecord.h"
#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"

// --- internal-standard responses (placeholder) ---
int CQuanLocate::CalculateISResponses(CMethodList&) { return kLocateOK; }
int CQuanLocate::UpdateMethodISResponse(CMethodList&, int) { return kLocateOK; }
int CQuanLocate::CalculateTotalsISResponses(CMethodList&) { return kLocateOK; }
int CQuanLocate::UpdateMethodTotalISResponse(CMethodList&, int) { return kLocateOK; }

// --- totals location (placeholder) ---
int CQuanLocate::LocateMethodTotals(CPeakList&, CMethodList&) { return kLocateOK; }
int CQuanLocate::LocateMethodEntryTotals(CPeakList&, CMethodList&, int) { return kLocateOK; }
bool CQuanLocate::CheckForMatchingNamed(const CPeakData&, const CPeakData&) const { return false; }
int CQuanLocate::LocateCalculateTotalsEntries(CPeakList*, CMethodList*) { return kLocateOK; }
int CQuanLocate::LocateCalculateTotalsEntry(CPeakList*, const CMethodData&, int) { return kLocateOK; }
int CQuanLocate::LocateCalculateTotalsPeak(CPeakData*, const CPeakList&, const CMethodData&, int) {
    return kLocateOK;
}

// --- response calculation (placeholder) ---
int CQuanLocate::CalculateResponses(CPeakList&, CMethodList&) { return kLocateOK; }
int CQuanLocate::UpdateResponseFields(CPeakList&, int, CMethodList&, int) { return kLocateOK; }
double CQuanLocate::CalculateRatio(CPeakList&, CMethodData&) { return 0.0; }
double CQuanLocate::CalculateFormula(CPeakList&, tagELEMENTstruct) { return 0.0; }

// --- peak-list update after location (placeholder) ---
int CQuanLocate::QuanUpdateLocatedPDBEntries(CPeakList&, CMethodList&, const CSampleRecord&) { return kLocateOK; }
