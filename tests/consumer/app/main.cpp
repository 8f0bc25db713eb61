// A program of another project that uses the library: reads a method and runs location on an
// empty peak list, which the engine must refuse with its empty-list status.
#include <quan/quan.h>

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::ifstream file(argv[1], std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    CMethodList method;
    if (!method.ReadXML(text.str())) return 1;
    CPeakList peaks;
    CSampleRecord sample;
    CQuanLocate engine;
    const int status = engine.QuanDoLocation(method, peaks, sample, "");
    std::printf("entries %d, first %s, status %d\n", method.GetSize(), method.GetAt(0).GetName().c_str(), status);
    return 0;
}
