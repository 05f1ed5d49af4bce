#include "controls/gif_animation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "tests/controls/gif_builder.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::EncodeIndices;
using test::GifBuilder;

struct FrameSpec {
  int delay = 0;
  int disposal = 0;
  int left = 0, top = 0, width = 2, height = 2;
};

// Frames on a 4 x 4 screen; `loop` adds the loop extension with that count.
std::string Animation(const std::vector<FrameSpec>& frames, int loop = -1) {
  GifBuilder b(4, 4, 2);
  if (loop >= 0) b.Netscape(std::string{'\x01', static_cast<char>(loop), '\0'});
  for (const FrameSpec& f : frames) {
    b.GraphicControl(f.disposal, f.delay, 0, false);
    b.Image({.left = f.left,
             .top = f.top,
             .width = f.width,
             .height = f.height,
             .data = EncodeIndices(
                 std::vector<std::uint8_t>(static_cast<size_t>(f.width * f.height), 1), 2)});
  }
  return b.Trailer();
}

class FakeHost : public TVltGIFHost {
 public:
  void SetTimer(bool enabled, int interval) override {
    timer = enabled;
    EXPECT_EQ(interval, 50);
  }
  void Invalidate() override { ++invalidated; }
  bool ParentShowing() const override { return parent_showing; }
  bool Visible() const override { return visible; }
  void SetSize(int w, int h) override { size = {w, h}; }
  void ShowError(const std::string& text) override { errors.push_back(text); }

  bool timer = false, parent_showing = true, visible = true;
  int invalidated = 0;
  std::pair<int, int> size{100, 100};
  std::vector<std::string> errors;
};

// A control on a manual clock, with its events recorded.
struct Fixture {
  Fixture() : clock(1000), scope(clock), gif(host) {
    gif.OnStart = [this](TVltGIF&) { events += "start "; };
    gif.OnStop = [this](TVltGIF&) { events += "stop "; };
    gif.OnLoop = [this](TVltGIF&) { events += "loop "; };
    gif.OnChangeFrame = [this](TVltGIF& g) { events += std::to_string(g.CurrentFrame()) + " "; };
  }
  // `n` timer ticks of 50 ms while the timer runs.
  void Ticks(int n) {
    for (int i = 0; i < n && host.timer; ++i) {
      clock.Advance(50);
      gif.TimerStep();
    }
  }
  platform::ManualClock clock;
  platform::ScopedClock scope;
  FakeHost host;
  TVltGIF gif;
  std::string events;
};

TEST(GifAnimation, DelaysAgainstTheFiftyMillisecondTimer) {
  struct Case {
    int delay;
    const char* events;  // over six ticks
  };
  const Case cases[] = {
      {0, "start 2 1 2 1 2 1 "},  // 10 ms: a frame per tick
      {1, "start 2 1 2 1 2 1 "},
      {7, "start 2 1 2 "},  // 70 ms: on the second tick after each change
  };
  for (const Case& c : cases) {
    Fixture f;
    f.gif.LoadFromStream(Animation({{.delay = c.delay}, {.delay = c.delay}}));
    f.gif.SetActive(true);
    f.Ticks(6);
    // The iteration events between are checked elsewhere: keep the frames.
    std::string got;
    for (size_t i = 0; i < f.events.size();) {
      const size_t sp = f.events.find(' ', i);
      const std::string word = f.events.substr(i, sp - i + 1);
      if (word != "loop ") got += word;
      i = sp + 1;
    }
    EXPECT_EQ(got, c.events) << "delay " << c.delay;
  }
}

TEST(GifAnimation, ClockWrapDoesNotStallTheAnimation) {
  Fixture f;
  f.clock.Advance(0xFFFFFFFFu - 1000 - 60);  // 60 ms before the wrap
  f.gif.LoadFromStream(Animation({{.delay = 7}, {.delay = 7}}));
  f.gif.SetActive(true);
  f.Ticks(2);
  EXPECT_EQ(f.gif.CurrentFrame(), 2);
}

TEST(GifAnimation, SingleImageStartsANewPassAfterEachDelay) {
  Fixture f;
  f.gif.LoadFromStream(Animation({{.delay = 5}}));
  EXPECT_FALSE(f.gif.IsAnimated());
  f.gif.SetActive(true);
  f.Ticks(3);
  EXPECT_TRUE(f.gif.Active());
  EXPECT_EQ(f.events, "loop start loop loop loop ");
  EXPECT_EQ(f.gif.CurrentFrame(), 1);
}

TEST(GifAnimation, LoopCountFromTheFilePlaysThatManyTimes) {
  Fixture f;
  f.gif.LoadFromStream(Animation({{}, {}, {}}, 2));
  EXPECT_EQ(f.gif.GIF().NumIterations(), 2);
  f.gif.SetActive(true);
  f.Ticks(20);
  EXPECT_FALSE(f.gif.Active());
  EXPECT_EQ(f.gif.CurrentFrame(), 3);  // the last frame stays shown
  EXPECT_EQ(f.events, "start 2 3 1 loop 2 3 loop stop ");
}

TEST(GifAnimation, PlayRepeatsARangeAndStopsAfterTheLastPass) {
  Fixture f;
  f.gif.LoadFromStream(Animation({{}, {}, {}, {}, {}}));
  f.gif.Play(2, 4, 3);
  f.Ticks(20);
  EXPECT_FALSE(f.gif.Active());
  EXPECT_EQ(f.events, "start 3 4 2 loop 3 4 2 loop 3 4 stop ");
}

TEST(GifAnimation, SeekWrapsAroundTheFrames) {
  Fixture f;
  f.gif.LoadFromStream(Animation({{}, {}, {}, {}}));
  f.gif.Seek(-1);
  EXPECT_EQ(f.gif.CurrentFrame(), 4);
  f.gif.Seek(1);
  EXPECT_EQ(f.gif.CurrentFrame(), 1);
  f.gif.SetStartFrame(2);
  f.gif.Seek(9);
  EXPECT_EQ(f.gif.CurrentFrame(), 2);
  f.gif.SetStopFrame(3);
  f.gif.Seek(-5);
  EXPECT_EQ(f.gif.CurrentFrame(), 3);
  EXPECT_EQ(f.gif.GIF().LastDisposal(), dtToBackground);
}

TEST(GifAnimation, HidingStopsAtTheNextTickAndPauseHoldsTheTimer) {
  Fixture f;
  f.gif.LoadFromStream(Animation({{}, {}}));
  f.gif.SetActive(true);
  f.gif.Pause();
  EXPECT_TRUE(f.gif.Paused());
  EXPECT_FALSE(f.host.timer);
  f.gif.Resume();
  EXPECT_FALSE(f.gif.Paused());
  EXPECT_TRUE(f.host.timer);
  // A hidden parent holds the animation; a hidden control stops it.
  f.host.parent_showing = false;
  f.Ticks(1);
  EXPECT_EQ(f.gif.CurrentFrame(), 1);
  f.host.parent_showing = true;
  f.host.visible = false;
  f.Ticks(1);
  EXPECT_FALSE(f.gif.Active());
  EXPECT_EQ(f.events, "start 2 stop ");
}

TEST(GifAnimation, LoadingFailuresLeaveAnEmptyInactiveControl) {
  Fixture f;
  test::TempDir tmp;
  EXPECT_THROW(
      {
        try {
          f.gif.SetActive(true);
        } catch (const Exception& e) {
          EXPECT_STREQ(e.what(), "Arquivo GIF não informado");
          throw;
        }
      },
      Exception);
  EXPECT_FALSE(f.gif.Active());

  test::WriteFile(tmp / "a.gif", Animation({{}, {}}));
  f.gif.SetFilename(tmp / "a.gif");
  EXPECT_EQ(f.gif.GIF().NumFrames(), 2);
  EXPECT_EQ(f.host.size, std::make_pair(4, 4));  // AutoSize

  f.gif.SetFilename(tmp / "nada.gif");
  EXPECT_EQ(f.host.errors,
            std::vector<std::string>{"Erro ao carregar GIF: \r\n" + (tmp / "nada.gif")});
  EXPECT_EQ(f.gif.Filename(), "");
  EXPECT_EQ(f.gif.GIF().NumFrames(), 0);

  // Loading a stream while playing goes on playing the new animation.
  f.gif.LoadFromStream(Animation({{}, {}, {}}));
  f.gif.SetActive(true);
  f.gif.LoadFromStream(Animation({{}, {}, {}, {}, {}}));
  EXPECT_TRUE(f.gif.Active());
  EXPECT_EQ(f.gif.GIF().NumFrames(), 5);
  try {
    f.gif.LoadFromStream("GIF89a junk");
    ADD_FAILURE() << "loaded";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Erro ao carregar GIF from Stream");
  }
  EXPECT_FALSE(f.gif.Active());
  EXPECT_EQ(f.gif.GIF().NumFrames(), 0);
}

// Records what a model asks of its canvas.
class RecordingCanvas : public TGifCanvas {
 public:
  void CreateAccumulator(int w, int h) override { Log("create " + Pair(w, h)); }
  void SaveBackground(int x, int y) override { Log("save " + Pair(x, y)); }
  void DrawAccumulator(int x, int y) override { Log("accum " + Pair(x, y)); }
  void StretchFrame(const TgfFrame&, const TGifRect& r, bool to_accum) override {
    Log(std::string(to_accum ? "into-accum " : "frame ") + Pair(r.Left, r.Top) + "-" +
        Pair(r.Right, r.Bottom));
  }
  std::string log;

 private:
  static std::string Pair(int a, int b) { return std::to_string(a) + "," + std::to_string(b); }
  void Log(const std::string& s) { log += s + "; "; }
};

TEST(GifAnimation, DrawComposesThroughTheAccumulator) {
  platform::ManualClock clock;
  platform::ScopedClock scope(clock);
  auto model = TGIFImage::LoadGIFImage(
      Animation({{.disposal = 1, .left = 1, .top = 1, .width = 1, .height = 1},
                 {.disposal = 2, .left = 0, .top = 0, .width = 3, .height = 3},
                 {.disposal = 1}}));
  ASSERT_NE(model, nullptr);
  RecordingCanvas canvas;
  // 4 x 4 drawn at 6 x 6: 1.5 rounds to 2, 4.5 to 4, 3 stays.
  model->Draw(canvas, 10, 20, 6, 6, 100, 200);
  EXPECT_EQ(canvas.log, "create 6,6; save 110,220; frame 12,22-13,23; into-accum 2,2-3,3; ");
  model->SetAnimate(true);
  canvas.log.clear();
  clock.Advance(10);
  ASSERT_TRUE(model->CheckTime());
  model->Draw(canvas, 10, 20, 6, 6, 100, 200);
  // The frame left did nothing to dispose: the accumulator comes back first; this frame
  // restores to background, so the accumulator does not keep it.
  EXPECT_EQ(canvas.log, "accum 10,20; frame 10,20-14,24; ");
  canvas.log.clear();
  clock.Advance(10);
  ASSERT_TRUE(model->CheckTime());
  model->Draw(canvas, 10, 20, 6, 6, 100, 200);
  EXPECT_EQ(canvas.log, "save 110,220; frame 10,20-13,23; into-accum 0,0-3,3; ");

  // A logical screen of no size gives no scale: nothing is drawn.
  auto empty_screen = TGIFImage::LoadGIFImage(
      GifBuilder(0, 0, 2)
          .Image({.width = 2, .height = 2, .data = EncodeIndices({1, 1, 1, 1}, 2)})
          .Trailer());
  ASSERT_NE(empty_screen, nullptr);
  canvas.log.clear();
  empty_screen->Draw(canvas, 0, 0, 6, 6, 0, 0);
  EXPECT_EQ(canvas.log, "");
}

}  // namespace
}  // namespace vlt
