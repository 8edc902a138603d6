// The widget set without windows, for native programs that draw frames into memory: a parent
// that frames take as open.
#pragma once

namespace widget_test {

// A stand-in for a parent window: frames with it count as open and draw only where told to.
void* parentWindow();

} // namespace widget_test
