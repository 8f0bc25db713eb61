// The program's version, as the build defines it (the CMake project's version): results
// databases record it with the run and with every change made in review.
#pragma once

namespace Batch {

const char* ProgramVersion();

}  // namespace Batch
