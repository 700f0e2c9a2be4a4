#pragma once
#include <string>

// Text is a GBK byte string, exactly as the database and the controls hold it.
// Joining Texts concatenates bytes; comparing compares bytes.
using Text = std::string;
