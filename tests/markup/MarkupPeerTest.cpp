// Documents made by python's ElementTree and by xmllint load with the
// structure those tools see, and tool-made documents edited here are read
// back by them with the structure the index has.
#include "MarkupTestUtil.h"

#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using markuptest::Dump;

const int kDocuments = 40;

class MarkupPeer : public ::testing::Test {
protected:
    void SetUp() override {
        m_made = markuptest::RunPeer("make " + m_dir.path() + " " + std::to_string(kDocuments) + " 7");
        ASSERT_EQ(m_made.size(), size_t(kDocuments)) << "python3 did not run";
    }

    std::string Path(int n, const char* suffix = "") { return m_dir.file(std::to_string(n) + suffix + ".xml"); }
    CMarkup Load(const std::string& path) {
        CMarkup xml;
        EXPECT_TRUE(xml.SetDoc(zep3test::readFile(path).c_str())) << path << ": " << xml.GetError();
        return xml;
    }

    zep3test::TempDir m_dir;
    std::map<std::string, std::string> m_made; // listings by file name
};

// Marks every element, gives every third one a new last child and puts a
// new sibling after every fourth one below the root.
void EditAll(CMarkup& xml, int& counter) {
    const int n = ++counter;
    ASSERT_TRUE(xml.SetAttrib("id", ("#" + std::to_string(n) + " <&>'\"").c_str()));
    while (xml.FindChildElem()) {
        xml.IntoElem();
        EditAll(xml, counter);
        xml.OutOfElem();
    }
    if (n % 3 == 0) {
        ASSERT_TRUE(xml.AddChildElem("added", n % 2 ? "d & <e>" : nullptr));
    }
    if (n % 4 == 0 && n > 1) {
        ASSERT_TRUE(xml.AddElem("sibling", "s"));
    }
}

} // namespace

// Each document as ElementTree wrote it and as xmllint reformats it loads
// as python sees it; edited, it reads back in python as the index has it.
TEST_F(MarkupPeer, ToolMadeDocumentsLoadAndReadBackEdited) {
    std::vector<std::string> edited, listings;
    for (int n = 1; n <= kDocuments; ++n) {
        const std::string formatted = Path(n, ".lint");
        ASSERT_EQ(zep3test::runCommand("xmllint --format --encode windows-1250 " + Path(n) + " > " + formatted), 0);
        CMarkup lint = Load(formatted), xml = Load(Path(n));
        EXPECT_EQ(Dump(lint), m_made[std::to_string(n) + ".xml"]) << formatted;
        EXPECT_EQ(Dump(xml), m_made[std::to_string(n) + ".xml"]) << n;

        xml.FindElem();
        int counter = 0;
        EditAll(xml, counter);
        if (HasFatalFailure()) return;
        listings.push_back(Dump(xml));
        CMarkup parsed;
        ASSERT_TRUE(parsed.SetDoc(xml.GetDoc()));
        EXPECT_EQ(Dump(parsed), listings.back()) << n;
        edited.push_back(xml.GetDoc().str());
    }
    zep3test::TempDir out;
    std::map<std::string, std::string> peer = markuptest::PeerDumps(out.path(), edited);
    ASSERT_EQ(peer.size(), edited.size()) << "python3 did not run";
    for (int n = 1; n <= kDocuments; ++n) {
        EXPECT_EQ(peer[std::to_string(n) + ".xml"], listings[n - 1]) << n;
        EXPECT_EQ(zep3test::runCommand("xmllint --noout " + out.file(std::to_string(n) + ".xml")), 0) << n;
    }
}
