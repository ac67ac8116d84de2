// Pages and form inputs: the markup of every input, filling inputs from a
// request, the page table with its built-in pages and their exact bytes.
#include "HttpTestSupport.h"
#include "support/TestSupport.h"

using namespace httptest;

namespace {

CHTMLVariables Variables(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    CHTMLVariables v;
    for (const auto& p : pairs) v[p.first] = p.second;
    return v;
}

std::string Text(const CMemory& m) { return std::string(reinterpret_cast<const char*>(m.GetData()), size_t(m.GetSize())); }

// A page that records what the manager did to it.
class RecordingPage : public CHTMLPage {
public:
    explicit RecordingPage(const char* name) {
        m_PageName = name;
        AddInputElement(&field);
    }
    void OnUpdateVariables() override { updates.push_back(std::string(field.m_Value)); }
    void CreateHTMLPage() override { ++created; }
    CMemory GenerateContent(CString& header) override {
        header += "X-Page: " + m_PageName + "\r\n";
        return CMemory(CString(("rights " + std::to_string(m_nRights)).c_str()));
    }
    CHTMLInputText field{"f", "old", ""};
    std::vector<std::string> updates;
    int created = 0;
};

} // namespace

TEST(HtmlInputs, MarkupOfEveryInputWithItsAttributesUnescaped) {
    CHTMLInputText text("a", "x", "size=5");
    CHTMLInputHidden hidden;
    hidden.Create("h", "it's <b>", "");
    CHTMLInputPassword password("p", "", "style='x'");
    CHTMLInputCheckBox box("c", "ON", "id=1"); // "on" in any case checks it
    CHTMLInputListBox list;
    list.Create("l", true, "b", "size=3");
    for (const char* option : {"a", "b", "c"}) list.AddOption(option, (std::string("T") + option).c_str());
    list.SetVisible(2, false);
    list.SetVisible(-1, false); // ignored
    const std::pair<CString, const char*> cases[] = {
        {text.HTML(), "<input type='text' name='a' value='x' size=5>"},
        {hidden.HTML(), "<input type='hidden' name='h' value='it's <b>' >"},
        {password.HTML(), "<input type='password' name='p' value='' style='x'>"},
        {box.HTML(), "<input type='checkbox' name='c' checked id=1>"},
        {list.HTML(), "<select name='l' MULTIPLE size=3>\r\n<option value='a' >Ta\r\n"
                      "<option value='b' selected>Tb\r\n</select>"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.first, c.second);
    box.SetValue("yes");
    EXPECT_STREQ(box.HTML(), "<input type='checkbox' name='c'  id=1>");
    list.SetValue("B");
    EXPECT_EQ(std::string(list.HTML()).find("selected"), std::string::npos) << "values compare exactly";
    list.Create("m", false, "", "");
    EXPECT_STREQ(list.HTML(), "<select name='m'  >\r\n</select>") << "Create removes the options";
}

TEST(HtmlInputs, RetreveValueTakesExactNameAndEmptiesOnlyOnPost) {
    CHTMLInputText text("name", "kept", "");
    CHTMLInputCheckBox box("c", "on", "");
    const CHTMLVariables other = Variables({{"Name", "x"}, {"name2", "y"}});
    EXPECT_FALSE(text.RetreveValue(other, false));
    EXPECT_STREQ(text.GetValue(), "kept") << "a GET without the name leaves the value";
    EXPECT_TRUE(text.RetreveValue(Variables({{"name", "new value"}}), false));
    EXPECT_STREQ(text.GetValue(), "new value");
    EXPECT_FALSE(text.RetreveValue(other, true));
    EXPECT_STREQ(text.GetValue(), "") << "a POST without the name empties it";
    box.RetreveValue(other, true);
    EXPECT_FALSE(box.GetValue()) << "and unchecks a check box";
}

TEST(HtmlInputs, RadioButtonsPrintOneAtATimeHiddenOnesWithoutExtraOrText) {
    CHTMLInputRadioButton radio;
    radio.Create("r", "2", "class=k");
    for (const char* value : {"1", "2", "3"}) radio.AddOption(value, (std::string("T") + value).c_str(), "title=x");
    EXPECT_STREQ(radio.HTML(0), "<input type='radio' name='r' value='1'  class=k title=x>T1");
    EXPECT_STREQ(radio.HTML(1), "<input type='radio' name='r' value='2' checked class=k title=x>T2");
    radio.SetVisible(1, false);
    EXPECT_STREQ(radio.HTML(1), "<input type='radio' name='r' value='2' checked class=k style='display:none'>");
    for (int outside : {3, -1}) EXPECT_STREQ(radio.HTML(outside), "");
    EXPECT_STREQ(radio.HTML(), "");
    radio.RetreveValue(Variables({{"r", "3"}}), true);
    EXPECT_NE(std::string(radio.HTML(2)).find("checked"), std::string::npos);
}

TEST(HtmlPageManager, ServesByExactNameReplacesAndFallsBackToTheErrorPage) {
    CHTMLPageManager manager;
    RecordingPage first("page"), second("page"), error("__error");
    manager.AddHTMLPage(&first);
    manager.AddHTMLPage(nullptr);
    CHTMLVariables v = Variables({{"f", "1"}});
    CString header = "H\r\n";
    EXPECT_EQ(Text(manager.GenerateHTMLPage("page", &v, false, 5, header)), "rights 5");
    EXPECT_STREQ(header, "H\r\nX-Page: page\r\n");
    manager.AddHTMLPage(&second);
    header = "";
    manager.GenerateHTMLPage("page", &v, false, 6, header);
    EXPECT_EQ(first.updates.size(), 1u);
    EXPECT_EQ(second.updates.size(), 1u) << "the second page replaced the first";

    EXPECT_FALSE(manager.IsHTMLPageProtected("nothing"));
    second.Protect(true);
    EXPECT_TRUE(manager.IsHTMLPageProtected("page"));
    EXPECT_FALSE(manager.IsHTMLPageProtected("Page")) << "names compare exactly";

    manager.AddHTMLPage(&error);
    v = Variables({{"f", "to error"}});
    header = "";
    EXPECT_EQ(Text(manager.GenerateHTMLPage("PAGE", &v, true, 9, header)), "rights 9");
    EXPECT_EQ(error.updates, (std::vector<std::string>{"to error"})) << "same parameters for the error page";

    manager.CreateHTMLPages();
    EXPECT_EQ((std::vector<int>{first.created, second.created, error.created}), (std::vector<int>{0, 1, 1}));

    first.m_PageTitle = "Tytu\xB3";
    EXPECT_STREQ(first.GenerateHTMLPageHeader("<x>"),
                 "<head><meta http-equiv='Content-Type' content='text/html; charset=windows-1250'>"
                 "<title>Tytu\xB3</title><x></head>");
}

TEST(HtmlPageManager, BuiltInPagesAndTheirBytes) {
    CHTMLPageManager manager;
    CString header = "H\r\n";
    const std::string error = Text(manager.GenerateHTMLPage("no such page", nullptr, false, -1, header));
    EXPECT_EQ(error,
              "<html>\r\n"
              "<head><meta http-equiv='Content-Type' content='text/html; charset=windows-1250'><title>Brak strony"
              "</title><STYLE TYPE=\"text/css\">  \r\n"
              "  BODY { MARGIN: 20px; PADDING: 20px; FONT-SIZE: 13px; FONT-FAMILY: Arial; background:#F0F0F0; }\r\n"
              "</STYLE>  \r\n"
              "</head>\r\n"
              "<body>\r\n"
              "<center>\r\n"
              "<b>B\xB3\xB9" "d: strona o podanym adresie nie istnieje!</b><br><br>\r\n"
              "<a href='/'>Zaloguj ponownie</a>  \r\n"
              "</center>\r\n"
              "</body>\r\n"
              "</html>\r\n");
    EXPECT_STREQ(header, "H\r\n");

    header = "H\r\n";
    EXPECT_EQ(Text(manager.GenerateHTMLPage("logout", nullptr, false, -1, header)), "\r\n\r\n" + Redirect("login"));
    EXPECT_EQ(std::string(header), kHeader + "Set-Cookie: SID=-1\r\nSet-Cookie: Login=-1\r\n");

    for (const char* name : {"sha1.js", "md5.js"}) {
        header = "H\r\n";
        const std::string script = Text(manager.GenerateHTMLPage(name, nullptr, false, -1, header));
        EXPECT_EQ(script, zep3test::readFile(zep3test::dataFile(std::string("../../zep3/net/scripts/") + name)));
        EXPECT_STREQ(header, "H\r\n");
        EXPECT_FALSE(manager.IsHTMLPageProtected(name));
    }
    const HINSTANCE module = ZEP3GetInstanceHandle();
    HRSRC sha1 = FindResource(module, MAKEINTRESOURCE(4002), RT_HTML);
    ASSERT_NE(sha1, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, sha1)));
    EXPECT_NE(std::string(text, SizeofResource(module, sha1)).find("function hex_sha1("), std::string::npos);
}
