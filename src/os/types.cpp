#include "os/types.h"

namespace os
{
    std::string ToString(const Rect& r)
    {
        return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
               std::to_string(r.bottom) + ")";
    }
} // namespace os
