#include "bridge/safe_file_name.h"

#include <algorithm>

namespace pw {

std::string safeFileName(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '-');
    std::replace(name.begin(), name.end(), ':', '-');
    return name;
}

}  // namespace pw
