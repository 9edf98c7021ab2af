#include "shell/program.h"

namespace mc {

// Bound to the button; the queries are wired in as they arrive.
void CollectCodes() {}

}  // namespace mc
