#pragma once

#include <string>

// The network work of one handheld call with plain libcurl, the floor the
// service layer is measured against: a connection check, then the empty probe
// and the call on one fresh handle, HTTP/1.0 with the handheld's headers.
void PlainExchange(const std::string& url, const std::string& envelope, std::string& answer);
