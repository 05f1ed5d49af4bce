// gif_bench FILE [ROUNDS]: decodes FILE in memory with the installer's decoder (TGif) and with
// giflib (DGifSlurp), alternating, ROUNDS times each (default 7), after checking that both
// give the same palette indices. Prints one tab-separated line: file, pixels, median ms of
// each, MPix/s of each and the ratio of throughputs (ours / giflib). A file giflib refuses
// (its limits are not ours) gets "-" in giflib's columns.
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "controls/gif.h"

namespace {

struct Memory {
  const std::string* data;
  size_t pos;
};

int ReadMemory(GifFileType* gif, GifByteType* out, int count) {
  auto* m = static_cast<Memory*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(count), m->data->size() - m->pos);
  std::memcpy(out, m->data->data() + m->pos, n);
  m->pos += n;
  return static_cast<int>(n);
}

// nullptr when giflib refuses the file.
GifFileType* GiflibDecode(const std::string& data) {
  Memory memory{&data, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&memory, ReadMemory, &error);
  if (gif == nullptr) return nullptr;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return nullptr;
  }
  gif->UserData = nullptr;
  return gif;
}

double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: gif_bench FILE [ROUNDS]\n", stderr);
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  std::ifstream in(argv[1], std::ios::binary);
  const std::string data(std::istreambuf_iterator<char>(in), {});

  // Same indices from both, image by image.
  long long pixels = 0;
  bool giflib_refuses = false;
  {
    vlt::TGif ours;
    ours.LoadFromStream(data);
    GifFileType* peer = GiflibDecode(data);
    if (peer != nullptr && peer->ImageCount != ours.ImageCount())
      return std::fputs("image counts differ\n", stderr), 1;
    for (int i = 0; i < ours.ImageCount(); ++i) {
      const auto& list = ours.GetImageDescriptor(i).rPixelList;
      pixels += static_cast<long long>(list.size());
      if (peer != nullptr &&
          std::memcmp(list.data(), peer->SavedImages[i].RasterBits, list.size()) != 0) {
        std::fprintf(stderr, "image %d: the indices differ from giflib's\n", i);
        return 1;
      }
    }
    if (peer == nullptr) {
      giflib_refuses = true;
    } else {
      int error = 0;
      DGifCloseFile(peer, &error);
    }
  }

  std::vector<double> ours_ms, peer_ms;
  for (int r = 0; r < rounds; ++r) {
    auto t = std::chrono::steady_clock::now();
    {
      vlt::TGif gif;
      gif.LoadFromStream(data);
    }
    ours_ms.push_back(Ms(t));
    if (giflib_refuses) continue;
    t = std::chrono::steady_clock::now();
    {
      GifFileType* gif = GiflibDecode(data);
      int error = 0;
      DGifCloseFile(gif, &error);
    }
    peer_ms.push_back(Ms(t));
  }
  const double ours = Median(ours_ms);
  const double mpix = static_cast<double>(pixels) / 1e6;
  if (giflib_refuses) {
    std::printf("%s\t%lld\t%.1f\t-\t%.0f\t-\t-\n", argv[1], pixels, ours, mpix / (ours / 1000));
    return 0;
  }
  const double peer = Median(peer_ms);
  std::printf("%s\t%lld\t%.1f\t%.1f\t%.0f\t%.0f\t%.2f\n", argv[1], pixels, ours, peer,
              mpix / (ours / 1000), mpix / (peer / 1000), peer / ours);
  return 0;
}
