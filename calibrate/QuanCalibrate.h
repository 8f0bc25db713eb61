// The calibration engine: for a batch of standards, transforms the axes of every curve's
// calibration points, weights them, fits each curve (response factor or weighted polynomial of
// order 1 to 6) with its statistics, and averages the totals curves from their members.
//
// Invariants: a list calibration either starts (every curve can be transformed and weighted)
// or leaves the list exactly as the host gave it and reports why; a failed fit stores nothing
// but CurveValid = CaliPtsValid = 0. Empty slots of the lists are passed over, and point counts
// never reach past a curve's point array. The engine keeps only the version-1 flag and the
// periodic-table database name between calls.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "calibrate/HostProcess.h"
#include "platform/ClassFramework.h"
#include "records/KeywordTables.h"
#include "records/CalibrationList.h"
#include "records/MethodList.h"
#include "records/QuanSampleDataList.h"

struct tag_STATS_STRUCT;

// Status codes of a calibration.
constexpr int kCaliOK = 0;
constexpr int kCaliNotAStandard = 13;     // a sample of the batch is not a standard
constexpr int kCaliBadWeighting = 13;     // a curve with points has a weighting outside 0 to 4
constexpr int kCaliMissingList = 17;      // no calibration list
constexpr int kCaliBadPointForAxis = 20;  // a point not above zero under an axis transformation
constexpr int kCaliMissingSampleList = 25;
constexpr int kCaliMissingCurve = 32;     // a single-curve operation given no curve

// Curve types (kCurveRF, ...), origin handling (kOriginExclude, ...) and weighting functions
// (kWeightNone, ...) are the enums of their keyword tables.

class CQuanCalibrate : public CQuanObject {
    QUAN_DECLARE_CLASS(CQuanCalibrate)
public:
    CQuanCalibrate() = default;
    ~CQuanCalibrate() override = default;

    // Checks that every sample is a standard, then calibrates every curve of the list and
    // builds the totals curves. The method list and the two ints are not read; the host
    // object is handed to the accumulation step. Returns 0, 25, 17, 13 or 20; on any non-zero
    // code the curves are as they were.
    int Calibrate(CMethodList* methods, CCalibrationList* curves, CQuanSampleDataList* samples,
                  const std::string& periodicDBName, int unused1, int unused2, CHostProcess* host,
                  bool version1);

    // Transforms and weights the points of every curve, fits every curve that is not a
    // totals curve, then averages the totals curves. 17, 20 or 13 (list unchanged) or 0.
    int QuanDoCalibration(CCalibrationList* curves, int version1);
    // Weights and fits one curve, without axis transformation and whatever its totals
    // settings. 32 for no curve, 13 for a bad weighting (CurveValid cleared, nothing else
    // changed), else 0 whether or not the fit succeeded (CaliPtsValid tells). The points are
    // taken as given: a curve that falls back to RF keeps them and gets XYTrans 0.
    int QuanDoCalibration(CCalibrationData* curve, int version1);

    // Replaces the points of every curve (or of one) by their transforms under XYTrans. A curve
    // that cannot be transformed (RF, origin not excluded, or weighted) gets XYTrans 0. Returns
    // 20, changing nothing at all, when a point to transform is not above zero; 17 or 32 for
    // no list or curve.
    int CaliSetCDBAxisTransformation(CCalibrationList* curves);
    int CaliSetCDBAxisTransformation(CCalibrationData* curve);
    // Maps the points back through the inverse transformation.
    int CaliReverseCDBAxisTransformation(CCalibrationList* curves);
    int CaliReverseCDBAxisTransformation(CCalibrationData* curve);

    bool IsVersion1() const { return m_version1; }
    void IsVersion1(bool version1) { m_version1 = version1; }
    const std::string& GetPeriodicDBName() const { return m_periodicDBName; }
    void SetPeriodicDBName(const std::string& name) { m_periodicDBName = name; }

private:
    friend struct CalibrateTestAccess;

    // --- driver and weighting (QuanCalibrate.cpp) ---
    int CaliDoAccumulate(CCalibrationList* curves, CQuanSampleData* sample, CHostProcess* host);
    int CaliFillCDBCaliData(CCalibrationList* curves, CQuanSampleData* sample, CHostProcess* host);
    int CaliSetCDBWeighting(CCalibrationList* curves);
    int CaliSetCDBWeighting(CCalibrationData* curve);
    // Fits one curve with switches from its origin handling; true when the fit succeeded.
    // `untransformed` holds the host's points when this call transformed them (see
    // QuanFitCaliCurve), else it is empty.
    bool FitAndStoreCurve(CCalibrationData& curve, int version1, std::span<const tag_CALI_POINT> untransformed);

    // --- axis transformation (AxisTransform.cpp) ---
    double QuanApplyTransformation(double x, int transformation) const;
    // The curve's settings put its points in transformed axes: a transformation is set and
    // the curve is one that calibration transforms (polynomial, origin excluded, unweighted,
    // neither locked nor a totals curve).
    static bool AxisTransformationApplies(const CCalibrationData& curve);
    // The points of the curve as they stand, point count bounded.
    static std::vector<tag_CALI_POINT> PointsOf(const CCalibrationData& curve);

    // --- curve fitting (CurveFitting.cpp) ---
    // Fits with the fallback to RF. `untransformed` holds the host's points of a curve whose
    // points this engine transformed before the fit; a curve that falls back gets exactly
    // those back. Empty: the points are the host's own and the fallback leaves them alone.
    int QuanFitCaliCurve(CCalibrationData* curve, tag_STATS_STRUCT* stats,
                         std::span<const tag_CALI_POINT> untransformed = {});
    int FitPolyCurve(tag_STATS_STRUCT* stats, CCalibrationData* curve);
    int FitResponseFactor(tag_STATS_STRUCT& stats, const CCalibrationData& curve);
    int FitPolynomial(tag_STATS_STRUCT& stats, const CCalibrationData& curve, int order);
    bool QuanSetCurveStats(CCalibrationData* curve, tag_STATS_STRUCT* stats);

    // --- totals curves (TotalsCurves.cpp) ---
    int CalculateTotalsCurves(CCalibrationList* curves);
    int CalculateTotalsEntryCurve(CCalibrationList* curves, int entryNumber);

    // --- shared helpers ---
    // The curve's point count, kept within its point array.
    static int PointCount(const CCalibrationData& curve);
    static bool IsTotalsCurve(const CCalibrationData& curve);
    static bool IsExcluded(const tag_CALI_POINT& point);

    bool m_version1 = false;
    std::string m_periodicDBName;
};
