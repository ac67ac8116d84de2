// CMarkup against pugixml in the same run: parsing a generated 20 MB
// document (both index one copy of the text; neither makes a string per
// node), walking every element of it reading name, an attribute and the data,
// and appending elements one by one (10 000 and 100 000, to show the cost per
// element stays flat). pugixml's appends end with writing the document out,
// which CMarkup's text already is.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <pugixml.hpp>

#include <cstring>
#include <string>

namespace {

// Surveillance events as an application would log them: attributes,
// entities, a CDATA note, comments and indentation.
const std::string& Document() {
    static const std::string doc = [] {
        std::string text = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n<!-- generated -->\r\n"
                           "<events station=\"ZEP3\">\r\n";
        for (int i = 0; text.size() < 20u << 20; ++i) {
            const std::string n = std::to_string(i);
            text += "  <event id=\"" + n + "\" type=\"motion\" camera=\"" + std::to_string(i % 16) + "\">\r\n"
                    "    <time>2024-05-" + std::to_string(10 + i % 20) + "T12:00:" + std::to_string(i % 60) + "</time>\r\n"
                    "    <zone name=\"door &amp; hall\">Strefa &lt;" + n + "&gt; \xa3\xf3" "d\xbc</zone>\r\n"
                    "    <objects count=\"3\">\r\n";
            for (int k = 0; k < 3; ++k)
                text += "      <object id=\"" + std::to_string(k) + "\" x=\"" + std::to_string(i % 640) +
                        "\" y=\"" + std::to_string(k * 40) + "\" w=\"32\" h=\"48\"/>\r\n";
            text += "    </objects>\r\n    <note><![CDATA[raw <text> " + n + "]]></note>\r\n  </event>\r\n";
            if (i % 100 == 0) text += "  <!-- block " + n + " -->\r\n";
        }
        return text + "</events>\r\n";
    }();
    return doc;
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Document().size()));
}

void ParseOurs(benchmark::State& state) {
    CMarkup xml;
    for (auto _ : state) {
        if (!xml.SetDoc(Document().c_str())) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(xml);
    }
    SetBytes(state);
}

void ParsePugi(benchmark::State& state) {
    pugi::xml_document doc;
    for (auto _ : state) {
        if (!doc.load_buffer(Document().data(), Document().size())) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc);
    }
    SetBytes(state);
}

size_t VisitAll(CMarkup& xml) {
    size_t total = 0;
    auto visit = [&] { total += xml.GetTagName().GetLength() + xml.GetAttrib("id").GetLength() + xml.GetData().GetLength(); };
    xml.ResetPos();
    xml.FindElem();
    visit();
    for (;;) {
        if (xml.FindChildElem()) {
            xml.IntoElem();
            visit();
        } else if (!xml.OutOfElem()) {
            return total;
        }
    }
}

size_t VisitAll(const pugi::xml_node& node) {
    size_t total = std::strlen(node.name()) + std::strlen(node.attribute("id").value());
    bool leaf = true;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element) {
            leaf = false;
            total += VisitAll(child);
        }
    return leaf ? total + std::strlen(node.child_value()) : total;
}

void WalkOurs(benchmark::State& state) {
    CMarkup xml(Document().c_str());
    for (auto _ : state) benchmark::DoNotOptimize(VisitAll(xml));
    SetBytes(state);
}

void WalkPugi(benchmark::State& state) {
    pugi::xml_document doc;
    doc.load_buffer(Document().data(), Document().size());
    for (auto _ : state) benchmark::DoNotOptimize(VisitAll(doc.document_element()));
    SetBytes(state);
}

void ParseAndWalkOurs(benchmark::State& state) {
    for (auto _ : state) {
        CMarkup xml(Document().c_str());
        benchmark::DoNotOptimize(VisitAll(xml));
    }
    SetBytes(state);
}

void ParseAndWalkPugi(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document doc;
        doc.load_buffer(Document().data(), Document().size());
        benchmark::DoNotOptimize(VisitAll(doc.document_element()));
    }
    SetBytes(state);
}

benchsupport::Body AppendOurs(int count) {
    return [count](benchmark::State& state) {
        for (auto _ : state) {
            CMarkup xml;
            xml.AddElem("log");
            for (int i = 0; i < count; ++i) {
                xml.AddChildElem("entry", "camera 4: motion & sound");
                xml.SetChildAttrib("n", std::to_string(i).c_str());
            }
            benchmark::DoNotOptimize(xml.GetDoc());
        }
        state.SetItemsProcessed(int64_t(state.iterations()) * count);
    };
}

benchsupport::Body AppendPugi(int count) {
    return [count](benchmark::State& state) {
        struct Writer : pugi::xml_writer {
            std::string text;
            void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
        };
        for (auto _ : state) {
            pugi::xml_document doc;
            pugi::xml_node log = doc.append_child("log");
            for (int i = 0; i < count; ++i) {
                pugi::xml_node entry = log.append_child("entry");
                entry.append_attribute("n") = i;
                entry.text() = "camera 4: motion & sound";
            }
            Writer writer;
            doc.save(writer, "", pugi::format_raw);
            benchmark::DoNotOptimize(writer.text);
        }
        state.SetItemsProcessed(int64_t(state.iterations()) * count);
    };
}

} // namespace

int main(int argc, char** argv) {
    benchsupport::RunPairs(argc, argv,
                           {
                               {"parse 20 MB", ParseOurs, "pugixml load_buffer", ParsePugi},
                               {"walk 20 MB", WalkOurs, "pugixml node walk", WalkPugi},
                               {"parse and walk 20 MB", ParseAndWalkOurs, "pugixml", ParseAndWalkPugi},
                               {"append 10000 elements", AppendOurs(10000), "pugixml append_child + save",
                                AppendPugi(10000)},
                               {"append 100000 elements", AppendOurs(100000), "pugixml append_child + save",
                                AppendPugi(100000)},
                           });
}
