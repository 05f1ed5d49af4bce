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
void Put64(std::string& out, std::uint64_t v) {
  Put32(out, static_cast<std::uint32_t>(v));
  Put32(out, static_cast<std::uint32_t>(v >> 32));
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

ZipImage BuildZip(const std::vector<ZipEntry>& entries, const std::string& comment,
                  const ZipLayout& layout) {
  ZipImage image;
  std::string central;
  for (const ZipEntry& e : entries) {
    const std::string payload = e.payload ? *e.payload : e.method == 8 ? Deflate(e.data) : e.data;
    const std::uint32_t crc = e.crc ? *e.crc : Crc32(e.data);
    const std::uint32_t compressed =
        e.compressed_size ? *e.compressed_size : static_cast<std::uint32_t>(payload.size());
    const std::string& local_name = e.local_name ? *e.local_name : e.name;
    if (e.shares_previous) {
      image.local_offsets.push_back(image.local_offsets.at(image.local_offsets.size() - 1));
    } else {
      image.local_offsets.push_back(image.bytes.size());
      std::string& l = image.bytes;
      Put32(l, 0x04034b50);
      Put16(l, 20);
      Put16(l, e.flag);
      Put16(l, e.method);
      Put32(l, e.modified);
      Put32(l, crc);
      Put32(l, compressed);
      Put32(l, static_cast<std::uint32_t>(e.data.size()));
      Put16(l, static_cast<std::uint32_t>(local_name.size()));
      Put16(l, static_cast<std::uint32_t>(e.local_extra.size()));
      l += local_name + e.local_extra + payload;
    }

    std::string extra = e.central_extra;
    if (e.zip64) {
      Put16(extra, 0x0001);
      Put16(extra, 24);
      Put64(extra, e.data.size());
      Put64(extra, compressed);
      Put64(extra, image.local_offsets.back());
    }
    const std::uint32_t sentinel = 0xFFFFFFFF;
    Put32(central, 0x02014b50);
    Put16(central, e.made_by);
    Put16(central, e.zip64 ? 45 : 20);
    Put16(central, e.flag);
    Put16(central, e.method);
    Put32(central, e.modified);
    Put32(central, crc);
    Put32(central, e.zip64 ? sentinel : compressed);
    Put32(central, e.zip64 ? sentinel : static_cast<std::uint32_t>(e.data.size()));
    Put16(central, static_cast<std::uint32_t>(e.name.size()));
    Put16(central, static_cast<std::uint32_t>(extra.size()));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, e.external);
    Put32(central, e.zip64 ? sentinel : static_cast<std::uint32_t>(image.local_offsets.back()));
    central += e.name + extra;
  }
  image.central_offset = image.bytes.size();
  image.bytes += central;
  std::string& b = image.bytes;
  if (layout.zip64_end) {
    const size_t record = b.size();
    Put32(b, 0x06064b50);
    Put64(b, 44);  // the rest of the record
    Put16(b, 45);
    Put16(b, 45);
    Put32(b, 0);
    Put32(b, 0);
    Put64(b, entries.size());
    Put64(b, entries.size());
    Put64(b, central.size());
    Put64(b, image.central_offset);
    Put32(b, 0x07064b50);
    Put32(b, 0);
    Put64(b, layout.zip64_end_offset ? *layout.zip64_end_offset : record);
    Put32(b, 1);
  }
  image.end_offset = b.size();
  std::uint32_t count = static_cast<std::uint32_t>(entries.size() & 0xFFFF);
  if (layout.end_count) count = *layout.end_count;
  if (layout.zip64_end) count = 0xFFFF;
  Put32(b, 0x06054b50);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, count);
  Put16(b, count);
  Put32(b, layout.zip64_end ? 0xFFFFFFFF : static_cast<std::uint32_t>(central.size()));
  Put32(b, layout.zip64_end ? 0xFFFFFFFF : static_cast<std::uint32_t>(image.central_offset));
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
