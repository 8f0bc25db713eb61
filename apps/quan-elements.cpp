// quan-elements: writes a periodic-table database from a CSV of elements (the format is
// described in workflow/batch/Elements.h). Any error names the line and writes nothing.
//
//   quan-elements elements.csv periodic.db
#include <cstdio>

#include "workflow/batch/Elements.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s elements.csv periodic.db\n", argv[0]);
        return 2;
    }
    std::vector<Batch::Element> elements;
    std::string error;
    if (!Batch::ReadElementsFile(argv[1], elements, error) || !Batch::WritePeriodicDatabase(argv[2], elements, error)) {
        std::fprintf(stderr, "quan-elements: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu elements\n", argv[2], elements.size());
    return 0;
}
