#pragma once
// While alive, presses OK on every modal box this thread opens (the shell's own error box,
// for one); natively there are none. Counts what it dismissed.
namespace vlt::test {

class BoxDismisser {
 public:
  BoxDismisser();
  ~BoxDismisser();
  BoxDismisser(const BoxDismisser&) = delete;
  BoxDismisser& operator=(const BoxDismisser&) = delete;
  int Dismissed() const;

 private:
  unsigned long long timer_ = 0;
};

}  // namespace vlt::test
