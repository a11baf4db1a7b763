// Where the movies and pages come from: the content server's folder. The address
// is fixed when the program is built (TICKER_CONTENT_BASE_URL).
#pragma once

#include <string>

namespace app
{
    // Absolute http URL ending in /resources/media/uk/downloads/vodazovovarar/.
    const std::string& ContentBaseUrl();
} // namespace app
