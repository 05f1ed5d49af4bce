#include "platform/log.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "tests/support/temp_dir.h"

namespace vlt::platform {
namespace {

class LogTest : public ::testing::Test {
 protected:
  test::TempDir tmp;
  ManualClock clock;
  ScopedClock use_clock{clock};
  void SetUp() override { clock.SetLocalTime({2026, 1, 31, 14, 5, 7, 0}); }
};

// Each line is on disk as soon as it is logged (a killed process keeps it), a second opener
// can read it meanwhile, and a log opened again is continued, not replaced.
TEST_F(LogTest, LinesAreOnDiskAsTheyAreWrittenAndAppended) {
  const std::string path = tmp / "registro.log";
  {
    LogFile log;
    ASSERT_TRUE(log.Open(path)) << log.ErrorText();
    ScopedLog scope(log);
    EXPECT_EQ(LogPath(), path);
    Log("Etapa: Baixando Sistema");
    clock.Advance(1234);
    Log("Falha ao baixar o pacote x.zip.\rMotivo: the server answered 404\r\n(fim)");
    // Read by another opener while the log is open and nothing was closed or flushed by hand.
    File reader;
    ASSERT_TRUE(reader.Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting));
    EXPECT_EQ(test::ReadFile(path),
              "2026-01-31 14:05:07.000  Etapa: Baixando Sistema\r\n"
              "2026-01-31 14:05:08.234  Falha ao baixar o pacote x.zip. | Motivo: the server "
              "answered 404 | (fim)\r\n");
  }
  EXPECT_EQ(LogPath(), "");
  Log("nowhere");  // without a log: nothing, and no crash
  LogFile again;
  ASSERT_TRUE(again.Open(path));
  again.Write("ção");
  const std::string all = test::ReadFile(path);
  EXPECT_TRUE(all.ends_with("(fim)\r\n2026-01-31 14:05:08.234  ção\r\n")) << all;
}

TEST_F(LogTest, AFolderThatCannotHoldTheLogIsSaid) {
  LogFile log;
  EXPECT_FALSE(log.Open(tmp / "no\\such\\folder\\x.log"));
  EXPECT_FALSE(log.ErrorText().empty());
  EXPECT_FALSE(log.IsOpen());
  log.Write("ignored");  // a log that could not open costs nothing
}

TEST_F(LogTest, DefaultNameCarriesTheMomentInTheTemporaryFolder) {
  EXPECT_EQ(DefaultLogPath(), TemporaryFolder() + "\\InstaladorVeltra-20260131-140507.log");
}

}  // namespace
}  // namespace vlt::platform
