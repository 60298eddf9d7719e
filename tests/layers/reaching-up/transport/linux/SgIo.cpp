// A back-end that reaches sideways into the other back-end: refused too.
#include "transport/ScsiTransport.h"
#include "transport/windows/SptiRequest.h"
