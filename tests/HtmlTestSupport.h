// Reading a report page back with libxml2's HTML parser, for the report tests.
#pragma once

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <string>
#include <vector>

// libxml2's HTML parser knows HTML 4 only, so it reports inline SVG elements as unknown tags;
// every other complaint is a fault of the page.
inline std::vector<std::string> HtmlParseErrors(const std::string& html) {
    std::vector<std::string> errors;
    htmlParserCtxtPtr context = htmlNewParserCtxt();
    xmlSetStructuredErrorFunc(&errors, [](void* sink, xmlErrorPtr error) {
        if (error->code == XML_HTML_UNKNOWN_TAG) return;
        static_cast<std::vector<std::string>*>(sink)->push_back(std::to_string(error->line) + ": " + error->message);
    });
    htmlDocPtr document = htmlCtxtReadMemory(context, html.data(), static_cast<int>(html.size()), "report.html",
                                             "UTF-8", HTML_PARSE_NONET);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (document == nullptr) errors.push_back("no document");
    xmlFreeDoc(document);
    htmlFreeParserCtxt(context);
    return errors;
}

