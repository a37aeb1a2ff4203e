// Local files read whole: as text, and for uploads the multipart body byte for byte, the
// boundary, the file reader's messages, and that nothing reaches the network when the file cannot
// be sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "peer_client.h"
#include "platform/text_file.h"
#include "platform/upload.h"
#include "temp_folder.h"

namespace tideloom {

namespace {

const std::string kBoundary = "----TideLoomBoundary7MA4YWxkTrZu0gW";
const std::string kMarker = "--" + kBoundary;

std::string ExpectedBody(const std::string& boundary, const std::string& key,
                         const std::string& nameField, const std::string& announcedName,
                         const std::string& file) {
  const std::string part = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"";
  return part + "licenseKey\"\r\n\r\n" + key + "\r\n" + part + "filename\"\r\n\r\n" + nameField +
         "\r\n" + part + "file\"; filename=\"" + announcedName +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + file + "\r\n--" + boundary +
         "--\r\n";
}

class Upload : public PeerTest {
protected:
  TempFolder folder;
};

// Each file goes out byte for byte as a form under a boundary it does not hold and alone, and the
// text reader, which sets no size limit of its own, gives the same bytes back.
TEST_F(Upload, EachFileIsSentAsTheExactFormOrAloneAndReadBackAsTextUnchanged) {
  struct Case {
    std::string key, name, file;
    std::string boundary, announcedName;
  };
  const std::vector<Case> cases = {
      {"KEY-1", "snap.xml", std::string("<xml>\0\r\n\xff</xml>", 15), kBoundary, "snap.xml"},
      // The text field keeps the name as given; only the quoted parameter is encoded.
      {"k", "evil\".xml\r\nContent-Type: text/html\r\n", "data", kBoundary,
       "evil%22.xml%0D%0AContent-Type: text/html%0D%0A"},
      {"", "", "", kBoundary, ""},
      // Streamed in several pieces, with the marker across the first edge.
      {"k", "big.bin", Patterned(kUploadPieceSize - 20) + kMarker + Patterned(kUploadPieceSize + 7),
       kBoundary + "_1", "big.bin"},
  };
  ScriptPeer({{"path", Path("0")}, {"status", 202}, {"body", "stored"}});
  // A plain upload is sent again whole when a 307 redirects it; Wine's WinHTTP replays only a body
  // handed over in one piece, and fails the redirect instead (error 12019).
  ScriptPeer({{"path", Path("moved")}, {"status", 307}, {"headers", {{"Location", Path("file")}}}});
  const std::string plainUrl = RunningUnderWine() ? Url("file") : Url("moved");
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

    ASSERT_TRUE(HttpPostFile(plainUrl, path));
    const std::vector<RecordedRequest> plain = RequestsUnder(Path("file"));
    ASSERT_EQ(plain.size(), i + 1);
    EXPECT_EQ(plain[i].body, c.file);
    EXPECT_EQ(HeaderValue(plain[i], "Content-Type"), "application/octet-stream");
    std::string contents, error;
    EXPECT_TRUE(ReadTextFile(path, contents, error)) << error;
    EXPECT_TRUE(contents == c.file);
  }
  EXPECT_EQ(MultipartBodySize(kBoundary, "abc", "name", 4294967295u),
            uint64_t{368} + 3 + 8 + 4294967295u);
}

TEST_F(Upload, ABoundaryFoundInTheContentMovesToTheFirstFreeSuffix) {
  // The file is scanned in pieces: a marker, or the digits after it, across an edge still count.
  const std::string filler(kUploadPieceSize, '-');
  std::string twoToNine;
  for (char digit = '2'; digit <= '9'; ++digit)
    twoToNine += kMarker + "_" + digit + " ";
  const struct {
    std::string key, name, file, suffix;
  } cases[] = {
      {"key", "name.xml", "plain", ""},
      {kMarker, "", "", "_1"},
      {"", "a" + kMarker + "_1", "", "_2"},
      // "_12" contains "_1" as well; "_20" does not stand for "_2".
      {"", "", kMarker + "_12 " + kMarker + "_20 " + kMarker + "_3", "_4"},
      {"", "", kMarker + "_01", "_1"},
      // The fixed boundary's own leading dashes overlap: "------" + rest still counts.
      {"", "", "--" + kMarker, "_1"},
      // "_10" across the edge: only the whole run rules out 10.
      {twoToNine, "", filler.substr(kMarker.size() + 2) + kMarker + "_10", "_11"},
      {"", "", filler.substr(3) + kMarker + "_1" + filler + kMarker + "_2", "_3"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseBoundary(c.key, c.name, c.file), kBoundary + c.suffix);
}

TEST_F(Upload, AFileThatCannotBeReadWholeIsReportedBeforeTheUrlAndNothingIsSent) {
  const std::string missing = folder.Utf8(folder.root / "missing.xml");
  const std::string folderPath = folder.Utf8(folder.root);
  struct Case {
    std::string url, path, error;
  };
  std::vector<Case> cases = {
      {Url("u"), missing, "Cannot open file: " + missing},
      {Url("u"), "", "Cannot open file: "},
      {Url("u"), folderPath, "Cannot open file: " + folderPath},
      // A URL that cannot be parsed is reported only after the file was read.
      {"nowhere", missing, "Cannot open file: " + missing},
      {"nowhere", folder.Write("a.xml", "a"), "Failed to parse URL: nowhere"},
  };
  // A sysfs file announces 4096 bytes and holds a few: to the reader it is a file that shrank
  // after it was opened, found out while sending, so the body must be cut off.
  const std::string shrunk = RunningUnderWine() ? "Z:\\sys\\devices\\system\\cpu\\online"
                                                : "/sys/devices/system/cpu/online";
  if (std::filesystem::is_regular_file(shrunk))
    cases.push_back({Url("shrunk"), shrunk, "Failed to read file: " + shrunk});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(HttpPostMultipart(c.url, "k", "a.xml", c.path).error, c.error);
    EXPECT_EQ(HttpPostFile(c.url, c.path).error, c.error);
    if (!c.error.starts_with("Cannot open")) continue;
    std::string contents = "previous", error;
    EXPECT_FALSE(ReadTextFile(c.path, contents, error));
    EXPECT_EQ(error, "ERROR: Could not open file: " + c.path);
    EXPECT_EQ(contents, "previous");
  }
  EXPECT_TRUE(RequestsUnder(prefix).empty());
}

} // namespace

} // namespace tideloom
