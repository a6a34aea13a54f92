// Keyboard events of the component model.
#pragma once

#include <functional>

#include "toolkit/Component.h"

namespace tk {

// A typed character on its way into a control; a handler may change it, or set it to 0 to
// keep it from the control.
using TKeyPressEvent = std::function<void(TObject* Sender, wchar_t& Key)>;

}  // namespace tk
