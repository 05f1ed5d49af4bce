#include "net/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vlt::net {
namespace {

// FIPS 180-4 examples, and lengths on either side of where the padding needs a second block.
const struct {
  std::string data;
  const char* digest;
} kVectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmn"
     "opqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
    {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
    {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
    {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

// The portable rounds, and the processor's SHA instructions where it has them.
std::vector<bool> Engines() {
  if (Sha256::HardwareAvailable()) return {false, true};
  return {false};
}

struct HardwareScope {
  explicit HardwareScope(bool use) { Sha256::UseHardware(use); }
  ~HardwareScope() { Sha256::UseHardware(true); }
};

TEST(Sha256, KnownAnswersWhateverThePieces) {
  for (const bool hardware : Engines())
    for (const auto& v : kVectors) {
      SCOPED_TRACE(v.data.size());
      SCOPED_TRACE(hardware ? "SHA instructions" : "portable");
      HardwareScope engine(hardware);
      EXPECT_EQ(Sha256Hex(v.data), v.digest);
      // Pieces of 1, 7, 64 and 65 bytes cross the block boundaries in every way.
      for (size_t piece : {1, 7, 64, 65}) {
        Sha256 hash;
        for (size_t at = 0; at < v.data.size(); at += piece)
          hash.Update(std::string_view(v.data).substr(at, piece));
        EXPECT_EQ(hash.HexDigest(), v.digest) << "pieces of " << piece;
      }
    }
  Sha256 reused;
  reused.Update("something else");
  reused.HexDigest();
  reused.Reset();
  reused.Update("abc");
  EXPECT_EQ(reused.HexDigest(), kVectors[1].digest);
}

TEST(Sha256, PublishedDigestForm) {
  EXPECT_TRUE(IsSha256Hex(kVectors[0].digest));
  EXPECT_TRUE(IsSha256Hex("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
  for (const char* bad :
       {"", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a",
        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad0",
        "ga7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
        " a7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"})
    EXPECT_FALSE(IsSha256Hex(bad)) << bad;
}

TEST(Sha256, DigestOfAFileInASha256sumListing) {
  const std::string a(64, 'a'), b(64, 'b');
  const struct {
    std::string listing;
    std::string found;  // for "Uteis.zip"
  } cases[] = {
      {a + "  Uteis.zip\n", a},
      {a + " *Uteis.zip\r\n", a},
      {a + "  dist/Uteis.zip", a},
      {a + "  dist\\Uteis.zip", a},
      {a, a},
      {a + "\r\n", a},
      {std::string(64, 'A') + "  Uteis.zip", a},
      {b + "  Outro.zip\n" + a + "  Uteis.zip\n", a},
      // Nothing for this file.
      {"", ""},
      {b + "  Outro.zip\n", ""},
      {a + "  Uteis.zip.bak\n", ""},
      {a + " Uteis.zip\n", ""},
      {a.substr(1) + "  Uteis.zip\n", ""},
      {std::string("g").append(a, 1).append("  Uteis.zip\n"), ""},
      {"<html>404 Not Found</html>\n", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Sha256sumDigestFor(c.listing, "Uteis.zip"), c.found) << c.listing;
}

}  // namespace
}  // namespace vlt::net
