#pragma once
// How many system handles (Windows) or file descriptors (natively) this process holds, so that
// a test can tell that an operation gave back everything it opened.
namespace vlt::test {

int OpenHandleCount();

}  // namespace vlt::test
