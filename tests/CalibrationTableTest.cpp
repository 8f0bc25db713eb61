// Calibration tables: a lab's known curves applied to a batch of unknowns (quan-batch --curves
// TABLE), the table's pairing and basis winning over the method's, and a bad table refused
// with its place named and nothing changed.
#include <gtest/gtest.h>

#include "BatchTestSupport.h"
#include "workflow/batch/CalibrationTable.h"
#include "workflow/method/MethodXml.h"
#include "workflow/method/TransitionList.h"

namespace {

using namespace batch_test;
using Batch::Problem;

std::string AllText(const std::vector<Problem>& problems) {
    std::string text;
    for (const Problem& problem : problems) text += problem.Text() + "\n";
    return text;
}

// Two compounds with their labelled forms, as quan-method import makes them from the list:
// entries 1 "A (heavy)", 2 "A", 3 "B (heavy)", 4 "B".
const char* const kTransitions =
    "transition_group_id,transition_name,PrecursorMz,ProductMz,RetentionTime,LabelType\n"
    "A,A.A_1.Heavy,104,54,120,Heavy\n"
    "A,A.A_1.Light,100,50,120,Light\n"
    "B,B.B_1.Heavy,206,66,300,Heavy\n"
    "B,B.B_1.Light,200,60,300,Light\n";

CMethodList ImportedMethod(double standardAmount = 1.0) {
    MethodTools::ImportOptions options;
    options.standardConc = standardAmount;
    std::vector<MethodTools::Transition> transitions;
    CMethodList method;
    MethodTools::Problems problems, notes;
    EXPECT_TRUE(MethodTools::ReadTransitions("list", kTransitions, options, transitions, problems, notes) &&
                MethodTools::BuildMethod("list", transitions, options, method, problems, notes));
    return method;
}

// The lab's columns as the other pipeline writes them; B is paired with A's standard.
const char* const kLabTable =
    "IS_name,component_name,feature_name,concentration_units,lloq,uloq,correlation_coefficient,transformation_model,"
    "transformation_model_param_slope,transformation_model_param_intercept,transformation_model_param_x_weight,"
    "transformation_model_param_y_weight\n"
    "A.A_1.Heavy,A.A_1.Light,peak_apex_int,uM,,,,linear,2,0.5,x,y\n"
    "A.A_1.Heavy,B.B_1.Light,peak_apex_int,uM,0.5,50,0.998,linear,0.25,-0.1,1/x,y\n";

TEST(CalibrationTable, RowsBecomeCurvesInMethodOrderAndTheTablesPairingWins) {
    CMethodList method = ImportedMethod(2.0);
    ASSERT_EQ(method.GetSize(), 4);
    CCalibrationList curves;
    std::vector<Problem> problems, notes;
    ASSERT_TRUE(Batch::CalibrationFromTable("table.csv", kLabTable, method, curves, problems, notes)) << AllText(problems);
    ASSERT_EQ(curves.GetSize(), 4);
    const struct {
        const char* name;
        bool valid;
        double c0, c1;  // c0 is the intercept times the standard's amount (2)
        int rref, rah, weighting;
        double minConc, maxConc, corr;
    } cases[] = {
        {"A (heavy)", false, 0, 0, 0, 1, 0, 0, 0, 0},
        {"A", true, 1.0, 2.0, 1, 1, 0, 0, 0, 0},
        {"B (heavy)", false, 0, 0, 0, 0, 0, 0, 0, 0},
        {"B", true, -0.2, 0.25, 1, 1, 1, 0.5, 50, 0.998},
    };
    for (int i = 0; i < 4; ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const CCalibrationData& curve = curves.GetAt(i);
        const CMethodData& entry = method.GetAt(i);
        EXPECT_EQ(curve.GetName(), c.name);
        EXPECT_EQ(curve.GetCurveValid(), c.valid ? 1 : 0);
        EXPECT_EQ(curve.GetText(), c.valid ? "from the calibration table" : Batch::kNotInTable);
        EXPECT_DOUBLE_EQ(curve.GetCC(0), c.c0);
        EXPECT_DOUBLE_EQ(curve.GetCC(1), c.c1);
        EXPECT_EQ((std::vector<int>{entry.GetRRef(), entry.GetRAH(), entry.GetWeightingFunction()}),
                  (std::vector<int>{c.rref, c.rah, c.weighting}));
        EXPECT_EQ(curve.GetMinConc(), c.minConc);
        EXPECT_EQ(curve.GetMaxConc(), c.maxConc);
        EXPECT_EQ(curve.GetCorrCoeff(), c.corr);
        // The ULOQ, where the table gives one, is the entry's maximum concentration; else none.
        EXPECT_EQ(entry.GetConcLimitFlag(), c.maxConc > 0.0 ? 1 : 0);
        EXPECT_EQ(entry.GetMaxConcLimit(), c.maxConc);
        if (c.valid) {
            EXPECT_EQ((std::vector<int>{curve.GetCCalc(), curve.GetRCalc(), curve.GetRRef(), curve.GetRAH(), entry.GetCCalc()}),
                      (std::vector<int>{1, 1, 1, 1, 1}));
            EXPECT_EQ(entry.GetRepUnits(), "uM");
        }
    }
    const std::string noted = AllText(notes);
    EXPECT_NE(noted.find("table.csv:3: entry \"B\": the table's internal standard \"A (heavy)\" is used (the method names \"B (heavy)\")"),
              std::string::npos) << noted;
    EXPECT_NE(noted.find("the response is the peak's height, as the table says, for: A, A (heavy), B\n"), std::string::npos) << noted;
    EXPECT_EQ(noted.find("entry \"A\": the table's internal standard"), std::string::npos) << "A keeps its own standard";
}

// The other pipeline's weighting columns: "x" or "y" (or nothing) is no weighting, "1/x" and
// "1/x2" (or "1/x^2") weight by x, the same for y; one curve is weighted by one of them.
TEST(CalibrationTable, WeightingsInTheLabsColumns) {
    const std::string header =
        "IS_name,component_name,feature_name,transformation_model_param_slope,transformation_model_param_intercept,"
        "transformation_model_param_x_weight,transformation_model_param_y_weight,correlation_coefficient\n";
    const struct { const char* x; const char* y; int weighting; const char* problem; } cases[] = {
        {"x", "y", kWeightNone, nullptr},          {"", "", kWeightNone, nullptr},
        {"1/x", "y", kWeightInverseX, nullptr},    {"1/X2", "y", kWeightInverseX2, nullptr},
        {"1/x^2", "none", kWeightInverseX2, nullptr}, {"x", "1/y", kWeightInverseY, nullptr},
        {"x", "1/y^2", kWeightInverseY2, nullptr},  {"1/y", "y", 0, "table.csv:2:6: \"1/y\" is not a weighting of x"},
        {"x", "1/x", 0, "table.csv:2:7: \"1/x\" is not a weighting of y"},
        {"1/x", "1/y", 0, "table.csv:2:7: a curve is weighted by x or by y, not both"},
        {"x^2", "y", 0, "is not a weighting of x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " / " << c.y);
        CMethodList method = ImportedMethod();
        CCalibrationList curves;
        std::vector<Problem> problems, notes;
        const std::string table = header + "A.A_1.Heavy,A.A_1.Light,peak_apex_int,2,0.5," + c.x + "," + c.y + ",0.99\n";
        const bool read = Batch::CalibrationFromTable("table.csv", table, method, curves, problems, notes);
        EXPECT_EQ(read, c.problem == nullptr);
        if (c.problem != nullptr) {
            EXPECT_NE(AllText(problems).find(c.problem), std::string::npos) << AllText(problems);
        } else {
            EXPECT_EQ(method.GetAt(1).GetWeightingFunction(), c.weighting);
        }
    }
    CMethodList method = ImportedMethod();
    CCalibrationList curves;
    std::vector<Problem> problems, notes;
    EXPECT_FALSE(Batch::CalibrationFromTable("table.csv", header + "A.A_1.Heavy,A.A_1.Light,peak_apex_int,2,0.5,x,y,1.5\n",
                                             method, curves, problems, notes));
    EXPECT_NE(AllText(problems).find("table.csv:2:8: \"1.5\" is not a correlation coefficient (-1 to 1)"), std::string::npos)
        << AllText(problems);
}

TEST(CalibrationTable, ABadTableNamesItsPlaceAndChangesNothing) {
    const std::string header = "Compound,Internal Standard,Basis,Model,Slope,Intercept,Weighting,LLOQ,ULOQ\n";
    const struct {
        const char* rows;
        const char* expected;
    } cases[] = {
        {"C,A (heavy),height,linear,1,0,,,\n", "table.csv:2:1: \"C\" names no entry of the method"},
        {"A,Z.Z_1.Heavy,height,linear,1,0,,,\n", "table.csv:2:2: the internal standard \"Z.Z_1.Heavy\" names no entry"},
        {"A,B.B_1.Heavy,height,linear,1,0,,,\nB.B_1.Heavy,,height,linear,1,0,,,\n", "the internal standard \"B (heavy)\" has a curve of its own"},
        {"A,A.A_1.Light,height,linear,1,0,,,\n", "table.csv:2:2: a compound cannot be its own internal standard"},
        {"A,A (heavy),apex,linear,1,0,,,\n", "table.csv:2:3: \"apex\" is not a response basis"},
        {"A,A (heavy),height,quadratic,1,0,,,\n", "table.csv:2:4: the model \"quadratic\" cannot be applied"},
        {"A,A (heavy),height,linear,0,0,,,\n", "table.csv:2:5: \"0\" is not a slope other than 0"},
        {"A,A (heavy),height,linear,1,x,,,\n", "table.csv:2:6: \"x\" is not an intercept"},
        {"A,A (heavy),height,linear,1,0,1/z,,\n", "table.csv:2:7: \"1/z\" is not a weighting"},
        {"A,A (heavy),height,linear,1,0,,5,5\n", "table.csv:2:9: the ULOQ is not above the LLOQ"},
        {"A,A (heavy),height,linear,1,0,,-1,\n", "table.csv:2:8: \"-1\" is not a concentration above 0"},
        {"A,A (heavy),height,linear,1,0,,,\nA,,area,linear,1,0,,,\n", "table.csv:3:1: entry \"A\" already has its curve on line 2"},
        {"A,A (heavy),height,linear,1,0,,,\nB,A (heavy),area,linear,1,0,,,\n",
         "table.csv:3:3: the internal standard \"A (heavy)\" is measured by height on line 2 and by area here"},
        {"A,B,height,linear,1,0,,,\nB,,height,linear,1,0,,,\n", "table.csv:2:2: the internal standard \"B\" has a curve of its own"},
        {"A,B,height,linear,1,0,,,\n", "the internal standard \"B\" has no fixed amount in the method"},
        {"A,A (heavy),height,linear,1,0,,,,extra\n", "table.csv:2: has 10 cells, the header 9"},
        {"", "table.csv: holds no calibration rows"},
    };
    const CMethodList original = ImportedMethod();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        CMethodList method = original;
        CCalibrationList curves;
        curves.Add(CCalibrationData());
        std::vector<Problem> problems, notes;
        EXPECT_FALSE(Batch::CalibrationFromTable("table.csv", header + c.rows, method, curves, problems, notes));
        EXPECT_NE(AllText(problems).find(c.expected), std::string::npos) << AllText(problems);
        EXPECT_EQ(MethodTools::ReadableMethodXML(method), MethodTools::ReadableMethodXML(original));
        EXPECT_EQ(curves.GetSize(), 1);
    }
    // A table without the columns a curve needs names them.
    CMethodList method = original;
    CCalibrationList curves;
    std::vector<Problem> problems, notes;
    EXPECT_FALSE(Batch::CalibrationFromTable("table.csv", "Compound,Slope\nA,1\n", method, curves, problems, notes));
    EXPECT_EQ(AllText(problems), "table.csv:1: no column gives the intercept (its names, ignoring case: "
                                 "transformation_model_param_intercept, intercept)\n");
}

// Peaks of one unknown: each standard's trace holds a small peak nearer the listed time than
// the standard itself, which the largest-peak choice passes over.
const char* const kPeaks =
    "QuanTrace,FoundRT,StartRT,EndRT,Area,Height\n"
    "104>54,2.0,1.98,2.02,400,100\n"
    "104>54,2.05,1.95,2.15,5000,1000\n"
    "100>50,2.06,1.96,2.16,9000,3000\n"
    "206>66,5.03,4.93,5.13,3000,500\n"
    "200>60,5.04,4.94,5.14,20000,1250\n"
    "200>60,5.3,5.2,5.4,90000,9000\n";

// The same injection drifted 0.3 min late, with a neighbour near the listed time on every trace:
// the standards take their largest peak, and each compound is found beside its standard, not on
// the neighbour the list's time points at.
const char* const kDriftedPeaks =
    "QuanTrace,FoundRT,StartRT,EndRT,Area,Height\n"
    "104>54,2.02,1.98,2.06,1500,300\n"
    "104>54,2.3,2.2,2.4,5000,1000\n"
    "100>50,2.05,2.0,2.1,40000,5000\n"
    "100>50,2.31,2.21,2.41,9000,3000\n"
    "206>66,5.3,5.2,5.4,3000,500\n"
    "200>60,5.0,4.9,5.1,90000,9000\n"
    "200>60,5.31,5.21,5.41,20000,1250\n";

TEST(CalibrationTable, ABatchOfUnknownsIsQuantifiedWithTheLabsCurves) {
    TempFolder temp;
    const fs::path batch = temp.Path() / "batch";
    fs::create_directories(batch / "peaks");
    WriteText(batch / "method.xml", MethodTools::ReadableMethodXML(ImportedMethod()));
    WriteText(batch / "peaks" / "U1.csv", kPeaks);
    WriteText(batch / "peaks" / "U2.csv", kDriftedPeaks);
    WriteText(batch / "batch.csv", "SampleID,PeakFile,Type\nU1,peaks/U1.csv,Analyte\nU2,peaks/U2.csv,Analyte\n");
    WriteText(temp.Path() / "table.csv", kLabTable);

    // Without curves the batch cannot run: it has no standards.
    ToolRun run = RunTool({batch.string(), "--out", temp / "out"});
    EXPECT_EQ(run.status, Batch::kExitBadInput);

    run = RunTool({batch.string(), "--out", temp / "out", "--full-precision", "--curves", temp / "table.csv"});
    ASSERT_EQ(run.status, Batch::kExitOK) << run.err;
    EXPECT_NE(run.err.find("entry \"B\": the table's internal standard \"A (heavy)\" is used"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("entry 1 A (heavy): not in the calibration table"), std::string::npos) << run.out;
    std::vector<Csv::Row> rows;
    std::string error;
    ASSERT_TRUE(Csv::Parse(ReadText(temp.Path() / "out" / "results.csv"), rows, error));
    std::map<std::string, std::vector<std::string>> byResult;  // sample and compound
    for (const Csv::Row& row : rows) byResult[row.cells[0] + " " + row.cells[2]] = row.cells;
    // Heights over A (heavy)'s 1000: A = (3000/1000 - 0.5) / 2; B = (1250/1000 + 0.1) / 0.25.
    const struct {
        const char* result;
        const char* foundRT;
        double conc;
    } cases[] = {{"U1 A (heavy)", "2.05", -1}, {"U1 A", "2.06", 1.25}, {"U1 B (heavy)", "5.03", -1}, {"U1 B", "5.04", 5.4},
                 {"U2 A (heavy)", "2.3", -1},  {"U2 A", "2.31", 1.25}, {"U2 B (heavy)", "5.3", -1},  {"U2 B", "5.31", 5.4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        ASSERT_TRUE(byResult.count(c.result));
        const std::vector<std::string>& row = byResult[c.result];
        EXPECT_EQ(row[3], c.foundRT);
        if (c.conc < 0) continue;
        double conc = 0.0;
        ASSERT_TRUE(Csv::ToDouble(row[6], conc)) << row[6];
        EXPECT_NEAR(conc, c.conc, 1e-9);
        EXPECT_EQ(row[7], "uM");
    }
}

TEST(CalibrationTable, ADatabaseIsToldFromATable) {
    TempFolder temp;
    WriteText(temp.Path() / "table.csv", kLabTable);
    WriteText(temp.Path() / "fake.sqlite", std::string("SQLite format 3\0rest", 20));
    WriteText(temp.Path() / "short.csv", "SQLite");
    EXPECT_TRUE(Batch::IsCalibrationTable(temp / "table.csv"));
    EXPECT_TRUE(Batch::IsCalibrationTable(temp / "short.csv"));
    EXPECT_FALSE(Batch::IsCalibrationTable(temp / "fake.sqlite"));
    EXPECT_FALSE(Batch::IsCalibrationTable(temp / "missing.csv"));
}

}  // namespace
