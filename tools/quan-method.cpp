// quan-method: reads a method XML file into a method list and prints its entries, one line
// each: entry number, name, locate method, predicted RT, quantification trace, response type.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "quan.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s method.xml\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "quan-method: cannot open %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << file.rdbuf();
    CMethodList method;
    if (!method.ReadXML(text.str())) {
        std::fprintf(stderr, "quan-method: %s is not a readable method document\n", argv[1]);
        return 1;
    }
    std::printf("%s: %d entries\n", argv[1], method.GetSize());
    std::printf("%4s  %-28s %-5s %8s  %-16s %s\n", "#", "Name", "By", "RT", "Trace", "Response");
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData& entry = method.GetAt(i);
        const char* by = Keywords::TextOf(LocateMethodCodes, entry.GetLocateBy());
        const char* response = Keywords::TextOf(ResponseTypeCodes, entry.GetRCalc());
        std::printf("%4d  %-28s %-5s %8.3f  %-16s %s\n", i + 1, entry.GetName().c_str(), by ? by : "?",
                    static_cast<double>(entry.GetPredRT()), entry.GetQuanTrace().c_str(), response ? response : "?");
    }
    return 0;
}
