#include "tests/support/box_dismisser.h"

namespace vlt::test {

BoxDismisser::BoxDismisser() = default;
BoxDismisser::~BoxDismisser() = default;
int BoxDismisser::Dismissed() const {
  return 0;
}

}  // namespace vlt::test
