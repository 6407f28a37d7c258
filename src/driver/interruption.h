// Turns a pending Ctrl-C or termination request into the run's failure, so an
// interrupted run ends through the same report and teardown as any other.
#ifndef QUORLIX_DRIVER_INTERRUPTION_H_
#define QUORLIX_DRIVER_INTERRUPTION_H_

#include "driver/failure.h"
#include "platform/interrupt.h"

namespace quorlix {

inline void FailIfInterrupted() {
  if (InterruptRequested()) Fail("Interrupted");
}

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_INTERRUPTION_H_
