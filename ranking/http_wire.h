#pragma once
// The bytes of an answer, with what the server adds to every one.
#include "http.h"

#include <string>

namespace ranking {

// A short French answer for a status the transport gives on its own (400, 404, 405, 413, …).
HttpResponse plainAnswer(int status);

// Status line, headers and body. Adds Date, Content-Length, Connection and the security
// headers; an error without a body gets its French text; HEAD gets no body.
std::string serialize(HttpResponse response, bool head, bool keepAlive);

} // namespace ranking
