// Whole-file uploads: the multipart body byte for byte, the boundary, the file reader's
// messages, and that nothing reaches the network when the file cannot be sent.
#include <gtest/gtest.h>

#include <string>

#include "peer_client.h"
#include "platform/upload.h"
#include "temp_folder.h"

namespace {

const std::string kBoundary = "----TideLoomBoundary7MA4YWxkTrZu0gW";

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

class Upload : public testing::Test {
protected:
  TempFolder folder;
  std::string prefix = UniquePrefix(), reply = "previous reply", error;

  RecordedRequest OnlyRequest() const { return OnlyRequestUnder(prefix); }
};

TEST_F(Upload, MultipartBodyIsExactlyTheFormWithTheFixedBoundary) {
  const std::string file("<xml>\0\r\n\xff</xml>", 15);
  const std::string path = folder.Write("snap.xml", file);
  ScriptPeer({{"path", prefix + "/upload"}, {"status", 202}, {"body", "stored"}});
  ASSERT_TRUE(
      HttpPostMultipart(PeerUrl(prefix + "/upload"), "KEY-1", "snap.xml", path, reply, error))
      << error;
  EXPECT_EQ(reply, "stored");

  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(HeaderValue(request, "Content-Type"), "multipart/form-data; boundary=" + kBoundary);
  EXPECT_EQ(request.body, ExpectedBody(kBoundary, "KEY-1", "snap.xml", "snap.xml", file));
  EXPECT_EQ(request.body.size(), 368u + 5 + 2 * 8 + file.size());
}

TEST_F(Upload, AFilenameCannotBreakOutOfItsQuotedParameter) {
  const std::string name = "evil\".xml\r\nContent-Type: text/html\r\n";
  const std::string path = folder.Write("plain.xml", "data");
  ASSERT_TRUE(HttpPostMultipart(PeerUrl(prefix + "/u"), "k", name, path, reply, error)) << error;
  const std::string announced = "evil%22.xml%0D%0AContent-Type: text/html%0D%0A";
  // The text field keeps the name as given; only the quoted parameter is encoded.
  EXPECT_EQ(OnlyRequest().body, ExpectedBody(kBoundary, "k", name, announced, "data"));
}

TEST_F(Upload, ABoundaryFoundInTheContentMovesToTheFirstFreeSuffix) {
  const std::string marker = "--" + kBoundary;
  EXPECT_EQ(ChooseBoundary("key", "name.xml", "plain"), kBoundary);
  EXPECT_EQ(ChooseBoundary("key", "name.xml", "x" + marker + "--"), kBoundary + "_1");
  EXPECT_EQ(ChooseBoundary(marker, "", ""), kBoundary + "_1");
  EXPECT_EQ(ChooseBoundary("", "a" + marker + "_1", ""), kBoundary + "_2");
  // "_12" contains "_1" as well; "_20" does not stand for "_2".
  EXPECT_EQ(ChooseBoundary("", "", marker + "_12 " + marker + "_20 " + marker + "_3"),
            kBoundary + "_4");
  EXPECT_EQ(ChooseBoundary("", "", marker + "_01"), kBoundary + "_1");
  // The fixed boundary's own leading dashes overlap: "------" + rest still counts.
  EXPECT_EQ(ChooseBoundary("", "", "--" + marker), kBoundary + "_1");
}

TEST_F(Upload, AFileHoldingTheBoundaryIsSentUnderTheNextOne) {
  const std::string file = "before\r\n--" + kBoundary + "--\r\nafter";
  const std::string path = folder.Write("tricky.bin", file);
  ASSERT_TRUE(HttpPostMultipart(PeerUrl(prefix + "/u"), "k", "t.bin", path, reply, error)) << error;
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(HeaderValue(request, "Content-Type"),
            "multipart/form-data; boundary=" + kBoundary + "_1");
  EXPECT_EQ(request.body, ExpectedBody(kBoundary + "_1", "k", "t.bin", "t.bin", file));
}

TEST_F(Upload, EmptyValuesAndAnEmptyFileGiveThe368ByteSkeletonAndSizesFollowTheFormula) {
  const std::string path = folder.Write("empty.bin", "");
  ASSERT_TRUE(HttpPostMultipart(PeerUrl(prefix + "/u"), "", "", path, reply, error)) << error;
  EXPECT_EQ(OnlyRequest().body, ExpectedBody(kBoundary, "", "", "", ""));
  EXPECT_EQ(MultipartBodySize(kBoundary, "", "", 0), 368u);
  EXPECT_EQ(MultipartBodySize(kBoundary, "abc", "name", 4294967295u),
            uint64_t{368} + 3 + 8 + 4294967295u);
  EXPECT_EQ(MultipartBodySize(kBoundary + "_1", "", "", 0), 368u + 4 * 2);
}

TEST_F(Upload, PlainFileUploadSendsTheBytesAloneAndAnEmptyFileSendsNoBody) {
  const std::string file("\x00\x01payload\xfe", 10);
  const std::string path = folder.Write("raw.bin", file);
  const std::string empty = folder.Write("none.bin", "");
  ASSERT_TRUE(HttpPostFile(PeerUrl(prefix + "/file"), path, reply, error)) << error;
  ASSERT_TRUE(HttpPostFile(PeerUrl(prefix + "/file"), empty, reply, error)) << error;
  const std::vector<RecordedRequest> requests = RequestsUnder(prefix);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].body, file);
  EXPECT_EQ(HeaderValue(requests[0], "Content-Type"), "application/octet-stream");
  EXPECT_TRUE(requests[1].body.empty());
  EXPECT_EQ(HeaderValue(requests[1], "Content-Length"), "0");
}

TEST_F(Upload, AFileThatCannotBeReadIsReportedBeforeTheUrlAndAnyNetworkActivity) {
  const std::string missing = folder.Utf8(folder.root / "missing.xml");
  EXPECT_FALSE(HttpPostMultipart(PeerUrl(prefix + "/u"), "k", "f", missing, reply, error));
  EXPECT_EQ(error, "Cannot open file: " + missing);
  EXPECT_FALSE(HttpPostFile(PeerUrl(prefix + "/u"), "", reply, error));
  EXPECT_EQ(error, "Cannot open file: ");
  const std::string folderPath = folder.Utf8(folder.root);
  EXPECT_FALSE(HttpPostFile(PeerUrl(prefix + "/u"), folderPath, reply, error));
  EXPECT_EQ(error, "Cannot open file: " + folderPath);
  // A URL that cannot be parsed is reported only after the file was read.
  EXPECT_FALSE(HttpPostMultipart("nowhere", "k", "a.xml", missing, reply, error));
  EXPECT_EQ(error, "Cannot open file: " + missing);
  EXPECT_FALSE(
      HttpPostMultipart("nowhere", "k", "a.xml", folder.Write("a.xml", "a"), reply, error));
  EXPECT_EQ(error, "Failed to parse URL: nowhere");
  EXPECT_EQ(reply, "previous reply");
  EXPECT_TRUE(RequestsUnder(prefix).empty());
}

TEST_F(Upload, ANonAsciiPathIsReadByItsUnicodeName) {
  const std::string path = folder.Write("Schnappschu\xC3\x9F-\xE2\x82\xAC.xml", "<x/>");
  std::string bytes = "previous";
  ASSERT_TRUE(ReadFileBytes(path, bytes, error)) << error;
  EXPECT_EQ(bytes, "<x/>");
}

} // namespace
