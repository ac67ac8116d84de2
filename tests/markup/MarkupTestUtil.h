#pragma once
// Shared by the markup tests: a canonical listing of a document's elements
// (the same listing tests/markup/peer.py makes with python's xml.etree) and
// the peer runner.
#include <zep3/zep3.h>

#include <map>
#include <string>
#include <vector>

namespace markuptest {

// One line per element in document order: depth|name|attribute=value...|data,
// with '|', '\' and bytes outside printable ASCII escaped as \xHH.
std::string Dump(CMarkup& xml);
std::string Escape(const std::string& bytes);

// Runs tests/markup/peer.py (with Debian's python3) with the arguments; its output split into the
// sections it heads with "== <name>" lines. Empty map when python fails.
std::map<std::string, std::string> RunPeer(const std::string& arguments);

// Writes each document to a file in `folder` and has python's parser list
// them; the listings by file name (1.xml, 2.xml, ...).
std::map<std::string, std::string> PeerDumps(const std::string& folder, const std::vector<std::string>& docs);

} // namespace markuptest
