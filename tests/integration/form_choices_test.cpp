// Radio buttons, a combo box and a list box filled in the real page with the pointer
// and the keyboard, then saved: qpdf must see each field's value and, for the radio
// buttons, which widget shows itself on.

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "tests/integration/page_fixture.h"
#include "tests/integration/pdf_tools.h"

namespace pw::testing {
namespace {

// Page 1: the radio buttons "size" (small, large, huge from left to right, whose
// widgets' "on" states the library names /0, /1 and /2), the combo box "colour" and the
// multiple-choice list box "extras"; page 2 is blank.
const char* choicesForm = R"(
    const doc = await lib.PDFDocument.create();
    const font = await doc.embedFont(lib.StandardFonts.Helvetica);
    const page = doc.addPage([595, 842]);
    const form = doc.getForm();
    const size = form.createRadioGroup('size');
    ['small', 'large', 'huge'].forEach((option, i) =>
        size.addOptionToPage(option, page, { x: 60 + 60 * i, y: 740, width: 24, height: 24 }));
    const colour = form.createDropdown('colour');
    colour.addOptions(['Red', 'Green', 'Blue']);
    colour.addToPage(page, { x: 60, y: 660, width: 200, height: 30, font });
    const extras = form.createOptionList('extras');
    extras.addOptions(['Cheese', 'Olives', 'Onions', 'Peppers']);
    extras.enableMultiselect();
    extras.addToPage(page, { x: 60, y: 480, width: 200, height: 140, font });
    doc.addPage([595, 842]);
    return doc.save();
)";

// What qpdf reads of a file's form: per field, its value and the appearance state of
// each of its widgets.
struct FieldFacts {
    nlohmann::json value;
    std::vector<std::string> states;
};

std::map<std::string, FieldFacts> formFacts(const std::string& path)
{
    std::map<std::string, FieldFacts> facts;
    const auto json = nlohmann::json::parse(run({"qpdf", "--json", "--json-key=acroform", path}).out, nullptr, false);
    if (json.is_discarded()) return facts;
    for (const auto& widget : json["acroform"]["fields"]) {
        FieldFacts& field = facts[widget.value("fullname", "")];
        field.value = widget.value("value", nlohmann::json());
        field.states.push_back(widget["annotation"].value("appearancestate", ""));
    }
    return facts;
}

class FormChoices : public PageFixture {
protected:
    std::string currentPage() { return text("document.getElementById('page-number').value"); }
    std::string checkedRadios()
    {
        return text("[...document.querySelectorAll('[data-choice]')].map(r => r.checked ? r.dataset.choice : '-').join(' ')");
    }
    std::string selected(const std::string& select)
    {
        return text("[...document.querySelector(" + NativeOCR::lit(select) + ").selectedOptions].map(o => o.value).join(',')");
    }
    // A few pixels into the list box's first option, as a share of the box's height.
    double firstOption() { return std::stod(text("6 / document.querySelector('[data-list]').clientHeight")); }
    // None of the page's own keys took effect: the document is as it was opened.
    void expectNoShortcutFired()
    {
        EXPECT_EQ(currentPage(), "1");
        EXPECT_EQ(text("document.getElementById('page-count').textContent"), "2");
        EXPECT_EQ(text("document.getElementById('undo').disabled"), "true") << "no page was turned, moved or deleted";
    }
};

TEST_F(FormChoices, RadioButtonsAndChoiceListsAreFilledByPointerAndKeysAndSavedAsAnUpdate)
{
    start();
    const std::string path = makePdf("choices.pdf", choicesForm);
    ASSERT_FALSE(path.empty());
    const std::string original = readFile(path);
    open(path, 2);
    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.radioButton input').length === 3 &&"
                                    " document.querySelectorAll('.choiceWidgetAnnotation select').length === 2"));
    // The widgets named by what they are, the radio buttons from left to right.
    shell.evaluate("(() => { const radios = [...document.querySelectorAll('.radioButton input')]"
                   "   .sort((a, b) => a.getBoundingClientRect().left - b.getBoundingClientRect().left);"
                   " ['small', 'large', 'huge'].forEach((name, i) => (radios[i].dataset.choice = name));"
                   " for (const s of document.querySelectorAll('.choiceWidgetAnnotation select'))"
                   "   s.dataset[s.multiple ? 'list' : 'combo'] = ''; })()");
    ASSERT_EQ(text("document.querySelectorAll('[data-combo], [data-list]').length"), "2");

    // Radio buttons: a click chooses one, an arrow key the next; neither key is the page's.
    ASSERT_TRUE(clickOn("[data-choice=\"large\"]"));
    EXPECT_EQ(checkedRadios(), "- large -");
    key("Right");
    EXPECT_EQ(checkedRadios(), "- - huge");
    key("r");
    expectNoShortcutFired();

    // The combo box, from the keyboard: a letter picks the first option it begins, an
    // arrow the one before; "r" would have rotated the page outside the field.
    shell.evaluate("document.querySelector('[data-combo]').focus()");
    type("b");
    EXPECT_EQ(selected("[data-combo]"), "Blue");
    key("Up");
    EXPECT_EQ(selected("[data-combo]"), "Green");
    key("End");
    EXPECT_EQ(selected("[data-combo]"), "Blue");
    key("Home");
    EXPECT_EQ(selected("[data-combo]"), "Red");
    spin(1.2);  // letters typed within a second of each other make one word to look for
    type("g");
    EXPECT_EQ(selected("[data-combo]"), "Green");
    expectNoShortcutFired();

    // The list box: a click on an option, then Shift with an arrow adds the next one.
    ASSERT_TRUE(clickOn("[data-list]", firstOption()));
    EXPECT_EQ(selected("[data-list]"), "Cheese");
    key("<Shift>Down");
    EXPECT_EQ(selected("[data-list]"), "Cheese,Olives");
    key("r");
    key("Delete");
    expectNoShortcutFired();
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));

    saveAndWait();
    const std::string saved = readFile(path);
    EXPECT_EQ(saved.compare(0, original.size(), original), 0) << "appended as an update";
    EXPECT_TRUE(qpdfAccepts(path));
    auto facts = formFacts(path);
    EXPECT_EQ(facts["size"].value, "/2");
    EXPECT_EQ(facts["size"].states, (std::vector<std::string>{"/Off", "/Off", "/2"})) << "only the chosen button shows itself on";
    EXPECT_EQ(facts["colour"].value, "u:Green");
    EXPECT_EQ(facts["extras"].value, nlohmann::json::array({"u:Cheese", "u:Olives"}));
    // Their appearances show the values to readers that draw rather than fill.
    const std::string bytes = decompressed(path);
    EXPECT_NE(bytes.find("(Green) Tj"), std::string::npos);
    EXPECT_NE(bytes.find("(Olives) Tj"), std::string::npos);

    // Changed again after the save: appended once more, over the first update.
    ASSERT_TRUE(clickOn("[data-choice=\"small\"]"));
    EXPECT_EQ(checkedRadios(), "small - -");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));
    saveAndWait();
    EXPECT_EQ(readFile(path).compare(0, saved.size(), saved), 0);
    EXPECT_TRUE(qpdfAccepts(path));
    facts = formFacts(path);
    EXPECT_EQ(facts["size"].value, "/0");
    EXPECT_EQ(facts["size"].states, (std::vector<std::string>{"/0", "/Off", "/Off"})) << "the one saved on before is off";
    EXPECT_EQ(facts["colour"].value, "u:Green") << "the values saved before stay";
    EXPECT_EQ(facts["extras"].value, nlohmann::json::array({"u:Cheese", "u:Olives"}));
}

}  // namespace
}  // namespace pw::testing
