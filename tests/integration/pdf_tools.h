#pragma once

// The tools other people check PDF files with (qpdf, Poppler's command-line tools,
// openssl), run on the files the page writes; and small files written by hand for it
// to open.

#include <string>
#include <vector>

namespace pw::testing {

struct Run {
    int status = -1;
    std::string out;
};

// Runs a program found on PATH; its standard error is dropped.
Run run(const std::vector<std::string>& command);

// Whether a program is on PATH.
bool haveTool(const std::string& name);

// Warnings (qpdf's status 3) count as faults too: another reader may not be as lenient.
bool qpdfAccepts(const std::string& path);

// The file as qpdf writes it with every stream decompressed and no object streams:
// what a person looking for a word in the bytes would search.
std::string decompressed(const std::string& path);

// A page's content stream drawing `word` in Helvetica, as an object's text.
std::string wordContent(const std::string& word);

// The bytes of a file holding `objects` (object i + 1 is objects[i]) with a table of
// cross-references and a trailer naming object 1 as the catalog.
std::string pdfFile(const std::vector<std::string>& objects);

// A PDF of one page per word, written plainly: each word is in its page's content as
// text, and the outline has an item per page titled "About <word>".
std::string writePlainPdf(const std::string& path, const std::vector<std::string>& words, const std::string& catalogExtra = "");

}  // namespace pw::testing
