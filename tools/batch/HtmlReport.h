// Placeholder until the report and database writers land.
#pragma once
#include <string>
#include "tools/batch/BatchResults.h"
namespace Batch { std::string HtmlReport(const BatchResults& results); }
