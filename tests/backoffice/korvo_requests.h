#pragma once

#include <string>
#include <utility>
#include <vector>

// Requests as the handheld writes them, for the back office's tests and its
// load benchmark; written here by hand so that the handheld's own code is not
// what tests the server.

// Escaped the way the handheld escapes String_1 and String_2.
std::string EscapeLikeKorvo(const std::string& text);
// The handheld's envelope around a header for `function` and a request.
std::string KorvoEnvelope(const std::string& function, const std::string& request);
// A request document: the declaration, the root in its namespace, children
// <name xmlns="">value</name> (values escaped once).
std::string RequestDocument(const std::string& root,
                            const std::vector<std::pair<std::string, std::string>>& children,
                            const std::string& extra = "");
