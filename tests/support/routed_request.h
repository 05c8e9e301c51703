#pragma once
// Requests handed to the router in process: no port, no engine, no waiting. Each is made
// as the engine makes it from what curl sends (its Host, the form body's content type,
// its credentials), and a file's or a stream's body is read whole. What only the engine
// adds (the Server and nosniff headers, the 401 challenge, cleaned header values) is
// tested over a socket in gateway/router_engine_test.cpp.

#include <string>

#include "gateway/server.h"
#include "support/http_fetch.h"

namespace norvane::test {

// The request as curl sends it to 127.0.0.1 on the PORT of the settings (fromAddress is
// the client's address), through TServer::CommandGet as the engine calls it. The answer's
// content type is its Content-Type header.
FetchResult Route(TServer& server, const std::string& target, const FetchOptions& options = {});

}  // namespace norvane::test
