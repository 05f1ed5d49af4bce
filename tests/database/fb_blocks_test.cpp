#include "database/fb_blocks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vlt {
namespace {

using namespace std::string_literals;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

TEST(FbParameterBlockTest, BuildsClustersInOrder) {
  const struct {
    std::vector<std::string> params;
    std::string dpb;
  } cases[] = {
      {{}, Bytes({1})},
      // What the probe sends.
      {{"user_name=sysdba", "password=vorplinth", "sql_role_name=3"},
       Bytes({1, 28, 6}) + "sysdba" + Bytes({29, 9}) + "vorplinth" + Bytes({60, 1}) + "3"},
      // Names without regard to case, with or without the prefix; order kept.
      {{"SQL_ROLE_NAME=R", "ISC_DPB_User_Name=a"}, Bytes({1, 60, 1, 'R', 28, 1, 'a'})},
      {{"isc_dpb_password=p=q"}, Bytes({1, 29, 3, 'p', '=', 'q'})},
      {{"lc_ctype=WIN1252"}, Bytes({1, 48, 7}) + "WIN1252"},
      {{"password="}, Bytes({1, 29, 0})},
      {{"password"}, Bytes({1, 29, 0})},
      // Values in the 8-bit code page: "é" is one byte.
      {{"user_name=jos\xc3\xa9"}, Bytes({1, 28, 4, 'j', 'o', 's', 0xE9})},
      {{"user_name=" + std::string(255, 'x')}, Bytes({1, 28, 255}) + std::string(255, 'x')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildDatabaseParameterBlock(c.params), c.dpb) << ::testing::PrintToString(c.params);
  }

  const struct {
    std::vector<std::string> params;
    const char* message;
  } refused[] = {
      {{"num_buffers=80"}, "Unknown database parameter: num_buffers"},
      {{"user_name=a", " password=b"}, "Unknown database parameter:  password"},
      {{"isc_dpb_=x"}, "Unknown database parameter: isc_dpb_"},
      // One more byte than the length byte counts would shift every later cluster.
      {{"password=" + std::string(256, 'x')}, "Database parameter value too long: password"},
  };
  for (const auto& c : refused) {
    try {
      BuildDatabaseParameterBlock(c.params);
      ADD_FAILURE() << "accepted " << ::testing::PrintToString(c.params);
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(FbInfoReplyTest, Dialect) {
  std::string padded = Bytes({62, 1, 0, 2});
  padded.resize(512, '\0');
  const struct {
    std::string reply;
    int dialect;
  } cases[] = {
      {Bytes({62, 1, 0, 3, 1}), 3},
      {padded, 2},
      {Bytes({62, 2, 0, 2, 0}), 2},
      {Bytes({62, 4, 0, 3, 0, 0, 0}), 3},
      {Bytes({62, 1, 0, 0}), 0},
      // Another item first, or none: dialect 1.
      {Bytes({1}), 1},
      {Bytes({2, 62, 1, 0, 3}), 1},
      {Bytes({3, 0, 0, 1}), 1},
      {"", 1},
      // Malformed: the value must lie within 1 to 8 bytes inside the reply.
      {Bytes({62}), 1},
      {Bytes({62, 1}), 1},
      {Bytes({62, 1, 0}), 1},
      {Bytes({62, 2, 0, 3}), 1},
      {Bytes({62, 0, 0, 3}), 1},
      {Bytes({62, 9, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0}), 1},
      {Bytes({62, 0xFF, 0xFF, 3}), 1},
      // Does not fit an int.
      {Bytes({62, 8, 0, 0, 0, 0, 0, 1, 0, 0, 0}), 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DialectFromReply(c.reply, LocalInfoIntegerReaders()), c.dialect)
        << ::testing::PrintToString(c.reply);
  }
}

TEST(FbInfoReplyTest, FirstVersionString) {
  const std::string v25 = "WI-V2.5.9.27139 Firebird 2.5";
  std::string full = Bytes({12, 0, 0, 2, static_cast<int>(v25.size())}) + v25 + Bytes({4}) + "next";
  full[1] = static_cast<char>(full.size() - 3);
  std::string in_buffer = full + Bytes({1});
  in_buffer.resize(1024, 'z');
  const struct {
    std::string reply;
    std::optional<std::string> version;
  } cases[] = {
      {full, v25},
      {in_buffer, v25},
      // Exactly the string's own length, whatever follows.
      {Bytes({12, 14, 0, 1, 10}) + "0123456789ABCDEF", "0123456789"},
      {Bytes({12, 2, 0, 1, 0}), ""},
      {Bytes({12, 3, 0, 1, 1, 0xE9}), "\xE9"},
      // Another item, no string, or a length byte pointing past the item or the reply.
      {Bytes({2, 0, 0, 1, 3}) + "abc", std::nullopt},
      {Bytes({12, 1, 0, 0, 3}) + "abc", std::nullopt},
      {Bytes({12, 4, 0, 1, 3}) + "abc", std::nullopt},
      {Bytes({12, 5, 0, 1, 4}) + "abc", std::nullopt},
      {Bytes({12, 0xFF, 0xFF, 1, 200}) + "abc", std::nullopt},
      {Bytes({12, 0, 0, 1}), std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirstVersionString(c.reply), c.version) << ::testing::PrintToString(c.reply);
  }
}

TEST(FbInfoReplyTest, LocalIntegerReaders) {
  const TInfoIntegerReaders& r = LocalInfoIntegerReaders();
  const struct {
    std::string bytes;
    long long vax;
    long long portable;
  } cases[] = {
      {Bytes({0x34, 0x12}), 0x1234, 0x1234},
      {Bytes({0xFF}), -1, -1},
      {Bytes({0x00, 0x80}), -32768, -32768},
      {Bytes({0x01, 0x02, 0x03, 0x04}), 0x04030201, 0x04030201},
      {Bytes({1, 0, 0, 0, 0, 0, 0, 0x80}), 0, static_cast<long long>(0x8000000000000001ULL)},
  };
  for (const auto& c : cases) {
    const auto n = static_cast<short>(c.bytes.size());
    EXPECT_EQ(r.vax(c.bytes.data(), n), c.vax) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(r.portable(reinterpret_cast<const unsigned char*>(c.bytes.data()), n), c.portable)
        << ::testing::PrintToString(c.bytes);
  }
}

TEST(FbStatusTextTest, JoinsMessages) {
  const struct {
    std::vector<std::string> messages;
    std::string text;
  } cases[] = {
      {{"A", "B."}, "A\r\nB"},
      {{}, ""},
      {{"."}, ""},
      {{"A."}, "A"},
      {{"A.."}, "A."},
      {{"A.", "B"}, "A.\r\nB"},
      {{"A\n", "B"}, "A\nB"},
      {{"A\r\n", "B."}, "A\r\nB"},
      {{"", "B"}, "B"},
      {{"A", "", "C"}, "A\r\nC"},
      {{"A", "B\n"}, "A\r\nB\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StatusMessageText(c.messages), c.text) << ::testing::PrintToString(c.messages);
  }
}

}  // namespace
}  // namespace vlt
