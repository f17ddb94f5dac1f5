#include "platform/script_engine_options.h"

#include <cstdlib>

namespace pw {

void configureScriptEngine()
{
    ::setenv("JSC_useCodeCache", "false", /*overwrite=*/0);
}

}  // namespace pw
