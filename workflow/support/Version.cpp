#include "workflow/support/Version.h"

#ifndef QUAN_VERSION
#error "the build defines QUAN_VERSION (CMakeLists.txt)"
#endif

namespace Batch {

const char* ProgramVersion() { return QUAN_VERSION; }

}  // namespace Batch
