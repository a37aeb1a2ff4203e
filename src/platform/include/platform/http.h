// The one way the plug-in talks HTTP: one synchronous request per call, no shared state, so any
// thread may call it. A call succeeds when the request went out and the whole reply body came
// back, whatever the HTTP status; the caller judges the body itself.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace tideloom {

// Sends `body` (empty: no body) with `method` to `url`. An empty `contentType` sends no
// Content-Type header. On success `reply` is replaced by the reply body and, when asked for,
// `statusCode` receives the reply's HTTP status; `error` is untouched. On failure `error` holds
// the message and `reply` and `statusCode` are untouched. A `limitMs` above 0 fails a request
// still unfinished that long after it began, however steadily its reply trickles in.
bool HttpRequest(std::string_view method, std::string_view url, std::string_view contentType,
                 std::string_view body, std::string& reply, std::string& error,
                 int* statusCode = nullptr, int64_t limitMs = 0);

// A request body handed over in pieces while it is sent, so that a large one never sits in
// memory whole. Its length is announced up front. `read` fills `piece` with the body's bytes
// from `offset` on, or puts a message in `error` and answers false: the request is then cut off
// and fails with that message. A request sent again (a 307 or 308 redirect) reads again from 0.
struct BodySource {
  uint64_t size = 0;
  std::function<bool(uint64_t offset, std::span<char> piece, std::string& error)> read;
};

// As above, with the body read from `body` while it goes out.
bool HttpRequest(std::string_view method, std::string_view url, std::string_view contentType,
                 const BodySource& body, std::string& reply, std::string& error,
                 int* statusCode = nullptr, int64_t limitMs = 0);

// A POST of the UTF-8 text `jsonBody` as "application/json".
bool HttpPostJson(std::string_view url, std::string_view jsonBody, std::string& reply,
                  std::string& error, int* statusCode = nullptr);

// A GET without body and without Content-Type.
bool HttpGet(std::string_view url, std::string& reply, std::string& error,
             int* statusCode = nullptr, int64_t limitMs = 0);

} // namespace tideloom
