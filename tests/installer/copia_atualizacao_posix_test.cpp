// Faults of the host system under the update copy (native build): a source that vanished and a
// disk that fills up during the copy.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/files.h"
#include "tests/installer/copia_atualizacao_support.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::Put;
using test::TempDir;
using test::Tree;

// Files this process writes stop growing at `bytes` (EFBIG instead of SIGXFSZ) until the end
// of the scope.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, saved_.rlim_max};
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t previous_ = SIG_DFL;
};

TEST(CopiaAtualizacaoPosixTest, ACopyThatFailsLeavesTheInstalledProgramAndItsBackups) {
  const struct {
    const char* what;
    std::function<void(const std::string& source)> fault;
    int error;
  } cases[] = {
      {"the source vanished",
       [](const std::string& source) {
         ASSERT_EQ(symlink("/nonexistent/estoque.exe", platform::HostPath(source).c_str()), 0);
       },
       ENOENT},
      {"the disk fills up",
       [](const std::string& source) { Put(source, std::string(1 << 20, 'n')); }, EFBIG},
  };
  for (const auto& c : cases) {
    TempDir tmp;
    const std::string dst = tmp / "Berfon\\";
    Put(dst + "estoque.exe", "installed");
    Put(dst + "estoque.exe_antes1", "v1");
    Put(dst + "estoque.exe_antes2", "v0");
    Put(tmp / "Atualiza\\leiame.txt", "x");  // listed before or after: the tree decides
    c.fault(tmp / "Atualiza\\estoque.exe");
    const auto before = Tree(dst);
    std::string error;
    {
      FileSizeLimit limit(64 << 10);
      error = test::Atualiza(tmp / "Atualiza", dst);
    }
    EXPECT_EQ(error, "Não foi possível atualizar o arquivo: " + dst + "estoque.exe. " +
                         std::strerror(c.error))
        << c.what;
    auto after = Tree(dst);
    after.erase("leiame.txt");
    EXPECT_TRUE(after == before) << c.what;  // not printed: a megabyte of n
  }
}

}  // namespace
}  // namespace vlt
