#pragma once
#include "XmWriter.h"

namespace song {

// The whole song: instruments, patterns and the order list.
xmw::Song ComposeSong();

}  // namespace song
