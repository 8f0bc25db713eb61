// The study page (study.html): one self-contained file that fetches nothing, built from the
// study database while it is being written. It shows the batches, the Westgard violations with
// their batches, the QC accuracy and precision per level (within and between batches), every
// injection with its batch, a Levey-Jennings chart per QC level (mean, 2 and 3 SD, batch
// boundaries, the results that broke a rule in red) and the study-wide matrix of
// concentrations with flagged values marked. The charts and the matrix are data in the page,
// drawn by its script one compound and one batch at a time (StudyPage.inc says why).
#pragma once

#include <string>

struct sqlite3;

namespace Study {

// False with `error` set when the database cannot be read.
bool BuildStudyPage(sqlite3* database, std::string& page, std::string& error);

}  // namespace Study
