#pragma once
// The animation behind the animated picture control: TGIFImage holds the frames of a decoded
// GIF, advances them by elapsed time and composes each over an accumulator according to the
// disposal of the frame before it; TVltGIF is the control's behaviour (activation, pause,
// repetitions, loading, events) over a host that owns the window, the timer and the painting.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/gif.h"

namespace vlt {

enum TDisposalType { dtUndefined, dtDoNothing, dtToBackground, dtToPrevious };

struct TgfFrame {
  int frLeft = 0, frTop = 0, frWidth = 0, frHeight = 0;  // on the logical screen
  int frDelay = 0;                                       // milliseconds
  TDisposalType frDisposalMethod = dtUndefined;
  std::shared_ptr<const TGifBitmap> frImage;  // shared with the frames of a copy
  bool IsCopy = false;
};

// Frames addressed from 1; any other index is a programming error.
class TgfFrameList {
 public:
  const TgfFrame& GetFrame(int index) const;
  void Add(TgfFrame frame) { frames_.push_back(std::move(frame)); }
  int Count() const { return static_cast<int>(frames_.size()); }

 private:
  std::vector<TgfFrame> frames_;
};

struct TGifRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TGifRect&) const = default;
};

// Where a model draws: the target and the accumulator, which the painter keeps.
class TGifCanvas {
 public:
  virtual ~TGifCanvas() = default;
  virtual void CreateAccumulator(int width, int height) = 0;
  // The target's area at (x, y) of the accumulator's size into the accumulator at (0, 0).
  virtual void SaveBackground(int x, int y) = 0;
  virtual void DrawAccumulator(int x, int y) = 0;
  // The frame's bitmap stretched onto `rect`; transparent pixels of a keyed bitmap left out.
  virtual void StretchFrame(const TgfFrame& frame, const TGifRect& rect, bool to_accumulator) = 0;
};

class TGIFImage {
 public:
  TGIFImage() = default;
  // A model over the same frame bitmaps, at frame 1, iteration 1.
  static std::unique_ptr<TGIFImage> CreateCopy(const TGIFImage& item);

  const TgfFrameList& Frames() const { return frames_; }
  const TGifBitmap* Bitmap() const;  // the first frame's
  bool IsAnimated() const { return FAnimated; }
  bool IsTransparent() const { return FTransparent; }
  int NumFrames() const { return FNumFrames; }
  int NumIterations() const { return FNumIterations; }
  int Width() const { return FImageWidth; }
  int Height() const { return FImageHeight; }
  bool Animate() const { return FAnimate; }
  void SetAnimate(bool value);
  int CurrentFrame() const { return FCurrentFrame; }
  void SetCurrentFrame(int value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool value) { FVisible = value; }
  int StartFrame() const { return fsStartFrame; }
  void SetStartFrame(int value);
  int StopFrame() const { return fsStopFrame; }
  void SetStopFrame(int value);
  int CurrentIteration() const { return fsCurrentIteration; }
  TDisposalType LastDisposal() const { return WasDisposal; }
  bool ShowIt = false;

  void Draw(TGifCanvas& canvas, int x, int y, int wid, int ht, int left, int top);
  // One animation step on the program's clock; true when the current frame changed.
  bool CheckTime();

  // From a decoded file; nullptr when the decoder refuses it.
  static std::unique_ptr<TGIFImage> LoadGIFImage(std::string_view data);
  static std::unique_ptr<TGIFImage> LoadGIFImageFromFile(std::string_view name);

 private:
  int EffectiveStopFrame() const { return fsStopFrame < 1 ? FNumFrames : fsStopFrame; }

  bool FAnimated = false;
  int FCurrentFrame = 1;
  int FImageWidth = 0, FImageHeight = 0;
  int FNumFrames = 0;
  int FNumIterations = 0;
  bool FTransparent = false;
  bool FVisible = true;
  bool has_accum_ = false;
  bool FAnimate = false;
  TGifRect FStretchedRect;
  TDisposalType WasDisposal = dtUndefined;
  TgfFrameList frames_;
  std::uint32_t LastTime = 0;
  std::uint32_t CurrentInterval = 0;
  int fsStartFrame = 1;
  int fsStopFrame = 0;
  int fsCurrentIteration = 0;
  bool IsCopy = false;
};

// What the control needs from its window.
class TVltGIFHost {
 public:
  virtual ~TVltGIFHost() = default;
  virtual void SetTimer(bool enabled, int interval_ms) = 0;
  virtual void Invalidate() = 0;
  virtual bool ParentShowing() const = 0;  // has a parent, and the parent is visible
  virtual bool Visible() const = 0;
  virtual void SetSize(int width, int height) = 0;
  virtual void ShowError(const std::string& text) = 0;  // error icon, one OK button
};

class TVltGIF {
 public:
  static constexpr int kTimerInterval = 50;

  explicit TVltGIF(TVltGIFHost& host);
  ~TVltGIF();
  TVltGIF(const TVltGIF&) = delete;
  TVltGIF& operator=(const TVltGIF&) = delete;

  TGIFImage& GIF() { return *fsGIF; }
  bool IsAnimated() const { return fsGIF->IsAnimated(); }
  bool Active() const { return fsActive; }
  void SetActive(bool value);
  bool Paused() const { return fsPaused; }
  void SetPaused(bool value) { value ? Pause() : Resume(); }
  bool TimerEnabled() const { return timer_enabled_; }
  int CurrentFrame() const { return fsGIF->CurrentFrame(); }
  void SetCurrentFrame(int value);
  int StartFrame() const { return fsGIF->StartFrame(); }
  void SetStartFrame(int value) { fsGIF->SetStartFrame(value); }
  int StopFrame() const { return fsGIF->StopFrame(); }
  void SetStopFrame(int value) { fsGIF->SetStopFrame(value); }
  int Repetitions() const { return fsRepetitions; }
  void SetRepetitions(int value) { fsRepetitions = value; }
  bool AutoSize() const { return fsAutoSize; }
  void SetAutoSize(bool value);
  bool Transparent() const { return fsTransparent; }
  void SetTransparent(bool value) { fsTransparent = value; }
  const std::string& Filename() const { return fsFilename; }
  void SetFilename(const std::string& name);
  void LoadFromFile(const std::string& name) { SetFilename(name); }
  void LoadFromStream(std::string_view data);

  void Start();
  void Stop();
  void Pause();
  void Resume();
  void Play(int start_frame, int stop_frame, int repetitions);
  void Seek(int skip_frames);
  // One tick of the timer.
  void TimerStep();

  std::function<void(TVltGIF&)> OnStart, OnStop, OnLoop, OnChangeFrame;

 private:
  void Timer(bool enabled);
  void ApplyAutoSize();
  static void Fire(const std::function<void(TVltGIF&)>& event, TVltGIF& self) {
    if (event) event(self);
  }

  TVltGIFHost& host_;
  std::unique_ptr<TGIFImage> fsGIF;
  bool timer_enabled_ = false;
  bool fsActive = false;
  std::string fsFilename;
  bool fsAutoSize = true;
  bool fsTransparent = false;
  int fsRepetitions = 0;
  bool fsPaused = false;
};

}  // namespace vlt
