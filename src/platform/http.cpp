#include "platform/http.h"

std::string httpGetBytes(const std::string&) { return {}; }
