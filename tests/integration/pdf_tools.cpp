#include "tests/integration/pdf_tools.h"

#include <glib.h>

#include <cstdio>
#include <fstream>

#include "tests/integration/page_fixture.h"

namespace pw::testing {

Run run(const std::vector<std::string>& command)
{
    std::vector<gchar*> argv;
    for (const auto& arg : command) argv.push_back(const_cast<gchar*>(arg.c_str()));
    argv.push_back(nullptr);
    gchar* out = nullptr;
    Run result;
    if (g_spawn_sync(nullptr, argv.data(), nullptr, static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL), nullptr, nullptr,
                     &out, nullptr, &result.status, nullptr)) {
        result.out = out ? out : "";
        result.status = g_spawn_check_wait_status(result.status, nullptr) ? 0 : WEXITSTATUS(result.status);
    }
    g_free(out);
    return result;
}

bool haveTool(const std::string& name)
{
    gchar* found = g_find_program_in_path(name.c_str());
    g_free(found);
    return found != nullptr;
}

bool qpdfAccepts(const std::string& path) { return run({"qpdf", "--check", path}).status == 0; }

std::string decompressed(const std::string& path)
{
    const std::string out = path + ".qdf";
    run({"qpdf", "--qdf", "--object-streams=disable", path, out});
    return readFile(out);
}

std::string wordContent(const std::string& word)
{
    const std::string content = "BT /F1 36 Tf 72 700 Td (" + word + ") Tj ET";
    return "<</Length " + std::to_string(content.size()) + ">>\nstream\n" + content + "\nendstream";
}

std::string pdfFile(const std::vector<std::string>& objects)
{
    std::string file = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(file.size());
        file += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = file.size();
    file += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f\r\n";
    for (std::size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", offset);
        file += entry;
    }
    return file + "trailer\n<</Size " + std::to_string(objects.size() + 1) + "/Root 1 0 R>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

std::string writePlainPdf(const std::string& path, const std::vector<std::string>& words, const std::string& catalogExtra)
{
    const int count = static_cast<int>(words.size());
    const int firstPage = 4, firstItem = firstPage + 2 * count;
    std::vector<std::string> objects;
    std::string kids;
    for (int i = 0; i < count; ++i) kids += std::to_string(firstPage + 2 * i) + " 0 R ";
    objects.push_back("<</Type/Catalog/Pages 2 0 R/Outlines 3 0 R" + catalogExtra + ">>");
    objects.push_back("<</Type/Pages/Kids[" + kids + "]/Count " + std::to_string(count) + "/MediaBox[0 0 595 842]>>");
    objects.push_back("<</Type/Outlines/First " + std::to_string(firstItem) + " 0 R/Last " +
                      std::to_string(firstItem + count - 1) + " 0 R/Count " + std::to_string(count) + ">>");
    for (int i = 0; i < count; ++i) {
        objects.push_back("<</Type/Page/Parent 2 0 R/Contents " + std::to_string(firstPage + 2 * i + 1) +
                          " 0 R/Resources<</Font<</F1<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>>>>>>>");
        objects.push_back(wordContent(words[i]));
    }
    for (int i = 0; i < count; ++i) {
        std::string item = "<</Title(About " + words[i] + ")/Parent 3 0 R/Dest[" + std::to_string(firstPage + 2 * i) + " 0 R/Fit]";
        if (i > 0) item += "/Prev " + std::to_string(firstItem + i - 1) + " 0 R";
        if (i + 1 < count) item += "/Next " + std::to_string(firstItem + i + 1) + " 0 R";
        objects.push_back(item + ">>");
    }
    std::ofstream(path, std::ios::binary) << pdfFile(objects);
    return path;
}

}  // namespace pw::testing
