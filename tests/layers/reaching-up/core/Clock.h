#pragma once
// A core header that reaches up to the flash run: the layer check must refuse it.
#include "core/Bytes.h"
#include "flash/FlashRun.h"
