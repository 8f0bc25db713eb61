// Status codes of a quantification run and of curve inversion. The engine reports by number
// only; 0 is success, and an entry that cannot be quantified is skipped with 0 as well (its
// flags say why). Only the run codes below end a run.
#pragma once

// --- a quantification run (DoQuantify and the per-entry steps) ---
constexpr int kQuantifyOK = 0;
constexpr int kQuantifyListsUnequal = 5;  // calibration and method lists differ in size
// A peak entry names a method entry beyond the method list, or none at all, or its method entry
// has a response basis that is neither area nor height.
constexpr int kQuantifyBadEntry = 13;
constexpr int kQuantifyMissingList = 17;

// --- curve inversion (QuanGetConc) ---
constexpr int kCurveSolved = 0;
// Zero slope of a response-factor or linear curve, a negative discriminant of a second-order
// curve, or a curve that maps the response to no number at all.
constexpr int kCurveNoSolution = 4;
constexpr int kCurveTypeUnknown = 13;
// The iterative solution for orders 3 to 6 did not converge: the solver's own code plus 27.
constexpr int kSolverNoConvergence = 2;
constexpr int kSolverStatusOffset = 27;
constexpr int kCurveNoConvergence = kSolverNoConvergence + kSolverStatusOffset;
static_assert(kCurveNoConvergence == 29);
