// liblindra.so's own setup: the error handler of its pool.
//
// The list library never lets an allocation failure end the host program:
// every pool error makes the failing operation answer "no block", and the
// caller reports it as LB_ERRSPACE.
#include "listctl/pool/pool.h"

namespace {

int failPoolErrors(const lindra::PoolErrorRecord*) { return 0; }

__attribute__((constructor)) void installPoolHandler() { lindra::PoolSetErrorHandler(failPoolErrors); }

}  // namespace
