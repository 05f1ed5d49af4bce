// TFTPClient against a real FTP server on loopback (pyftpdlib), started by the ctest fixture
// tests/net/ftp_server.py, which names its ports in the file given by VLT_FTP. The served
// /a.zip holds the reference pattern of 300000 bytes; /up takes uploads.
#include <gtest/gtest.h>

#include <map>

#include "net/ftp_client.h"
#include "platform/files.h"
#include "tests/support/fixture_settings.h"
#include "tests/support/temp_dir.h"

namespace vlt::net {
namespace {

constexpr std::int64_t kSize = 300000;

std::string Pattern(std::int64_t size, std::int64_t offset = 0) {
  std::string out(static_cast<size_t>(size), '\0');
  for (std::int64_t i = 0; i < size; ++i)
    out[static_cast<size_t>(i)] = static_cast<char>((offset + i) * 131 % 251);
  return out;
}

class FTPServerTest : public ::testing::Test {
 protected:
  std::map<std::string, std::string> ftp = test::FixtureSettings("VLT_FTP");
  TFTPClient c;

  void SetUp() override {
    ASSERT_TRUE(ftp.count("ftp")) << "no FTP server: run through ctest (fixture ftp_server) or "
                                     "start it with tests/net/ftp_server.py start DIR and set "
                                     "VLT_FTP=DIR/ports";
  }
  void Connect(const std::string& host, const std::string& port) {
    c.TargetHost = host;
    c.TargetPort = port;
    c.UserName = "veltra";
    c.Password = "segredo";
    c.Timeout = 10000;
    ASSERT_TRUE(c.Login()) << c.FailureText();
  }
  void Connect() { Connect("127.0.0.1", ftp["ftp"]); }
};

TEST_F(FTPServerTest, LoginSizeAndPassiveRetrieve) {
  Connect();
  EXPECT_TRUE(c.CanResume());
  EXPECT_EQ(c.FileSize("/a.zip"), kSize);
  EXPECT_EQ(c.FileSize("/missing.zip"), -1);
  EXPECT_EQ(c.GetCurrentDir(), "/");
  ASSERT_TRUE(c.RetrieveFile("/a.zip", false)) << c.FailureText();
  EXPECT_EQ(c.ResultCode(), 226);
  EXPECT_TRUE(c.DataStream().Bytes() == Pattern(kSize));
  EXPECT_FALSE(c.RetrieveFile("/missing.zip", false));
  EXPECT_EQ(c.ResultCode(), 550);
  EXPECT_TRUE(c.Logout());
}

TEST_F(FTPServerTest, ActiveRetrieveIntoAFileAndResumeFromItsSize) {
  test::TempDir tmp;
  Connect();
  c.SetPassiveMode(false);
  c.SetDirectFile(true);
  c.SetDirectFileName(tmp / "a.zip");
  ASSERT_TRUE(c.RetrieveFile("/a.zip", false)) << c.FailureText();
  EXPECT_TRUE(test::ReadFile(tmp / "a.zip") == Pattern(kSize));

  // REST with the size of what is there: the rest is appended after it.
  test::WriteFile(tmp / "a.zip", Pattern(5000));
  ASSERT_TRUE(c.RetrieveFile("/a.zip", true)) << c.FailureText();
  EXPECT_TRUE(test::ReadFile(tmp / "a.zip") == Pattern(kSize));

  // A named offset keeps the bytes before it and drops any after it.
  test::WriteFile(tmp / "a.zip", Pattern(7000) + "garbage");
  ASSERT_TRUE(c.RetrieveFileFrom("/a.zip", 7000)) << c.FailureText();
  EXPECT_TRUE(test::ReadFile(tmp / "a.zip") == Pattern(kSize));

  // With a limit the file ends at offset + limit, however much more the server sends.
  EXPECT_FALSE(c.RetrieveFileFrom("/a.zip", 7000, 1000));
  EXPECT_TRUE(c.DataOverLimit());
  EXPECT_EQ(c.FailureText(), "more than 1000 bytes of data");
  EXPECT_TRUE(test::ReadFile(tmp / "a.zip") == Pattern(8000));
}

TEST_F(FTPServerTest, ListingIsParsed) {
  Connect();
  ASSERT_TRUE(c.List("/", false)) << c.FailureText();
  std::map<std::string, const TFTPListRec*> entries;
  for (int i = 0; i < c.FtpList().Count(); ++i)
    entries[c.FtpList().Items(i)->FileName()] = c.FtpList().Items(i);
  ASSERT_TRUE(entries.count("a.zip") && entries.count("up"))
      << c.DataStream().Bytes() << c.FtpList().UnparsedLines().size() << " unparsed";
  EXPECT_EQ(entries["a.zip"]->FileSize(), kSize);
  EXPECT_FALSE(entries["a.zip"]->Directory());
  EXPECT_TRUE(entries["up"]->Directory());
  EXPECT_TRUE(c.FtpList().UnparsedLines().empty());
  // A name list is not parsed; the retrieve after it sets binary type again.
  ASSERT_TRUE(c.List("", true));
  EXPECT_EQ(c.FtpList().Count(), 0);
  EXPECT_NE(c.DataStream().Bytes().find("a.zip"), std::string::npos);
  ASSERT_TRUE(c.RetrieveFile("/a.zip", false));
  EXPECT_EQ(c.DataStream().Size(), kSize);
}

TEST_F(FTPServerTest, UploadsAndFileCommands) {
  Connect();
  const std::string dir =
      "/up/" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
  c.DeleteDir(dir);  // left by an earlier run
  ASSERT_TRUE(c.CreateDir(dir)) << c.FailureText();
  ASSERT_TRUE(c.ChangeWorkingDir(dir));
  EXPECT_EQ(c.GetCurrentDir(), dir);

  c.DataStream().Clear();
  c.DataStream().Append("hello");
  ASSERT_TRUE(c.StoreFile("f.txt", false)) << c.FailureText();
  c.DataStream().Clear();
  c.DataStream().Append(" world");
  ASSERT_TRUE(c.AppendFile("f.txt")) << c.FailureText();
  // A store with restore sends only what the server lacks.
  c.DataStream().Clear();
  c.DataStream().Append("hello world, again");
  ASSERT_TRUE(c.StoreFile("f.txt", true)) << c.FailureText();
  ASSERT_TRUE(c.RenameFile("f.txt", "g.txt")) << c.FailureText();
  ASSERT_TRUE(c.RetrieveFile("g.txt", false));
  EXPECT_EQ(c.DataStream().Bytes(), "hello world, again");
  EXPECT_EQ(c.FileSize("g.txt"), 18);
  c.SetPassiveMode(false);
  c.DataStream().Clear();
  c.DataStream().Append("unique");
  ASSERT_TRUE(c.StoreUniqueFile()) << c.FailureText();

  EXPECT_FALSE(c.DeleteFile("nothing.txt"));
  EXPECT_EQ(c.FailureText().substr(0, 9), "DELE: 550");
  ASSERT_TRUE(c.DeleteFile("g.txt"));
  EXPECT_FALSE(c.DeleteDir(dir)) << "the unique file is still there";
  ASSERT_TRUE(c.List("", true));
  const std::string unique(c.DataStream().Bytes());
  ASSERT_FALSE(unique.empty());
  ASSERT_TRUE(c.DeleteFile(unique.substr(0, unique.find_first_of("\r\n"))));
  ASSERT_TRUE(c.ChangeToParentDir());
  EXPECT_EQ(c.GetCurrentDir(), "/up");
  EXPECT_TRUE(c.DeleteDir(dir)) << c.FailureText();
  EXPECT_TRUE(c.ChangeToRootDir());
  EXPECT_TRUE(c.Logout());
}

TEST_F(FTPServerTest, AnonymousMayReadButNotWrite) {
  c.TargetHost = "127.0.0.1";
  c.TargetPort = ftp["ftp"];
  c.Timeout = 10000;
  ASSERT_TRUE(c.Login()) << c.FailureText();
  EXPECT_EQ(c.FileSize("/a.zip"), kSize);
  c.DataStream().Append("x");
  EXPECT_FALSE(c.StoreFile("/up/anonymous.txt", false));
  EXPECT_EQ(c.FailureText().substr(0, 9), "STOR: 550") << c.FailureText();
  c.SetFWMode(3);  // no firewall host: the plain logon all the same
  EXPECT_TRUE(c.Login());
  c.Password = "wrong";
  c.UserName = "veltra";
  EXPECT_FALSE(c.Login());
  EXPECT_EQ(c.FailureText().substr(0, 9), "PASS: 530") << c.FailureText();
}

TEST_F(FTPServerTest, ExtendedCommandsOverIPv6) {
  if (!ftp.count("ftp6")) GTEST_SKIP() << "no IPv6 loopback here";
  Connect("::1", ftp["ftp6"]);
  EXPECT_TRUE(c.Sock().IP6used());
  ASSERT_TRUE(c.RetrieveFile("/a.zip", false)) << c.FailureText();  // EPSV
  EXPECT_TRUE(c.DataStream().Bytes() == Pattern(kSize));
  c.SetPassiveMode(false);
  ASSERT_TRUE(c.RetrieveFile("/a.zip", false)) << c.FailureText();  // EPRT
  EXPECT_TRUE(c.DataStream().Bytes() == Pattern(kSize));
  // PASV cannot name an IPv6 address, and active mode's PORT cannot either.
  c.SetForceOldPort(true);
  EXPECT_FALSE(c.RetrieveFile("/a.zip", false));
  c.SetPassiveMode(true);
  EXPECT_FALSE(c.RetrieveFile("/a.zip", false));
  EXPECT_NE(c.FailureText().find("IPv6"), std::string::npos) << c.FailureText();
}

}  // namespace
}  // namespace vlt::net
