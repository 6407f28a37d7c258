// FailureMessage: how any phase of a run says that the run cannot go on.
// The text is thrown, caught once by the run driver, printed on the error
// stream and followed by the same teardown as a successful run. It points
// either at a literal or at the ComposeMessage buffer, so the catcher never
// frees it.
#ifndef QUORLIX_DRIVER_FAILURE_H_
#define QUORLIX_DRIVER_FAILURE_H_

namespace quorlix {

struct FailureMessage {
  const char* text;
};

[[noreturn]] inline void Fail(const char* text) { throw FailureMessage{text}; }

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_FAILURE_H_
