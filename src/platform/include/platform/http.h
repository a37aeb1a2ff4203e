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

// What one exchange gave, in the manner of cpp-httplib's Result: when the request went out and
// the whole reply came back, whatever its HTTP status, the status and the body; otherwise the
// message that says what failed.
struct HttpReply {
  bool received = false;
  int status = 0;
  std::string body;
  std::string error;

  explicit operator bool() const { return received; }
};

// Sends `body` (empty: no body) with `method` to `url`. An empty `contentType` sends no
// Content-Type header. A `limitMs` above 0 fails a request still unfinished that long after it
// began, however steadily its reply trickles in.
HttpReply HttpRequest(std::string_view method, std::string_view url, std::string_view contentType,
                      std::string_view body, int64_t limitMs = 0);

// A request body handed over in pieces while it is sent, so that a large one never sits in
// memory whole. Its length is announced up front. `read` fills `piece` with the body's bytes
// from `offset` on, or puts a message in `error` and answers false: the request is then cut off
// and fails with that message. A request sent again (a 307 or 308 redirect) reads again from 0.
struct BodySource {
  uint64_t size = 0;
  std::function<bool(uint64_t offset, std::span<char> piece, std::string& error)> read;
};

// As above, with the body read from `body` while it goes out.
HttpReply HttpRequest(std::string_view method, std::string_view url, std::string_view contentType,
                      const BodySource& body, int64_t limitMs = 0);

// A POST of the UTF-8 text `jsonBody` as "application/json".
HttpReply HttpPostJson(std::string_view url, std::string_view jsonBody);

// A GET without body and without Content-Type.
HttpReply HttpGet(std::string_view url, int64_t limitMs = 0);

} // namespace tideloom
