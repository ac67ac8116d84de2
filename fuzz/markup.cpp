// CMarkup::SetDoc of any text, then a walk through everything it indexed with
// every read on the way. The first byte chooses the code page (Windows-1250
// or Shift-JIS) and whether the walk also edits; after edits the text must
// parse again into exactly the index the edits left (names and offsets), and
// FormatXML's copy must parse with the same elements.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

#include <string>

namespace {

// Reaches the index for the checks.
class Probe : public CMarkup {
public:
    // Name and tag offsets of every element in document order.
    std::string Layout(bool offsets) const {
        std::string out;
        for (int i = m_Records[0].iFirstChild; i; i = x_NextInSubtree(i, 0)) {
            const ElemPos& e = m_Records[i];
            out += x_GetTagName(i).str();
            if (offsets)
                out += " " + std::to_string(e.nStartLeft) + " " + std::to_string(e.nStartRight) + " " +
                       std::to_string(e.nEndLeft) + " " + std::to_string(e.nEndRight);
            out += "\n";
        }
        return out;
    }
};

void Visit(CMarkup& xml, bool edit, int& count) {
    xml.GetTagName();
    xml.GetData();
    for (int i = 0; i < 8; ++i) {
        const CString name = xml.GetAttribName(i);
        if (name.IsEmpty()) break;
        xml.GetAttrib(name);
    }
    if (!edit || ++count > 64) return;
    switch (count % 4) {
    case 0: zep3fuzz::check(xml.SetAttrib("z", "v&'"), "SetAttrib on the main element"); break;
    case 1: xml.AddChildElem("n", count % 8 == 1 ? "d<" : nullptr); break; // refused under <p//>
    case 2:
        if (xml.OutOfElem()) {
            xml.IntoElem();
            zep3fuzz::check(xml.AddElem("s"), "AddElem below the root");
        }
        break;
    default: xml.GetChildAttrib("z");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 0x10000) return 0;
    const bool shiftJis = data[0] & 1, edit = data[0] & 2;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (shiftJis) SetACP(932);
    Probe xml;
    const bool parsed = xml.SetDoc(text.c_str());
    if (shiftJis) SetACP(1250);
    zep3fuzz::check(parsed == xml.IsWellFormed(), "SetDoc's result is the root's presence");
    if (!parsed) {
        zep3fuzz::check(!xml.FindElem() && !xml.FindChildElem(), "no root, nothing to find");
        return 0;
    }
    xml.FindElem(text.substr(0, data[0] % 8).c_str());
    xml.GetElement(xml.GetTagName());

    // Depth first through the cursor: into each child, out when there is none left.
    int count = 0;
    xml.ResetPos();
    xml.FindElem();
    Visit(xml, edit, count);
    for (int steps = 0; steps < 100000; ++steps) {
        if (xml.FindChildElem()) {
            xml.GetChildData();
            xml.IntoElem();
            Visit(xml, edit, count);
        } else if (!xml.OutOfElem()) {
            break;
        }
    }

    Probe again;
    if (shiftJis) SetACP(932);
    zep3fuzz::check(again.SetDoc(xml.GetDoc()), "the edited text parses");
    zep3fuzz::check(again.Layout(true) == xml.Layout(true), "edits leave the index a fresh parse makes");
    if (!shiftJis) {
        Probe formatted;
        zep3fuzz::check(formatted.SetDoc(xml.FormatXML()), "FormatXML's copy parses");
        zep3fuzz::check(formatted.Layout(false) == xml.Layout(false), "FormatXML keeps the elements");
    }
    if (shiftJis) SetACP(1250);
    return 0;
}
