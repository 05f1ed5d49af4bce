#include "tests/archive/zip_builder.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace vlt::test {
namespace {

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::string Deflate(const std::string& data) {
  z_stream zs{};
  if (deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&zs, data.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

std::uint32_t Crc32(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

ZipImage BuildZip(const std::vector<ZipEntry>& entries, const std::string& comment) {
  ZipImage image;
  std::string central;
  for (const ZipEntry& e : entries) {
    const std::string payload = e.payload ? *e.payload : e.method == 8 ? Deflate(e.data) : e.data;
    const std::uint32_t crc = e.crc ? *e.crc : Crc32(e.data);
    const std::string& local_name = e.local_name ? *e.local_name : e.name;
    image.local_offsets.push_back(image.bytes.size());
    std::string& l = image.bytes;
    Put32(l, 0x04034b50);
    Put16(l, 20);
    Put16(l, e.flag);
    Put16(l, e.method);
    Put32(l, e.modified);
    Put32(l, crc);
    Put32(l, static_cast<std::uint32_t>(payload.size()));
    Put32(l, static_cast<std::uint32_t>(e.data.size()));
    Put16(l, static_cast<std::uint32_t>(local_name.size()));
    Put16(l, static_cast<std::uint32_t>(e.local_extra.size()));
    l += local_name + e.local_extra + payload;

    Put32(central, 0x02014b50);
    Put16(central, e.made_by);
    Put16(central, 20);
    Put16(central, e.flag);
    Put16(central, e.method);
    Put32(central, e.modified);
    Put32(central, crc);
    Put32(central, static_cast<std::uint32_t>(payload.size()));
    Put32(central, static_cast<std::uint32_t>(e.data.size()));
    Put16(central, static_cast<std::uint32_t>(e.name.size()));
    Put16(central, static_cast<std::uint32_t>(e.central_extra.size()));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, e.external);
    Put32(central, static_cast<std::uint32_t>(image.local_offsets.back()));
    central += e.name + e.central_extra;
  }
  image.central_offset = image.bytes.size();
  image.bytes += central;
  image.end_offset = image.bytes.size();
  std::string& b = image.bytes;
  Put32(b, 0x06054b50);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, static_cast<std::uint32_t>(entries.size()));
  Put16(b, static_cast<std::uint32_t>(entries.size()));
  Put32(b, static_cast<std::uint32_t>(central.size()));
  Put32(b, static_cast<std::uint32_t>(image.central_offset));
  Put16(b, static_cast<std::uint32_t>(comment.size()));
  b += comment;
  return image;
}

void WriteArchive(const std::string& path, const std::string& bytes) {
  WriteFile(path, bytes);
  if (const char* seeds = std::getenv("VLT_ZIP_SEED_DIR")) {
    // Named by content: the same archive built twice is one seed.
    char name[32];
    std::snprintf(name, sizeof(name), "/%08x-%zu.zip", Crc32(bytes), bytes.size());
    std::ofstream(std::string(seeds) + name, std::ios::binary) << bytes;
  }
}

}  // namespace vlt::test
