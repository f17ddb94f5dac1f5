#pragma once

#include <jsc/jsc.h>

#include "platform/web_view_delegate.h"

namespace pw::gtk {

// The page's posted value as the dispatcher reads it: an object's string-valued
// properties; anything that is not a plain object (a string, a number, an array,
// null, a function) is not a message.
ScriptMessage scriptMessageFrom(JSCValue* value);

}  // namespace pw::gtk
