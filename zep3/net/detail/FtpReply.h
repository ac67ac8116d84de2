#pragma once
// The text side of the FTP client: reading reply lines and whole replies
// from the control connection's archive, and the data-connection addresses
// of the PASV reply and the PORT command. Kept apart from the sockets so that
// the fuzz target drives the same code.
#include <zep3/platform/Archive.h>
#include <zep3/platform/String.h>

namespace zep3::detail {

// Reads one line into reply; when the line is not empty, replyClass becomes
// its first character minus '0'. False when no line could be read (the
// connection closed or failed, or there is no archive): reply is then
// "Network error".
ZEP3_TEST_API bool ReadFtpLine(CArchive* in, CString& reply, int& replyClass);

// Reads one complete reply. A first line whose fourth character is '-'
// opens a multi-line reply with the number at the start of the line as its
// code, and lines are read until one of at least four characters whose
// fourth character is a space and whose leading number is that code. Any
// other first line is the whole reply. reply and replyClass are those of the
// last line read; false as soon as a line could not be read.
ZEP3_TEST_API bool ReadFtpReply(CArchive* in, CString& reply, int& replyClass);

// The number at the start of a line, read as atol does (leading white space
// and a sign allowed, 0 without digits, saturated when too long).
ZEP3_TEST_API long FtpLeadingNumber(const CString& line);

// The data host and port of a PASV reply: the text between the first "(" and
// the first ")" holds h1,h2,h3,h4,p1,p2; the host is the text before the
// fourth comma with its commas turned into dots, the port p1 * 256 + p2, each
// read with atol. False when either parenthesis is missing (or ")" comes
// first).
ZEP3_TEST_API bool ParsePassiveReply(const CString& reply, CString& host, UINT& port);

// "PORT a,b,c,d,p1,p2" for a dotted local address and a port.
ZEP3_TEST_API CString PortCommand(const CString& address, UINT port);

} // namespace zep3::detail
