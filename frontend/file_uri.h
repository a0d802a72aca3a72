// File URIs as operands: file managers hand a thumbnailer its input as a
// path or as a URI (file:///home/me/a%20b.rsr), and the console program
// takes either.
#pragma once

#include <string>

namespace quarlen {

// True when operand is to be read as a file URI: it starts with "file:/",
// the scheme in any letter case.
bool isFileUri(const std::string& operand);

// The path of this computer's file that uri names, percent-escapes
// decoded, into path: file:///PATH, file://localhost/PATH or file:/PATH
// (on Windows, file:///C:/PATH gives C:/PATH). False, with why set, for a
// URI of another host, a query or fragment, or an escape that is not two
// hexadecimal digits or decodes to a zero byte. uri must be a file URI.
bool fileUriPath(const std::string& uri, std::string& path, std::string& why);

}  // namespace quarlen
