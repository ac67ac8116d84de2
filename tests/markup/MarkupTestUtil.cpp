#include "MarkupTestUtil.h"

#include "support/TestSupport.h"

#include <cstdio>
#include <sstream>

namespace markuptest {

std::string Escape(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '|' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

namespace {

void DumpMain(CMarkup& xml, int depth, std::string& out) {
    out += std::to_string(depth) + "|" + Escape(xml.GetTagName().str());
    for (int i = 0;; ++i) {
        const CString name = xml.GetAttribName(i);
        if (name.IsEmpty()) break;
        out += "|" + Escape(name.str()) + "=" + Escape(xml.GetAttrib(name).str());
    }
    out += "|" + Escape(xml.GetData().str()) + "\n";
    while (xml.FindChildElem()) {
        xml.IntoElem();
        DumpMain(xml, depth + 1, out);
        xml.OutOfElem();
    }
}

} // namespace

std::string Dump(CMarkup& xml) {
    std::string out;
    xml.ResetPos();
    if (xml.FindElem()) DumpMain(xml, 0, out);
    xml.ResetPos();
    return out;
}

std::map<std::string, std::string> RunPeer(const std::string& arguments) {
    std::string output;
    std::map<std::string, std::string> sections;
    if (zep3test::runCommand("/usr/bin/python3 " MARKUP_TEST_DIR "/peer.py " + arguments, &output) != 0) return sections;
    std::istringstream lines(output);
    std::string line, current;
    while (std::getline(lines, line)) {
        if (line.rfind("== ", 0) == 0)
            sections[current = line.substr(3)];
        else
            sections[current] += line + "\n";
    }
    return sections;
}

std::map<std::string, std::string> PeerDumps(const std::string& folder, const std::vector<std::string>& docs) {
    std::string files;
    for (size_t i = 0; i < docs.size(); ++i) {
        const std::string path = folder + "/" + std::to_string(i + 1) + ".xml";
        zep3test::writeFile(path, docs[i]);
        files += " " + path;
    }
    std::map<std::string, std::string> byPath = RunPeer("dump" + files), byName;
    for (auto& [path, dump] : byPath) byName[path.substr(path.rfind('/') + 1)] = dump;
    return byName;
}

} // namespace markuptest
