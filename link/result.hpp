#pragma once
#include <string>

namespace korvel {

// What an operation a person reads about came to: done, or not, with the system's reason in the
// words shown to the fitter ("cannot save "a.kvs": No space left on device"). The reason is empty
// when the operation was done.
//
// Where the caller acts on how something failed, the operation says so with an outcome enum of its
// own next to the same `reason` (a port's `OpenStatus`, a configuration file's `LoadStatus`, a poll's
// `ExchangeOutcome`).
struct Result {
  bool ok = false;
  std::string reason;
};

}  // namespace korvel
