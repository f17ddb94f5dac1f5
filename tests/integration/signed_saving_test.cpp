// Saving a signed document: a change that adds is appended, so the signature still
// holds for the revision it signed; one that removes rewrites the file, which the user
// is asked about first. The file is signed here with openssl and checked with
// Poppler's pdfsig, as another reader would check it.

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/integration/page_fixture.h"
#include "tests/integration/pdf_tools.h"

namespace pw::testing {
namespace {

constexpr const char* placeholderRange = "[0 0000000000 0000000000 0000000000]";
constexpr std::size_t signatureRoom = 8192;  // hex digits kept for the signature

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A three-page document ("Alpha", "Zanzibar", "Charlie") whose first page carries a
// signature field, signed over all of its bytes but the signature itself with a
// key and certificate made for the test. Empty when openssl could not sign.
std::string writeSignedPdf(const std::string& folder)
{
    const std::string key = folder + "/key.pem", certificate = folder + "/cert.pem";
    if (run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate, "-subj",
             "/CN=Pagewick Test Signer", "-days", "2"}).status != 0)
        return {};
    const std::string font = "/Resources<</Font<</F1<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>>>>>";
    std::string file = pdfFile({
        "<</Type/Catalog/Pages 2 0 R/AcroForm<</Fields[9 0 R]/SigFlags 3>>>>",
        "<</Type/Pages/Kids[3 0 R 5 0 R 7 0 R]/Count 3/MediaBox[0 0 595 842]>>",
        "<</Type/Page/Parent 2 0 R/Contents 4 0 R/Annots[9 0 R]" + font + ">>",
        wordContent("Alpha"),
        "<</Type/Page/Parent 2 0 R/Contents 6 0 R" + font + ">>",
        wordContent("Zanzibar"),
        "<</Type/Page/Parent 2 0 R/Contents 8 0 R" + font + ">>",
        wordContent("Charlie"),
        "<</Type/Annot/Subtype/Widget/FT/Sig/T(Approval)/F 132/Rect[0 0 0 0]/P 3 0 R/V 10 0 R>>",
        "<</Type/Sig/Filter/Adobe.PPKLite/SubFilter/adbe.pkcs7.detached/ByteRange" + std::string(placeholderRange) +
            "/Contents<" + std::string(signatureRoom, '0') + ">/M(D:20260101000000Z)>>",
    });
    // The signature covers everything but its own hex string, brackets included.
    const std::size_t start = file.find("/Contents<") + 9, end = start + signatureRoom + 2;
    char range[64];
    std::snprintf(range, sizeof range, "[0 %010zu %010zu %010zu]", start, end, file.size() - end);
    file.replace(file.find(placeholderRange), std::string(placeholderRange).size(), range);
    const std::string data = folder + "/signed-bytes", signature = folder + "/signature.der";
    std::ofstream(data, std::ios::binary) << file.substr(0, start) << file.substr(end);
    if (run({"openssl", "cms", "-sign", "-binary", "-outform", "DER", "-md", "sha256", "-signer", certificate, "-inkey", key, "-in",
             data, "-out", signature}).status != 0)
        return {};
    const std::string digits = hex(readFile(signature));
    if (digits.empty() || digits.size() > signatureRoom) return {};
    file.replace(start + 1, digits.size(), digits);
    const std::string path = folder + "/signed.pdf";
    std::ofstream(path, std::ios::binary) << file;
    return path;
}

// pdfsig's verdict on the file's one signature, without asking whether its signer is
// trusted (the test's own certificate is not).
std::string signatureCheck(const std::string& path)
{
    return run({"pdfsig", "-nocert", path}).out;
}

class SignedSaving : public PageFixture {
protected:
    void SetUp() override
    {
        for (const char* tool : {"openssl", "pdfsig", "qpdf"})
            if (!haveTool(tool)) GTEST_SKIP() << tool << " is not installed (scripts/deps.sh installs it)";
        path = writeSignedPdf(files.path());
        ASSERT_FALSE(path.empty()) << "openssl could not sign the test's file";
        original = readFile(path);
        ASSERT_NE(signatureCheck(path).find("Signature is Valid"), std::string::npos) << signatureCheck(path);
        start();
        open(path, 3);
    }

    std::string path, original;
};

TEST_F(SignedSaving, ATurnedPageIsAppendedAndTheSignatureStillHoldsForWhatItSigned)
{
    click("#save");
    EXPECT_TRUE(toastSays("info", "No changes to save"));
    EXPECT_EQ(readFile(path), original) << "an unchanged save writes nothing";

    click("#rotate-right");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));
    saveAndWait();
    EXPECT_TRUE(shell.panels->dialogs.empty()) << "an appended change voids nothing, so nothing is asked";
    const std::string saved = readFile(path);
    ASSERT_GT(saved.size(), original.size());
    EXPECT_EQ(saved.compare(0, original.size(), original), 0) << "the signed bytes are kept as they were";
    EXPECT_TRUE(qpdfAccepts(path));
    const std::string check = signatureCheck(path);
    EXPECT_NE(check.find("Signature is Valid"), std::string::npos) << check;
    EXPECT_NE(check.find("Not total document signed"), std::string::npos) << "the turn is a later revision: " << check;
    EXPECT_EQ(readPdf(path).landscape, (std::vector<bool>{true, false, false}));
}

TEST_F(SignedSaving, DeletingAPageSaysTheSignatureWouldBeVoidedAndTheUserChooses)
{
    click(".thumb[data-index=\"1\"]");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '2'"));
    click("#delete");
    ASSERT_TRUE(showsPageCount(2));

    shell.panels->confirmAnswer = false;
    click("#save");
    ASSERT_TRUE(waitUntil([&] { return shell.panels->dialogs.size() == 1; }));
    const std::string question = shell.panels->dialogs[0].message;
    EXPECT_NE(question.find("“signed.pdf” is signed"), std::string::npos) << question;
    EXPECT_NE(question.find("will no longer be valid"), std::string::npos) << question;
    spin(0.3);
    EXPECT_EQ(readFile(path), original) << "declined: nothing written";
    EXPECT_TRUE(hasDirtyTab());
    EXPECT_NE(signatureCheck(path).find("Signature is Valid"), std::string::npos);

    shell.panels->confirmAnswer = true;
    saveAndWait();
    ASSERT_EQ(shell.panels->dialogs.size(), 2u);
    EXPECT_TRUE(qpdfAccepts(path));
    const std::string bytes = decompressed(path);
    EXPECT_EQ(bytes.find("Zanzibar"), std::string::npos) << "the deleted page's text is gone";
    const PdfFacts facts = readPdf(path);
    ASSERT_EQ(facts.pages, 2);
    EXPECT_NE(facts.text[0].find("Alpha"), std::string::npos);
    EXPECT_NE(facts.text[1].find("Charlie"), std::string::npos);
    EXPECT_EQ(signatureCheck(path).find("Signature is Valid"), std::string::npos) << "the file claims no signature it lost";

    click("#save");
    EXPECT_TRUE(toastSays("info", "No changes to save"));
    EXPECT_EQ(shell.panels->dialogs.size(), 2u) << "nothing asked for a save that writes nothing";
}

}  // namespace
}  // namespace pw::testing
