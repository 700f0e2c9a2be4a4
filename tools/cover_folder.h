#pragma once
// The files of a folder as HTTP replies: what bookaudit-coverserver serves.
#include <optional>
#include <string>

#include "support/http_server.h"

// A handler that answers GET of a path with the file of that name under dir. Paths are bytes:
// GBK file names arrive raw (as the program sends them) or percent-encoded (as a browser
// sends them); the query is ignored. ".." and whatever lies outside dir, also through links,
// is refused with 403; a missing file or a folder is 404. Nothing when dir is not a folder.
std::optional<HttpServer::Handler> folderHandler(const std::string& dir);
