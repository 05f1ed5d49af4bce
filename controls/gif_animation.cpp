#include "controls/gif_animation.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/clock.h"
#include "platform/files.h"

namespace vlt {

const TgfFrame& TgfFrameList::GetFrame(int index) const {
  if (index < 1 || index > Count()) throw std::logic_error("Frame index out of range");
  return frames_[static_cast<size_t>(index - 1)];
}

std::unique_ptr<TGIFImage> TGIFImage::CreateCopy(const TGIFImage& item) {
  auto copy = std::make_unique<TGIFImage>();
  copy->FAnimated = item.FAnimated;
  copy->FImageWidth = item.FImageWidth;
  copy->FImageHeight = item.FImageHeight;
  copy->FNumFrames = item.FNumFrames;
  copy->FNumIterations = item.FNumIterations;
  copy->FTransparent = item.FTransparent;
  copy->fsCurrentIteration = 1;
  copy->IsCopy = true;
  for (int i = 1; i <= item.frames_.Count(); ++i) {
    TgfFrame frame = item.frames_.GetFrame(i);
    frame.IsCopy = true;
    copy->frames_.Add(std::move(frame));
  }
  return copy;
}

const TGifBitmap* TGIFImage::Bitmap() const {
  return FNumFrames > 0 ? frames_.GetFrame(1).frImage.get() : nullptr;
}

void TGIFImage::SetAnimate(bool value) {
  if (value == FAnimate) return;
  FAnimate = value;
  fsCurrentIteration = 1;
  if (value && FNumFrames > 1) {
    CurrentInterval =
        static_cast<std::uint32_t>(std::max(1, frames_.GetFrame(FCurrentFrame).frDelay));
    LastTime = platform::TickMs();
  }
}

void TGIFImage::SetCurrentFrame(int value) {
  if (value == FCurrentFrame) return;
  if (FNumFrames > 0 && FCurrentFrame >= 1 && FCurrentFrame <= FNumFrames) {
    WasDisposal = frames_.GetFrame(FCurrentFrame).frDisposalMethod;
  }
  if (value > FNumFrames) {
    FCurrentFrame = fsStartFrame;
  } else if (value < 1) {
    FCurrentFrame = EffectiveStopFrame();
  } else {
    FCurrentFrame = value;
  }
  if (FAnimated) WasDisposal = dtToBackground;
}

void TGIFImage::SetStartFrame(int value) {
  fsStartFrame = std::max(1, std::min(value, FNumFrames));
}

void TGIFImage::SetStopFrame(int value) {
  fsStopFrame = value > FNumFrames ? FNumFrames : value < 1 ? 0 : value;
}

bool TGIFImage::CheckTime() {
  if (!FAnimate || FNumFrames == 0) return false;
  const std::uint32_t now = platform::TickMs();
  // Unsigned difference: the millisecond clock wraps after 2^32 ms without stalling here.
  if (now - LastTime < CurrentInterval) return false;
  LastTime = now;
  const int stop = EffectiveStopFrame();
  if (FCurrentFrame >= stop) {
    if (FNumIterations > 0 && fsCurrentIteration >= FNumIterations) {
      SetAnimate(false);
      return false;
    }
    ++fsCurrentIteration;
  }
  WasDisposal = frames_.GetFrame(std::clamp(FCurrentFrame, 1, FNumFrames)).frDisposalMethod;
  ++FCurrentFrame;
  if (FCurrentFrame > stop || FCurrentFrame < 1) FCurrentFrame = fsStartFrame;
  CurrentInterval =
      static_cast<std::uint32_t>(std::max(1, frames_.GetFrame(FCurrentFrame).frDelay));
  return true;
}

void TGIFImage::Draw(TGifCanvas& canvas, int x, int y, int wid, int ht, int left, int top) {
  FStretchedRect = {x, y, x + wid, y + ht};
  // A screen of no size has no scale: nothing to draw.
  if (!FVisible || FNumFrames == 0 || FImageWidth <= 0 || FImageHeight <= 0) return;
  const double sx = static_cast<double>(wid) / FImageWidth;
  const double sy = static_cast<double>(ht) / FImageHeight;
  const TgfFrame& frame = frames_.GetFrame(FCurrentFrame);
  if (FCurrentFrame == 1 || !has_accum_ || WasDisposal == dtToBackground) {
    if (!has_accum_) canvas.CreateAccumulator(wid, ht);
    has_accum_ = true;
    canvas.SaveBackground(x + left, y + top);
  }
  if (WasDisposal != dtToBackground) canvas.DrawAccumulator(x, y);
  // Nearest integer, halves to even (the default rounding mode).
  auto scale = [](int v, double s) { return static_cast<int>(std::nearbyint(v * s)); };
  const TGifRect r{scale(frame.frLeft, sx), scale(frame.frTop, sy),
                   scale(frame.frLeft + frame.frWidth, sx),
                   scale(frame.frTop + frame.frHeight, sy)};
  canvas.StretchFrame(frame, {r.Left + x, r.Top + y, r.Right + x, r.Bottom + y}, false);
  if (frame.frDisposalMethod != dtToBackground) canvas.StretchFrame(frame, r, true);
}

std::unique_ptr<TGIFImage> TGIFImage::LoadGIFImage(std::string_view data) {
  try {
    TGif gif;
    gif.LoadFromStream(data);
    gif.BuildBitmaps();
    auto model = std::make_unique<TGIFImage>();
    model->FNumFrames = gif.ImageCount();
    model->FAnimated = gif.ImageCount() > 1;
    model->FImageWidth = gif.Width();
    model->FImageHeight = gif.Height();
    model->FNumIterations = gif.LoopCount() > 0 ? gif.LoopCount() : 0;
    model->FTransparent = gif.Transparent();
    for (int i = 0; i < gif.ImageCount(); ++i) {
      TgfFrame frame;
      // Each frame keeps its bitmap's own key colour, so that a transparent frame after an
      // opaque first one is keyed on the colour its transparent pixels really have.
      frame.frImage = gif.GetImageDescriptor(i).rBitmap;
      frame.frDisposalMethod = static_cast<TDisposalType>(gif.GetImageDisposal(i));
      frame.frLeft = gif.GetImageLeft(i);
      frame.frTop = gif.GetImageTop(i);
      frame.frWidth = gif.GetImageWidth(i);
      frame.frHeight = gif.GetImageHeight(i);
      frame.frDelay = gif.GetImageDelay(i) * 10;
      model->frames_.Add(std::move(frame));
    }
    if (model->FAnimated) model->WasDisposal = dtToBackground;
    return model;
  } catch (const Exception&) {
    return nullptr;
  }
}

std::unique_ptr<TGIFImage> TGIFImage::LoadGIFImageFromFile(std::string_view name) {
  // The decoder holds the whole file in memory; a picture file beyond 256 MiB is no picture.
  std::string data, error;
  if (!platform::ReadWholeFile(name, std::int64_t{1} << 28, data, error)) return nullptr;
  return LoadGIFImage(data);
}

TVltGIF::TVltGIF(TVltGIFHost& host) : host_(host), fsGIF(std::make_unique<TGIFImage>()) {}

TVltGIF::~TVltGIF() {
  if (timer_enabled_) host_.SetTimer(false, kTimerInterval);
}

void TVltGIF::Timer(bool enabled) {
  timer_enabled_ = enabled;
  host_.SetTimer(enabled, kTimerInterval);
}

void TVltGIF::SetActive(bool value) {
  if (value == fsActive) return;
  if (value && fsGIF->NumFrames() == 0) throw Exception("Arquivo GIF não informado");
  fsActive = value;
  if (value) fsGIF->SetCurrentFrame(fsGIF->StartFrame());
  fsGIF->SetAnimate(value);
  Timer(value);
  fsPaused = false;
  if (value) {
    TimerStep();
    host_.Invalidate();
    Fire(OnStart, *this);
  } else {
    Fire(OnStop, *this);
  }
}

void TVltGIF::Start() {
  if (fsActive) Stop();
  SetActive(true);
}

void TVltGIF::Stop() {
  SetActive(false);
}

void TVltGIF::Pause() {
  Timer(false);
  fsPaused = true;
}

void TVltGIF::Resume() {
  if (fsActive) {
    Timer(true);
  } else {
    SetActive(true);
  }
  fsPaused = !timer_enabled_;
}

void TVltGIF::Play(int start_frame, int stop_frame, int repetitions) {
  Stop();
  SetStartFrame(start_frame);
  SetStopFrame(stop_frame);
  SetRepetitions(repetitions);
  Start();
}

void TVltGIF::Seek(int skip_frames) {
  fsGIF->SetCurrentFrame(fsGIF->CurrentFrame() + skip_frames);
}

void TVltGIF::SetCurrentFrame(int value) {
  fsGIF->SetCurrentFrame(value);
  host_.Invalidate();
}

void TVltGIF::TimerStep() {
  if (!host_.ParentShowing()) return;
  const int frame = fsGIF->CurrentFrame();
  const int iteration = fsGIF->CurrentIteration();
  const int stop = fsGIF->StopFrame() > 0 ? fsGIF->StopFrame() : fsGIF->NumFrames();
  if (fsRepetitions > 0 && iteration >= fsRepetitions && frame >= stop) {
    Stop();
    return;
  }
  if (fsGIF->ShowIt && fsGIF->CheckTime()) host_.Invalidate();
  if (fsGIF->CurrentFrame() != frame) Fire(OnChangeFrame, *this);
  if (fsGIF->CurrentIteration() != iteration) Fire(OnLoop, *this);
  if (!fsGIF->Animate() || !host_.Visible()) Stop();
  if (timer_enabled_) host_.SetTimer(true, kTimerInterval);
}

void TVltGIF::SetAutoSize(bool value) {
  fsAutoSize = value;
  ApplyAutoSize();
}

void TVltGIF::ApplyAutoSize() {
  if (fsAutoSize && fsGIF->Width() > 0 && fsGIF->Height() > 0) {
    host_.SetSize(fsGIF->Width(), fsGIF->Height());
    host_.Invalidate();
  }
}

void TVltGIF::SetFilename(const std::string& name) {
  if (name == fsFilename && !name.empty()) return;
  Stop();
  fsGIF = std::make_unique<TGIFImage>();
  fsFilename = name;
  if (!name.empty()) {
    if (auto model = TGIFImage::LoadGIFImageFromFile(name)) {
      fsGIF = std::move(model);
      fsGIF->ShowIt = true;
      ApplyAutoSize();
    } else {
      fsFilename.clear();
      host_.ShowError("Erro ao carregar GIF: \r\n" + name);
    }
  }
  host_.Invalidate();
}

void TVltGIF::LoadFromStream(std::string_view data) {
  const bool was_active = fsActive;
  Stop();
  fsFilename.clear();
  fsGIF = std::make_unique<TGIFImage>();
  auto model = TGIFImage::LoadGIFImage(data);
  if (!model) {
    host_.Invalidate();
    throw Exception("Erro ao carregar GIF from Stream");
  }
  fsGIF = std::move(model);
  fsGIF->ShowIt = true;
  ApplyAutoSize();
  SetActive(was_active);
  host_.Invalidate();
}

}  // namespace vlt
