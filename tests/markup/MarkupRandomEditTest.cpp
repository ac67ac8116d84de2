// Random adds, attribute sets and cursor moves applied to a CMarkup and to a
// plain tree kept here; after every step the document text must be the
// tree's own serialisation and the reads must agree. Now and then the text is
// parsed afresh, which must give the same listing as the edited index.
// Removing elements is not an operation of the class.
#include "MarkupTestUtil.h"

#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kProlog[] = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n";

struct Node {
    std::string name, data;
    std::vector<std::pair<std::string, std::string>> attribs;
    std::vector<int> children;
    int parent = 0;
};

bool Matches(const std::string& stored, const char* requested) {
    if (!requested || !*requested) return true;
    const std::string r(requested);
    if (r.compare(0, stored.size(), stored) != 0 || r.size() < stored.size()) return false;
    return r.size() == stored.size() || std::strchr(" =/[", r[stored.size()]);
}

std::string Encode(const std::string& text, bool attrib) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '&': out += "&amp;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += attrib ? "&apos;" : "'"; break;
        case '"': out += attrib ? "&quot;" : "\""; break;
        default: out += c;
        }
    }
    return out;
}

// The tree and its cursor, with the same operations as the class.
class Model {
public:
    Model() : m_nodes(1) {}

    std::string Text() const { return kProlog + (Root() ? Serialise(Root()) : ""); }

    bool AddElem(const std::string& name, const std::string& data, bool child) {
        const int parent = child ? m_main : m_parent;
        if (child ? !m_main : (!m_parent && Root())) return false;
        const int ref = child ? m_child : m_main;
        const int id = static_cast<int>(m_nodes.size());
        m_nodes.push_back(Node{name, data, {}, {}, parent});
        std::vector<int>& list = m_nodes[parent].children;
        list.insert(ref ? std::find(list.begin(), list.end(), ref) + 1 : list.end(), id);
        (child ? m_child : m_main) = id;
        if (!child) m_child = 0;
        return true;
    }

    bool SetAttrib(bool child, const std::string& name, const std::string& value) {
        const int target = child ? m_child : m_main;
        if (!m_main || !target) return false;
        auto& attribs = m_nodes[target].attribs;
        auto found = std::find_if(attribs.begin(), attribs.end(),
                                  [&](const auto& a) { return Matches(a.first, name.c_str()); });
        if (found != attribs.end())
            found->second = value;
        else
            attribs.emplace_back(name, value);
        return true;
    }

    bool FindElem(const char* name) {
        const int found = Find(m_parent, m_main, name);
        if (found) m_main = found, m_child = 0;
        return found != 0;
    }

    bool FindChildElem(const char* name) {
        if (!m_main && !FindElem(nullptr)) return false;
        const int found = Find(m_main, m_child, name);
        if (found) m_child = found;
        return found != 0;
    }

    bool IntoElem() {
        if (!m_main) return false;
        m_parent = m_main, m_main = m_child, m_child = 0;
        return true;
    }

    bool OutOfElem() {
        if (!m_parent) return false;
        m_child = m_main, m_main = m_parent, m_parent = m_nodes[m_parent].parent;
        return true;
    }

    void ResetPos() { m_parent = m_main = m_child = 0; }
    void ResetMainPos() { m_main = m_child = 0; }
    void ResetChildPos() { m_child = 0; }

    std::string TagName(bool child) const { return m_nodes[child ? m_child : m_main].name; }
    std::string Data(bool child) const {
        const Node& n = m_nodes[child ? m_child : m_main];
        return n.children.empty() ? n.data : "";
    }
    std::string Attrib(bool child, const char* name) const {
        const int target = child ? m_child : m_main;
        for (const auto& [stored, value] : m_nodes[target].attribs)
            if (target && *name && Matches(stored, name)) return value;
        return "";
    }
    bool RootHasChildren() const { return Root() && !m_nodes[Root()].children.empty(); }

private:
    int Root() const { return m_nodes[0].children.empty() ? 0 : m_nodes[0].children[0]; }

    int Find(int parent, int after, const char* name) const {
        const std::vector<int>& list = m_nodes[parent].children;
        auto it = after ? std::find(list.begin(), list.end(), after) + 1 : list.begin();
        for (; it != list.end(); ++it)
            if (Matches(m_nodes[*it].name, name)) return *it;
        return 0;
    }

    // The layout the edits make: every element on a line of its own, a
    // parent's first child right after its data or on a new line.
    std::string Serialise(int id) const {
        const Node& n = m_nodes[id];
        std::string out = "<" + n.name;
        for (const auto& [name, value] : n.attribs) out += " " + name + "=\"" + Encode(value, true) + "\"";
        if (n.children.empty()) {
            out += n.data.empty() ? "/>" : ">" + Encode(n.data, false) + "</" + n.name + ">";
        } else {
            out += ">" + (n.data.empty() ? "\r\n" : Encode(n.data, false));
            for (int c : n.children) out += Serialise(c);
            out += "</" + n.name + ">";
        }
        return out + "\r\n";
    }

    std::vector<Node> m_nodes;
    int m_parent = 0, m_main = 0, m_child = 0;
};

const char* const kNames[] = {"a", "b", "ab", "item"};
const char* const kRequests[] = {nullptr, "", "a", "b", "ab", "item", "a[1]", "b x", "it", "items"};
const char* const kAttribNames[] = {"x", "y", "xy", "id"};
const char* const kTexts[] = {"", "v", "1 < 2", "a & b", "'q' \"q\"", "x > y", "\xA5\xA3\xB9", "&amp;", "]]>", " sp "};

// FormatXML writes an element without data as <a>, a line break, </a>: the
// peer then reads white space as its text.
std::string WithoutBlankData(const std::string& listing) {
    return std::regex_replace(listing, std::regex(R"(\|(\\x0a| )+\n)"), "|\n");
}

template <class T, size_t N> T Pick(std::mt19937& rng, T const (&items)[N]) { return items[rng() % N]; }

struct Outcome {
    std::string doc, listing, formatted;
    bool rootHasChildren;
};

void RandomEdits(unsigned seed, int steps, Outcome& outcome) {
    std::mt19937 rng(seed);
    Model model;
    CMarkup xml(kProlog);
    for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
        const int op = static_cast<int>(rng() % 100);
        const bool child = rng() % 2;
        const char* request = Pick(rng, kRequests);
        if (op < 30) {
            const char* name = Pick(rng, kNames);
            const char* data = Pick(rng, kTexts);
            const bool ok = child ? xml.AddChildElem(name, data) : xml.AddElem(name, data);
            ASSERT_EQ(ok, model.AddElem(name, data, child));
        } else if (op < 50) {
            const char* name = Pick(rng, kAttribNames);
            const char* value = Pick(rng, kTexts);
            const bool ok = child ? xml.SetChildAttrib(name, value) : xml.SetAttrib(name, value);
            ASSERT_EQ(ok, model.SetAttrib(child, name, value));
        } else if (op < 62) {
            ASSERT_EQ(xml.FindElem(request), model.FindElem(request));
        } else if (op < 74) {
            ASSERT_EQ(xml.FindChildElem(request), model.FindChildElem(request));
        } else if (op < 82) {
            ASSERT_EQ(xml.IntoElem(), model.IntoElem());
        } else if (op < 90) {
            ASSERT_EQ(xml.OutOfElem(), model.OutOfElem());
        } else if (op < 93) {
            ASSERT_EQ(xml.GetElement(request), (model.ResetMainPos(), model.FindElem(request)));
        } else if (op < 96) {
            xml.ResetPos(), model.ResetPos();
        } else if (op < 99) {
            xml.ResetChildPos(), model.ResetChildPos();
        } else {
            // A fresh parse of the text must index it as the edits did.
            CMarkup parsed;
            ASSERT_EQ(parsed.SetDoc(xml.GetDoc()), xml.IsWellFormed());
            ASSERT_EQ(markuptest::Dump(parsed), markuptest::Dump(xml));
            xml = parsed;
            model.ResetPos();
        }
        ASSERT_EQ(xml.GetDoc().str(), model.Text());
        ASSERT_EQ(xml.GetTagName().str(), model.TagName(false));
        ASSERT_EQ(xml.GetChildTagName().str(), model.TagName(true));
        ASSERT_EQ(xml.GetData().str(), model.Data(false));
        ASSERT_EQ(xml.GetChildData().str(), model.Data(true));
        const char* attrib = Pick(rng, kAttribNames);
        ASSERT_EQ(xml.GetAttrib(attrib).str(), model.Attrib(false, attrib));
        ASSERT_EQ(xml.GetChildAttrib(attrib).str(), model.Attrib(true, attrib));
    }
    outcome = Outcome{xml.GetDoc().str(), markuptest::Dump(xml), kProlog + xml.FormatXML().str(),
                      model.RootHasChildren()};
}

} // namespace

// The final documents (equal to the model's text), and their FormatXML
// copies, read back by python's parser with the same structure, names,
// attributes and data.
TEST(CMarkupRandomEdits, TextMatchesTheModelAfterEveryStep) {
    std::vector<std::string> docs;
    std::vector<Outcome> runs(12);
    for (unsigned seed = 1; seed <= runs.size(); ++seed) {
        RandomEdits(seed, 1500, runs[seed - 1]);
        if (HasFatalFailure()) return;
        docs.push_back(runs[seed - 1].doc);
        docs.push_back(runs[seed - 1].formatted);
    }
    zep3test::TempDir dir;
    auto peer = markuptest::PeerDumps(dir.path(), docs);
    ASSERT_EQ(peer.size(), docs.size()) << "python3 did not run";
    for (size_t i = 0; i < runs.size(); ++i) {
        ASSERT_TRUE(runs[i].rootHasChildren);
        EXPECT_EQ(peer[std::to_string(2 * i + 1) + ".xml"], runs[i].listing) << "edited document " << i;
        EXPECT_EQ(WithoutBlankData(peer[std::to_string(2 * i + 2) + ".xml"]), runs[i].listing) << "formatted document " << i;
    }
}
