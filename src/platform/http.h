#pragma once
#include <string>

// GET of address over HTTP/1.0 (or https); yields the body whatever the status, what arrived
// when the transfer broke off, or nothing when the request could not be sent.
std::string httpGetBytes(const std::string& address);
