#include "app/content.h"

namespace app
{
    const std::string& ContentBaseUrl()
    {
        static const std::string url = TICKER_CONTENT_BASE_URL;
        return url;
    }
} // namespace app
