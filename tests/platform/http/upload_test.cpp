// Whole-file uploads: the multipart body byte for byte, the boundary, the file reader's
// messages, and that nothing reaches the network when the file cannot be sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "peer_client.h"
#include "platform/upload.h"
#include "running_under_wine.h"
#include "temp_folder.h"

namespace tideloom {

namespace {

const std::string kBoundary = "----TideLoomBoundary7MA4YWxkTrZu0gW";
const std::string kMarker = "--" + kBoundary;

// Bytes that differ from their neighbours, so a piece sent twice or out of place shows.
std::string Patterned(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

std::string ExpectedBody(const std::string& boundary, const std::string& key,
                         const std::string& nameField, const std::string& announcedName,
                         const std::string& file) {
  return "--" + boundary + "\r\n" + "Content-Disposition: form-data; name=\"licenseKey\"\r\n\r\n" +
         key + "\r\n" + "--" + boundary + "\r\n" +
         "Content-Disposition: form-data; name=\"filename\"\r\n\r\n" + nameField + "\r\n" + "--" +
         boundary + "\r\n" + "Content-Disposition: form-data; name=\"file\"; filename=\"" +
         announcedName + "\"\r\n" + "Content-Type: application/octet-stream\r\n\r\n" + file +
         "\r\n--" + boundary + "--\r\n";
}

class Upload : public PeerTest {
protected:
  TempFolder folder;
};

TEST_F(Upload, TheMultipartBodyIsExactlyTheFormUnderABoundaryTheContentDoesNotHold) {
  struct Case {
    std::string key, name, file;
    std::string boundary, announcedName;
  };
  const std::vector<Case> cases = {
      {"KEY-1", "snap.xml", std::string("<xml>\0\r\n\xff</xml>", 15), kBoundary, "snap.xml"},
      // The text field keeps the name as given; only the quoted parameter is encoded.
      {"k", "evil\".xml\r\nContent-Type: text/html\r\n", "data", kBoundary,
       "evil%22.xml%0D%0AContent-Type: text/html%0D%0A"},
      {"k", "t.bin", "before\r\n--" + kBoundary + "--\r\nafter", kBoundary + "_1", "t.bin"},
      {"", "", "", kBoundary, ""},
      // Streamed in several pieces, with the marker across the first edge.
      {"k", "big.bin", Patterned(kUploadPieceSize - 20) + kMarker + Patterned(kUploadPieceSize + 7),
       kBoundary + "_1", "big.bin"},
  };
  ScriptPeer({{"path", Path("0")}, {"status", 202}, {"body", "stored"}});
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    // Read by its Unicode name, not through a code page.
    const std::string path =
        folder.Write(std::to_string(i) + "-Schnappschu\xC3\x9F-\xE2\x82\xAC", c.file);
    const HttpReply reply = HttpPostMultipart(Url(std::to_string(i)), c.key, c.name, path);
    ASSERT_TRUE(reply) << reply.error;
    EXPECT_EQ(reply.body, i == 0 ? "stored" : "peer default reply");
    const RecordedRequest request = OnlyRequestUnder(Path(std::to_string(i)));
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(HeaderValue(request, "Content-Type"), "multipart/form-data; boundary=" + c.boundary);
    EXPECT_EQ(request.body, ExpectedBody(c.boundary, c.key, c.name, c.announcedName, c.file));
    EXPECT_EQ(MultipartBodySize(c.boundary, c.key, c.name, c.file.size()), request.body.size());
  }
  EXPECT_EQ(MultipartBodySize(kBoundary, "", "", 0), 368u);
  EXPECT_EQ(MultipartBodySize(kBoundary, "abc", "name", 4294967295u),
            uint64_t{368} + 3 + 8 + 4294967295u);
}

TEST_F(Upload, ABoundaryFoundInTheContentMovesToTheFirstFreeSuffix) {
  const std::string marker = "--" + kBoundary;
  EXPECT_EQ(ChooseBoundary("key", "name.xml", "plain"), kBoundary);
  EXPECT_EQ(ChooseBoundary(marker, "", ""), kBoundary + "_1");
  EXPECT_EQ(ChooseBoundary("", "a" + marker + "_1", ""), kBoundary + "_2");
  // "_12" contains "_1" as well; "_20" does not stand for "_2".
  EXPECT_EQ(ChooseBoundary("", "", marker + "_12 " + marker + "_20 " + marker + "_3"),
            kBoundary + "_4");
  EXPECT_EQ(ChooseBoundary("", "", marker + "_01"), kBoundary + "_1");
  // The fixed boundary's own leading dashes overlap: "------" + rest still counts.
  EXPECT_EQ(ChooseBoundary("", "", "--" + marker), kBoundary + "_1");
  // The file is scanned in pieces: a marker, or the digits after it, across an edge still count.
  const std::string filler(kUploadPieceSize, '-');
  std::string twoToNine;
  for (char digit = '2'; digit <= '9'; ++digit)
    twoToNine += marker + "_" + digit + " ";
  const struct {
    std::string key, file, boundary;
  } straddling[] = {
      {"", filler.substr(10) + marker, kBoundary + "_1"},
      {"", filler.substr(marker.size()) + marker + "_1", kBoundary + "_2"},
      // "_10" across the edge: only the whole run rules out 10.
      {twoToNine, filler.substr(marker.size() + 2) + marker + "_10", kBoundary + "_11"},
      {"", filler.substr(3) + marker + "_1" + filler + marker + "_2", kBoundary + "_3"},
  };
  for (const auto& c : straddling)
    EXPECT_EQ(ChooseBoundary(c.key, "", c.file), c.boundary);
}

TEST_F(Upload, PlainFileUploadSendsTheBytesAloneAndAnEmptyFileSendsNoBody) {
  const std::string file = std::string("\x00\x01payload\xfe", 10) + Patterned(2 * kUploadPieceSize);
  // Sent again whole when a 307 redirects it; Wine's WinHTTP replays only a body handed over in
  // one piece, and fails the redirect instead (error 12019).
  ScriptPeer(
      {{"path", Path("moved")},
       {"status", 307},
       {"headers", nlohmann::json::array({nlohmann::json::array({"Location", Path("file")})})}});
  const std::string url = RunningUnderWine() ? Url("file") : Url("moved");
  for (const auto& [to, bytes] : {std::pair{url, file}, {Url("file"), std::string()}}) {
    const HttpReply reply =
        HttpPostFile(to, folder.Write(bytes.empty() ? "none.bin" : "raw.bin", bytes));
    ASSERT_TRUE(reply) << reply.error;
  }
  const std::vector<RecordedRequest> requests = RequestsUnder(Path("file"));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].body, file);
  EXPECT_EQ(HeaderValue(requests[0], "Content-Type"), "application/octet-stream");
  EXPECT_TRUE(requests[1].body.empty());
  EXPECT_EQ(HeaderValue(requests[1], "Content-Length"), "0");
}

TEST_F(Upload, AFileThatCannotBeReadIsReportedBeforeTheUrlAndAnyNetworkActivity) {
  const std::string missing = folder.Utf8(folder.root / "missing.xml");
  EXPECT_EQ(HttpPostMultipart(Url("u"), "k", "f", missing).error, "Cannot open file: " + missing);
  EXPECT_EQ(HttpPostFile(Url("u"), "").error, "Cannot open file: ");
  const std::string folderPath = folder.Utf8(folder.root);
  EXPECT_EQ(HttpPostFile(Url("u"), folderPath).error, "Cannot open file: " + folderPath);
  // A URL that cannot be parsed is reported only after the file was read.
  EXPECT_EQ(HttpPostMultipart("nowhere", "k", "a.xml", missing).error,
            "Cannot open file: " + missing);
  EXPECT_EQ(HttpPostMultipart("nowhere", "k", "a.xml", folder.Write("a.xml", "a")).error,
            "Failed to parse URL: nowhere");
  EXPECT_TRUE(RequestsUnder(prefix).empty());
}

// A sysfs file announces 4096 bytes and holds a few: to the reader it is a file that shrank
// after it was opened. The plain upload finds out while sending and must cut the body off.
TEST_F(Upload, AFileThatShrinksWhileSentFailsTheUploadAndNoShortBodyArrives) {
  const std::string shrunk = RunningUnderWine() ? "Z:\\sys\\devices\\system\\cpu\\online"
                                                : "/sys/devices/system/cpu/online";
  if (!std::filesystem::is_regular_file(shrunk)) GTEST_SKIP() << "no " << shrunk;
  EXPECT_EQ(HttpPostFile(Url("plain"), shrunk).error, "Failed to read file: " + shrunk);
  EXPECT_EQ(HttpPostMultipart(Url("form"), "k", "f", shrunk).error,
            "Failed to read file: " + shrunk);
  EXPECT_TRUE(RequestsUnder(prefix).empty());
}

} // namespace

} // namespace tideloom
