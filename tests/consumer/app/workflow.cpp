// A program of another project that uses the workflow library: reads a method document and
// prints its entry count and list settings, the way a front end of its own would start.
#include <quan/quan.h>
#include <quan/workflow/method/MethodDocument.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    MethodTools::MethodDocument method;
    Quan::Problems problems;
    if (!method.ReadFile(argv[1], problems)) {
        std::fprintf(stderr, "%s\n", Quan::ProblemsText(problems).c_str());
        return 1;
    }
    std::printf("document entries %d, list settings %zu\n", method.GetSize(),
                MethodTools::ListAttributes(method.settings).size());
    return 0;
}
