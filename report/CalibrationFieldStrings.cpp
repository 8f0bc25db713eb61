// Report fields of calibration curves and of the calibration list: the correlation values a
// report prints beside each curve. Field numbers and getters come from CurveReportFields.def.
#include <string>

#include "records/CalibrationData.h"
#include "records/CalibrationList.h"
#include "records/KeywordTables.h"
#include "report/FieldText.h"

namespace {
struct CurveReportField {
    int number;
    double (CCalibrationData::*value)() const;
};

constexpr CurveReportField kCurveReportFields[] = {
#define CURVE_REPORT_FIELD(number, Name, Getter) {(number), &CCalibrationData::Getter},
#include "report/CurveReportFields.def"
};

const CurveReportField* FindField(int number) {
    for (const CurveReportField& field : kCurveReportFields)
        if (field.number == number) return &field;
    return nullptr;
}
}  // namespace

bool CCalibrationData::GetFieldStr(CalibrationDataFields field, bool /*unusedFlag*/, std::string& text,
                                   double& number) const {
    text.clear();
    if (GetCurveValid() == 0) return false;
    const CurveReportField* row = FindField(field);
    // Fields without a row are accepted and leave the number as it was: hosts ask every curve
    // for their whole column list.
    if (row == nullptr) return true;
    if (GetCCalc() == kCurveRF) return false;
    number = (this->*row->value)();
    return true;
}

bool CCalibrationData::GetFieldStr(CalibrationDataFields field, bool unusedFlag, char* text, size_t capacity,
                                   double& number) const {
    if (!ReportText::ClearBuffer(text, capacity)) return false;
    std::string unusedText;
    return GetFieldStr(field, unusedFlag, unusedText, number);
}

bool CCalibrationData::GetFieldStr(CalibrationDataFields field, bool unusedFlag, char* text, double& number) const {
    // Only the terminator is ever written.
    return GetFieldStr(field, unusedFlag, text, 1, number);
}

bool CCalibrationList::GetFieldStr(CCalibrationData::CalibrationDataFields field, bool unusedFlag, std::string& text,
                                   double& number) const {
    text.clear();
    for (int i = 0; i < GetSize(); ++i) {
        const CCalibrationData* curve = GetEntry(i);
        if (curve != nullptr && curve->GetFieldStr(field, unusedFlag, text, number)) return true;
    }
    return false;
}

bool CCalibrationList::GetFieldStr(CCalibrationData::CalibrationDataFields field, bool unusedFlag, char* text,
                                   size_t capacity, double& number) const {
    if (!ReportText::ClearBuffer(text, capacity)) return false;
    std::string unusedText;
    return GetFieldStr(field, unusedFlag, unusedText, number);
}

bool CCalibrationList::GetFieldStr(CCalibrationData::CalibrationDataFields field, bool unusedFlag, char* text,
                                   double& number) const {
    return GetFieldStr(field, unusedFlag, text, 1, number);
}
