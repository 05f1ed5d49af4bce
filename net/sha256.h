#pragma once
// SHA-256 (FIPS 180-4) over data that arrives in pieces of any size: a package is hashed as it
// is read back from disk, never held whole in memory.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vlt::net {

class Sha256 {
 public:
  Sha256() { Reset(); }
  void Update(std::string_view Bytes);
  // Lower-case hex of the digest. Ends the hash: call Reset before hashing anything else.
  std::string HexDigest();
  void Reset();

  // Whether the processor's SHA instructions are there; UseHardware(false) makes every hash
  // take the portable code (tests compare the two), UseHardware(true) uses them when present.
  static bool HardwareAvailable();
  static void UseHardware(bool Allowed);

 private:
  void Blocks(const unsigned char* p, size_t count);

  std::array<std::uint32_t, 8> fState{};
  std::array<unsigned char, 64> fPending{};
  size_t fPendingSize = 0;
  std::uint64_t fTotal = 0;  // bytes hashed so far
};

// One buffer at once.
std::string Sha256Hex(std::string_view Bytes);

// Exactly 64 hex digits (either case): the form a published digest takes.
bool IsSha256Hex(std::string_view Text);

// The digest a sha256sum listing gives for the file `Name`, lower-case; empty when it gives
// none. A line names the file by its last path component; a line that is a digest alone
// stands for the one file the listing was published for.
std::string Sha256sumDigestFor(std::string_view Listing, std::string_view Name);

}  // namespace vlt::net
